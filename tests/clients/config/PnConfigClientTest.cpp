// SPDX-License-Identifier: Apache-2.0
// The configuration client over a scripted exchange: what each operation
// sends, and how it reads what comes back.

#include "support/JsonText.h"
#include "support/ScriptedConnection.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using RpcClient::Tavrel::PnConfigClient;
namespace FailureCode = RpcClient::FailureCode;
using Client = Scripted<PnConfigClient>;
using TestJson::Compact;
using TestJson::ParseJson;

PnConfigClient::TestStruct SampleRecord() {
    PnConfigClient::TestStruct record;
    record.TestInt = 3;
    record.TestString = "s";
    record.TestBool = true;
    record.TestDouble = 2.0;  // a whole number must still go out as a real
    record.TestFloat = 0.5f;
    record.InnerStruct = {-1, "i", false, 4.0, 1.0f};
    return record;
}

TEST(PnConfigClientWire, EachOperationSendsItsMethodAndPositionalParams) {
    // The record as the service reads it; the compact text shows the JSON
    // types too (2.0 is a real, 3 an integer).
    const std::string record =
        R"({"InnerStruct":{"InnerBool":false,"InnerDouble":4.0,"InnerFloat":1.0,"InnerInt":-1,)"
        R"("InnerString":"i"},"TestBool":true,"TestDouble":2.0,"TestFloat":0.5,"TestInt":3,)"
        R"("TestString":"s"})";
    const Json::Value c = ParseJson(R"({"ControllerConf": {}})");
    const Json::Value n = ParseJson(R"({"DeviceNodeList": [{}]})");
    const std::string documents = R"([{"ControllerConf":{}},{"DeviceNodeList":[{}]},null])";
    using X = PnConfigClient&;
    const struct {
        std::function<void(PnConfigClient&)> call;
        const char* method;
        std::string params;  // empty: a notification, nothing is read back
    } cases[] = {
        {[](X x) { x.GetVersion(); }, "GetVersion", "[]"},
        {[](X x) { x.GetLanguage(); }, "GetLanguage", "[]"},
        {[](X x) { x.GetAssemblyInfo(); }, "GetAssemblyInfo", "[]"},
        {[](X x) { x.RunTest(7, "a", true, 1.5, 2.5f); }, "RunTest", R"([7,"a",true,1.5,2.5])"},
        {[](X x) { x.RunTest2(7, "a", true, 1.5, 2.5f); }, "RunTest", R"([7,"a",true,1.5,2.5])"},
        {[](X x) { x.TestStructArray(SampleRecord(), 4); }, "TestStructArray",
         "[" + record + ",4]"},
        {[](X x) { x.TestStructArray2(SampleRecord(), 4); }, "TestStructArray",
         "[" + record + ",4]"},
        {[&](X x) { x.CheckConfiguration(c, n, {}); }, "TavrelCheckConfiguration", documents},
        {[&](X x) { x.LoadConfiguration(c, n, {}); }, "TavrelLoadConfiguration", documents},
        {[](X x) { x.GetLoadedConfiguration(); }, "TavrelGetLoadedConfiguration", "[]"},
        {[](X x) { x.Exit(); }, "Exit", ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.method);
        Client client;
        client.ReplyResult(Json::Value());
        row.call(client);
        ASSERT_EQ(client.sent.size(), 1u);
        EXPECT_EQ(client.sent[0]["method"], row.method);
        EXPECT_EQ(client.sent[0].isMember("id"), !row.params.empty());
        EXPECT_EQ(client.receives, row.params.empty() ? 0 : 1);
        if (!row.params.empty()) {
            EXPECT_EQ(Compact(client.sent[0]["params"]), row.params);
            EXPECT_EQ(client.releases, 1);
        }
    }
}

TEST(PnConfigClientResults, RecordsAndDocumentsAreReadMemberByMember) {
    Client client;
    for (auto getter : {&PnConfigClient::GetVersion, &PnConfigClient::GetLanguage}) {
        client.ReplyResult(3);
        EXPECT_EQ((client.*getter)(), "");
        EXPECT_EQ(client.GetLastErrCode(), FailureCode::CantMarshalData);
    }
    client.ReplyResult(
        ParseJson(R"j({"Version": "1", "Company": "c", "Copyright": "(c)", "Description": "d"})j"));
    const PnConfigClient::AssemblyInfo read = client.GetAssemblyInfo();
    EXPECT_EQ(read.Version + read.Company + read.Copyright + read.Description + read.Author,
              "1c(c)d");
    client.ReplyNothing();
    const PnConfigClient::TestStruct empty = client.RunTest(1, "x", true, 1, 1);
    EXPECT_EQ(empty.TestInt + empty.TestString.size() + empty.InnerStruct.InnerBool, 0u);
    for (const char* result : {"null", "[]", "{}", R"("text")"}) {
        client.ReplyResult(ParseJson(result));
        EXPECT_TRUE(client.TestStructArray(SampleRecord(), 1).empty()) << result;
    }
    const Json::Value answer = ParseJson(R"({"Accepted": false, "Findings": [{"Severity": "error",
        "Document": "topology", "Path": "/PortInterconnectionList/0", "Message": "m"}]})");
    for (const bool load : {false, true}) {
        client.ReplyResult(answer);
        const PnConfigClient::ConfigCheckResult result =
            load ? client.LoadConfiguration({}, {}, {}) : client.CheckConfiguration({}, {}, {});
        EXPECT_FALSE(result.Accepted);
        ASSERT_EQ(result.Findings.size(), 1u);
        const PnConfigClient::ConfigFinding& finding = result.Findings[0];
        EXPECT_EQ(finding.Severity + finding.Document + finding.Path + finding.Message,
                  "errortopology/PortInterconnectionList/0m");
    }
    client.ReplyResult(ParseJson(R"({"Configuration": {"a": 1}, "ListOfNodes": 2})"));
    const PnConfigClient::LoadedConfiguration loaded = client.GetLoadedConfiguration();
    EXPECT_EQ(loaded.Configuration, ParseJson(R"({"a": 1})"));
    EXPECT_EQ(loaded.ListOfNodes, 2);
    EXPECT_TRUE(loaded.Topology.isNull());
    EXPECT_FALSE(client.HasError());
    // Shapes no reader can take reach the caller; the connection goes back.
    client.ReplyResult("not an object");
    EXPECT_THROW(client.GetAssemblyInfo(), std::exception);
    client.ReplyResult(ParseJson("[1]"));
    EXPECT_THROW(client.TestStructArray(SampleRecord(), 1), std::exception);
    EXPECT_EQ(client.releases, 13);
}

}  // namespace
