// SPDX-License-Identifier: Apache-2.0
// The configuration model against the JSON the configuration server expects.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AnsiCodePage.h"
#include "support/JsonText.h"

namespace {

using TestJson::ParseJson;

// Written documents hold unsigned integers where parsed ones hold signed
// ones; going through text, as the server receives them, evens that out.
Json::Value AsReceived(const Json::Value& written) {
    return ParseJson(TestJson::Compact(written));
}

template <class T>
Json::Value Default() {
    return T().ToJson();
}

const std::string kController =
    R"({"DeviceRefId": "", "DeviceInterface": {"InterfaceRefId": "PN_Ostrel_1_Interface",
      "EthernetAddresses": {"SubnetRefId": "", "IoSystemRefId": "", "IpProtocol":
      {"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress": "192.168.2.1", "SubnetMask":
      "255.255.255.0", "RouterAddress": "0.0.0.0"}}, "StationName": {"DeviceName": ""}},
      "AdvancedOptions": {"RealTimeSettings": {"Synchronization": {"SyncRole": 3,
      "SyncDomainRefId": "Sync-Domain1"}}}}})";
const std::string kSubnet =
    R"({"SubnetId": "PNIE_1", "IoSystem": {"IoSystemId": "PROFINETIO-System_100", "IoSystemGeneral":
      {"IoSystemName": "PROFINET IO-System", "IoSystemNumber": 100}}, "DomainManagement":
      {"SyncDomains": {"SyncDomainList": [{"SyncDomainId": "Sync-Domain1", "SyncDomainName":
      "Sync-Domain_1", "SendClock": 0.0, "ActivateHighPerformance": false,
      "PermitUsageOfFastForwarding": false}]}}})";
// A port's document; `head` holds the keys before its options.
std::string Port(int number, const std::string& head =
                                 R"("SubslotNumber": 0, "SubslotNumberSpecified": false)") {
    return "{" + head + R"(, "PortOptions": {"TransmissionRate": 14, "Monitor": false,
      "ActivateThisPortForUse": true, "EnableAutoNegotiation": true, "EndOfTheSyncDomain": false,
      "EndOfDetectionOfAccessibleDevices": false, "EndOfTopologyDiscovery": false}, "PortNumber": )" +
           std::to_string(number) + "}";
}
const std::string kTopologyPort = R"({"DeviceRefId": "", "InterfaceRefId": "", "PortNumber": 255})";
// A float goes out as its own value, not as the decimal the caller had in mind.
const std::string kFloatTenth = "0.10000000149011612";

TEST(PnDocuments, EachObjectWritesTheDocumentTheServerExpects) {
    const struct {
        const char* what;
        std::function<Json::Value()> write;
        std::string expected;
    } cases[] = {
        {"controller", Default<PnControllerConf>, kController},
        {"device", Default<PnDeviceConf>,
         R"({"DeviceRefId": "", "DeviceInterface": {"InterfaceRefId": "", "EthernetAddresses":
           {"SubnetRefId": "PNIE_1", "IoSystemRefId": "PROFINETIO-System_100", "IpProtocol":
           {"ItemChoiceType": 2, "IpProtocolSetInTheProject": {"IpAddress": "127.0.0.1",
           "SubnetMask": "255.255.255.0"}}, "ProfinetDeviceName": {"DeviceName": "PN-Device",
           "DeviceNumber": 0}}, "AdvancedOptions": {"RealTimeSettings": {"Synchronization":
           {"SyncRole": 1, "SyncDomainRefId": "Sync-Domain1"}, "IoCycle":
           {"AcceptedUpdateCyclesWithoutIoData": 3, "IoCycleUpdateTime": {"UpdateTimeMode": 0,
           "UpdateTime": 0.0}}}}}})"},
        {"subnet", Default<PnSubnetConf>, kSubnet},
        {"configuration", Default<PnConfiguration>,
         R"({"ControllerConf": )" + kController + R"(, "DeviceListConf": null, "SubnetConf": )" +
             kSubnet + "}"},
        {"list of nodes", Default<PnListOfNodes>,
         R"({"ControllerNode": {"DeviceId": "PN_Ostrel_1", "DeviceVersion": "v3.1", "DeviceName":
           "PROFINET Ostrel", "PnControllerInterfaceNode": {"InterfaceId": "PN_Ostrel_1_Interface",
           "InterfaceType": 1, "InterfaceName": "PN_Ostrel_1_Interface"}}})"},
        {"topology", Default<PnTopology>, "null"},
        {"record item without bit offset",
         [] { return PnParameterRecordDataItemRef(4, -1, "0x01").ToJson(); },
         R"({"ByteOffset": 4, "BitOffset": -1, "BitOffsetSpecified": false, "Value": "0x01"})"},
        {"record with items",
         [] {
             return PnParameterRecordDataItem(-3, {{1, 0, "a"}}).ToJson();
         },
         R"({"GsdRefIndex": -3, "RecordDataItemRefs": [{"ByteOffset": 1, "BitOffset": 0,
           "BitOffsetSpecified": true, "Value": "a"}]})"},
        // Only the controller's two-part constructor fills in the references.
        {"controller addresses from two parts",
         [] { return PnControllerEthernetAddresses({}, PnControllerName("plc")).ToJson(); },
         R"({"SubnetRefId": "PNIE_1", "IoSystemRefId": "PROFINETIO-System_100", "IpProtocol":
           {"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress": "192.168.2.1",
           "SubnetMask": "255.255.255.0", "RouterAddress": "0.0.0.0"}}, "StationName":
           {"DeviceName": "plc"}})"},
        {"device addresses from two parts, the largest device number",
         [] { return PnDeviceEthernetAddresses({}, PnDeviceName("io", ~0U)).ToJson(); },
         R"({"SubnetRefId": "PNIE_1", "IoSystemRefId": "PROFINETIO-System_100", "IpProtocol":
           {"ItemChoiceType": 2, "IpProtocolSetInTheProject": {"IpAddress": "127.0.0.1",
           "SubnetMask": "255.255.255.0"}}, "ProfinetDeviceName": {"DeviceName": "io",
           "DeviceNumber": 4294967295}})"},
        {"port", Default<PnDevicePort>, Port(255)},
        {"port with a reference, records and a subslot set through the setter",
         [] {
             PnDevicePort port(1);
             port.GsdRefId = " ";
             port.SetSubslotNumber(0x8001);
             port.SetParameterData({{2, {}}});
             return port.ToJson();
         },
         Port(1, R"("GsdRefId": " ", "SubslotNumber": 32769, "SubslotNumberSpecified": true,
           "ParameterRecordDataItems": [{"GsdRefIndex": 2}])")},
        {"module", Default<PnDeviceModule>,
         R"({"ModuleId": "", "SlotNumber": 0, "GsdRefId": "", "IoAddress": null})"},
        {"device node from name, path and reference",
         [] { return PnDeviceNode("io-1", "C:/gsd/dev.xml", "DAP 1").ToJson(); },
         R"({"DeviceId": "", "DeviceName": "io-1", "GsdPath": "C:/gsd/dev.xml", "GsdRefId":
           "DAP 1", "InterfaceNode": {"InterfaceId": "io-1_interface", "InterfaceName":
           "io-1_interface"}})"},
        {"interconnection", Default<PnPortInterconnection>,
         R"({"LocalPort": )" + kTopologyPort + R"(, "PartnerPort": )" + kTopologyPort +
             R"(, "PortInterconnectionProperties": {"CableLength": "max100m"}})"},
        {"empty port list object", Default<PnDevicePorts>, "null"},
        {"controller options with both optional parts",
         [] {
             PnControllerAdvancedOptions options;
             PnControllerAdvancedOptionsIsochronousMode iso;
             iso.ApplicationCycle = 0.5F;
             options.SetIsochronousMode(iso);
             PnControllerAdvancedOptionsRealTimeSettingsIOCommunication io;
             io.SendClock = 0.1F;
             options.RealTimeSettings.SetIoCommunication(io);
             options.Ports = {PnDevicePort(1), PnDevicePort(2)};
             return options.ToJson();
         },
         R"({"IsochronousMode": {"ApplicationCycle": 0.5}, "RealTimeSettings": {"Synchronization":
           {"SyncRole": 3, "SyncDomainRefId": "Sync-Domain1"}, "IoCommunication": {"SendClock": )" +
             kFloatTenth + "}}, \"Ports\": [" + Port(1) + ", " + Port(2) + "]}"},
        {"only an output address, the largest",
         [] {
             PnDeviceSubmoduleInOutAddress io;
             io.SetOutputStartAddress(~0U);
             return io.ToJson();
         },
         R"({"OutputAddress": {"StartAddress": 4294967295}})"},
        {"device interface from four parts has an isochronous mode",
         [] {
             const PnDeviceIsochronousMode mode(true, {}, {{"m1", "s1"}, {"m2", "s2"}});
             return PnDeviceInterface("if", {}, {}, mode).ToJson()["IsochronousMode"];
         },
         R"({"IsoModeEnabled": true, "TiToValues": {"IsochronousModeTiTo": 0, "TiToValuesManual":
           {"TiValue": 0.0, "ToValue": 0.0}}, "IsochronousSubmodules": [{"ModuleRefId": "m1",
           "SubModuleRefId": "s1"}, {"ModuleRefId": "m2", "SubModuleRefId": "s2"}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AsReceived(c.write()), ParseJson(c.expected));
    }
}

TEST(PnDocuments, ListsAreWrittenInOrderAndOnlyWhenNotEmpty) {
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(8);
    PnDeviceSubModule submodule("s", 1, "ID_S", io);
    submodule.SetParameterRecordDataItems({{4, {}}});
    PnDeviceModule module("m", 1, "ID_M");
    module.SetInoutStartAddress(io);
    module.SetSubModuleList({submodule});
    PnDevicePort port(1);
    port.SetSubslotNumber(0);  // still counts as set
    module.SetPortList({port});
    module.SetParameterRecordDataItems({{5, {}}});
    EXPECT_EQ(AsReceived(module.ToJson()),
              ParseJson(R"({"ModuleId": "m", "SlotNumber": 1, "GsdRefId": "ID_M", "IoAddress":
                {"InputAddress": {"StartAddress": 8}}, "SubModuleList": [{"SubModuleId": "s",
                "SubSlotNumber": 1, "GsdRefId": "ID_S", "IoAddress": {"InputAddress":
                {"StartAddress": 8}}, "IoLength": 0, "ParameterRecordDataItems": [{"GsdRefIndex":
                4}]}], "Ports": [)" +
                        Port(1, R"("SubslotNumber": 0, "SubslotNumberSpecified": true)") +
                        R"(], "ParameterRecordDataItems": [{"GsdRefIndex": 5}]})"));

    // Device-level and interface-level records are separate lists.
    PnDeviceConf device;
    device.SetDeviceModuleList({module});
    device.DeviceInterface.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {})});
    EXPECT_FALSE(device.ToJson().isMember("ParameterRecordDataItems"));
    device.SetDeviceParameterList({{2, {}}, {3, {}}});
    const Json::Value deviceJson = device.ToJson();
    EXPECT_EQ(deviceJson["DeviceModules"][0], module.ToJson());
    EXPECT_EQ(deviceJson["ParameterRecordDataItems"][1]["GsdRefIndex"], 3);
    EXPECT_EQ(deviceJson["DeviceInterface"]["ParameterRecordDataItems"].size(), 1U);
    PnConfiguration configuration;
    configuration.DeviceListConf = {device, PnDeviceConf()};
    EXPECT_EQ(configuration.ToJson()["DeviceListConf"][0], deviceJson);
    EXPECT_EQ(configuration.ToJson()["DeviceListConf"].size(), 2U);
}

// Optional parts are shared_ptr members, yet model objects are values: a copy
// owns parts of its own. The configuration reaches the controller options'.
using Parts = std::vector<const void*>;

template <class Holder, class PartsOf>
void ExpectValueCopies(const char* what, const Holder& full, PartsOf partsOf) {
    SCOPED_TRACE(what);
    Holder copied(full);
    Holder assigned;
    assigned = full;
    Holder& alias = assigned;
    assigned = alias;
    for (const Holder* copy : {&copied, &assigned}) {
        EXPECT_EQ(AsReceived(copy->ToJson()), AsReceived(full.ToJson()));
        const Parts own = partsOf(*copy);
        const Parts source = partsOf(full);
        for (std::size_t i = 0; i < own.size(); ++i) {
            EXPECT_NE(own[i], nullptr) << i;
            EXPECT_NE(own[i], source[i]) << i;
        }
    }
    assigned = Holder();
    EXPECT_EQ(assigned.ToJson(), Holder().ToJson());
}

TEST(PnCopies, CopiesOwnTheirOptionalPartsAndAssignmentReplacesThem) {
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(1);
    io.SetOutputStartAddress(2);
    PnControllerAdvancedOptions options;
    options.SetIsochronousMode({});
    options.RealTimeSettings.Synchronization.SyncRole = 1;
    options.RealTimeSettings.SetIoCommunication({});
    options.Ports = {PnDevicePort(2)};
    PnDeviceEthernetAddresses addresses;
    addresses.SubnetRefId = "net";
    PnDeviceInterface iface("if", addresses, {}, PnDeviceIsochronousMode(true, {}, {}));
    iface.AdvancedOptions.Ports = {PnDevicePort(1)};
    iface.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {})});
    PnDeviceModule module("m", 1, "g");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "g", io)});
    PnConfiguration configuration(PnControllerConf(), {PnDeviceConf("dev", iface, {module})}, {});
    configuration.ControllerConf.DeviceInterface.AdvancedOptions = options;

    ExpectValueCopies("IO addresses", io, [](const PnDeviceSubmoduleInOutAddress& h) {
        return Parts{h.GetInputAddress(), h.GetOutputAddress()};
    });
    ExpectValueCopies("device interface", iface,
                      [](const auto& h) { return Parts{h.IsochronousMode.get()}; });
    ExpectValueCopies("configuration", configuration, [](const PnConfiguration& h) {
        const PnDeviceConf& device = h.DeviceListConf[0];
        const auto& plc = h.ControllerConf.DeviceInterface.AdvancedOptions;
        return Parts{device.DeviceInterface.IsochronousMode.get(), plc.IsochronousMode.get(),
                     plc.RealTimeSettings.IoCommunication.get(),
                     device.DeviceModules[0].SubModuleList[0].IoAddress.GetInputAddress()};
    });
}

TEST(PnTransmissionRate, EveryTextMapsToItsOwnValueAndNearMissesAreUnknown) {
    // In the order of their values, from 0.
    const char* const rates[] = {"TP 10-Mbps Half Duplex",         "TP 10-Mbps Full Duplex",
                                 "AsyncFiber 10-Mbps Half Duplex", "AsyncFiber 10-Mbps Full Duplex",
                                 "TP 100-Mbps Half Duplex",        "TP 100-Mbps Full Duplex",
                                 "POF/PCF 100-Mbps Full Duplex",   "FO 100-Mbps Full Duplex",
                                 "X 1000-Mbps Full Duplex",        "FO 1000-Mbps Full Duplex",
                                 "FO 1000-Mbps Full Duplex LD",    "TP 1000-Mbps Full Duplex",
                                 "FO 10000-Mbps Full Duplex",      "FO 100-Mbps Full Duplex LD"};
    for (int value = 0; value < 14; ++value) {
        EXPECT_EQ(GetTransmissionRateByString(rates[value]), value) << rates[value];
    }
    for (const std::string& nearMiss : {std::string(), std::string("tp 100-Mbps Full Duplex"),
                                        std::string("FO 100-Mbps Full Duplex L")}) {
        EXPECT_EQ(GetTransmissionRateByString(nearMiss), TransmissionRate_Unknown) << nearMiss;
    }
}

// Texts the server reads as UTF-8 are held in the ANSI code page and
// converted when written; all others go out byte for byte.
struct TextField {
    std::string what;
    bool converted;
    std::function<Json::Value(const std::string&)> writeWith;
};

template <class T>
TextField Member(std::string T::*member, const char* key, bool converted) {
    return {key, converted, [member, key](const std::string& text) {
                T object;
                object.*member = text;
                return object.ToJson()[key];
            }};
}

TEST(PnTextConversion, OnlyTheServersUtf8FieldsAreConvertedFromTheAnsiCodePage) {
    const TextField fields[] = {
        Member(&PnDeviceInterface::InterfaceRefId, "InterfaceRefId", true),
        Member(&PnDeviceConf::DeviceRefId, "DeviceRefId", true),
        Member(&PnDeviceNode::DeviceId, "DeviceId", true),
        Member(&PnDeviceNode::DeviceName, "DeviceName", true),
        Member(&PnDeviceInterfaceNode::InterfaceId, "InterfaceId", true),
        Member(&PnDeviceInterfaceNode::InterfaceName, "InterfaceName", true),
        Member(&PnPort::DeviceRefId, "DeviceRefId", true),
        Member(&PnPort::InterfaceRefId, "InterfaceRefId", true),
        {"device name", true,
         [](const std::string& t) { return PnDeviceName(t, 1).ToJson()["DeviceName"]; }},
        Member(&PnControllerConf::DeviceRefId, "DeviceRefId", false),
        Member(&PnControllerName::DeviceName, "DeviceName", false),
        Member(&PnDeviceNode::GsdPath, "GsdPath", false),
    };
    const struct {
        unsigned int codePage;
        const char* locale;  // nullptr: whatever is in force
        std::string ansi;
        std::string utf8;
    } samples[] = {
        {0, nullptr, std::string("ab\0cd", 5), "ab"},  // a converted text ends at its first NUL
        // "Gerät-€" in a single-byte code page.
        {1252, "en_US.CP1252", "Ger\xE4t-\x80", "Ger\xC3\xA4t-\xE2\x82\xAC"},
    };
    for (const auto& sample : samples) {
        TestText::ScopedAnsiCodePage codePage(sample.codePage, {sample.locale});
        if (sample.locale != nullptr && !codePage.IsActive()) {
            continue;
        }
        for (const TextField& field : fields) {
            SCOPED_TRACE(std::string(sample.locale ? sample.locale : "-") + ": " + field.what);
            EXPECT_EQ(field.writeWith(sample.ansi), field.converted ? sample.utf8 : sample.ansi);
        }
    }
}

}  // namespace
