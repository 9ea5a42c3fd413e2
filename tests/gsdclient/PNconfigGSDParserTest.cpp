// SPDX-License-Identifier: Apache-2.0
// The facade's own rules: refused arguments, output arguments and the two
// ways of turning a client's error list into a status. Tests without a
// server rely on the process-wide registry being empty; the others start a
// scripted stand-in server as the registry's default.

#include "GsdTestSupport.h"
#include "ScriptedServerFixture.h"

#include <JsonRpcClient/clients/PNconfigGSDParser.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/rpc/FailureCodes.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace Tavrel::Gsd;
namespace FailureCode = RpcClient::FailureCode;
using gsdtest::ParseJson;

namespace {

PNconfigGSDParser& Parser() {
    return PNconfigGSDParser::getInstance();
}

// What a refused call must have done to its output argument.
enum class Output { Kept, Emptied };

struct RefusedCase {
    const char* what;
    // Calls with one required argument empty; returns the status and whether
    // the output still holds what the test put there.
    std::function<long(bool& kept)> call;
    long expected;
    Output output;
};

// A refused call whose output is a list, primed with one element.
template <class Element, class Call>
RefusedCase ListCase(const char* what, long expected, Output output, Call call) {
    return {what,
            [call](bool& kept) {
                std::vector<Element> out(1);
                const long status = call(Parser(), out);
                kept = !out.empty();
                return status;
            },
            expected, output};
}

const std::vector<RefusedCase>& RefusedCases() {
    static const std::vector<RefusedCase> cases = {
        {"GetGsdDeviceInfo a",
         [](bool& kept) {
             GsdDeviceInfo info;
             info.VendorName = "keep";
             const long s = Parser().GetGsdDeviceInfo("", info);
             kept = info.VendorName == "keep";
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
        ListCase<DeviceCatalog>("GetDeviceCatalog a", FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<DeviceCatalog>& out) {
                     return p.GetDeviceCatalog("", out);
                 }),
        ListCase<moduleCatalog>("GetPluggableModuleCatalog b", FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<moduleCatalog>& out) {
                     return p.GetPluggableModuleCatalog("a", "", out);
                 }),
        ListCase<subModuleCatalog>("GetPluggableSubModuleListCatalog c",
                 FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<subModuleCatalog>& out) {
                     return p.GetPluggableSubModuleListCatalog("a", "b", "", out);
                 }),
        ListCase<subModuleCatalog>("GetPluggableSubModuleListCatalogByDevID a",
                 FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<subModuleCatalog>& out) {
                     return p.GetPluggableSubModuleListCatalogByDevID("", "b", out);
                 }),
        ListCase<moduleData>("GetBuildInModuleData b", FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<moduleData>& out) {
                     return p.GetBuildInModuleData("a", "", out);
                 }),
        ListCase<int>("GetDevicePhysicalSlots a", FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<int>& out) {
                     return p.GetDevicePhysicalSlots("", "b", out);
                 }),
        ListCase<int>("GetModulePhysicalSubSlots c", FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<int>& out) {
                     return p.GetModulePhysicalSubSlots("a", "b", "", out);
                 }),
        ListCase<int>("GetPluggableModuleSlotRelation c", FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<int>& out) {
                     return p.GetPluggableModuleSlotRelation("a", "b", "", out);
                 }),
        ListCase<subModuleSlotRelation>("GetPluggableSubModuleSlotRelation a",
                 FailureCode::Fail, Output::Emptied,
                 [](PNconfigGSDParser& p, std::vector<subModuleSlotRelation>& out) {
                     return p.GetPluggableSubModuleSlotRelation("", "b", "c", out);
                 }),
        {"GetDapModuleInfo b",
         [](bool& kept) {
             baseInfo info;
             info.Name = "keep";
             const long s = Parser().GetDapModuleInfo("a", "", info);
             kept = info.Name == "keep";
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetModuleData b",
         [](bool& kept) {
             moduleData data;
             data.virSubSlotNumber = 9;
             const long s = Parser().GetModuleData("a", "", "c", data);
             kept = data.virSubSlotNumber == 9;
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetSubModuleData c",
         [](bool& kept) {
             moduleItem item;
             item.SlotNumber = 9;
             const long s = Parser().GetSubModuleData("a", "b", "", item);
             kept = item.SlotNumber == 9;
             return s;
         },
         FailureCode::Fail, Output::Kept},
        // The two lists below are emptied only after the arguments passed.
        ListCase<parameterRecord>("GetSubModuleParameter a", FailureCode::Fail, Output::Kept,
                 [](PNconfigGSDParser& p, std::vector<parameterRecord>& out) {
                     return p.GetSubModuleParameter("", "b", "c", out);
                 }),
        ListCase<int>("GetWriteableIMRecords b", FailureCode::Fail, Output::Kept,
                 [](PNconfigGSDParser& p, std::vector<int>& out) {
                     return p.GetWriteableIMRecords("a", "", "c", out);
                 }),
        {"GetPortSubModuleParameter c",
         [](bool& kept) {
             portParameter port;
             port.PTP_BoundarySupported = true;
             const long s = Parser().GetPortSubModuleParameter("a", "b", "", "d", port);
             kept = port.PTP_BoundarySupported;
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetSubmoduleIRTsupportType a",
         [](bool& kept) {
             supportRTType type = static_cast<supportRTType>(3);
             const long s = Parser().GetSubmoduleIRTsupportType("", "b", type);
             kept = type == 3;
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetSubmoduleAPI b",
         [](bool& kept) {
             int api = 5;
             const long s = Parser().GetSubmoduleAPI("a", "", api);
             kept = api == 5;
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetModuleVirSubSlotAndAPI a",
         [](bool& kept) {
             ModuleVirSubSlotAndAPI v;
             v.virAPI = 4;
             const long s = Parser().GetModuleVirSubSlotAndAPI("", "b", "c", v);
             kept = v.virAPI == 4;
             return s;
         },
         FailureCode::Ok, Output::Kept},
        {"GetModuleVirSubSlotAndAPI c",
         [](bool& kept) {
             ModuleVirSubSlotAndAPI v;
             v.isExist = true;
             const long s = Parser().GetModuleVirSubSlotAndAPI("a", "b", "", v);
             kept = v.isExist;
             return s;
         },
         FailureCode::Ok, Output::Kept},
        {"GetSubmoduleParamDisallowed a",
         [](bool& kept) {
             bool flag = true;
             const long s = Parser().GetSubmoduleParamDisallowed("", "b", flag);
             kept = flag;
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetUnitDiagDescription b",
         [](bool& kept) {
             AlarmData alarm;
             alarm.Help = "keep";
             const long s = Parser().GetUnitDiagDescription("a", "", {1}, alarm);
             kept = alarm.Help == "keep";
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"GetChannalDiagDescription a",
         [](bool& kept) {
             ChannelAlarmData alarm;
             alarm.AlarmNameText = "keep";
             const long s = Parser().GetChannalDiagDescription("", 1, true, 2, 3, 4, alarm);
             kept = alarm.AlarmNameText == "keep";
             return s;
         },
         FailureCode::Fail, Output::Kept},
        {"CalcIoDeviceUpdateTime a",
         [](bool& kept) {
             std::vector<double> times{1.0};
             const long s = Parser().CalcIoDeviceUpdateTime("", "b", 1.0f, times);
             kept = !times.empty();
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
        {"GetSubMoudleIsoParam b",
         [](bool& kept) {
             isochroneMode mode;
             mode.T_DC_Base = 7;
             const long s = Parser().GetSubMoudleIsoParam("a", "", "c", mode);
             kept = mode.T_DC_Base == 7;
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
        {"GetKeltoTemplateGSDNameForPNView a",
         [](bool& kept) {
             std::string name = "keep";
             const long s = Parser().GetKeltoTemplateGSDNameForPNView("", true, name);
             kept = name == "keep";
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
        {"GetKeltoTemplateGSDVersionForWizard a",
         [](bool& kept) {
             std::string version = "keep";
             const long s = Parser().GetKeltoTemplateGSDVersionForWizard("", version);
             kept = version == "keep";
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
        {"GetSubModuleBaseInfo d",
         [](bool& kept) {
             ModuleDataBaseInfo info;
             info.GsdID = "keep";
             const long s = Parser().GetSubModuleBaseInfo("a", "b", "c", "", info);
             kept = info.GsdID == "keep";
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
        {"IsSubmodulePROFIsafeSupported b",
         [](bool& kept) {
             bool supported = true;
             const long s = Parser().IsSubmodulePROFIsafeSupported("a", "", supported);
             kept = supported;
             return s;
         },
         FailureCode::InvalidArg, Output::Kept},
    };
    return cases;
}

}  // namespace

TEST(PNconfigGSDParserTest, IsOneInstanceForTheProcess) {
    EXPECT_EQ(&PNconfigGSDParser::getInstance(), &PNconfigGSDParser::getInstance());
}

TEST(PNconfigGSDParserTest, RefusedArgumentsGiveTheirCodeAndTouchOnlyListsEmptiedFirst) {
    for (const RefusedCase& c : RefusedCases()) {
        bool kept = false;
        EXPECT_EQ(c.call(kept), c.expected) << c.what;
        EXPECT_EQ(kept, c.output == Output::Kept) << c.what;
    }
    EXPECT_EQ(Parser().GetGSDPath(""), "");
}

// With no server filed the temporary client has nothing to talk to and
// records nothing, so every query "succeeds" with its default output.
TEST(PNconfigGSDParserTest, WithoutAServerEveryQueryReturnsZeroAndDefaults) {
    ASSERT_EQ(RpcClient::JobInstanceMgr::Default(), nullptr);

    std::vector<std::string> names{"old"};
    EXPECT_EQ(Parser().LoadAllGsd(names), 0);
    EXPECT_TRUE(names.empty());
    names = {"old"};
    EXPECT_EQ(Parser().TavrelRefreshGsds(names), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(Parser().GetGSDPath("x"), "");

    GsdDeviceInfo info;
    info.VendorIdentNumber = 5;
    EXPECT_EQ(Parser().GetGsdDeviceInfo("x", info), 0);
    EXPECT_EQ(info.VendorIdentNumber, 0u);

    std::vector<subModuleCatalog> subs(2);
    EXPECT_EQ(Parser().GetPluggableSubModuleListCatalog("a", "", "c", subs), 0);
    EXPECT_TRUE(subs.empty());

    int api = 5;
    EXPECT_EQ(Parser().GetSubmoduleAPI("a", "b", api), 0);
    EXPECT_EQ(api, 0);

    bool supported = true;
    EXPECT_EQ(Parser().IsSubmodulePROFIsafeSupported("a", "b", supported), 0);
    EXPECT_FALSE(supported);

    std::vector<double> times{1.0};
    EXPECT_EQ(Parser().CalcIoDeviceUpdateTime("a", "", 0.5f, times), 0);
    EXPECT_TRUE(times.empty());

    ModuleDataBaseInfo base;
    base.GsdID = "old";
    EXPECT_EQ(Parser().GetSubModuleBaseInfo("", "b", "c", "d", base), 0);
    EXPECT_EQ(base.GsdID, "");
}

TEST_F(ScriptedServerTest, ListingCallsSayOnlyFailedWhileQueriesHandOnTheCode) {
    Script(R"({
        "GetInstalledGSDsNames": {"error": {"code": -32601, "message": "missing"}},
        "GetGSDTemplateCatalogs": {"error": {"code": -32602, "message": "bad"}},
        "GetDevicePhysicalSlots": {"error": {"code": -32601, "message": "missing"}},
        "GetSubmoduleAPI": {"error": {"code": -32050, "message": "busy"}}
    })");
    std::vector<std::string> names{"old"};
    EXPECT_EQ(Parser().LoadAllGsd(names), FailureCode::Fail);
    EXPECT_TRUE(names.empty());
    std::vector<GSDTemplateCatalog> templates(1);
    EXPECT_EQ(Parser().GetGSDTemplateCatalogs(templates), FailureCode::Fail);
    EXPECT_TRUE(templates.empty());

    std::vector<int> slots{1, 2};
    EXPECT_EQ(Parser().GetDevicePhysicalSlots("g", "d", slots), FailureCode::InvalidMethod);
    EXPECT_TRUE(slots.empty());
    int api = 7;
    EXPECT_EQ(Parser().GetSubmoduleAPI("g", "s", api), -32050);
    EXPECT_EQ(api, 0);
}

TEST_F(ScriptedServerTest, MissingResultsAreInvalidDataOnlyWhereAShapeIsNeeded) {
    Script(R"({"GetDeviceCatalogs": {}, "GetGSDTemplateCatalogs": {}, "GetGSDPath": {},
               "GetInstalledGSDsNames": {"result": {"not": "a list"}}})");
    std::vector<DeviceCatalog> devices(1);
    EXPECT_EQ(Parser().GetDeviceCatalog("g", devices), FailureCode::InvalidData);
    EXPECT_TRUE(devices.empty());
    std::vector<GSDTemplateCatalog> templates(1);
    EXPECT_EQ(Parser().GetGSDTemplateCatalogs(templates), 0);
    EXPECT_TRUE(templates.empty());
    EXPECT_EQ(Parser().GetGSDPath("g"), "");
    std::vector<std::string> names{"old"};
    EXPECT_EQ(Parser().LoadAllGsd(names), 0);
    EXPECT_TRUE(names.empty());
}

TEST_F(ScriptedServerTest, RefreshKeepsTheOldListWhenItFails) {
    std::vector<std::string> names{"kept.xml"};
    Script(R"({"TavrelRefreshGsds": {"error": {"code": -32000, "message": "locked"}}})");
    EXPECT_EQ(Parser().TavrelRefreshGsds(names), -32000);
    EXPECT_THAT(names, ::testing::ElementsAre("kept.xml"));

    Script(R"({"TavrelRefreshGsds": {"result": ["a.xml", "b.xml"]}})");
    EXPECT_EQ(Parser().TavrelRefreshGsds(names), 0);
    EXPECT_THAT(names, ::testing::ElementsAre("a.xml", "b.xml"));
}

TEST_F(ScriptedServerTest, AnswersReachTheOutputsAndArgumentsReachTheServer) {
    Script(R"({"GetGSDPath": {"result": "/catalog/g.xml"},
               "GetSubmoduleAPI": {"result": 4294967295},
               "GetSubModuleBaseInfo": {"result": {"GsdID": "SM", "Name": "N"}},
               "GetChannalDiagDescription": {"result": {"AlarmNameText": "short circuit"}}})");
    EXPECT_EQ(Parser().GetGSDPath("g.xml"), "/catalog/g.xml");

    int api = 0;
    EXPECT_EQ(Parser().GetSubmoduleAPI("g", "s", api), 0);
    EXPECT_EQ(api, -1);

    // An empty first argument is allowed here and goes out as "".
    ModuleDataBaseInfo base;
    EXPECT_EQ(Parser().GetSubModuleBaseInfo("", "b", "c", "d", base), 0);
    EXPECT_EQ(base.GsdID, "SM");

    ChannelAlarmData alarm;
    EXPECT_EQ(Parser().GetChannalDiagDescription("g", 65535, true, 7, 8, 9, alarm), 0);
    EXPECT_EQ(alarm.AlarmNameText, "short circuit");

    // Refused calls never reach the server.
    ModuleVirSubSlotAndAPI v;
    EXPECT_EQ(Parser().GetModuleVirSubSlotAndAPI("", "b", "c", v), 0);

    const std::vector<Json::Value> sent = Requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0]["params"], ParseJson(R"(["g.xml"])"));
    EXPECT_EQ(sent[2]["method"].asString(), "GetSubModuleBaseInfo");
    EXPECT_EQ(sent[2]["params"], ParseJson(R"(["", "b", "c", "d"])"));
    EXPECT_EQ(gsdtest::Compact(sent[3]["params"]), R"(["g",65535,true,7,8,9])");
}
