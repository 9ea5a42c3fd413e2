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

// A call with one required argument empty, and its status. A list output is
// primed with one element; `emptied` says whether the refusal clears it.
struct RefusedCase {
    const char* what;
    std::function<long(bool& emptied)> call;
    long expected;
    bool emptied;
};

template <class Element, class Call>
std::function<long(bool&)> List(Call call) {
    return [call](bool& emptied) {
        std::vector<Element> out(1);
        const long status = call(Parser(), out);
        emptied = out.empty();
        return status;
    };
}

template <class Out, class Call>
std::function<long(bool&)> Single(Call call) {
    return [call](bool&) {
        Out out{};
        return call(Parser(), out);
    };
}

using P = PNconfigGSDParser;
const long kFail = FailureCode::Fail;
const long kArg = FailureCode::InvalidArg;

const std::vector<RefusedCase>& RefusedCases() {
    static const std::vector<RefusedCase> cases = {
        {"GetGsdDeviceInfo a",
         Single<GsdDeviceInfo>([](P& p, GsdDeviceInfo& o) { return p.GetGsdDeviceInfo("", o); }),
         kArg, false},
        {"GetDeviceCatalog a", List<DeviceCatalog>([](P& p, std::vector<DeviceCatalog>& o) {
             return p.GetDeviceCatalog("", o);
         }),
         kFail, true},
        {"GetPluggableModuleCatalog b",
         List<moduleCatalog>([](P& p, std::vector<moduleCatalog>& o) {
             return p.GetPluggableModuleCatalog("a", "", o);
         }),
         kFail, true},
        {"GetPluggableSubModuleListCatalogByDevID a",
         List<subModuleCatalog>([](P& p, std::vector<subModuleCatalog>& o) {
             return p.GetPluggableSubModuleListCatalogByDevID("", "b", o);
         }),
         kFail, true},
        {"GetBuildInModuleData b", List<moduleData>([](P& p, std::vector<moduleData>& o) {
             return p.GetBuildInModuleData("a", "", o);
         }),
         kFail, true},
        {"GetModulePhysicalSubSlots c", List<int>([](P& p, std::vector<int>& o) {
             return p.GetModulePhysicalSubSlots("a", "b", "", o);
         }),
         kFail, true},
        {"GetPluggableSubModuleSlotRelation a",
         List<subModuleSlotRelation>([](P& p, std::vector<subModuleSlotRelation>& o) {
             return p.GetPluggableSubModuleSlotRelation("", "b", "c", o);
         }),
         kFail, true},
        // The two lists below are emptied only after the arguments passed.
        {"GetSubModuleParameter a",
         List<parameterRecord>([](P& p, std::vector<parameterRecord>& o) {
             return p.GetSubModuleParameter("", "b", "c", o);
         }),
         kFail, false},
        {"GetWriteableIMRecords b", List<int>([](P& p, std::vector<int>& o) {
             return p.GetWriteableIMRecords("a", "", "c", o);
         }),
         kFail, false},
        {"CalcIoDeviceUpdateTime a", List<double>([](P& p, std::vector<double>& o) {
             return p.CalcIoDeviceUpdateTime("", "b", 1.0f, o);
         }),
         kArg, false},
        {"GetModuleData b",
         Single<moduleData>([](P& p, moduleData& o) { return p.GetModuleData("a", "", "c", o); }),
         kFail, false},
        {"GetPortSubModuleParameter c", Single<portParameter>([](P& p, portParameter& o) {
             return p.GetPortSubModuleParameter("a", "b", "", "d", o);
         }),
         kFail, false},
        {"GetSubmoduleAPI b",
         Single<int>([](P& p, int& o) { return p.GetSubmoduleAPI("a", "", o); }), kFail, false},
        {"GetModuleVirSubSlotAndAPI c",
         Single<ModuleVirSubSlotAndAPI>([](P& p, ModuleVirSubSlotAndAPI& o) {
             return p.GetModuleVirSubSlotAndAPI("a", "b", "", o);
         }),
         FailureCode::Ok, false},
        {"GetChannalDiagDescription a", Single<ChannelAlarmData>([](P& p, ChannelAlarmData& o) {
             return p.GetChannalDiagDescription("", 1, true, 2, 3, 4, o);
         }),
         kFail, false},
        {"GetSubMoudleIsoParam b", Single<isochroneMode>([](P& p, isochroneMode& o) {
             return p.GetSubMoudleIsoParam("a", "", "c", o);
         }),
         kArg, false},
        {"GetKeltoTemplateGSDNameForPNView a", Single<std::string>([](P& p, std::string& o) {
             return p.GetKeltoTemplateGSDNameForPNView("", true, o);
         }),
         kArg, false},
        {"GetSubModuleBaseInfo d", Single<ModuleDataBaseInfo>([](P& p, ModuleDataBaseInfo& o) {
             return p.GetSubModuleBaseInfo("a", "b", "c", "", o);
         }),
         kArg, false},
        {"IsSubmodulePROFIsafeSupported b",
         Single<bool>([](P& p, bool& o) { return p.IsSubmodulePROFIsafeSupported("a", "", o); }),
         kArg, false},
    };
    return cases;
}

}  // namespace

TEST(PNconfigGSDParserTest, RefusedArgumentsGiveTheirCodeAndTouchOnlyListsEmptiedFirst) {
    for (const RefusedCase& c : RefusedCases()) {
        bool emptied = false;
        EXPECT_EQ(c.call(emptied), c.expected) << c.what;
        EXPECT_EQ(emptied, c.emptied) << c.what;
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
