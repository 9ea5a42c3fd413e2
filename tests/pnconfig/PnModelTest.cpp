// SPDX-License-Identifier: Apache-2.0
// The configuration model's documents compared against the JSON the
// configuration server expects, key for key; number kinds, copies and the
// transmission-rate lookup.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "support/JsonText.h"

namespace {

using TestJson::ParseJson;

// Written documents hold unsigned integers where a parsed one holds signed
// ones; sending the written document through text, as the server receives
// it, puts both on the same footing (the kinds are checked on their own).
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
const std::string kPort = R"({"SubslotNumber": 0, "SubslotNumberSpecified": false, "PortOptions":
      {"TransmissionRate": 14, "Monitor": false, "ActivateThisPortForUse": true,
      "EnableAutoNegotiation": true, "EndOfDetectionOfAccessibleDevices": false,
      "EndOfTheSyncDomain": false, "EndOfTopologyDiscovery": false}, "PortNumber": )";
const std::string kTopologyPort = R"({"DeviceRefId": "", "InterfaceRefId": "", "PortNumber": 255})";

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
        {"record item", Default<PnParameterRecordDataItemRef>,
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
             return PnParameterRecordDataItem(-3, {{0, 1, "a"}, {}}).ToJson();
         },
         R"({"GsdRefIndex": -3, "RecordDataItemRefs": [{"ByteOffset": 0, "BitOffset": 1,
           "BitOffsetSpecified": true, "Value": "a"}, {"ByteOffset": 0, "BitOffset": -1,
           "BitOffsetSpecified": false, "Value": ""}]})"},
        {"controller IP from settings",
         [] {
             return PnControllerIpProtocol({"10.0.0.1", "255.0.0.0", "10.0.0.254"}).ToJson();
         },
         R"({"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress": "10.0.0.1",
           "SubnetMask": "255.0.0.0", "RouterAddress": "10.0.0.254"}})"},
        {"device IP from settings",
         [] {
             return PnDeviceIpProtocol(ItemChoiceType_Choice0, {"10.0.0.9", "255.0.0.0"}).ToJson();
         },
         R"({"ItemChoiceType": 0, "IpProtocolSetInTheProject": {"IpAddress": "10.0.0.9",
           "SubnetMask": "255.0.0.0"}})"},
        {"controller name", [] { return PnControllerName("plc").ToJson(); },
         R"({"DeviceName": "plc"})"},
        {"port", Default<PnDevicePort>, kPort + "255}"},
        {"numbered port", [] { return PnDevicePort(2).ToJson(); }, kPort + "2}"},
        {"submodule", Default<PnDeviceSubModule>,
         R"({"SubModuleId": "", "SubSlotNumber": 0, "GsdRefId": "", "IoAddress": null,
           "IoLength": 0})"},
        {"module", Default<PnDeviceModule>,
         R"({"ModuleId": "", "SlotNumber": 0, "GsdRefId": "", "IoAddress": null})"},
        {"device node", Default<PnDeviceNode>,
         R"({"DeviceId": "", "DeviceName": "", "GsdPath": "", "GsdRefId": "", "InterfaceNode":
           {"InterfaceId": "", "InterfaceName": ""}})"},
        {"device node from name, path and reference",
         [] { return PnDeviceNode("io-1", "C:/gsd/dev.xml", "DAP 1").ToJson(); },
         R"({"DeviceId": "", "DeviceName": "io-1", "GsdPath": "C:/gsd/dev.xml", "GsdRefId":
           "DAP 1", "InterfaceNode": {"InterfaceId": "io-1_interface", "InterfaceName":
           "io-1_interface"}})"},
        {"device node with empty name",
         [] { return PnDeviceNode("", "p", "r").InterfaceNode.ToJson(); },
         R"({"InterfaceId": "_interface", "InterfaceName": "_interface"})"},
        {"interface node from one text", [] { return PnDeviceInterfaceNode("if").ToJson(); },
         R"({"InterfaceId": "if", "InterfaceName": "if"})"},
        {"interconnection", Default<PnPortInterconnection>,
         R"({"LocalPort": )" + kTopologyPort + R"(, "PartnerPort": )" + kTopologyPort +
             R"(, "PortInterconnectionProperties": {"CableLength": "max100m"}})"},
        {"topology port", [] { return PnPort("dev", "if", 0).ToJson(); },
         R"({"DeviceRefId": "dev", "InterfaceRefId": "if", "PortNumber": 0})"},
        {"Ti/To values from a mode",
         [] { return PnDeviceIsochronousModeTiToValues(IsochronousTiToModeType_Mode1).ToJson(); },
         R"({"IsochronousModeTiTo": 1, "TiToValuesManual": {"TiValue": 0.0, "ToValue": 0.0}})"},
        // Holders with nothing to write give null; empty lists give no key.
        {"IO address block without addresses", Default<PnDeviceSubmoduleInOutAddress>, "null"},
        {"empty port list object", Default<PnDevicePorts>, "null"},
        {"sync domains emptied",
         [] {
             PnDomainManagement management;
             management.SyncDomains.SyncDomainList.clear();
             return management.ToJson();
         },
         R"({"SyncDomains": null})"},
        {"controller options without ports or optional parts", Default<PnControllerAdvancedOptions>,
         R"({"RealTimeSettings": {"Synchronization": {"SyncRole": 3,
           "SyncDomainRefId": "Sync-Domain1"}}})"},
        {"default device interface has no isochronous mode",
         [] { return Json::Value(PnDeviceInterface().ToJson().isMember("IsochronousMode")); },
         "false"},
        // Optional parts are written once present.
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
             return PnDeviceInterface("if", {}, {}, PnDeviceIsochronousMode())
                 .ToJson()["IsochronousMode"];
         },
         R"({"IsoModeEnabled": false, "TiToValues": {"IsochronousModeTiTo": 0,
           "TiToValuesManual": {"TiValue": 0.0, "ToValue": 0.0}}})"},
        {"isochronous submodules in order",
         [] {
             return PnDeviceIsochronousMode(true, {}, {{"m1", "s1"}, {"m2", "s2"}})
                 .ToJson()["IsochronousSubmodules"];
         },
         R"([{"ModuleRefId": "m1", "SubModuleRefId": "s1"},
             {"ModuleRefId": "m2", "SubModuleRefId": "s2"}])"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AsReceived(c.write()), ParseJson(c.expected));
    }
}

TEST(PnDocuments, PortWritesGsdReferenceOnlyWhenSetAndSubslotFlagOnlyThroughTheSetter) {
    const struct {
        const char* what;
        std::function<void(PnDevicePort&)> change;
        const char* gsdRefId;  // nullptr: key absent
        int subslot;
        bool specified;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PnDevicePort port;
        c.change(port);
        const Json::Value json = port.ToJson();
        EXPECT_EQ(json.isMember("GsdRefId"), c.gsdRefId != nullptr);
        EXPECT_EQ(json.get("GsdRefId", "(absent)").asString(),
                  c.gsdRefId ? c.gsdRefId : "(absent)");
        EXPECT_EQ(json["SubslotNumber"].asInt(), c.subslot);
        EXPECT_EQ(json["SubslotNumberSpecified"], Json::Value(c.specified));
        EXPECT_FALSE(json.isMember("ParameterRecordDataItems"));
    }
}

TEST(PnDocuments, ListsAreWrittenInOrderAndOnlyWhenNotEmpty) {
    PnSyncDomains domains;
    domains.SyncDomainList.resize(2);
    domains.SyncDomainList[1].SyncDomainId = "Sync-Domain2";
    const Json::Value sync = domains.ToJson()["SyncDomainList"];
    ASSERT_EQ(sync.size(), 2U);
    EXPECT_EQ(sync[0]["SyncDomainId"], "Sync-Domain1");
    EXPECT_EQ(sync[1]["SyncDomainId"], "Sync-Domain2");

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
    EXPECT_FALSE(PnListOfNodes().ToJson().isMember("DeviceNodeList"));

    // Device-level and interface-level records are separate lists.
    PnDeviceConf device;
    device.SetDeviceModuleList({module});
    device.DeviceInterface.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {})});
    Json::Value deviceJson = device.ToJson();
    EXPECT_TRUE(deviceJson.isMember("DeviceModules"));
    EXPECT_FALSE(deviceJson.isMember("ParameterRecordDataItems"));
    device.SetDeviceParameterList({{2, {}}, {3, {}}});
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
    EXPECT_EQ(AsReceived(PnControllerEthernetAddresses({}, PnControllerName("plc")).ToJson()),
              ParseJson(R"({"SubnetRefId": "PNIE_1", "IoSystemRefId": "PROFINETIO-System_100",
                "IpProtocol": {"IpProtocolSet": 0, "IpProtocolSetInProject": {"IpAddress":
                "192.168.2.1", "SubnetMask": "255.255.255.0", "RouterAddress": "0.0.0.0"}},
                "StationName": {"DeviceName": "plc"}})"));
    const Json::Value deviceFromParts =
        PnDeviceEthernetAddresses(PnDeviceIpProtocol(), PnDeviceName("io", 4)).ToJson();
    EXPECT_EQ(deviceFromParts["SubnetRefId"], "PNIE_1");
    EXPECT_EQ(deviceFromParts["IoSystemRefId"], "PROFINETIO-System_100");
    EXPECT_EQ(deviceFromParts["ProfinetDeviceName"]["DeviceNumber"], 4U);
}

TEST(PnNumbers, IntegersKeepTheirSignednessAndFloatsTheirExactValue) {
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(std::numeric_limits<std::uint32_t>::max());
    IoSystemGeneral general;
    general.IoSystemNumber = 65535;
    PnDeviceSubModule sub("s", 65535, "g", PnDeviceSubmoduleInOutAddress());
    sub.IoLength = 65535;
    PnControllerIpProtocol controllerIp;
    controllerIp.IpProtocolSet = 255;
    PnDevicePortOption option;
    option.Rate = TransmissionRate_FO100MbpsFullDuplexLD;
    PnSyncDomain domain;
    domain.SendClock = 0.1F;
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication ioComm;
    ioComm.SendClock = 0.1F;
    const IsochronousModeTypeTiToValuesManual manual(1.25F, 0.3F);
    const auto f = [](float value) { return Json::Value(static_cast<double>(value)); };
    const struct {
        const char* what;
        Json::Value written;
        Json::ValueType kind;
        Json::Value expected;
    } cases[] = {
        {"device number", PnDeviceName("n", 4294967295U).ToJson()["DeviceNumber"], Json::uintValue,
         Json::UInt(4294967295U)},
        {"start address", io.ToJson()["InputAddress"]["StartAddress"], Json::uintValue,
         Json::UInt(4294967295U)},
        {"accepted update cycles",
         PnDeviceAdvancedOptionsRealTimeSettingsIoCycle()
             .ToJson()["AcceptedUpdateCyclesWithoutIoData"],
         Json::uintValue, Json::UInt(3)},
        {"IO system number", general.ToJson()["IoSystemNumber"], Json::intValue, 65535},
        {"slot number", PnDeviceModule("m", 65535, "g").ToJson()["SlotNumber"], Json::intValue,
         65535},
        {"subslot number", sub.ToJson()["SubSlotNumber"], Json::intValue, 65535},
        {"IO length", sub.ToJson()["IoLength"], Json::intValue, 65535},
        {"IP protocol code", controllerIp.ToJson()["IpProtocolSet"], Json::intValue, 255},
        {"topology port number", PnPort("d", "i", 255).ToJson()["PortNumber"], Json::intValue, 255},
        {"transmission rate", option.ToJson()["TransmissionRate"], Json::intValue, 13},
        {"item choice", PnDeviceIpProtocol().ToJson()["ItemChoiceType"], Json::intValue, 2},
        {"bit offset", PnParameterRecordDataItemRef(0, -1, "").ToJson()["BitOffset"],
         Json::intValue, -1},
        {"sync domain send clock", domain.ToJson()["SendClock"], Json::realValue, f(0.1F)},
        {"controller send clock", ioComm.ToJson()["SendClock"], Json::realValue, f(0.1F)},
        {"Ti value", manual.ToJson()["TiValue"], Json::realValue, 1.25},
        {"To value", manual.ToJson()["ToValue"], Json::realValue, f(0.3F)},
        {"boolean", option.ToJson()["ActivateThisPortForUse"], Json::booleanValue, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.written.type(), c.kind);
        EXPECT_EQ(c.written, c.expected);
    }
    // The float's own value, not the decimal the caller had in mind.
    EXPECT_NE(domain.ToJson()["SendClock"].asDouble(), 0.1);
}

TEST(PnCopies, CopiesAndTheirSourcesShareNothing) {
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(1);
    PnDeviceSubmoduleInOutAddress ioCopy(io);
    ioCopy.SetInputStartAddress(2);
    ioCopy.SetOutputStartAddress(3);
    EXPECT_EQ(AsReceived(io.ToJson()), ParseJson(R"({"InputAddress": {"StartAddress": 1}})"));
    EXPECT_EQ(io.GetOutputAddress(), nullptr);
    EXPECT_NE(io.GetInputAddress(), ioCopy.GetInputAddress());

    PnControllerConf controller;
    auto& realTime = controller.DeviceInterface.AdvancedOptions.RealTimeSettings;
    realTime.SetIoCommunication(PnControllerAdvancedOptionsRealTimeSettingsIOCommunication());
    const Json::Value controllerBefore = controller.ToJson();
    PnControllerConf controllerCopy = controller;
    controllerCopy.DeviceInterface.AdvancedOptions.RealTimeSettings.IoCommunication->SendClock = 2;
    EXPECT_EQ(controller.ToJson(), controllerBefore);

    PnDeviceModule module("m", 1, "g");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "g", io)});
    PnDeviceConf device("dev", PnDeviceInterface(), {module});
    device.DeviceInterface.SetIsochronousMode(PnDeviceIsochronousMode());
    PnConfiguration configuration(PnControllerConf(), {device, device}, PnSubnetConf());
    const Json::Value configurationBefore = configuration.ToJson();
    PnConfiguration copy;
    copy = configuration;
    PnDeviceConf& copiedDevice = copy.DeviceListConf[0];
    copiedDevice.DeviceModules[0].SubModuleList[0].IoAddress.SetOutputStartAddress(9);
    copiedDevice.DeviceInterface.IsochronousMode->IsoModeEnabled = true;
    copy.SubnetConf.DomainManagement.SyncDomains.SyncDomainList.clear();
    EXPECT_EQ(configuration.ToJson(), configurationBefore);

    // ...and the other way round: the copy does not follow its source.
    const Json::Value copyBefore = copy.ToJson();
    configuration.DeviceListConf[1].DeviceInterface.IsochronousMode->IsoModeEnabled = true;
    configuration.DeviceListConf[1].DeviceModules[0].IoAddress.SetInputStartAddress(7);
    EXPECT_EQ(copy.ToJson(), copyBefore);
    // Two devices copied from one do not share their optional parts either.
    EXPECT_NE(configuration.DeviceListConf[0].DeviceInterface.IsochronousMode.get(),
              configuration.DeviceListConf[1].DeviceInterface.IsochronousMode.get());
}

TEST(PnCopies, AssignmentReplacesOptionalPartsAndSelfAssignmentChangesNothing) {
    PnControllerAdvancedOptions withIso;
    withIso.SetIsochronousMode(PnControllerAdvancedOptionsIsochronousMode());
    withIso = PnControllerAdvancedOptions();
    EXPECT_FALSE(withIso.ToJson().isMember("IsochronousMode"));

    PnDeviceConf device;
    device.DeviceInterface.SetIsochronousMode(PnDeviceIsochronousMode());
    device.SetDeviceInterface(PnDeviceInterface());
    EXPECT_FALSE(device.ToJson()["DeviceInterface"].isMember("IsochronousMode"));

    PnDeviceSubmoduleInOutAddress io;
    io.SetOutputStartAddress(1);
    PnDeviceModule module;
    module.SetInoutStartAddress(io);
    module.SetInoutStartAddress(PnDeviceSubmoduleInOutAddress());
    EXPECT_TRUE(module.ToJson()["IoAddress"].isNull());

    // A setter fed from the object's own state keeps that state.
    PnDeviceInterface iface;
    iface.SetIsochronousMode(PnDeviceIsochronousMode(true, {}, {}));
    iface.SetIsochronousMode(*iface.IsochronousMode);
    EXPECT_TRUE(iface.ToJson()["IsochronousMode"]["IsoModeEnabled"].asBool());

    PnDeviceModule full("m", 3, "g");
    full.SetInoutStartAddress(io);
    full.SetSubModuleList({PnDeviceSubModule(), PnDeviceSubModule()});
    full.SetPortList({PnDevicePort(1)});
    full.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {{0, 0, "1"}})});
    const Json::Value before = full.ToJson();
    full.SetSubModuleList(full.SubModuleList);
    full.SetPortList(full.Ports);
    full.SetParameterRecordDataItems(full.ParameterRecordDataItems);
    full.SetInoutStartAddress(full.IoAddress);
    PnDeviceModule& alias = full;
    full = alias;
    EXPECT_EQ(full.ToJson(), before);

    PnConfiguration configuration(PnControllerConf(), {PnDeviceConf()}, PnSubnetConf());
    PnDeviceConf& first = configuration.DeviceListConf[0];
    PnControllerConf& plc = configuration.ControllerConf;
    first.DeviceInterface.SetIsochronousMode(PnDeviceIsochronousMode());
    plc.DeviceInterface.AdvancedOptions.SetIsochronousMode({});
    const Json::Value configurationBefore = configuration.ToJson();
    PnConfiguration& same = configuration;
    configuration = same;
    plc.SetDeviceInterface(plc.DeviceInterface);
    first.SetDeviceInterface(first.DeviceInterface);
    EXPECT_EQ(configuration.ToJson(), configurationBefore);
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
    for (const std::string& nearMiss :
         {std::string(), std::string("tp 100-Mbps Full Duplex"),
          std::string("TP 100-Mbps Full Duplex "), std::string(" TP 100-Mbps Full Duplex"),
          std::string("TP 100-Mbps Full Duplex\0", 24), std::string("TP 100-Mbps Full Duple"),
          std::string("FO 100-Mbps Full Duplex L"), std::string("5")}) {
        EXPECT_EQ(GetTransmissionRateByString(nearMiss), TransmissionRate_Unknown) << nearMiss;
    }
}

// The model's only shared state is the transmission-rate table; copies share
// nothing, so each thread may work on its own copy. Under ThreadSanitizer
// this catches a racy table or a copy still sharing a part with its source.
TEST(PnThreads, FirstLookupsAndCopiesChangedOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    PnDeviceInterface iface;
    iface.SetIsochronousMode(PnDeviceIsochronousMode());
    PnDeviceModule module("m", 1, "g");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "g", PnDeviceSubmoduleInOutAddress())});
    PnConfiguration original(PnControllerConf(), {PnDeviceConf("dev", iface, {module})},
                             PnSubnetConf());
    original.ControllerConf.DeviceInterface.AdvancedOptions.RealTimeSettings.SetIoCommunication(
        PnControllerAdvancedOptionsRealTimeSettingsIOCommunication());
    std::vector<PnConfiguration> copies(kThreads, original);

    std::promise<void> go;
    const std::shared_future<void> start = go.get_future().share();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.wait();
            PnConfiguration& mine = copies[static_cast<size_t>(t)];
            for (int round = 0; round < 100; ++round) {
                if (GetTransmissionRateByString("FO 100-Mbps Full Duplex LD") != 13 ||
                    GetTransmissionRateByString("TP 10-Mbps Half Duplex") != 0 ||
                    GetTransmissionRateByString("TP 10-Mbps Half Duplex ") != 14) {
                    ++wrong;
                }
                PnDeviceConf& device = mine.DeviceListConf[0];
                device.DeviceInterface.IsochronousMode->IsoModeEnabled = (round % 2) == 0;
                device.DeviceModules[0].SubModuleList[0].IoAddress.SetInputStartAddress(
                    static_cast<unsigned int>(t));
                mine.ControllerConf.DeviceInterface.AdvancedOptions.RealTimeSettings
                    .IoCommunication->SendClock = static_cast<float>(t);
                const Json::Value json = mine.ToJson();
                if (json["DeviceListConf"][0]["DeviceModules"][0]["SubModuleList"][0]["IoAddress"]
                        ["InputAddress"]["StartAddress"]
                            .asUInt() != static_cast<unsigned int>(t) ||
                    json["ControllerConf"]["DeviceInterface"]["AdvancedOptions"]["RealTimeSettings"]
                        ["IoCommunication"]["SendClock"]
                            .asDouble() != t) {
                    ++wrong;
                }
            }
        });
    }
    go.set_value();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
