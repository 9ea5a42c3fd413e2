// SPDX-License-Identifier: Apache-2.0
// Texts the configuration server reads as UTF-8 are held in the ANSI code
// page and converted when written; every other text goes out byte for byte.
// Run under real legacy code pages so that a missing or misplaced conversion
// shows up as wrong bytes. (Windows fixes the code page per process; the test
// run repeats these tests under a double-byte one.)

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AnsiCodePage.h"
#include "PnJsonTestSupport.h"

namespace {

struct TextField {
    const char* what;
    bool converted;
    // Stores the text in the field and returns what was written for it.
    std::function<Json::Value(const std::string&)> writeWith;
};

const std::vector<TextField>& TextFields() {
    static const std::vector<TextField> fields = {
        // Converted.
        {"device name", true,
         [](const std::string& t) { return PnDeviceName(t, 1).ToJson()["DeviceName"]; }},
        {"device interface reference", true,
         [](const std::string& t) {
             PnDeviceInterface iface;
             iface.InterfaceRefId = t;
             return iface.ToJson()["InterfaceRefId"];
         }},
        {"device reference", true,
         [](const std::string& t) {
             PnDeviceConf device;
             device.DeviceRefId = t;
             return device.ToJson()["DeviceRefId"];
         }},
        {"device name inside a whole configuration", true,
         [](const std::string& t) {
             PnDeviceConf device;
             device.DeviceInterface.EthernetAddresses.ProfinetDeviceName.DeviceName = t;
             PnConfiguration configuration(PnControllerConf(), {device}, PnSubnetConf());
             return configuration.ToJson()["DeviceListConf"][0]["DeviceInterface"]
                                          ["EthernetAddresses"]["ProfinetDeviceName"]["DeviceName"];
         }},
        {"device node id", true,
         [](const std::string& t) {
             PnDeviceNode node;
             node.DeviceId = t;
             return node.ToJson()["DeviceId"];
         }},
        {"device node name", true,
         [](const std::string& t) { return PnDeviceNode(t, "", "").ToJson()["DeviceName"]; }},
        {"device interface node id", true,
         [](const std::string& t) {
             PnListOfNodes nodes;
             nodes.DeviceNodeList.emplace_back();
             nodes.DeviceNodeList[0].InterfaceNode.InterfaceId = t;
             return nodes.ToJson()["DeviceNodeList"][0]["InterfaceNode"]["InterfaceId"];
         }},
        {"device interface node name", true,
         [](const std::string& t) {
             PnDeviceInterfaceNode node;
             node.InterfaceName = t;
             return node.ToJson()["InterfaceName"];
         }},
        {"topology device reference", true,
         [](const std::string& t) { return PnPort(t, "", 1).ToJson()["DeviceRefId"]; }},
        {"topology interface reference", true,
         [](const std::string& t) {
             PnTopology topology;
             topology.PortInterconnectionList.resize(1);
             topology.PortInterconnectionList[0].PartnerPort.InterfaceRefId = t;
             return topology
                 .ToJson()["PortInterconnectionList"][0]["PartnerPort"]["InterfaceRefId"];
         }},
        // Copied.
        {"controller name", false,
         [](const std::string& t) { return PnControllerName(t).ToJson()["DeviceName"]; }},
        {"controller reference", false,
         [](const std::string& t) {
             PnControllerConf controller;
             controller.SetDeviceRefId(t);
             return controller.ToJson()["DeviceRefId"];
         }},
        {"controller node name", false,
         [](const std::string& t) {
             PnControllerNode node;
             node.DeviceName = t;
             return node.ToJson()["DeviceName"];
         }},
        {"device subnet reference", false,
         [](const std::string& t) {
             PnDeviceEthernetAddresses addresses;
             addresses.SubnetRefId = t;
             return addresses.ToJson()["SubnetRefId"];
         }},
        {"GSD path", false,
         [](const std::string& t) { return PnDeviceNode("n", t, "").ToJson()["GsdPath"]; }},
        {"GSD reference of a device node", false,
         [](const std::string& t) { return PnDeviceNode("n", "", t).ToJson()["GsdRefId"]; }},
        {"module id", false,
         [](const std::string& t) { return PnDeviceModule(t, 1, "").ToJson()["ModuleId"]; }},
        {"record value", false,
         [](const std::string& t) {
             return PnParameterRecordDataItemRef(0, -1, t).ToJson()["Value"];
         }},
        {"cable length", false,
         [](const std::string& t) {
             PnPortInterconnectionProperties properties;
             properties.CableLength = t;
             return properties.ToJson()["CableLength"];
         }},
        {"sync domain name", false,
         [](const std::string& t) {
             PnSyncDomain domain;
             domain.SyncDomainName = t;
             return domain.ToJson()["SyncDomainName"];
         }},
    };
    return fields;
}

struct LegacyText {
    unsigned int codePage;
    const char* locale;
    std::string ansi;
    std::string utf8;
};

TEST(PnTextConversion, OnlyTheServersUtf8FieldsAreConvertedFromTheAnsiCodePage) {
    const std::vector<LegacyText> samples = {
        // "Gerät-€" in each code page; the euro sign sits at different bytes.
        {28605, "en_US.ISO-8859-15", "Ger\xE4t-\xA4", "Ger\xC3\xA4t-\xE2\x82\xAC"},
        {1252, "en_US.CP1252", "Ger\xE4t-\x80", "Ger\xC3\xA4t-\xE2\x82\xAC"},
        // A double-byte code page: two characters, each two bytes wide.
        {936, "zh_CN.GBK", "io-\xD6\xD0\xCE\xC4", "io-\xE4\xB8\xAD\xE6\x96\x87"},
    };
    int codePagesTried = 0;
    for (const LegacyText& sample : samples) {
        TestText::ScopedAnsiCodePage codePage(sample.codePage, {sample.locale});
        if (!codePage.IsActive()) {
            continue;
        }
        ++codePagesTried;
        for (const TextField& field : TextFields()) {
            SCOPED_TRACE(std::string(sample.locale) + ": " + field.what);
            const Json::Value written = field.writeWith(sample.ansi);
            ASSERT_TRUE(written.isString());
            EXPECT_EQ(written.asString(), field.converted ? sample.utf8 : sample.ansi);
        }
    }
    if (codePagesTried == 0) {
        GTEST_SKIP() << "no sample for this code page, or no legacy locale installed "
                        "(run scripts/setup-deps.sh)";
    }
}

TEST(PnTextConversion, ConvertedFieldsStopAtTheFirstNulAndCopiedFieldsKeepEveryByte) {
    const std::string withNul("ab\0cd", 5);
    for (const TextField& field : TextFields()) {
        SCOPED_TRACE(field.what);
        EXPECT_EQ(field.writeWith(withNul).asString(), field.converted ? "ab" : withNul);
        EXPECT_EQ(field.writeWith("").asString(), "");
    }
}

}  // namespace
