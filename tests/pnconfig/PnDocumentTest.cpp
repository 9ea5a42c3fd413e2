// SPDX-License-Identifier: Apache-2.0
// Whole documents and objects compared against the JSON the configuration
// server expects, key for key and value for value.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PnJsonTestSupport.h"

namespace {

using PnTest::AsReceived;
using PnTest::Parse;

struct DocumentCase {
    const char* what;
    std::function<Json::Value()> write;
    std::string expected;
};

void ExpectDocuments(const std::vector<DocumentCase>& cases) {
    for (const DocumentCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AsReceived(c.write()), Parse(c.expected));
    }
}

const std::string kDefaultController =
    R"({"DeviceRefId": "", "DeviceInterface": {"InterfaceRefId": "PN_Ostrel_1_Interface",
        "EthernetAddresses": {"SubnetRefId": "", "IoSystemRefId": "",
          "IpProtocol": {"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress": "192.168.2.1",
            "SubnetMask": "255.255.255.0", "RouterAddress": "0.0.0.0"}},
          "StationName": {"DeviceName": ""}},
        "AdvancedOptions": {"RealTimeSettings": {"Synchronization": {"SyncRole": 3,
          "SyncDomainRefId": "Sync-Domain1"}}}}})";

const std::string kDefaultDevice =
    R"({"DeviceRefId": "", "DeviceInterface": {"InterfaceRefId": "",
        "EthernetAddresses": {"SubnetRefId": "PNIE_1", "IoSystemRefId": "PROFINETIO-System_100",
          "IpProtocol": {"ItemChoiceType": 2, "IpProtocolSetInTheProject": {
            "IpAddress": "127.0.0.1", "SubnetMask": "255.255.255.0"}},
          "ProfinetDeviceName": {"DeviceName": "PN-Device", "DeviceNumber": 0}},
        "AdvancedOptions": {"RealTimeSettings": {
          "Synchronization": {"SyncRole": 1, "SyncDomainRefId": "Sync-Domain1"},
          "IoCycle": {"AcceptedUpdateCyclesWithoutIoData": 3,
            "IoCycleUpdateTime": {"UpdateTimeMode": 0, "UpdateTime": 0.0}}}}}})";

const std::string kDefaultSyncDomain =
    R"({"SyncDomainId": "Sync-Domain1", "SyncDomainName": "Sync-Domain_1", "SendClock": 0.0,
        "ActivateHighPerformance": false, "PermitUsageOfFastForwarding": false})";

const std::string kDefaultSubnet =
    R"({"SubnetId": "PNIE_1", "IoSystem": {"IoSystemId": "PROFINETIO-System_100",
        "IoSystemGeneral": {"IoSystemName": "PROFINET IO-System", "IoSystemNumber": 100}},
        "DomainManagement": {"SyncDomains": {"SyncDomainList": [)" +
    kDefaultSyncDomain + "]}}}";

const std::string kDefaultPortOptions =
    R"({"TransmissionRate": 14, "Monitor": false, "ActivateThisPortForUse": true,
        "EnableAutoNegotiation": true, "EndOfDetectionOfAccessibleDevices": false,
        "EndOfTheSyncDomain": false, "EndOfTopologyDiscovery": false})";

const std::string kDefaultTopologyPort =
    R"({"DeviceRefId": "", "InterfaceRefId": "", "PortNumber": 255})";

TEST(PnDocuments, DefaultDocumentsAreWhatTheServerExpects) {
    ExpectDocuments({
        {"controller configuration", [] { return PnControllerConf().ToJson(); },
         kDefaultController},
        {"device configuration", [] { return PnDeviceConf().ToJson(); }, kDefaultDevice},
        {"subnet configuration", [] { return PnSubnetConf().ToJson(); }, kDefaultSubnet},
        {"configuration", [] { return PnConfiguration().ToJson(); },
         R"({"ControllerConf": )" + kDefaultController +
             R"(, "DeviceListConf": null, "SubnetConf": )" + kDefaultSubnet + "}"},
        {"list of nodes", [] { return PnListOfNodes().ToJson(); },
         R"({"ControllerNode": {"DeviceId": "PN_Ostrel_1", "DeviceVersion": "v3.1",
             "DeviceName": "PROFINET Ostrel", "PnControllerInterfaceNode": {
               "InterfaceId": "PN_Ostrel_1_Interface", "InterfaceType": 1,
               "InterfaceName": "PN_Ostrel_1_Interface"}}})"},
        {"topology", [] { return PnTopology().ToJson(); }, "null"},
    });
}

TEST(PnDocuments, LeafObjectsWriteTheirDefaultsAndConstructorArguments) {
    ExpectDocuments({
        {"default record item", [] { return PnParameterRecordDataItemRef().ToJson(); },
         R"({"ByteOffset": 0, "BitOffset": -1, "BitOffsetSpecified": false, "Value": ""})"},
        {"record item without bit offset",
         [] { return PnParameterRecordDataItemRef(4, -1, "0x01").ToJson(); },
         R"({"ByteOffset": 4, "BitOffset": -1, "BitOffsetSpecified": false, "Value": "0x01"})"},
        {"record item at bit 0", [] { return PnParameterRecordDataItemRef(1, 0, "1").ToJson(); },
         R"({"ByteOffset": 1, "BitOffset": 0, "BitOffsetSpecified": true, "Value": "1"})"},
        {"record item at bit -2", [] { return PnParameterRecordDataItemRef(1, -2, "").ToJson(); },
         R"({"ByteOffset": 1, "BitOffset": -2, "BitOffsetSpecified": true, "Value": ""})"},
        {"record without items", [] { return PnParameterRecordDataItem(7, {}).ToJson(); },
         R"({"GsdRefIndex": 7})"},
        {"record with items",
         [] {
             return PnParameterRecordDataItem(-3, {{0, 1, "a"}, PnParameterRecordDataItemRef()})
                 .ToJson();
         },
         R"({"GsdRefIndex": -3, "RecordDataItemRefs": [
             {"ByteOffset": 0, "BitOffset": 1, "BitOffsetSpecified": true, "Value": "a"},
             {"ByteOffset": 0, "BitOffset": -1, "BitOffsetSpecified": false, "Value": ""}]})"},
        {"controller IP", [] { return PnControllerIpProtocol().ToJson(); },
         R"({"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress": "192.168.2.1",
             "SubnetMask": "255.255.255.0", "RouterAddress": "0.0.0.0"}})"},
        {"controller IP from settings",
         [] {
             PnControllerIpProtocol ip(
                 PnControllerIpProtocolSetInProject("10.0.0.1", "255.0.0.0", "10.0.0.254"));
             return ip.ToJson();
         },
         R"({"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress": "10.0.0.1",
             "SubnetMask": "255.0.0.0", "RouterAddress": "10.0.0.254"}})"},
        {"device IP", [] { return PnDeviceIpProtocol().ToJson(); },
         R"({"ItemChoiceType": 2, "IpProtocolSetInTheProject": {"IpAddress": "127.0.0.1",
             "SubnetMask": "255.255.255.0"}})"},
        {"device IP from settings",
         [] {
             return PnDeviceIpProtocol(ItemChoiceType_Choice0,
                                       PnDeviceIpProtocolSetInTheProject("10.0.0.9", "255.0.0.0"))
                 .ToJson();
         },
         R"({"ItemChoiceType": 0, "IpProtocolSetInTheProject": {"IpAddress": "10.0.0.9",
             "SubnetMask": "255.0.0.0"}})"},
        {"device name", [] { return PnDeviceName().ToJson(); },
         R"({"DeviceName": "PN-Device", "DeviceNumber": 0})"},
        {"controller name", [] { return PnControllerName("plc").ToJson(); },
         R"({"DeviceName": "plc"})"},
        {"default port", [] { return PnDevicePort().ToJson(); },
         R"({"PortNumber": 255, "SubslotNumber": 0, "SubslotNumberSpecified": false,
             "PortOptions": )" +
             kDefaultPortOptions + "}"},
        {"numbered port", [] { return PnDevicePort(2).ToJson(); },
         R"({"PortNumber": 2, "SubslotNumber": 0, "SubslotNumberSpecified": false,
             "PortOptions": )" +
             kDefaultPortOptions + "}"},
        {"default submodule", [] { return PnDeviceSubModule().ToJson(); },
         R"({"SubModuleId": "", "SubSlotNumber": 0, "GsdRefId": "", "IoAddress": null,
             "IoLength": 0})"},
        {"default module", [] { return PnDeviceModule().ToJson(); },
         R"({"ModuleId": "", "SlotNumber": 0, "GsdRefId": "", "IoAddress": null})"},
        {"default device node", [] { return PnDeviceNode().ToJson(); },
         R"({"DeviceId": "", "DeviceName": "", "GsdPath": "", "GsdRefId": "",
             "InterfaceNode": {"InterfaceId": "", "InterfaceName": ""}})"},
        {"device node from name, path and reference",
         [] { return PnDeviceNode("io-1", "C:/gsd/dev.xml", "DAP 1").ToJson(); },
         R"({"DeviceId": "", "DeviceName": "io-1", "GsdPath": "C:/gsd/dev.xml",
             "GsdRefId": "DAP 1", "InterfaceNode": {"InterfaceId": "io-1_interface",
             "InterfaceName": "io-1_interface"}})"},
        {"device node with empty name",
         [] { return PnDeviceNode("", "p", "r").InterfaceNode.ToJson(); },
         R"({"InterfaceId": "_interface", "InterfaceName": "_interface"})"},
        {"interface node from one text", [] { return PnDeviceInterfaceNode("if").ToJson(); },
         R"({"InterfaceId": "if", "InterfaceName": "if"})"},
        {"default interconnection", [] { return PnPortInterconnection().ToJson(); },
         R"({"LocalPort": )" + kDefaultTopologyPort + R"(, "PartnerPort": )" +
             kDefaultTopologyPort + R"(, "PortInterconnectionProperties": {
             "CableLength": "max100m"}})"},
        {"topology port", [] { return PnPort("dev", "if", 0).ToJson(); },
         R"({"DeviceRefId": "dev", "InterfaceRefId": "if", "PortNumber": 0})"},
        {"Ti/To values from a mode",
         [] { return PnDeviceIsochronousModeTiToValues(IsochronousTiToModeType_Mode1).ToJson(); },
         R"({"IsochronousModeTiTo": 1, "TiToValuesManual": {"TiValue": 0.0, "ToValue": 0.0}})"},
    });
}

TEST(PnDocuments, HoldersWithNothingToWriteGiveNullAndEmptyListsGiveNoKey) {
    ExpectDocuments({
        {"IO address block without addresses",
         [] { return PnDeviceSubmoduleInOutAddress().ToJson(); }, "null"},
        {"empty port list object", [] { return PnDevicePorts().ToJson(); }, "null"},
        {"sync domains emptied",
         [] {
             PnDomainManagement management;
             management.SyncDomains.SyncDomainList.clear();
             return management.ToJson();
         },
         R"({"SyncDomains": null})"},
        {"controller without ports or optional parts",
         [] { return PnControllerAdvancedOptions().ToJson(); },
         R"({"RealTimeSettings": {"Synchronization": {"SyncRole": 3,
             "SyncDomainRefId": "Sync-Domain1"}}})"},
        {"list of nodes without devices",
         [] { return PnListOfNodes().ToJson().isMember("DeviceNodeList"); }, "false"},
    });
}

TEST(PnDocuments, OptionalPartsAreWrittenOnlyOncePresent) {
    ExpectDocuments({
        {"IO communication",
         [] {
             PnControllerAdvancedOptionsRealTimeSettings settings;
             PnControllerAdvancedOptionsRealTimeSettingsIOCommunication io;
             io.SendClock = 1;
             settings.SetIoCommunication(io);
             return settings.ToJson();
         },
         R"({"Synchronization": {"SyncRole": 3, "SyncDomainRefId": "Sync-Domain1"},
             "IoCommunication": {"SendClock": 1.0}})"},
        {"controller isochronous mode",
         [] {
             PnControllerAdvancedOptions options;
             PnControllerAdvancedOptionsIsochronousMode iso;
             iso.ApplicationCycle = 0.5F;
             options.SetIsochronousMode(iso);
             return options.ToJson()["IsochronousMode"];
         },
         R"({"ApplicationCycle": 0.5})"},
        {"only an output address",
         [] {
             PnDeviceSubmoduleInOutAddress io;
             io.SetOutputStartAddress(5);
             return io.ToJson();
         },
         R"({"OutputAddress": {"StartAddress": 5}})"},
        {"input address set twice keeps the last",
         [] {
             PnDeviceSubmoduleInOutAddress io;
             io.SetInputStartAddress(1);
             io.SetInputStartAddress(0);
             return io.ToJson();
         },
         R"({"InputAddress": {"StartAddress": 0}})"},
        {"device interface from four parts has an isochronous mode",
         [] {
             PnDeviceInterface iface("if", PnDeviceEthernetAddresses(), PnDeviceAdvancedOptions(),
                                     PnDeviceIsochronousMode());
             return iface.ToJson()["IsochronousMode"];
         },
         R"({"IsoModeEnabled": false, "TiToValues": {"IsochronousModeTiTo": 0,
             "TiToValuesManual": {"TiValue": 0.0, "ToValue": 0.0}}})"},
        {"default device interface has none",
         [] { return PnDeviceInterface().ToJson().isMember("IsochronousMode"); }, "false"},
    });
}

TEST(PnDocuments, PortWritesGsdReferenceOnlyWhenSetAndSubslotFlagOnlyThroughTheSetter) {
    struct PortCase {
        const char* what;
        std::function<void(PnDevicePort&)> change;
        const char* gsdRefId;  // nullptr: key absent
        int subslot;
        bool specified;
    };
    const std::vector<PortCase> cases = {
        {"untouched", [](PnDevicePort&) {}, nullptr, 0, false},
        {"setter with 0", [](PnDevicePort& p) { p.SetSubslotNumber(0); }, nullptr, 0, true},
        {"setter with 0x8001", [](PnDevicePort& p) { p.SetSubslotNumber(0x8001); }, nullptr, 0x8001,
         true},
        {"member set directly", [](PnDevicePort& p) { p.SubslotNumber = 3; }, nullptr, 3, false},
        {"one-space reference", [](PnDevicePort& p) { p.GsdRefId = " "; }, " ", 0, false},
        {"flag cleared by assignment",
         [](PnDevicePort& p) {
             p.SetSubslotNumber(9);
             p = PnDevicePort();
         },
         nullptr, 0, false},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.what);
        PnDevicePort port;
        c.change(port);
        const Json::Value json = port.ToJson();
        EXPECT_EQ(json.isMember("GsdRefId"), c.gsdRefId != nullptr);
        if (c.gsdRefId != nullptr) {
            EXPECT_EQ(json["GsdRefId"].asString(), c.gsdRefId);
        }
        EXPECT_EQ(json["SubslotNumber"].asInt(), c.subslot);
        EXPECT_EQ(json["SubslotNumberSpecified"], Json::Value(c.specified));
        EXPECT_FALSE(json.isMember("ParameterRecordDataItems"));
    }
}

TEST(PnDocuments, ListsAreWrittenInOrderAndOnlyWhenNotEmpty) {
    PnSyncDomains domains;
    domains.SyncDomainList.resize(2);
    domains.SyncDomainList[1].SyncDomainId = "Sync-Domain2";
    const Json::Value syncJson = domains.ToJson();
    ASSERT_EQ(syncJson["SyncDomainList"].size(), 2U);
    EXPECT_EQ(syncJson["SyncDomainList"][0]["SyncDomainId"], "Sync-Domain1");
    EXPECT_EQ(syncJson["SyncDomainList"][1]["SyncDomainId"], "Sync-Domain2");

    PnDeviceIsochronousMode iso(true, PnDeviceIsochronousModeTiToValues(),
                                {{"m1", "s1"}, {"m2", "s2"}});
    EXPECT_EQ(AsReceived(iso.ToJson()["IsochronousSubmodules"]),
              Parse(R"([{"ModuleRefId": "m1", "SubModuleRefId": "s1"},
                        {"ModuleRefId": "m2", "SubModuleRefId": "s2"}])"));

    PnControllerAdvancedOptions options;
    options.Ports = {PnDevicePort(1), PnDevicePort(2)};
    const Json::Value ports = options.ToJson()["Ports"];
    ASSERT_EQ(ports.size(), 2U);
    EXPECT_EQ(ports[0]["PortNumber"], 1);
    EXPECT_EQ(ports[1]["PortNumber"], 2);

    PnDeviceModule module("m", 1, "ID_M");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "ID_S", PnDeviceSubmoduleInOutAddress())});
    const Json::Value moduleJson = module.ToJson();
    EXPECT_EQ(moduleJson["SubModuleList"].size(), 1U);
    EXPECT_FALSE(moduleJson.isMember("Ports"));
    EXPECT_FALSE(moduleJson.isMember("ParameterRecordDataItems"));

    // Device-level and interface-level records are separate lists.
    PnDeviceConf device;
    device.SetDeviceModuleList({module});
    device.DeviceInterface.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {})});
    Json::Value deviceJson = device.ToJson();
    EXPECT_TRUE(deviceJson.isMember("DeviceModules"));
    EXPECT_FALSE(deviceJson.isMember("ParameterRecordDataItems"));
    EXPECT_EQ(deviceJson["DeviceInterface"]["ParameterRecordDataItems"].size(), 1U);
    device.SetDeviceParameterList(
        {PnParameterRecordDataItem(2, {}), PnParameterRecordDataItem(3, {})});
    deviceJson = device.ToJson();
    EXPECT_EQ(deviceJson["ParameterRecordDataItems"][1]["GsdRefIndex"], 3);
    EXPECT_EQ(deviceJson["DeviceInterface"]["ParameterRecordDataItems"].size(), 1U);

    PnConfiguration configuration;
    configuration.DeviceListConf.push_back(device);
    const Json::Value configurationJson = configuration.ToJson();
    ASSERT_TRUE(configurationJson["DeviceListConf"].isArray());
    EXPECT_EQ(configurationJson["DeviceListConf"].size(), 1U);
}

TEST(PnDocuments, ConstructorsThatTakePartsMatchAssigningThoseParts) {
    PnControllerConf controller;
    controller.SetDeviceRefId("PLC_1");
    PnSubnetConf subnet;
    subnet.SubnetId = "PNIE_2";
    PnDeviceConf device;
    device.DeviceRefId = "IO_1";

    PnConfiguration assigned;
    assigned.ControllerConf = controller;
    assigned.DeviceListConf = {device};
    assigned.SubnetConf = subnet;
    EXPECT_EQ(PnConfiguration(controller, {device}, subnet).ToJson(), assigned.ToJson());

    // Only the two-object constructor of the controller addresses fills in the
    // subnet and IO system references; the device side always has them.
    EXPECT_EQ(PnControllerEthernetAddresses().ToJson()["SubnetRefId"], "");
    const Json::Value fromParts =
        PnControllerEthernetAddresses(PnControllerIpProtocol(), PnControllerName("plc")).ToJson();
    EXPECT_EQ(fromParts["SubnetRefId"], "PNIE_1");
    EXPECT_EQ(fromParts["IoSystemRefId"], "PROFINETIO-System_100");
    EXPECT_EQ(fromParts["StationName"]["DeviceName"], "plc");
    const Json::Value deviceFromParts =
        PnDeviceEthernetAddresses(PnDeviceIpProtocol(), PnDeviceName("io", 4)).ToJson();
    EXPECT_EQ(deviceFromParts["SubnetRefId"], "PNIE_1");
    EXPECT_EQ(deviceFromParts["IoSystemRefId"], "PROFINETIO-System_100");
    EXPECT_EQ(deviceFromParts["ProfinetDeviceName"]["DeviceNumber"], 4U);
}

}  // namespace
