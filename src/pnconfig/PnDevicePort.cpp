// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnDevicePort.h>

#include "pnconfig/PnJsonWriting.h"

PnDevicePortOption::PnDevicePortOption() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDevicePortOption);

Json::Value PnDevicePortOption::ToJson() const {
    Json::Value out;
    out[PnJson::Key("TransmissionRate")] = PnJson::Int(Rate);
    out[PnJson::Key("Monitor")] = Monitor;
    out[PnJson::Key("ActivateThisPortForUse")] = ActivateThisPortForUse;
    out[PnJson::Key("EnableAutoNegotiation")] = EnableAutoNegotiation;
    out[PnJson::Key("EndOfDetectionOfAccessibleDevices")] = EndOfDetectionOfAccessibleDevices;
    out[PnJson::Key("EndOfTheSyncDomain")] = EndOfTheSyncDomain;
    out[PnJson::Key("EndOfTopologyDiscovery")] = EndOfTopologyDiscovery;
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
    out[PnJson::Key("PortNumber")] = PortNumber;
    if (!GsdRefId.empty()) {
        out[PnJson::Key("GsdRefId")] = GsdRefId;
    }
    out[PnJson::Key("SubslotNumber")] = SubslotNumber;
    out[PnJson::Key("SubslotNumberSpecified")] = SubslotNumberSpecified;
    out[PnJson::Key("PortOptions")] = PortOptions.ToJson();
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
