// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnDevicePort.h>

#include "pnconfig/PnJsonWriting.h"

PnDevicePortOption::PnDevicePortOption() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDevicePortOption);

Json::Value PnDevicePortOption::ToJson() const {
    Json::Value out;
    out["TransmissionRate"] = PnJson::Int(Rate);
    out["Monitor"] = Monitor;
    out["ActivateThisPortForUse"] = ActivateThisPortForUse;
    out["EnableAutoNegotiation"] = EnableAutoNegotiation;
    out["EndOfDetectionOfAccessibleDevices"] = EndOfDetectionOfAccessibleDevices;
    out["EndOfTheSyncDomain"] = EndOfTheSyncDomain;
    out["EndOfTopologyDiscovery"] = EndOfTopologyDiscovery;
    return out;
}

PnDevicePort::PnDevicePort() = default;
PnDevicePort::PnDevicePort(int portNumber) : PortNumber(portNumber) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDevicePort);

void PnDevicePort::SetSubslotNumber(int subslotNumber) {
    SubslotNumber = subslotNumber;
    SubslotNumberSpecified = true;
}

void PnDevicePort::SetParameterData(const std::vector<PnParameterRecordDataItem>& records) {
    ParameterRecordDataItems = records;
}

Json::Value PnDevicePort::ToJson() const {
    Json::Value out;
    out["PortNumber"] = PortNumber;
    if (!GsdRefId.empty()) {
        out["GsdRefId"] = GsdRefId;
    }
    out["SubslotNumber"] = SubslotNumber;
    out["SubslotNumberSpecified"] = SubslotNumberSpecified;
    out["PortOptions"] = PortOptions.ToJson();
    PnJson::WriteList(out, "ParameterRecordDataItems", ParameterRecordDataItems);
    return out;
}

PnDevicePorts::PnDevicePorts() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDevicePorts);

Json::Value PnDevicePorts::ToJson() const {
    Json::Value out;
    PnJson::WriteList(out, "Ports", Ports);
    return out;
}
