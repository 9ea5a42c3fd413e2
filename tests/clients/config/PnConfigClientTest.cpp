// SPDX-License-Identifier: Apache-2.0
// The configuration client over a scripted exchange, then the real server.

#include "support/JsonText.h"
#include "support/ScriptedConnection.h"
#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using RpcClient::Tavrel::PnConfigClient;
namespace FailureCode = RpcClient::FailureCode;
using Client = Scripted<PnConfigClient>;
using TestJson::Compact;
using TestJson::ParseJson;

// TestDouble is a whole number that must still go out as a real.
const PnConfigClient::TestStruct kRecord{3, "s", true, 2.0, 0.5f, {-1, "i", false, 4.0, 1.0f}};

// The operations that the real-server test below and pnctl's test do not
// reach, and the aliases of those they do.
TEST(PnConfigClientWire, EachOperationSendsItsMethodAndPositionalParams) {
    // The compact text shows the JSON types too (2.0 a real, 3 an integer).
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
        {[](X x) { x.RunTest2(7, "a", true, 1.5, 2.5f); }, "RunTest", R"([7,"a",true,1.5,2.5])"},
        {[](X x) { x.TestStructArray2(kRecord, 4); }, "TestStructArray", "[" + record + ",4]"},
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
    client.ReplyResult(3);
    EXPECT_EQ(client.GetLanguage(), "");
    EXPECT_EQ(client.GetLastErrCode(), FailureCode::CantMarshalData);
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
        EXPECT_TRUE(client.TestStructArray(kRecord, 1).empty()) << result;
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
    EXPECT_THROW(client.TestStructArray(kRecord, 1), std::exception);
    EXPECT_EQ(client.releases, 10);
}

TEST(ConfigServer, AnswersEachOperationKeepsCallsInStepAndRestartsAfterExit) {
    using Writer = RpcClient::JsonSerialzer<PnConfigClient::TestStruct>;
    TestRegistry registry;
    std::vector<wchar_t> buffer = UrlBuffer();
    ASSERT_EQ(RpcClient::JobInstanceMgr::StartupPNConfig(L"de", buffer.data(), &registry), 1);
    RpcClient::RpcLocalSrvConfig* server = registry.GetAt(UrlFromBuffer(buffer));
    ASSERT_NE(server, nullptr);
    PnConfigClient client(server);
    EXPECT_EQ(client.GetVersion(), JSONRPCCLIENT_VERSION);
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_EQ(client.GetAssemblyInfo().Version, JSONRPCCLIENT_VERSION);
    PnConfigClient::TestStruct expected = kRecord;
    expected.InnerStruct = {3, "s", true, 2.0, 0.5f};
    // Equal member for member, floats bit for bit.
    EXPECT_EQ(Writer{}(client.RunTest(3, "s", true, 2.0, 0.5f)), Writer{}(expected));
    const std::vector<PnConfigClient::TestStruct> copies = client.TestStructArray(kRecord, 3);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(Writer{}(copies[2]), Writer{}(kRecord));
    // Sizes around the 64 KB stream and pipe buffers and above the size of a body
    // buffer allocated at once; a small call after each finds nothing left over.
    for (const std::size_t size : {std::size_t{65535}, std::size_t{65553}, std::size_t{3} << 20}) {
        std::string text(size, 'x');
        text[size / 2] = 'y';
        const PnConfigClient::TestStruct echoed = client.RunTest(1, text, true, 0.5, 0.25f);
        EXPECT_TRUE(echoed.TestString == text && echoed.InnerStruct.InnerString == text) << size;
        EXPECT_EQ(client.GetLanguage(), "de") << size;
    }
    // A request above the 64 MiB body limit gets one error answer as soon as
    // its body is through, before anything follows; notifications, however
    // malformed, get none (a stray answer would put the next call out of step).
    RpcClient::RpcLocalConnection* connection = server->QueryConnection(5000);
    ASSERT_NE(connection, nullptr);
    std::ostream& out = connection->OStream();
    const std::string oversized((std::size_t{64} << 20) + 1, 'x');
    out << "Content-Length: " << oversized.size() << "\r\n\r\n" << oversized << std::flush;
    std::string error;
    const auto answers = RpcClient::ReadResponses(connection->IStream(), error);
    ASSERT_EQ(answers.size(), 1u) << error;
    EXPECT_EQ(answers[0].GetError().GetCode(), -32700);
    for (const std::string body :
         {R"({"jsonrpc":"1.0","method":"GetVersion"})", R"({"jsonrpc":"2.0","method":7})",
          R"({"jsonrpc":"2.0","method":"GetVersion","params":1})"}) {
        out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
    }
    out.flush();
    server->ReleaseConnection(connection);
    EXPECT_EQ(client.GetLanguage(), "de");

    client.Exit();
    EXPECT_FALSE(client.HasError());
    EXPECT_EQ(server->WaitForExit(5000), 0u);
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
    EXPECT_EQ(RpcClient::JobInstanceMgr::ShutdownRpcInst(L"", &registry), 1);
}

}  // namespace
