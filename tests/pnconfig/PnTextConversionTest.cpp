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

namespace {

struct TextField {
    std::string what;
    bool converted;
    // Stores the text in the field and returns what was written for it.
    std::function<Json::Value(const std::string&)> writeWith;
};

// A text member written under its own key.
template <class T>
TextField Member(std::string T::*member, const char* key, bool converted) {
    return {key, converted, [member, key](const std::string& text) {
                T object;
                object.*member = text;
                return object.ToJson()[key];
            }};
}

const std::vector<TextField>& TextFields() {
    static const std::vector<TextField> fields = {
        Member(&PnDeviceInterface::InterfaceRefId, "InterfaceRefId", true),
        Member(&PnDeviceConf::DeviceRefId, "DeviceRefId", true),
        Member(&PnDeviceNode::DeviceId, "DeviceId", true),
        Member(&PnDeviceNode::DeviceName, "DeviceName", true),
        Member(&PnDeviceInterfaceNode::InterfaceName, "InterfaceName", true),
        Member(&PnPort::DeviceRefId, "DeviceRefId", true),
        Member(&PnControllerName::DeviceName, "DeviceName", false),
        Member(&PnControllerNode::DeviceName, "DeviceName", false),
        Member(&PnDeviceEthernetAddresses::SubnetRefId, "SubnetRefId", false),
        Member(&PnDeviceNode::GsdPath, "GsdPath", false),
        Member(&PnDeviceNode::GsdRefId, "GsdRefId", false),
        Member(&PnDeviceModule::ModuleId, "ModuleId", false),
        Member(&PnParameterRecordDataItemRef::Value, "Value", false),
        Member(&PnPortInterconnectionProperties::CableLength, "CableLength", false),
        Member(&PnSyncDomain::SyncDomainName, "SyncDomainName", false),
        {"device name", true,
         [](const std::string& t) { return PnDeviceName(t, 1).ToJson()["DeviceName"]; }},
        {"device name inside a whole configuration", true,
         [](const std::string& t) {
             PnDeviceConf device;
             device.DeviceInterface.EthernetAddresses.ProfinetDeviceName.DeviceName = t;
             PnConfiguration configuration(PnControllerConf(), {device}, PnSubnetConf());
             return configuration.ToJson()["DeviceListConf"][0]["DeviceInterface"]
                                          ["EthernetAddresses"]["ProfinetDeviceName"]["DeviceName"];
         }},
        {"device interface node id in the list of nodes", true,
         [](const std::string& t) {
             PnListOfNodes nodes;
             nodes.DeviceNodeList.emplace_back();
             nodes.DeviceNodeList[0].InterfaceNode.InterfaceId = t;
             return nodes.ToJson()["DeviceNodeList"][0]["InterfaceNode"]["InterfaceId"];
         }},
        {"topology interface reference", true,
         [](const std::string& t) {
             PnTopology topology;
             topology.PortInterconnectionList.resize(1);
             topology.PortInterconnectionList[0].PartnerPort.InterfaceRefId = t;
             return topology
                 .ToJson()["PortInterconnectionList"][0]["PartnerPort"]["InterfaceRefId"];
         }},
        {"controller reference", false,
         [](const std::string& t) {
             PnControllerConf controller;
             controller.SetDeviceRefId(t);
             return controller.ToJson()["DeviceRefId"];
         }},
    };
    return fields;
}

TEST(PnTextConversion, OnlyTheServersUtf8FieldsAreConvertedFromTheAnsiCodePage) {
    const struct {
        unsigned int codePage;
        const char* locale;
        std::string ansi;
        std::string utf8;
    } samples[] = {
        // "Gerät-€" in each code page; the euro sign sits at different bytes.
        {28605, "en_US.ISO-8859-15", "Ger\xE4t-\xA4", "Ger\xC3\xA4t-\xE2\x82\xAC"},
        {1252, "en_US.CP1252", "Ger\xE4t-\x80", "Ger\xC3\xA4t-\xE2\x82\xAC"},
        // A double-byte code page: two characters, each two bytes wide.
        {936, "zh_CN.GBK", "io-\xD6\xD0\xCE\xC4", "io-\xE4\xB8\xAD\xE6\x96\x87"},
    };
    int codePagesTried = 0;
    for (const auto& sample : samples) {
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
