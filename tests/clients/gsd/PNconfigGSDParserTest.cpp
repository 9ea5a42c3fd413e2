// SPDX-License-Identifier: Apache-2.0
// The facade's own rules: refused arguments, output arguments and the two
// ways of turning a client's error list into a status. Tests without a
// server rely on the process-wide registry being empty; the others start a
// scripted stand-in server as the registry's default.

#include "GsdTestSupport.h"

#include <JsonRpcClient/clients/PNconfigGSDParser.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/rpc/FailureCodes.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace Tavrel::Gsd;
namespace FailureCode = RpcClient::FailureCode;
using gsdtest::ParseJson;

namespace {

PNconfigGSDParser& Parser() {
    return PNconfigGSDParser::getInstance();
}

// A call with one required argument empty, and its status. A list output
// `o` is primed with one element; `emptied` says whether the refusal clears it.
struct RefusedCase {
    const char* what;
    std::function<long(bool& emptied)> call;
    long expected;
    bool emptied;
};

const long kFail = FailureCode::Fail;
const long kArg = FailureCode::InvalidArg;

// clang-format off
#define LIST(T, expected, emptied, ...) RefusedCase{#__VA_ARGS__, [](bool& e) { \
    std::vector<T> o(1); const long status = Parser().__VA_ARGS__; e = o.empty(); \
    return status; }, expected, emptied}
#define ONE(T, expected, ...) \
    RefusedCase{#__VA_ARGS__, [](bool&) { T o{}; return Parser().__VA_ARGS__; }, expected, false}
// clang-format on

const std::vector<RefusedCase>& RefusedCases() {
    static const std::vector<RefusedCase> cases = {
        ONE(GsdDeviceInfo, kArg, GetGsdDeviceInfo("", o)),
        LIST(DeviceCatalog, kFail, true, GetDeviceCatalog("", o)),
        LIST(moduleCatalog, kFail, true, GetPluggableModuleCatalog("a", "", o)),
        LIST(subModuleCatalog, kFail, true, GetPluggableSubModuleListCatalogByDevID("", "b", o)),
        LIST(moduleData, kFail, true, GetBuildInModuleData("a", "", o)),
        LIST(int, kFail, true, GetModulePhysicalSubSlots("a", "b", "", o)),
        LIST(subModuleSlotRelation, kFail, true,
             GetPluggableSubModuleSlotRelation("", "b", "c", o)),
        // The two lists below are emptied only after the arguments passed.
        LIST(parameterRecord, kFail, false, GetSubModuleParameter("", "b", "c", o)),
        LIST(int, kFail, false, GetWriteableIMRecords("a", "", "c", o)),
        LIST(double, kArg, false, CalcIoDeviceUpdateTime("", "b", 1.0f, o)),
        ONE(moduleData, kFail, GetModuleData("a", "", "c", o)),
        ONE(portParameter, kFail, GetPortSubModuleParameter("a", "b", "", "d", o)),
        ONE(int, kFail, GetSubmoduleAPI("a", "", o)),
        ONE(ModuleVirSubSlotAndAPI, FailureCode::Ok, GetModuleVirSubSlotAndAPI("a", "b", "", o)),
        ONE(ChannelAlarmData, kFail, GetChannalDiagDescription("", 1, true, 2, 3, 4, o)),
        ONE(isochroneMode, kArg, GetSubMoudleIsoParam("a", "", "c", o)),
        ONE(std::string, kArg, GetKeltoTemplateGSDNameForPNView("", true, o)),
        ONE(ModuleDataBaseInfo, kArg, GetSubModuleBaseInfo("a", "b", "c", "", o)),
        ONE(bool, kArg, IsSubmodulePROFIsafeSupported("a", "", o)),
    };
    return cases;
}
#undef LIST
#undef ONE

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

    std::vector<std::string> names{"old"}, refreshed{"old"};
    EXPECT_EQ(Parser().LoadAllGsd(names) + Parser().TavrelRefreshGsds(refreshed), 0);
    EXPECT_TRUE(names.empty() && refreshed.empty());
    EXPECT_EQ(Parser().GetGSDPath("x"), "");
    GsdDeviceInfo info;
    info.VendorIdentNumber = 5;
    std::vector<subModuleCatalog> subs(2);
    int api = 5;
    bool supported = true;
    std::vector<double> times{1.0};
    ModuleDataBaseInfo base;
    base.GsdID = "old";
    EXPECT_EQ(Parser().GetGsdDeviceInfo("x", info), 0);
    EXPECT_EQ(Parser().GetPluggableSubModuleListCatalog("a", "", "c", subs), 0);
    EXPECT_EQ(Parser().GetSubmoduleAPI("a", "b", api), 0);
    EXPECT_EQ(Parser().IsSubmodulePROFIsafeSupported("a", "b", supported), 0);
    EXPECT_EQ(Parser().CalcIoDeviceUpdateTime("a", "", 0.5f, times), 0);
    EXPECT_EQ(Parser().GetSubModuleBaseInfo("", "b", "c", "d", base), 0);
    EXPECT_EQ(info.VendorIdentNumber, 0u);
    EXPECT_TRUE(subs.empty());
    EXPECT_EQ(api, 0);
    EXPECT_FALSE(supported);
    EXPECT_TRUE(times.empty());
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

// Calls from several threads at once: each has its own client and error
// list, so one thread's failures never show in another's status.
TEST_F(ScriptedServerTest, ConcurrentCallsKeepTheirOwnStatusAndOutputs) {
    Script(R"({"GetSubmoduleAPI": {"result": 42},
               "GetDevicePhysicalSlots": {"error": {"code": -32601, "message": "missing"}}})");
    constexpr int kThreads = 4;
    constexpr int kCalls = 25;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            PNconfigGSDParser& parser = PNconfigGSDParser::getInstance();
            for (int i = 0; i < kCalls; ++i) {
                if (t % 2 == 0) {
                    int api = 0;
                    if (parser.GetSubmoduleAPI("g", "s", api) != 0 || api != 42) {
                        ++wrong;
                    }
                } else {
                    std::vector<int> slots{1};
                    if (parser.GetDevicePhysicalSlots("g", "d", slots) !=
                            RpcClient::FailureCode::InvalidMethod ||
                        !slots.empty()) {
                        ++wrong;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(Requests().size(), static_cast<size_t>(kThreads * kCalls));
}
