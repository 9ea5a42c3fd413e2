// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnTopology.h>

#include "pnconfig/PnJsonWriting.h"

#include <map>

TransmissionRate GetTransmissionRateByString(const std::string& text) {
    // Built once, under the runtime's thread-safe static initialisation, and
    // only read afterwards.
    static const std::map<std::string, TransmissionRate> rates = {
        {"TP 10-Mbps Half Duplex", TransmissionRate_TP10MbpsHalfDuplex},
        {"TP 10-Mbps Full Duplex", TransmissionRate_TP10MbpsFullDuplex},
        {"AsyncFiber 10-Mbps Half Duplex", TransmissionRate_AsyncFiber10MbpsHalfDuplex},
        {"AsyncFiber 10-Mbps Full Duplex", TransmissionRate_AsyncFiber10MbpsFullDuplex},
        {"TP 100-Mbps Half Duplex", TransmissionRate_TP100MbpsHalfDuplex},
        {"TP 100-Mbps Full Duplex", TransmissionRate_TP100MbpsFullDuplex},
        {"POF/PCF 100-Mbps Full Duplex", TransmissionRate_POFPCF100MbpsFullDuplex},
        {"FO 100-Mbps Full Duplex", TransmissionRate_FO100MbpsFullDuplex},
        {"X 1000-Mbps Full Duplex", TransmissionRate_X1000MbpsFullDuplex},
        {"FO 1000-Mbps Full Duplex", TransmissionRate_FO1000MbpsFullDuplex},
        {"FO 1000-Mbps Full Duplex LD", TransmissionRate_FO1000MbpsFullDuplexLD},
        {"TP 1000-Mbps Full Duplex", TransmissionRate_TP1000MbpsFullDuplex},
        {"FO 10000-Mbps Full Duplex", TransmissionRate_FO10000MbpsFullDuplex},
        {"FO 100-Mbps Full Duplex LD", TransmissionRate_FO100MbpsFullDuplexLD},
    };
    const auto found = rates.find(text);
    return found == rates.end() ? TransmissionRate_Unknown : found->second;
}

PnPort::PnPort() = default;
PnPort::PnPort(const std::string& deviceRefId, const std::string& interfaceRefId,
               unsigned char portNumber)
    : DeviceRefId(deviceRefId), InterfaceRefId(interfaceRefId), PortNumber(portNumber) {}
PN_DEFAULT_COPY_AND_DESTROY(PnPort);

Json::Value PnPort::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceRefId")] = PnJson::Utf8Text(DeviceRefId);
    out[PnJson::Key("InterfaceRefId")] = PnJson::Utf8Text(InterfaceRefId);
    out[PnJson::Key("PortNumber")] = PnJson::Int(PortNumber);
    return out;
}

PnPortInterconnectionProperties::PnPortInterconnectionProperties() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnPortInterconnectionProperties);

Json::Value PnPortInterconnectionProperties::ToJson() const {
    Json::Value out;
    out[PnJson::Key("CableLength")] = CableLength;
    return out;
}

PnPortInterconnection::PnPortInterconnection() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnPortInterconnection);

Json::Value PnPortInterconnection::ToJson() const {
    Json::Value out;
    out[PnJson::Key("LocalPort")] = LocalPort.ToJson();
    out[PnJson::Key("PartnerPort")] = PartnerPort.ToJson();
    out[PnJson::Key("PortInterconnectionProperties")] = PortInterconnectionProperties.ToJson();
    return out;
}

PnTopology::PnTopology() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnTopology);

Json::Value PnTopology::ToJson() const {
    Json::Value out;
    PnJson::WriteList(out, "PortInterconnectionList", PortInterconnectionList);
    return out;
}
