// SPDX-License-Identifier: Apache-2.0
#pragma once

// Configuration of one Ethernet port of a PROFINET interface: number, port
// submodule, options and parameter records. The controller interface, the
// device interface and modules each keep their own list of these.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>
#include <JsonRpcClient/pnconfig/PnTopology.h>

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

struct JSONRPCCLIENT_API PnDevicePortOption : public PnObjectBase {
    PnDevicePortOption();
    PnDevicePortOption(const PnDevicePortOption&);
    PnDevicePortOption& operator=(const PnDevicePortOption&);
    ~PnDevicePortOption() override;
    Json::Value ToJson() const override;

    TransmissionRate Rate = TransmissionRate_Unknown;
    bool Monitor = false;
    bool ActivateThisPortForUse = true;
    bool EnableAutoNegotiation = true;
    bool EndOfDetectionOfAccessibleDevices = false;
    bool EndOfTheSyncDomain = false;
    bool EndOfTopologyDiscovery = false;
};

struct JSONRPCCLIENT_API PnDevicePort : public PnObjectBase {
    PnDevicePort();
    PnDevicePort(int portNumber);
    PnDevicePort(const PnDevicePort&);
    PnDevicePort& operator=(const PnDevicePort&);
    ~PnDevicePort() override;
    Json::Value ToJson() const override;

    // Stores the port submodule's subslot and marks it as specified; the
    // server ignores SubslotNumber while SubslotNumberSpecified is false.
    void SetSubslotNumber(int subslotNumber);
    // Replaces the parameter records by a copy of records.
    void SetParameterData(const std::vector<PnParameterRecordDataItem>& records);

    std::int32_t PortNumber = 255;
    // Written only when not empty.
    std::string GsdRefId;
    std::int32_t SubslotNumber = 0;
    bool SubslotNumberSpecified = false;
    PnDevicePortOption PortOptions;
    std::vector<PnParameterRecordDataItem> ParameterRecordDataItems;
};

// A port list as a model object of its own. With no port ToJson() returns null.
struct JSONRPCCLIENT_API PnDevicePorts : public PnObjectBase {
    PnDevicePorts();
    PnDevicePorts(const PnDevicePorts&);
    PnDevicePorts& operator=(const PnDevicePorts&);
    ~PnDevicePorts() override;
    Json::Value ToJson() const override;

    std::vector<PnDevicePort> Ports;
};
