// SPDX-License-Identifier: Apache-2.0
#include "ConfigCheck.h"
#include "servers/ServerTestSupport.h"

#include <GsdParser.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

const std::string kIoBlock = "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml";

Json::Value Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return TestJson::ParseJson(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The sample documents: two devices of the IOBlock sample, wired in a line.
struct Documents {
    Json::Value configuration = Read(SAMPLES_DIR "/config/configuration.json");
    Json::Value nodes = Read(SAMPLES_DIR "/config/list-of-nodes.json");
    Json::Value topology = Read(SAMPLES_DIR "/config/topology.json");

    std::vector<TavrelPN::Finding> Check() const {
        static const GsdCatalog::GsdFilePtr file = [] {
            std::ifstream in(SAMPLES_DIR "/gsdml/" + kIoBlock, std::ios::binary);
            return GsdCatalog::ParseGsdml(std::string(std::istreambuf_iterator<char>(in), {}), "en")
                .file;
        }();
        return TavrelPN::CheckDocuments(
            configuration, nodes, topology,
            [](const std::string& gsdPath) { return gsdPath == kIoBlock ? file : nullptr; });
    }

    // The member a JSON pointer names, created when missing.
    Json::Value& At(const std::string& document, const std::string& pointer) {
        Json::Value* at = document == "configuration" ? &configuration
                          : document == "listOfNodes" ? &nodes
                                                      : &topology;
        std::istringstream parts(pointer.substr(1));
        for (std::string part; std::getline(parts, part, '/');) {
            at = at->isArray() ? &(*at)[std::stoi(part)] : &(*at)[part];
        }
        return *at;
    }
};

TEST(ConfigCheck, SampleDocumentsPassAndEachMistakeIsFoundWhereItIs) {
    EXPECT_TRUE(Documents().Check().empty());

    const std::string device0 = "/DeviceListConf/0";
    const std::string device1 = "/DeviceListConf/1";
    const std::string ip =
        "/DeviceInterface/EthernetAddresses/IpProtocol/IpProtocolSetInTheProject";
    const std::string mix = device0 + "/DeviceModules/0";
    struct Case {
        const char* document;
        std::string pointer;  // the member that is changed, and where the finding must point
        const char* value;    // JSON
        const char* message;  // part of the finding's message
    };
    // Mistakes the command-line tool's sample documents already show are left to its test.
    // clang-format off
    const Case cases[] = {
        {"listOfNodes", "/DeviceNodeList/1/DeviceId", R"("io-device-1")", "already used"},
        {"listOfNodes", "/DeviceNodeList/2", R"({"DeviceId": "spare", "GsdRefId": "DAP_ST",
             "GsdPath": "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml"})",
         "no device of the configuration"},
        {"configuration", device1 + "/DeviceRefId", R"("io-device-9")", "no entry in the list"},
        {"configuration", device1 + "/DeviceModules/1/GsdRefId", R"("MOD_AI4")", "cannot be plugged into access point"},
        {"configuration", device1 + "/DeviceModules/1/GsdRefId", R"("SM_DI16")", "not a module of"},
        {"configuration", mix + "/SubModuleList/1/SubSlotNumber", "4", "not allowed in subslot 4 (allowed: 2..3)"},
        {"configuration", mix + "/SubModuleList/1/GsdRefId", R"("SM_DI16")", "cannot be plugged into module"},
        {"configuration", device1 + ip + "/IpAddress", R"("192.168.0.1")", "the controller"},
        {"configuration", device1 + ip + "/IpAddress", R"("192.168.0.255")", "broadcast"},
        {"configuration", device1 + ip + "/IpAddress", R"("192.168.0")", "not an IPv4"},
        {"configuration", device1 + ip + "/IpAddress", R"("192.168.256.2")", "not an IPv4"},
        {"configuration", device1 + ip + "/SubnetMask", R"("255.255.0.0")", "mask differs"},
        {"configuration", device1 + "/DeviceInterface/EthernetAddresses/SubnetRefId", R"("PNIE_2")", "not the configuration's subnet"},
        {"configuration", mix + "/SubModuleList/1/IoAddress/InputAddress/StartAddress", "0", "overlap"},
        {"topology", "/PortInterconnectionList/0/LocalPort/PortNumber", "2", "has no port 2"},
        {"topology", "/PortInterconnectionList/1/PartnerPort",
         R"({"DeviceRefId": "io-device-1", "InterfaceRefId": "io-device-1_interface",
             "PortNumber": 2})",
         "already connected"},
        {"topology", "/PortInterconnectionList/1/PartnerPort/DeviceRefId", R"("nobody")", "neither the controller"},
        {"topology", "/PortInterconnectionList/1/PartnerPort/InterfaceRefId", R"("x")", "no interface"},
        // Shapes no model writes give findings, not exceptions.
        {"configuration", "/DeviceListConf", R"({"a": 1})", "must be an array"},
        {"configuration", device0 + "/DeviceModules/0", "7", "must be an object"},
        {"configuration", mix + "/SlotNumber", R"("2")", "must be an integer"},
        {"topology", "/PortInterconnectionList/0/LocalPort", "[1]", "must be an object"},
        {"listOfNodes", "/DeviceNodeList/0/GsdPath", "3", "must be a string"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.document) + c.pointer + " = " + c.value);
        Documents documents;
        documents.At(c.document, c.pointer) = TestJson::ParseJson(c.value);
        const std::vector<TavrelPN::Finding> findings = documents.Check();
        ASSERT_FALSE(findings.empty());
        const bool warning = std::string(c.message) == "mask differs" ||
                             std::string(c.message) == "no device of the configuration";
        EXPECT_EQ(findings[0].severity, warning ? "warning" : "error");
        EXPECT_EQ(findings[0].document, c.document);
        // Within the changed member's object: a port taken twice is found at
        // its number, whichever member made it so.
        EXPECT_EQ(findings[0].path.rfind(c.pointer.substr(0, c.pointer.rfind('/')), 0), 0u)
            << findings[0].path;
        EXPECT_NE(findings[0].message.find(c.message), std::string::npos) << findings[0].message;
    }
    Documents touching;  // touching blocks do not overlap (the first MOD_DI16 takes 64-65)
    touching.At("configuration", device1 + "/DeviceModules/0/IoAddress/InputAddress/StartAddress") =
        66;
    EXPECT_TRUE(touching.Check().empty());
}

TEST(ConfigCheck, LoadKeepsOnlyAcceptedDocumentsForReadingBack) {
    ServerKit::RpcDispatcher dispatcher;
    TavrelPN::AddConfigDocumentMethods(dispatcher, [](const std::string&) { return nullptr; });
    const auto call = [&dispatcher](const char* method, const Json::Value& params) {
        return ServerTest::Call(dispatcher, method, params, true);
    };
    Json::Value withoutDevices = TestJson::ParseJson("[null, null, null]");
    withoutDevices[0] = Documents().configuration;
    withoutDevices[0]["DeviceListConf"] = Json::Value();
    Json::Value refused = withoutDevices;
    refused[0]["SubnetConf"]["SubnetId"] = 5;

    EXPECT_TRUE(call("TavrelGetLoadedConfiguration", Json::Value())["result"].isNull());
    const Json::Value checked = call("TavrelCheckConfiguration", withoutDevices)["result"];
    EXPECT_EQ(checked["Accepted"], true) << checked;
    EXPECT_TRUE(call("TavrelGetLoadedConfiguration", Json::Value())["result"].isNull());
    EXPECT_EQ(call("TavrelLoadConfiguration", withoutDevices)["result"]["Accepted"], true);
    EXPECT_EQ(call("TavrelLoadConfiguration", refused)["result"]["Accepted"], false);
    const Json::Value finding = call("TavrelLoadConfiguration", refused)["result"]["Findings"][0];
    EXPECT_EQ(finding["Path"].asString() + finding["Severity"].asString(),
              "/SubnetConf/SubnetIderror");
    Json::Value loaded = TestJson::ParseJson(R"({"ListOfNodes": null, "Topology": null})");
    loaded["Configuration"] = withoutDevices[0];
    EXPECT_EQ(call("TavrelGetLoadedConfiguration", Json::Value())["result"], loaded);

    for (const char* params : {"[]", "[{}, {}]", "[[], null, null]", "[{}, 1, null]"}) {
        EXPECT_EQ(call("TavrelCheckConfiguration", TestJson::ParseJson(params))["error"]["code"],
                  -32602)
            << params;
    }
}

}  // namespace
