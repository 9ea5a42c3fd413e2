// SPDX-License-Identifier: Apache-2.0
#pragma once

// Base of the PROFINET configuration model and the small leaf objects that
// controller and device subtrees share: parameter records, IO addresses,
// station names and IP settings.
//
// Model objects are plain values. They validate nothing and talk to nobody;
// ToJson() builds a new Json::Value and never modifies the object.
//
// Optional sub-objects are std::shared_ptr members, empty when absent. The
// pointer type is only the holder: a holder's copy constructor and copy
// assignment make a new sub-object that copies the source's (or leave the
// pointer empty), and setters always make a new one, so no two model objects
// share a sub-object unless the host shares one on purpose by assigning a
// pointer itself.

#include <JsonRpcClient/Export.h>

#include <json/value.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Root of every configuration model type.
class JSONRPCCLIENT_API PnObjectBase {
public:
    PnObjectBase();
    PnObjectBase(const PnObjectBase&);
    PnObjectBase& operator=(const PnObjectBase&);

    // Writes the object as the configuration server expects it. An object
    // that has nothing to write returns a null value, never an empty object.
    // Throws std::runtime_error when a text that must be sent as UTF-8
    // cannot be converted from the ANSI code page; no partial JSON is returned.
    virtual Json::Value ToJson() const = 0;
    virtual ~PnObjectBase();
};

// One value inside a parameter record.
struct JSONRPCCLIENT_API PnParameterRecordDataItemRef : public PnObjectBase {
    PnParameterRecordDataItemRef();
    // BitOffsetSpecified becomes true exactly when bitOffset is not -1.
    PnParameterRecordDataItemRef(int byteOffset, int bitOffset, const std::string& value);
    PnParameterRecordDataItemRef(const PnParameterRecordDataItemRef&);
    PnParameterRecordDataItemRef& operator=(const PnParameterRecordDataItemRef&);
    ~PnParameterRecordDataItemRef() override;
    Json::Value ToJson() const override;

    std::int32_t ByteOffset = 0;
    std::int32_t BitOffset = -1;
    bool BitOffsetSpecified = false;
    std::string Value;
};

// One parameter record of a submodule, module, port, interface or device.
struct JSONRPCCLIENT_API PnParameterRecordDataItem : public PnObjectBase {
    PnParameterRecordDataItem(int gsdRefIndex,
                              const std::vector<PnParameterRecordDataItemRef>& items);
    PnParameterRecordDataItem(const PnParameterRecordDataItem&);
    PnParameterRecordDataItem& operator=(const PnParameterRecordDataItem&);
    ~PnParameterRecordDataItem() override;
    Json::Value ToJson() const override;

    std::int32_t GsdRefIndex;
    std::vector<PnParameterRecordDataItemRef> RecordDataItemRefs;
};

// Start address of a (sub)module's input data.
struct JSONRPCCLIENT_API PnDeviceSubModuleInputAddress : public PnObjectBase {
    PnDeviceSubModuleInputAddress(unsigned int startAddress);
    PnDeviceSubModuleInputAddress(const PnDeviceSubModuleInputAddress&);
    PnDeviceSubModuleInputAddress& operator=(const PnDeviceSubModuleInputAddress&);
    ~PnDeviceSubModuleInputAddress() override;
    Json::Value ToJson() const override;

    std::uint32_t StartAddress;
};

// Start address of a (sub)module's output data.
struct JSONRPCCLIENT_API PnDeviceSubModuleOutputAddress : public PnObjectBase {
    PnDeviceSubModuleOutputAddress(unsigned int startAddress);
    PnDeviceSubModuleOutputAddress(const PnDeviceSubModuleOutputAddress&);
    PnDeviceSubModuleOutputAddress& operator=(const PnDeviceSubModuleOutputAddress&);
    ~PnDeviceSubModuleOutputAddress() override;
    Json::Value ToJson() const override;

    std::uint32_t StartAddress;
};

// The IO address block of a module or submodule. Both addresses start out
// absent; a setter makes one present, and only assignment from a block that
// lacks it removes it again. With neither address ToJson() returns null.
class JSONRPCCLIENT_API PnDeviceSubmoduleInOutAddress : PnObjectBase {
public:
    PnDeviceSubmoduleInOutAddress();
    PnDeviceSubmoduleInOutAddress(const PnDeviceSubmoduleInOutAddress&);
    PnDeviceSubmoduleInOutAddress& operator=(const PnDeviceSubmoduleInOutAddress&);
    ~PnDeviceSubmoduleInOutAddress() override;
    Json::Value ToJson() const override;

    // Replaces the input address by a new one with this start address.
    void SetInputStartAddress(unsigned int startAddress);
    // Replaces the output address by a new one with this start address.
    void SetOutputStartAddress(unsigned int startAddress);

    // nullptr when the address is absent.
    const PnDeviceSubModuleInputAddress* GetInputAddress() const;
    const PnDeviceSubModuleOutputAddress* GetOutputAddress() const;

private:
    std::shared_ptr<PnDeviceSubModuleInputAddress> inputAddress_;
    std::shared_ptr<PnDeviceSubModuleOutputAddress> outputAddress_;
};

// Station name of the controller; written byte for byte.
struct JSONRPCCLIENT_API PnControllerName : public PnObjectBase {
    PnControllerName();
    PnControllerName(const std::string& deviceName);
    PnControllerName(const PnControllerName&);
    PnControllerName& operator=(const PnControllerName&);
    ~PnControllerName() override;
    Json::Value ToJson() const override;

    std::string DeviceName;
};

// PROFINET device name of an IO device. DeviceName is held in the ANSI code
// page and written as UTF-8 (ToJson() throws std::runtime_error when that
// conversion fails).
struct JSONRPCCLIENT_API PnDeviceName : public PnObjectBase {
    PnDeviceName();
    PnDeviceName(const std::string& deviceName, unsigned int deviceNumber);
    PnDeviceName(const PnDeviceName&);
    PnDeviceName& operator=(const PnDeviceName&);
    ~PnDeviceName() override;
    Json::Value ToJson() const override;

    std::string DeviceName = "PN-Device";
    std::uint32_t DeviceNumber = 0;
};

// IP settings of the controller interface as set in the project.
struct JSONRPCCLIENT_API PnControllerIpProtocolSetInProject : public PnObjectBase {
    PnControllerIpProtocolSetInProject();
    PnControllerIpProtocolSetInProject(const std::string& ipAddress, const std::string& subnetMask,
                                       const std::string& routerAddress);
    PnControllerIpProtocolSetInProject(const PnControllerIpProtocolSetInProject&);
    PnControllerIpProtocolSetInProject& operator=(const PnControllerIpProtocolSetInProject&);
    ~PnControllerIpProtocolSetInProject() override;
    Json::Value ToJson() const override;

    std::string IpAddress = "192.168.2.1";
    std::string SubnetMask = "255.255.255.0";
    std::string RouterAddress = "0.0.0.0";
};

struct JSONRPCCLIENT_API PnControllerIpProtocol : public PnObjectBase {
    PnControllerIpProtocol();
    // Copies the settings; IpProtocolSet is 0.
    PnControllerIpProtocol(const PnControllerIpProtocolSetInProject& setInProject);
    PnControllerIpProtocol(const PnControllerIpProtocol&);
    PnControllerIpProtocol& operator=(const PnControllerIpProtocol&);
    ~PnControllerIpProtocol() override;
    Json::Value ToJson() const override;

    // Selector code defined by the configuration server; written as a number.
    std::uint8_t IpProtocolSet = 0;
    PnControllerIpProtocolSetInProject IpProtocolSetInProject;
};

// IP settings of a device interface as set in the project (no router).
struct JSONRPCCLIENT_API PnDeviceIpProtocolSetInTheProject : public PnObjectBase {
    PnDeviceIpProtocolSetInTheProject();
    PnDeviceIpProtocolSetInTheProject(const std::string& ipAddress, const std::string& subnetMask);
    PnDeviceIpProtocolSetInTheProject(const PnDeviceIpProtocolSetInTheProject&);
    PnDeviceIpProtocolSetInTheProject& operator=(const PnDeviceIpProtocolSetInTheProject&);
    ~PnDeviceIpProtocolSetInTheProject() override;
    Json::Value ToJson() const override;

    std::string IpAddress = "127.0.0.1";
    std::string SubnetMask = "255.255.255.0";
};

// Which of the alternative IP settings of a device interface applies. The
// codes belong to the configuration server and are passed through as numbers;
// 2 selects the settings carried in the project.
enum ItemChoiceType : std::int32_t {
    ItemChoiceType_Choice0 = 0,
    ItemChoiceType_Choice1 = 1,
    ItemChoiceType_IpProtocolSetInTheProject = 2,
};

struct JSONRPCCLIENT_API PnDeviceIpProtocol : public PnObjectBase {
    PnDeviceIpProtocol();
    PnDeviceIpProtocol(ItemChoiceType choice,
                       const PnDeviceIpProtocolSetInTheProject& setInProject);
    PnDeviceIpProtocol(const PnDeviceIpProtocol&);
    PnDeviceIpProtocol& operator=(const PnDeviceIpProtocol&);
    ~PnDeviceIpProtocol() override;
    Json::Value ToJson() const override;

    ItemChoiceType ItemChoice = ItemChoiceType_IpProtocolSetInTheProject;
    PnDeviceIpProtocolSetInTheProject IpProtocolSetInTheProject;
};
