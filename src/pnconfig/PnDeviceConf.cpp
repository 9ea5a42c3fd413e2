// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnDeviceConf.h>

#include "pnconfig/PnJsonWriting.h"

PnDeviceAdvancedOptionsRealTimeSettingsSynchronization::
    PnDeviceAdvancedOptionsRealTimeSettingsSynchronization() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceAdvancedOptionsRealTimeSettingsSynchronization);

Json::Value PnDeviceAdvancedOptionsRealTimeSettingsSynchronization::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SyncRole")] = SyncRole;
    out[PnJson::Key("SyncDomainRefId")] = SyncDomainRefId;
    return out;
}

PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime::
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime);

Json::Value PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime::ToJson() const {
    Json::Value out;
    out[PnJson::Key("UpdateTimeMode")] = UpdateTimeMode;
    out[PnJson::Key("UpdateTime")] = double{UpdateTime};
    return out;
}

PnDeviceAdvancedOptionsRealTimeSettingsIoCycle::PnDeviceAdvancedOptionsRealTimeSettingsIoCycle() =
    default;
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceAdvancedOptionsRealTimeSettingsIoCycle);

Json::Value PnDeviceAdvancedOptionsRealTimeSettingsIoCycle::ToJson() const {
    Json::Value out;
    out[PnJson::Key("AcceptedUpdateCyclesWithoutIoData")] =
        Json::UInt(AcceptedUpdateCyclesWithoutIoData);
    out[PnJson::Key("IoCycleUpdateTime")] = IoCycleUpdateTime.ToJson();
    return out;
}

PnDeviceAdvancedOptionsRealTimeSettings::PnDeviceAdvancedOptionsRealTimeSettings() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceAdvancedOptionsRealTimeSettings);

Json::Value PnDeviceAdvancedOptionsRealTimeSettings::ToJson() const {
    Json::Value out;
    out[PnJson::Key("Synchronization")] = Synchronization.ToJson();
    out[PnJson::Key("IoCycle")] = IoCycle.ToJson();
    return out;
}

PnDeviceAdvancedOptions::PnDeviceAdvancedOptions() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceAdvancedOptions);

Json::Value PnDeviceAdvancedOptions::ToJson() const {
    Json::Value out;
    out[PnJson::Key("RealTimeSettings")] = RealTimeSettings.ToJson();
    PnJson::WriteList(out, "Ports", Ports);
    return out;
}

// ---------------------------------------------------------------------------

IsochronousModeTypeTiToValuesManual::IsochronousModeTypeTiToValuesManual() = default;
IsochronousModeTypeTiToValuesManual::IsochronousModeTypeTiToValuesManual(float tiValue,
                                                                         float toValue)
    : TiValue(tiValue), ToValue(toValue) {}
PN_DEFAULT_COPY_AND_DESTROY(IsochronousModeTypeTiToValuesManual);

Json::Value IsochronousModeTypeTiToValuesManual::ToJson() const {
    Json::Value out;
    out[PnJson::Key("TiValue")] = double{TiValue};
    out[PnJson::Key("ToValue")] = double{ToValue};
    return out;
}

PnDeviceIsochronousModeTiToValues::PnDeviceIsochronousModeTiToValues() = default;
PnDeviceIsochronousModeTiToValues::PnDeviceIsochronousModeTiToValues(IsochronousTiToModeType mode)
    : IsochronousModeTiTo(mode) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceIsochronousModeTiToValues);

Json::Value PnDeviceIsochronousModeTiToValues::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IsochronousModeTiTo")] = PnJson::Int(IsochronousModeTiTo);
    out[PnJson::Key("TiToValuesManual")] = TiToValuesManual.ToJson();
    return out;
}

PnDeviceIsochronousSubmodule::PnDeviceIsochronousSubmodule(const std::string& moduleRefId,
                                                           const std::string& subModuleRefId)
    : ModuleRefId(moduleRefId), SubModuleRefId(subModuleRefId) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceIsochronousSubmodule);

Json::Value PnDeviceIsochronousSubmodule::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ModuleRefId")] = ModuleRefId;
    out[PnJson::Key("SubModuleRefId")] = SubModuleRefId;
    return out;
}

PnDeviceIsochronousMode::PnDeviceIsochronousMode() = default;
PnDeviceIsochronousMode::PnDeviceIsochronousMode(
    bool isoModeEnabled, const PnDeviceIsochronousModeTiToValues& tiToValues,
    const std::vector<PnDeviceIsochronousSubmodule>& submodules)
    : IsoModeEnabled(isoModeEnabled), TiToValues(tiToValues), IsochronousSubmodules(submodules) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceIsochronousMode);

Json::Value PnDeviceIsochronousMode::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IsoModeEnabled")] = IsoModeEnabled;
    out[PnJson::Key("TiToValues")] = TiToValues.ToJson();
    PnJson::WriteList(out, "IsochronousSubmodules", IsochronousSubmodules);
    return out;
}

// ---------------------------------------------------------------------------

PnDeviceEthernetAddresses::PnDeviceEthernetAddresses() = default;
PnDeviceEthernetAddresses::PnDeviceEthernetAddresses(const PnDeviceIpProtocol& ipProtocol,
                                                     const PnDeviceName& deviceName)
    : IpProtocol(ipProtocol), ProfinetDeviceName(deviceName) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceEthernetAddresses);

Json::Value PnDeviceEthernetAddresses::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SubnetRefId")] = SubnetRefId;
    out[PnJson::Key("IoSystemRefId")] = IoSystemRefId;
    out[PnJson::Key("IpProtocol")] = IpProtocol.ToJson();
    out[PnJson::Key("ProfinetDeviceName")] = ProfinetDeviceName.ToJson();
    return out;
}

PnDeviceInterface::PnDeviceInterface() = default;
PnDeviceInterface::PnDeviceInterface(const std::string& interfaceRefId,
                                     const PnDeviceEthernetAddresses& ethernetAddresses,
                                     const PnDeviceAdvancedOptions& advancedOptions,
                                     const PnDeviceIsochronousMode& isochronousMode)
    : InterfaceRefId(interfaceRefId),
      EthernetAddresses(ethernetAddresses),
      AdvancedOptions(advancedOptions),
      IsochronousMode(std::make_shared<PnDeviceIsochronousMode>(isochronousMode)) {}
PnDeviceInterface::PnDeviceInterface(const PnDeviceInterface& other)
    : PnObjectBase(other),
      InterfaceRefId(other.InterfaceRefId),
      EthernetAddresses(other.EthernetAddresses),
      AdvancedOptions(other.AdvancedOptions),
      IsochronousMode(PnJson::DeepCopy(other.IsochronousMode)),
      ParameterRecordDataItems(other.ParameterRecordDataItems) {}
PnDeviceInterface& PnDeviceInterface::operator=(const PnDeviceInterface& other) {
    InterfaceRefId = other.InterfaceRefId;
    EthernetAddresses = other.EthernetAddresses;
    AdvancedOptions = other.AdvancedOptions;
    PnJson::AssignCopy(IsochronousMode, other.IsochronousMode);
    ParameterRecordDataItems = other.ParameterRecordDataItems;
    return *this;
}
PnDeviceInterface::~PnDeviceInterface() = default;

void PnDeviceInterface::SetIsochronousMode(PnDeviceIsochronousMode mode) {
    PnJson::Replace(IsochronousMode, mode);
}

void PnDeviceInterface::SetParameterRecordDataItems(
    const std::vector<PnParameterRecordDataItem>& records) {
    ParameterRecordDataItems = records;
}

Json::Value PnDeviceInterface::ToJson() const {
    Json::Value out;
    out[PnJson::Key("InterfaceRefId")] = PnJson::Utf8Text(InterfaceRefId);
    out[PnJson::Key("EthernetAddresses")] = EthernetAddresses.ToJson();
    out[PnJson::Key("AdvancedOptions")] = AdvancedOptions.ToJson();
    PnJson::WriteOptional(out, "IsochronousMode", IsochronousMode);
    PnJson::WriteList(out, "ParameterRecordDataItems", ParameterRecordDataItems);
    return out;
}

PnDeviceConf::PnDeviceConf() = default;
PnDeviceConf::PnDeviceConf(const std::string& deviceRefId, const PnDeviceInterface& deviceInterface,
                           const std::vector<PnDeviceModule>& modules)
    : DeviceRefId(deviceRefId), DeviceInterface(deviceInterface), DeviceModules(modules) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceConf);

void PnDeviceConf::SetDeviceInterface(const PnDeviceInterface& deviceInterface) {
    DeviceInterface = deviceInterface;
}

void PnDeviceConf::SetDeviceModuleList(const std::vector<PnDeviceModule>& modules) {
    DeviceModules = modules;
}

void PnDeviceConf::SetDeviceParameterList(const std::vector<PnParameterRecordDataItem>& records) {
    ParameterRecordDataItems = records;
}

Json::Value PnDeviceConf::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceRefId")] = PnJson::Utf8Text(DeviceRefId);
    out[PnJson::Key("DeviceInterface")] = DeviceInterface.ToJson();
    PnJson::WriteList(out, "DeviceModules", DeviceModules);
    PnJson::WriteList(out, "ParameterRecordDataItems", ParameterRecordDataItems);
    return out;
}
