// SPDX-License-Identifier: Apache-2.0
// The configuration client against the real configuration server, started
// from the build tree into a registry of the test's own.
#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using RpcClient::Tavrel::PnConfigClient;
using Writer = RpcClient::JsonSerialzer<PnConfigClient::TestStruct>;

class ConfigServer : public testing::Test {
protected:
    void SetUp() override {
        std::vector<wchar_t> buffer = UrlBuffer();
        ASSERT_EQ(RpcClient::JobInstanceMgr::StartupPNConfig(L"de", buffer.data(), &registry_), 1);
        server_ = registry_.GetAt(UrlFromBuffer(buffer));
        ASSERT_NE(server_, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(RpcClient::JobInstanceMgr::ShutdownRpcInst(L"", &registry_), 1);
    }
    TestRegistry registry_;
    RpcClient::RpcLocalSrvConfig* server_ = nullptr;
};

TEST_F(ConfigServer, EveryOperationAnswersAndExitRestartsTheServerOnTheNextCall) {
    PnConfigClient client(server_);
    EXPECT_EQ(client.GetVersion(), JSONRPCCLIENT_VERSION);
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_EQ(client.GetAssemblyInfo().Version, JSONRPCCLIENT_VERSION);

    PnConfigClient::TestStruct record;
    record.TestString =
        "Stra\xc3\x9f"
        "e";
    record.TestBool = true;
    record.TestDouble = 1.0 / 3.0;
    record.TestFloat = 0.1f;
    record.InnerStruct = {2147483647, "", false, -2.5e300, -7.75f};
    for (auto run : {&PnConfigClient::RunTest, &PnConfigClient::RunTest2}) {
        PnConfigClient::TestStruct expected = record;
        expected.InnerStruct = {-12, record.TestString, true, record.TestDouble, 0.1f};
        expected.TestInt = -12;
        // Equal member for member, floats bit for bit.
        EXPECT_EQ(Writer{}((client.*run)(-12, record.TestString, true, record.TestDouble, 0.1f)),
                  Writer{}(expected));
    }
    for (auto repeat : {&PnConfigClient::TestStructArray, &PnConfigClient::TestStructArray2}) {
        const std::vector<PnConfigClient::TestStruct> copies = (client.*repeat)(record, 3);
        ASSERT_EQ(copies.size(), 3u);
        EXPECT_EQ(Writer{}(copies[2]), Writer{}(record));
    }
    EXPECT_TRUE(client.TestStructArray(record, -1).empty());
    EXPECT_EQ(client.GetLastErrCode(), RpcClient::FailureCode::InvalidParameter);
    EXPECT_NE(client.GetLastErrMsg().find("count"), std::string::npos);

    // Sizes around the 64 KB stream and pipe buffers of both ends and above the
    // size up to which a body buffer is allocated at once; a small call after
    // each shows nothing of the large frame was left behind.
    for (const std::size_t size : {std::size_t{65535}, std::size_t{65553}, std::size_t{3} << 20}) {
        std::string text(size, 'x');
        text[size / 2] = 'y';
        const PnConfigClient::TestStruct echoed = client.RunTest(1, text, true, 0.5, 0.25f);
        EXPECT_TRUE(echoed.TestString == text && echoed.InnerStruct.InnerString == text) << size;
        EXPECT_EQ(client.GetLanguage(), "de") << size;
    }
    client.Exit();
    EXPECT_FALSE(client.HasError());
    EXPECT_EQ(server_->WaitForExit(5000), 0u);
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
}

// A request above the server's 64 MiB body limit gets one error answer, sent
// once its body is through; notifications, however malformed, get none. The
// next call then reads its own answer.
TEST_F(ConfigServer, OversizedRequestAndMalformedNotificationsLeaveTheCallsInStep) {
    RpcClient::RpcLocalConnection* connection = server_->QueryConnection(5000);
    ASSERT_NE(connection, nullptr);
    std::ostream& out = connection->OStream();
    const std::string oversized((std::size_t{64} << 20) + 1, 'x');
    out << "Content-Length: " << oversized.size() << "\r\n\r\n" << oversized;
    for (const std::string body :
         {R"({"jsonrpc":"1.0","method":"GetVersion"})", R"({"jsonrpc":"2.0","method":7})",
          R"({"jsonrpc":"2.0","method":"GetVersion","params":1})"}) {
        out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
    }
    out.flush();
    std::string error;
    const auto answers = RpcClient::ReadResponses(connection->IStream(), error);
    server_->ReleaseConnection(connection);
    ASSERT_EQ(answers.size(), 1u) << error;
    EXPECT_EQ(answers[0].GetError().GetCode(), -32700);
    EXPECT_EQ(PnConfigClient(server_).GetLanguage(), "de");
}

}  // namespace
