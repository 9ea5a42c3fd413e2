// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnDeviceModule.h>

#include "pnconfig/PnJsonWriting.h"

PnDeviceSubModule::PnDeviceSubModule() = default;
PnDeviceSubModule::PnDeviceSubModule(const std::string& subModuleId, unsigned short subSlotNumber,
                                     const std::string& gsdRefId,
                                     const PnDeviceSubmoduleInOutAddress& ioAddress)
    : SubModuleId(subModuleId),
      SubSlotNumber(subSlotNumber),
      GsdRefId(gsdRefId),
      IoAddress(ioAddress) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceSubModule);

void PnDeviceSubModule::SetParameterRecordDataItems(
    const std::vector<PnParameterRecordDataItem>& records) {
    ParameterRecordDataItems = records;
}

Json::Value PnDeviceSubModule::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SubModuleId")] = SubModuleId;
    out[PnJson::Key("SubSlotNumber")] = PnJson::Int(SubSlotNumber);
    out[PnJson::Key("GsdRefId")] = GsdRefId;
    out[PnJson::Key("IoAddress")] = IoAddress.ToJson();
    out[PnJson::Key("IoLength")] = PnJson::Int(IoLength);
    PnJson::WriteList(out, "ParameterRecordDataItems", ParameterRecordDataItems);
    return out;
}

PnDeviceModule::PnDeviceModule() = default;
PnDeviceModule::PnDeviceModule(const std::string& moduleId, unsigned short slotNumber,
                               const std::string& gsdRefId)
    : ModuleId(moduleId), SlotNumber(slotNumber), GsdRefId(gsdRefId) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceModule);

void PnDeviceModule::SetSubModuleList(const std::vector<PnDeviceSubModule>& subModules) {
    SubModuleList = subModules;
}

void PnDeviceModule::SetPortList(const std::vector<PnDevicePort>& ports) {
    Ports = ports;
}

void PnDeviceModule::SetParameterRecordDataItems(
    const std::vector<PnParameterRecordDataItem>& records) {
    ParameterRecordDataItems = records;
}

void PnDeviceModule::SetInoutStartAddress(const PnDeviceSubmoduleInOutAddress& addresses) {
    IoAddress = addresses;
}

Json::Value PnDeviceModule::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ModuleId")] = ModuleId;
    out[PnJson::Key("SlotNumber")] = PnJson::Int(SlotNumber);
    out[PnJson::Key("GsdRefId")] = GsdRefId;
    out[PnJson::Key("IoAddress")] = IoAddress.ToJson();
    PnJson::WriteList(out, "SubModuleList", SubModuleList);
    PnJson::WriteList(out, "Ports", Ports);
    PnJson::WriteList(out, "ParameterRecordDataItems", ParameterRecordDataItems);
    return out;
}
