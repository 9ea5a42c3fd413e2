// SPDX-License-Identifier: Apache-2.0
#pragma once

// Port topology document (which port is wired to which) and the transmission
// rates a port can be configured for.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

// Port transmission rates. The values follow the configuration server's
// numbering, not the speed.
enum TransmissionRate : std::int32_t {
    TransmissionRate_TP10MbpsHalfDuplex = 0,
    TransmissionRate_TP10MbpsFullDuplex = 1,
    TransmissionRate_AsyncFiber10MbpsHalfDuplex = 2,
    TransmissionRate_AsyncFiber10MbpsFullDuplex = 3,
    TransmissionRate_TP100MbpsHalfDuplex = 4,
    TransmissionRate_TP100MbpsFullDuplex = 5,
    TransmissionRate_POFPCF100MbpsFullDuplex = 6,
    TransmissionRate_FO100MbpsFullDuplex = 7,
    TransmissionRate_X1000MbpsFullDuplex = 8,
    TransmissionRate_FO1000MbpsFullDuplex = 9,
    TransmissionRate_FO1000MbpsFullDuplexLD = 10,
    TransmissionRate_TP1000MbpsFullDuplex = 11,
    TransmissionRate_FO10000MbpsFullDuplex = 12,
    TransmissionRate_FO100MbpsFullDuplexLD = 13,
    // No known rate: the answer for any unknown text and a port's default.
    TransmissionRate_Unknown = 14,
};

// The rate whose display text (for instance "TP 100-Mbps Full Duplex") equals
// text exactly, byte for byte; TransmissionRate_Unknown for any other text.
// Never fails; safe to call from several threads at once.
JSONRPCCLIENT_API TransmissionRate GetTransmissionRateByString(const std::string& text);

// One end of a port interconnection. The two references are held in the ANSI
// code page and written as UTF-8 (ToJson() throws std::runtime_error when
// that conversion fails).
struct JSONRPCCLIENT_API PnPort : public PnObjectBase {
    PnPort();
    PnPort(const std::string& deviceRefId, const std::string& interfaceRefId,
           unsigned char portNumber);
    PnPort(const PnPort&);
    PnPort& operator=(const PnPort&);
    ~PnPort() override;
    Json::Value ToJson() const override;

    std::string DeviceRefId;
    std::string InterfaceRefId;
    std::uint8_t PortNumber = 255;
};

struct JSONRPCCLIENT_API PnPortInterconnectionProperties : public PnObjectBase {
    PnPortInterconnectionProperties();
    PnPortInterconnectionProperties(const PnPortInterconnectionProperties&);
    PnPortInterconnectionProperties& operator=(const PnPortInterconnectionProperties&);
    ~PnPortInterconnectionProperties() override;
    Json::Value ToJson() const override;

    std::string CableLength = "max100m";
};

struct JSONRPCCLIENT_API PnPortInterconnection : public PnObjectBase {
    PnPortInterconnection();
    PnPortInterconnection(const PnPortInterconnection&);
    PnPortInterconnection& operator=(const PnPortInterconnection&);
    ~PnPortInterconnection() override;
    Json::Value ToJson() const override;

    PnPort LocalPort;
    PnPort PartnerPort;
    PnPortInterconnectionProperties PortInterconnectionProperties;
};

// Topology document. With no interconnection ToJson() returns null.
struct JSONRPCCLIENT_API PnTopology : public PnObjectBase {
    PnTopology();
    PnTopology(const PnTopology&);
    PnTopology& operator=(const PnTopology&);
    ~PnTopology() override;
    Json::Value ToJson() const override;

    std::vector<PnPortInterconnection> PortInterconnectionList;
};
