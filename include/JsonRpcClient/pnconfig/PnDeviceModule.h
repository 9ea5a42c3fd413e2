// SPDX-License-Identifier: Apache-2.0
#pragma once

// The modules plugged into an IO device's slots and the submodules in their
// subslots, each with its IO address block and parameter records.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnDevicePort.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

struct JSONRPCCLIENT_API PnDeviceSubModule : public PnObjectBase {
    PnDeviceSubModule();
    // IoLength is 0 and there are no parameter records.
    PnDeviceSubModule(const std::string& subModuleId, unsigned short subSlotNumber,
                      const std::string& gsdRefId, const PnDeviceSubmoduleInOutAddress& ioAddress);
    PnDeviceSubModule(const PnDeviceSubModule&);
    PnDeviceSubModule& operator=(const PnDeviceSubModule&);
    ~PnDeviceSubModule() override;
    Json::Value ToJson() const override;

    void SetParameterRecordDataItems(const std::vector<PnParameterRecordDataItem>& records);

    std::string SubModuleId;
    std::uint16_t SubSlotNumber = 0;
    std::string GsdRefId;
    // Written as null while it holds neither address.
    PnDeviceSubmoduleInOutAddress IoAddress;
    std::uint16_t IoLength = 0;
    std::vector<PnParameterRecordDataItem> ParameterRecordDataItems;
};

struct JSONRPCCLIENT_API PnDeviceModule : public PnObjectBase {
    PnDeviceModule();
    PnDeviceModule(const std::string& moduleId, unsigned short slotNumber,
                   const std::string& gsdRefId);
    PnDeviceModule(const PnDeviceModule&);
    PnDeviceModule& operator=(const PnDeviceModule&);
    ~PnDeviceModule() override;
    Json::Value ToJson() const override;

    void SetSubModuleList(const std::vector<PnDeviceSubModule>& subModules);
    void SetPortList(const std::vector<PnDevicePort>& ports);
    void SetParameterRecordDataItems(const std::vector<PnParameterRecordDataItem>& records);
    // Replaces the module's IO address block by a copy of addresses.
    void SetInoutStartAddress(const PnDeviceSubmoduleInOutAddress& addresses);

    std::string ModuleId;
    std::uint16_t SlotNumber = 0;
    std::string GsdRefId;
    // Written as null while it holds neither address.
    PnDeviceSubmoduleInOutAddress IoAddress;
    std::vector<PnDeviceSubModule> SubModuleList;
    std::vector<PnDevicePort> Ports;
    std::vector<PnParameterRecordDataItem> ParameterRecordDataItems;
};
