// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <JsonRpcClient/rpc/CodePageText.h>

#include "pnconfig/PnJsonWriting.h"

Json::Value PnJson::Utf8Text(const std::string& ansiText) {
    return Json::Value(RpcClient::AnsiToUtf8(ansiText));
}

PnObjectBase::PnObjectBase() = default;
PnObjectBase::PnObjectBase(const PnObjectBase&) = default;
PnObjectBase& PnObjectBase::operator=(const PnObjectBase&) = default;
PnObjectBase::~PnObjectBase() = default;

// ---------------------------------------------------------------------------

PnParameterRecordDataItemRef::PnParameterRecordDataItemRef() = default;
PnParameterRecordDataItemRef::PnParameterRecordDataItemRef(int byteOffset, int bitOffset,
                                                           const std::string& value)
    : ByteOffset(byteOffset),
      BitOffset(bitOffset),
      BitOffsetSpecified(bitOffset != -1),
      Value(value) {}
PN_DEFAULT_COPY_AND_DESTROY(PnParameterRecordDataItemRef);

Json::Value PnParameterRecordDataItemRef::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ByteOffset")] = ByteOffset;
    out[PnJson::Key("BitOffset")] = BitOffset;
    out[PnJson::Key("BitOffsetSpecified")] = BitOffsetSpecified;
    out[PnJson::Key("Value")] = Value;
    return out;
}

PnParameterRecordDataItem::PnParameterRecordDataItem(
    int gsdRefIndex, const std::vector<PnParameterRecordDataItemRef>& items)
    : GsdRefIndex(gsdRefIndex), RecordDataItemRefs(items) {}
PN_DEFAULT_COPY_AND_DESTROY(PnParameterRecordDataItem);

Json::Value PnParameterRecordDataItem::ToJson() const {
    Json::Value out;
    out[PnJson::Key("GsdRefIndex")] = GsdRefIndex;
    PnJson::WriteList(out, "RecordDataItemRefs", RecordDataItemRefs);
    return out;
}

// ---------------------------------------------------------------------------

PnDeviceSubModuleInputAddress::PnDeviceSubModuleInputAddress(unsigned int startAddress)
    : StartAddress(startAddress) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceSubModuleInputAddress);

Json::Value PnDeviceSubModuleInputAddress::ToJson() const {
    Json::Value out;
    out[PnJson::Key("StartAddress")] = Json::UInt(StartAddress);
    return out;
}

PnDeviceSubModuleOutputAddress::PnDeviceSubModuleOutputAddress(unsigned int startAddress)
    : StartAddress(startAddress) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceSubModuleOutputAddress);

Json::Value PnDeviceSubModuleOutputAddress::ToJson() const {
    Json::Value out;
    out[PnJson::Key("StartAddress")] = Json::UInt(StartAddress);
    return out;
}

PnDeviceSubmoduleInOutAddress::PnDeviceSubmoduleInOutAddress() = default;
PnDeviceSubmoduleInOutAddress::PnDeviceSubmoduleInOutAddress(
    const PnDeviceSubmoduleInOutAddress& other)
    : PnObjectBase(other),
      inputAddress_(PnJson::DeepCopy(other.inputAddress_)),
      outputAddress_(PnJson::DeepCopy(other.outputAddress_)) {}
PnDeviceSubmoduleInOutAddress& PnDeviceSubmoduleInOutAddress::operator=(
    const PnDeviceSubmoduleInOutAddress& other) {
    PnJson::AssignCopy(inputAddress_, other.inputAddress_);
    PnJson::AssignCopy(outputAddress_, other.outputAddress_);
    return *this;
}
PnDeviceSubmoduleInOutAddress::~PnDeviceSubmoduleInOutAddress() = default;

void PnDeviceSubmoduleInOutAddress::SetInputStartAddress(unsigned int startAddress) {
    PnJson::Replace(inputAddress_, PnDeviceSubModuleInputAddress(startAddress));
}

void PnDeviceSubmoduleInOutAddress::SetOutputStartAddress(unsigned int startAddress) {
    PnJson::Replace(outputAddress_, PnDeviceSubModuleOutputAddress(startAddress));
}

const PnDeviceSubModuleInputAddress* PnDeviceSubmoduleInOutAddress::GetInputAddress() const {
    return inputAddress_.get();
}

const PnDeviceSubModuleOutputAddress* PnDeviceSubmoduleInOutAddress::GetOutputAddress() const {
    return outputAddress_.get();
}

Json::Value PnDeviceSubmoduleInOutAddress::ToJson() const {
    Json::Value out;
    PnJson::WriteOptional(out, "InputAddress", inputAddress_);
    PnJson::WriteOptional(out, "OutputAddress", outputAddress_);
    return out;
}

// ---------------------------------------------------------------------------

PnControllerName::PnControllerName() = default;
PnControllerName::PnControllerName(const std::string& deviceName) : DeviceName(deviceName) {}
PN_DEFAULT_COPY_AND_DESTROY(PnControllerName);

Json::Value PnControllerName::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceName")] = DeviceName;
    return out;
}

PnDeviceName::PnDeviceName() = default;
PnDeviceName::PnDeviceName(const std::string& deviceName, unsigned int deviceNumber)
    : DeviceName(deviceName), DeviceNumber(deviceNumber) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceName);

Json::Value PnDeviceName::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceName")] = PnJson::Utf8Text(DeviceName);
    out[PnJson::Key("DeviceNumber")] = Json::UInt(DeviceNumber);
    return out;
}

// ---------------------------------------------------------------------------

PnControllerIpProtocolSetInProject::PnControllerIpProtocolSetInProject() = default;
PnControllerIpProtocolSetInProject::PnControllerIpProtocolSetInProject(
    const std::string& ipAddress, const std::string& subnetMask, const std::string& routerAddress)
    : IpAddress(ipAddress), SubnetMask(subnetMask), RouterAddress(routerAddress) {}
PN_DEFAULT_COPY_AND_DESTROY(PnControllerIpProtocolSetInProject);

Json::Value PnControllerIpProtocolSetInProject::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IpAddress")] = IpAddress;
    out[PnJson::Key("SubnetMask")] = SubnetMask;
    out[PnJson::Key("RouterAddress")] = RouterAddress;
    return out;
}

PnControllerIpProtocol::PnControllerIpProtocol() = default;
PnControllerIpProtocol::PnControllerIpProtocol(
    const PnControllerIpProtocolSetInProject& setInProject)
    : IpProtocolSetInProject(setInProject) {}
PN_DEFAULT_COPY_AND_DESTROY(PnControllerIpProtocol);

Json::Value PnControllerIpProtocol::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IpProtocolSet")] = PnJson::Int(IpProtocolSet);
    out[PnJson::Key("IpProtocolSetInProject")] = IpProtocolSetInProject.ToJson();
    return out;
}

PnDeviceIpProtocolSetInTheProject::PnDeviceIpProtocolSetInTheProject() = default;
PnDeviceIpProtocolSetInTheProject::PnDeviceIpProtocolSetInTheProject(const std::string& ipAddress,
                                                                     const std::string& subnetMask)
    : IpAddress(ipAddress), SubnetMask(subnetMask) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceIpProtocolSetInTheProject);

Json::Value PnDeviceIpProtocolSetInTheProject::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IpAddress")] = IpAddress;
    out[PnJson::Key("SubnetMask")] = SubnetMask;
    return out;
}

PnDeviceIpProtocol::PnDeviceIpProtocol() = default;
PnDeviceIpProtocol::PnDeviceIpProtocol(ItemChoiceType choice,
                                       const PnDeviceIpProtocolSetInTheProject& setInProject)
    : ItemChoice(choice), IpProtocolSetInTheProject(setInProject) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceIpProtocol);

Json::Value PnDeviceIpProtocol::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ItemChoiceType")] = PnJson::Int(ItemChoice);
    out[PnJson::Key("IpProtocolSetInTheProject")] = IpProtocolSetInTheProject.ToJson();
    return out;
}
