// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnControllerConf.h>

#include "pnconfig/PnJsonWriting.h"

PnControllerEthernetAddresses::PnControllerEthernetAddresses() = default;
PnControllerEthernetAddresses::PnControllerEthernetAddresses(
    const PnControllerIpProtocol& ipProtocol, const PnControllerName& stationName)
    : SubnetRefId("PNIE_1"),
      IoSystemRefId("PROFINETIO-System_100"),
      IpProtocol(ipProtocol),
      StationName(stationName) {}
PN_DEFAULT_COPY_AND_DESTROY(PnControllerEthernetAddresses);

Json::Value PnControllerEthernetAddresses::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SubnetRefId")] = SubnetRefId;
    out[PnJson::Key("IoSystemRefId")] = IoSystemRefId;
    out[PnJson::Key("IpProtocol")] = IpProtocol.ToJson();
    out[PnJson::Key("StationName")] = StationName.ToJson();
    return out;
}

PnControllerAdvancedOptionsIsochronousMode::PnControllerAdvancedOptionsIsochronousMode() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnControllerAdvancedOptionsIsochronousMode);

Json::Value PnControllerAdvancedOptionsIsochronousMode::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ApplicationCycle")] = double{ApplicationCycle};
    return out;
}

PnControllerAdvancedOptionsRealTimeSettingsSynchronization::
    PnControllerAdvancedOptionsRealTimeSettingsSynchronization() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnControllerAdvancedOptionsRealTimeSettingsSynchronization);

Json::Value PnControllerAdvancedOptionsRealTimeSettingsSynchronization::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SyncRole")] = SyncRole;
    out[PnJson::Key("SyncDomainRefId")] = SyncDomainRefId;
    return out;
}

PnControllerAdvancedOptionsRealTimeSettingsIOCommunication::
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnControllerAdvancedOptionsRealTimeSettingsIOCommunication);

Json::Value PnControllerAdvancedOptionsRealTimeSettingsIOCommunication::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SendClock")] = double{SendClock};
    return out;
}

PnControllerAdvancedOptionsRealTimeSettings::PnControllerAdvancedOptionsRealTimeSettings() =
    default;
PnControllerAdvancedOptionsRealTimeSettings::PnControllerAdvancedOptionsRealTimeSettings(
    const PnControllerAdvancedOptionsRealTimeSettings& other)
    : PnObjectBase(other),
      Synchronization(other.Synchronization),
      IoCommunication(PnJson::DeepCopy(other.IoCommunication)) {}
PnControllerAdvancedOptionsRealTimeSettings& PnControllerAdvancedOptionsRealTimeSettings::operator=(
    const PnControllerAdvancedOptionsRealTimeSettings& other) {
    Synchronization = other.Synchronization;
    PnJson::AssignCopy(IoCommunication, other.IoCommunication);
    return *this;
}
PnControllerAdvancedOptionsRealTimeSettings::~PnControllerAdvancedOptionsRealTimeSettings() =
    default;

void PnControllerAdvancedOptionsRealTimeSettings::SetIoCommunication(
    const PnControllerAdvancedOptionsRealTimeSettingsIOCommunication& settings) {
    PnJson::Replace(IoCommunication, settings);
}

Json::Value PnControllerAdvancedOptionsRealTimeSettings::ToJson() const {
    Json::Value out;
    out[PnJson::Key("Synchronization")] = Synchronization.ToJson();
    PnJson::WriteOptional(out, "IoCommunication", IoCommunication);
    return out;
}

PnControllerAdvancedOptions::PnControllerAdvancedOptions() = default;
PnControllerAdvancedOptions::PnControllerAdvancedOptions(const PnControllerAdvancedOptions& other)
    : PnObjectBase(other),
      IsochronousMode(PnJson::DeepCopy(other.IsochronousMode)),
      RealTimeSettings(other.RealTimeSettings),
      Ports(other.Ports) {}
PnControllerAdvancedOptions& PnControllerAdvancedOptions::operator=(
    const PnControllerAdvancedOptions& other) {
    PnJson::AssignCopy(IsochronousMode, other.IsochronousMode);
    RealTimeSettings = other.RealTimeSettings;
    Ports = other.Ports;
    return *this;
}
PnControllerAdvancedOptions::~PnControllerAdvancedOptions() = default;

void PnControllerAdvancedOptions::SetIsochronousMode(
    PnControllerAdvancedOptionsIsochronousMode mode) {
    PnJson::Replace(IsochronousMode, mode);
}

Json::Value PnControllerAdvancedOptions::ToJson() const {
    Json::Value out;
    PnJson::WriteOptional(out, "IsochronousMode", IsochronousMode);
    out[PnJson::Key("RealTimeSettings")] = RealTimeSettings.ToJson();
    PnJson::WriteList(out, "Ports", Ports);
    return out;
}

PnControllerInterface::PnControllerInterface() = default;
PnControllerInterface::PnControllerInterface(const std::string& interfaceRefId,
                                             const PnControllerEthernetAddresses& ethernetAddresses,
                                             const PnControllerAdvancedOptions& advancedOptions)
    : InterfaceRefId(interfaceRefId),
      EthernetAddresses(ethernetAddresses),
      AdvancedOptions(advancedOptions) {}
PN_DEFAULT_COPY_AND_DESTROY(PnControllerInterface);

Json::Value PnControllerInterface::ToJson() const {
    Json::Value out;
    out[PnJson::Key("InterfaceRefId")] = InterfaceRefId;
    out[PnJson::Key("EthernetAddresses")] = EthernetAddresses.ToJson();
    out[PnJson::Key("AdvancedOptions")] = AdvancedOptions.ToJson();
    return out;
}

PnControllerConf::PnControllerConf() = default;
PnControllerConf::PnControllerConf(const std::string& deviceRefId,
                                   const PnControllerInterface& deviceInterface)
    : DeviceRefId(deviceRefId), DeviceInterface(deviceInterface) {}
PN_DEFAULT_COPY_AND_DESTROY(PnControllerConf);

void PnControllerConf::SetDeviceRefId(const std::string& deviceRefId) {
    DeviceRefId = deviceRefId;
}

void PnControllerConf::SetDeviceInterface(const PnControllerInterface& deviceInterface) {
    DeviceInterface = deviceInterface;
}

Json::Value PnControllerConf::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceRefId")] = DeviceRefId;
    out[PnJson::Key("DeviceInterface")] = DeviceInterface.ToJson();
    return out;
}
