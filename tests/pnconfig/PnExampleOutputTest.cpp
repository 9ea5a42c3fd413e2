// SPDX-License-Identifier: Apache-2.0
// Runs the configuration example and checks that the three documents it
// prints form one coherent configuration: everything the example promises is
// there, and every cross reference names something that exists.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "PnJsonTestSupport.h"

namespace {

// Splits the output at its "== <name> ==" lines.
std::map<std::string, Json::Value> RunExample() {
    const std::string outputPath = ::testing::TempDir() + "pnconfig-example-output.txt";
    std::string command = std::string("\"") + PNCONFIG_EXAMPLE + "\" > \"" + outputPath + "\"";
    if (PNCONFIG_WRAP_COMMAND) {
        command = "\"" + command + "\"";
    }
    EXPECT_EQ(std::system(command.c_str()), 0);

    std::ifstream output(outputPath);
    std::map<std::string, std::string> texts;
    std::string line;
    std::string* current = nullptr;
    while (std::getline(output, line)) {
        if (line.size() > 6 && line.compare(0, 3, "== ") == 0 &&
            line.compare(line.size() - 3, 3, " ==") == 0) {
            current = &texts[line.substr(3, line.size() - 6)];
        } else if (current != nullptr) {
            *current += line + '\n';
        }
    }
    std::map<std::string, Json::Value> documents;
    for (const auto& entry : texts) {
        documents[entry.first] = PnTest::Parse(entry.second);
    }
    return documents;
}

std::set<std::string> Collect(const Json::Value& list, const char* key) {
    std::set<std::string> values;
    for (const Json::Value& item : list) {
        values.insert(item[key].asString());
    }
    return values;
}

TEST(PnConfigExample, PrintsACompleteAndConsistentConfiguration) {
    const std::map<std::string, Json::Value> documents = RunExample();
    ASSERT_EQ(documents.size(), 3U);
    const Json::Value& configuration = documents.at("Configuration");
    const Json::Value& nodes = documents.at("List of nodes");
    const Json::Value& topology = documents.at("Topology");

    const Json::Value& subnet = configuration["SubnetConf"];
    const Json::Value& domains = subnet["DomainManagement"]["SyncDomains"]["SyncDomainList"];
    ASSERT_EQ(domains.size(), 2U);
    const std::set<std::string> domainIds = Collect(domains, "SyncDomainId");
    EXPECT_EQ(domainIds.size(), 2U);

    const Json::Value& controller = configuration["ControllerConf"]["DeviceInterface"];
    EXPECT_TRUE(controller["AdvancedOptions"].isMember("IsochronousMode"));
    EXPECT_EQ(
        domainIds.count(
            controller["AdvancedOptions"]["RealTimeSettings"]["Synchronization"]["SyncDomainRefId"]
                .asString()),
        1U);
    EXPECT_EQ(controller["EthernetAddresses"]["SubnetRefId"], subnet["SubnetId"]);

    const Json::Value& devices = configuration["DeviceListConf"];
    ASSERT_EQ(devices.size(), 2U);
    std::set<std::string> usedDomains;
    for (const Json::Value& device : devices) {
        SCOPED_TRACE(device["DeviceRefId"].asString());
        const Json::Value& iface = device["DeviceInterface"];
        const Json::Value& addresses = iface["EthernetAddresses"];
        EXPECT_EQ(addresses["SubnetRefId"], subnet["SubnetId"]);
        EXPECT_EQ(addresses["IoSystemRefId"], subnet["IoSystem"]["IoSystemId"]);
        const std::string domain =
            iface["AdvancedOptions"]["RealTimeSettings"]["Synchronization"]["SyncDomainRefId"]
                .asString();
        EXPECT_EQ(domainIds.count(domain), 1U);
        usedDomains.insert(domain);
        EXPECT_EQ(iface["AdvancedOptions"]["Ports"].size(), 2U);
        EXPECT_TRUE(iface.isMember("ParameterRecordDataItems"));
        EXPECT_TRUE(device.isMember("ParameterRecordDataItems"));

        const Json::Value& modules = device["DeviceModules"];
        ASSERT_GE(modules.size(), 1U);
        std::set<std::string> submoduleRefs;
        for (const Json::Value& module : modules) {
            EXPECT_TRUE(module["IoAddress"].isObject());
            EXPECT_TRUE(module.isMember("ParameterRecordDataItems"));
            ASSERT_GE(module["SubModuleList"].size(), 1U);
            for (const Json::Value& sub : module["SubModuleList"]) {
                EXPECT_TRUE(sub["IoAddress"].isObject());
                submoduleRefs.insert(module["ModuleId"].asString() + "/" +
                                     sub["SubModuleId"].asString());
            }
        }
        const Json::Value& iso = iface["IsochronousMode"];
        EXPECT_TRUE(iso["IsoModeEnabled"].asBool());
        ASSERT_GE(iso["IsochronousSubmodules"].size(), 1U);
        for (const Json::Value& isoSub : iso["IsochronousSubmodules"]) {
            EXPECT_EQ(submoduleRefs.count(isoSub["ModuleRefId"].asString() + "/" +
                                          isoSub["SubModuleRefId"].asString()),
                      1U);
        }
    }
    EXPECT_EQ(usedDomains.size(), 2U) << "each sync domain has a device";

    const std::set<std::string> deviceRefs = Collect(devices, "DeviceRefId");
    ASSERT_EQ(nodes["DeviceNodeList"].size(), 2U);
    EXPECT_EQ(Collect(nodes["DeviceNodeList"], "DeviceId"), deviceRefs);

    // Every wired port belongs to a known node and interface.
    std::set<std::string> knownInterfaces = {
        nodes["ControllerNode"]["DeviceId"].asString() + "/" +
        nodes["ControllerNode"]["PnControllerInterfaceNode"]["InterfaceId"].asString()};
    for (const Json::Value& node : nodes["DeviceNodeList"]) {
        knownInterfaces.insert(node["DeviceId"].asString() + "/" +
                               node["InterfaceNode"]["InterfaceId"].asString());
    }
    const Json::Value& links = topology["PortInterconnectionList"];
    ASSERT_EQ(links.size(), 2U);
    for (const Json::Value& link : links) {
        for (const char* end : {"LocalPort", "PartnerPort"}) {
            const Json::Value& port = link[end];
            EXPECT_EQ(knownInterfaces.count(port["DeviceRefId"].asString() + "/" +
                                            port["InterfaceRefId"].asString()),
                      1U)
                << port;
            EXPECT_GE(port["PortNumber"].asInt(), 1);
        }
        EXPECT_EQ(link["PortInterconnectionProperties"]["CableLength"], "max100m");
    }
}

}  // namespace
