// SPDX-License-Identifier: Apache-2.0
// The facade: refused arguments, forwarded requests, statuses and outputs.

#include "support/JsonText.h"

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
using ::testing::ElementsAre;
using TestJson::Compact;
using TestJson::ParseJson;

namespace {

constexpr auto Parser = &PNconfigGSDParser::getInstance;

const long kFail = FailureCode::Fail;
const long kArg = FailureCode::InvalidArg;

// A call and its status. A list output `o` starts with one element;
// `emptied` tells whether the call cleared it.
struct Call {
    const char* what;
    std::function<long(bool& emptied)> call;
    long expected;
    bool emptied;
};
// clang-format off
#define LIST(T, expected, emptied, ...) Call{#__VA_ARGS__, [](bool& e) { std::vector<T> o(1); \
    const long status = Parser().__VA_ARGS__; e = o.empty(); return status; }, expected, emptied}
#define ONE(T, expected, ...) Call{#__VA_ARGS__, [](bool&) { T o{}; return Parser().__VA_ARGS__; }, expected, false}
// clang-format on

// The stand-in server as the process's default one, which the facade's clients reach.
class ScriptedServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_);
        Script("{}");
        const std::string args = (dir_ / "script").string() + " " + (dir_ / "log").string();
        const std::string server = GSD_SCRIPTED_SERVER;
        ASSERT_EQ(RpcClient::JobInstanceMgr::Startup({server.begin(), server.end()},
                                                     {args.begin(), args.end()}, nullptr, nullptr),
                  1);
    }
    void TearDown() override {
        RpcClient::JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
        std::filesystem::remove_all(dir_, ignored_);
    }
    void Script(const std::string& json) { std::ofstream(dir_ / "script") << json; }
    std::vector<Json::Value> Requests() const {
        std::vector<Json::Value> requests;
        std::ifstream in(dir_ / "log");
        for (std::string line; std::getline(in, line);) {
            requests.push_back(ParseJson(line));
        }
        return requests;
    }
    const std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() /
        ("gsd-facade-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code ignored_;
};

}  // namespace

// Refused calls never reach the server.
TEST_F(ScriptedServerTest, RefusedArgumentsGiveTheirCodeAndTouchOnlyListsEmptiedFirst) {
    const Call calls[] = {
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
    for (const Call& c : calls) {
        bool emptied = false;
        EXPECT_EQ(c.call(emptied), c.expected) << c.what;
        EXPECT_EQ(emptied, c.emptied) << c.what;
    }
    EXPECT_EQ(Parser().GetGSDPath(""), "");
    EXPECT_TRUE(Requests().empty());
}

// Every operation against an error, a missing and a null result: listings only
// fail, queries hand on the code; a missing result is invalid data if shaped.
TEST_F(ScriptedServerTest, EveryOperationForwardsItsArgumentsAndTurnsTheAnswerIntoItsStatus) {
    const long kBusy = -32050;
    const long kBad = FailureCode::InvalidData;
    const struct {
        Call call;  // with its status on an error
        long onMissing;
        const char* method;
        const char* params;
    } rows[] = {
        // clang-format off
        {LIST(std::string, kFail, true, LoadAllGsd(o)), 0, "GetInstalledGSDsNames", "[]"},
        {ONE(GsdDeviceInfo, kBusy, GetGsdDeviceInfo("g", o)), kBad, "GetGsdDeviceInfo", R"(["g"])"},
        {LIST(DeviceCatalog, kBusy, true, GetDeviceCatalog("g", o)), kBad, "GetDeviceCatalogs", R"(["g"])"},
        {LIST(GSDTemplateCatalog, kFail, true, GetGSDTemplateCatalogs(o)), 0, "GetGSDTemplateCatalogs", "[]"},
        {LIST(moduleCatalog, kBusy, true, GetPluggableModuleCatalog("g", "d", o)), kBad, "GetPluggableModuleCatalog", R"(["g","d"])"},
        {LIST(subModuleCatalog, kBusy, true, GetPluggableSubModuleListCatalog("g", "", "m", o)), kBad, "GetPluggableSubModuleListCatalog", R"(["g","","m"])"},
        {LIST(subModuleCatalog, kBusy, true, GetPluggableSubModuleListCatalogByDevID("g", "d", o)), kBad, "GetDeviceSubModuleListCatalog", R"(["g","d"])"},
        {LIST(moduleData, kBusy, true, GetBuildInModuleData("g", "d", o)), kBad, "GetBuildInModuleData", R"(["g","d"])"},
        {LIST(int, kBusy, true, GetDevicePhysicalSlots("g", "d", o)), kBad, "GetDevicePhysicalSlots", R"(["g","d"])"},
        {LIST(int, kBusy, true, GetModulePhysicalSubSlots("g", "d", "m", o)), kBad, "GetModulePhysicalSlots", R"(["g","d","m"])"},
        {LIST(int, kBusy, true, GetPluggableModuleSlotRelation("g", "", "m", o)), kBad, "GetPluggableModuleSlotRelation", R"(["g","","m"])"},
        {LIST(subModuleSlotRelation, kBusy, true, GetPluggableSubModuleSlotRelation("g", "", "m", o)), kBad, "GetPluggableSubModuleSlotRelation", R"(["g","","m"])"},
        {ONE(baseInfo, kBusy, GetDapModuleInfo("g", "d", o)), kBad, "GetDapModuleInfo", R"(["g","d"])"},
        {ONE(moduleData, kBusy, GetModuleData("g", "d", "m", o)), kBad, "GetModuleData", R"(["g","d","m"])"},
        {ONE(moduleItem, kBusy, GetSubModuleData("g", "", "s", o)), kBad, "GetSubModuleData", R"(["g","","s"])"},
        {LIST(parameterRecord, kBusy, true, GetSubModuleParameter("g", "", "s", o)), kBad, "GetSubMouleParameter", R"(["g","","s"])"},
        {LIST(int, kBusy, true, GetWriteableIMRecords("g", "d", "", o)), kBad, "GetWriteableIMRecords", R"(["g","d",""])"},
        {ONE(portParameter, kBusy, GetPortSubModuleParameter("g", "d", "m", "", o)), kBad, "GetPortParameter", R"(["g","d","m",""])"},
        {ONE(supportRTType, kBusy, GetSubmoduleIRTsupportType("g", "s", o)), kBad, "GetSubmoduleIRTsupportType", R"(["g","s"])"},
        {ONE(int, kBusy, GetSubmoduleAPI("g", "s", o)), kBad, "GetSubmoduleAPI", R"(["g","s"])"},
        {ONE(ModuleVirSubSlotAndAPI, kBusy, GetModuleVirSubSlotAndAPI("g", "", "m", o)), kBad, "GetModuleVirSubSlotAndAPI", R"(["g","","m"])"},
        {ONE(bool, kBusy, GetSubmoduleParamDisallowed("g", "s", o)), kBad, "GetSubmoduleParamDisallowed", R"(["g","s"])"},
        {ONE(AlarmData, kBusy, GetUnitDiagDescription("g", "s", {0, 127, 128, 255}, o)), kBad, "GetUnitDiagDescription", R"(["g","s",[0,127,128,255]])"},
        {ONE(ChannelAlarmData, kBusy, GetChannalDiagDescription("g", 65535, true, 0, 32768, 4294967295u, o)), kBad, "GetChannalDiagDescription", R"(["g",65535,true,0,32768,4294967295])"},
        {LIST(double, kBusy, true, CalcIoDeviceUpdateTime("g", "", 0.5f, o)), kBad, "CalcIoDeviceUpdateTime", R"(["g","",0.5])"},
        {ONE(isochroneMode, kBusy, GetSubMoudleIsoParam("g", "d", "s", o)), kBad, "GetSubMoudleIsoParam", R"(["g","d","s"])"},
        {ONE(std::string, kBusy, GetKeltoTemplateGSDNameForPNView("g", true, o)), 0, "GetKeltoTemplateGSDNameForPNView", R"(["g",true])"},
        {ONE(std::string, kBusy, GetKeltoTemplateGSDVersionForWizard("g", o)), 0, "GetKeltoTemplateGSDVersionForWizard", R"(["g"])"},
        {ONE(ModuleDataBaseInfo, kBusy, GetSubModuleBaseInfo("", "d", "m", "s", o)), kBad, "GetSubModuleBaseInfo", R"(["","d","m","s"])"},
        {ONE(bool, kBusy, IsSubmodulePROFIsafeSupported("g", "s", o)), kBad, "IsSubmodulePROFIsafeSupported", R"(["g","s"])"},
        // clang-format on
    };
    for (const char* answer :
         {R"({"error": {"code": -32050, "message": "busy"}})", "{}", R"({"result": null})"}) {
        Script(std::string(R"({"*": )") + answer + "}");
        const bool error = answer[2] == 'e';
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.call.what) + " answered " + answer);
            bool emptied = false;
            EXPECT_EQ(row.call.call(emptied), error ? row.call.expected : row.onMissing);
            EXPECT_EQ(emptied, row.call.emptied);
            const Json::Value sent = Requests().back();
            EXPECT_EQ(sent["method"].asString(), row.method);
            EXPECT_EQ(Compact(sent["params"]), row.params);
        }
        EXPECT_EQ(Parser().GetGSDPath("g"), "");
        EXPECT_EQ(Compact(Requests().back()["params"]), R"(["g"])");
    }
}

TEST_F(ScriptedServerTest, AnswersReachTheOutputsAndRefreshKeepsTheOldListOnFailure) {
    Script(
        R"({"GetGSDPath": {"result": "/catalog/g.xml"}, "GetSubModuleBaseInfo": {"result": {"GsdID": "SM", "Name": "N"}},
               "TavrelRefreshGsds": {"result": ["a.xml", "b.xml"]}})");
    EXPECT_EQ(Parser().GetGSDPath("g.xml"), "/catalog/g.xml");
    ModuleDataBaseInfo base;
    EXPECT_EQ(Parser().GetSubModuleBaseInfo("", "b", "c", "d", base), 0);
    EXPECT_EQ(base.GsdID, "SM");
    std::vector<std::string> names{"kept.xml"};
    EXPECT_EQ(Parser().TavrelRefreshGsds(names), 0);
    EXPECT_THAT(names, ElementsAre("a.xml", "b.xml"));
    Script(R"({"TavrelRefreshGsds": {"error": {"code": -32000, "message": "locked"}}})");
    EXPECT_EQ(Parser().TavrelRefreshGsds(names), -32000);
    EXPECT_THAT(names, ElementsAre("a.xml", "b.xml"));
    EXPECT_EQ(Requests().size(), 4u);
}
