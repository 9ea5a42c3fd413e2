// SPDX-License-Identifier: Apache-2.0
#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using RpcClient::JobInstanceMgr;
using RpcClient::Tavrel::PnConfigClient;
namespace FailureCode = RpcClient::FailureCode;

// A configuration server started from the build tree into a registry of the
// test's own, with the language "de"; every server is shut down afterwards.
class ConfigServer : public testing::Test {
protected:
    void SetUp() override {
        std::vector<wchar_t> buffer = UrlBuffer();
        ASSERT_EQ(RpcClient::JobInstanceMgr::StartupPNConfig(L"de", buffer.data(), &registry_), 1);
        url_ = UrlFromBuffer(buffer);
        server_ = registry_.GetAt(url_);
        ASSERT_NE(server_, nullptr);
    }

    void TearDown() override {
        EXPECT_EQ(RpcClient::JobInstanceMgr::ShutdownRpcInst(L"", &registry_), 1);
    }

    TestRegistry registry_;
    std::wstring url_;
    RpcClient::RpcLocalSrvConfig* server_ = nullptr;
};

PnConfigClient::TestStruct SampleRecord() {
    PnConfigClient::TestStruct record;
    record.TestInt = -12;
    record.TestString =
        "Stra\xc3\x9f"
        "e";
    record.TestBool = true;
    record.TestDouble = 1.0 / 3.0;
    record.TestFloat = 0.1f;
    record.InnerStruct = {2147483647, "", false, -2.5e300, -7.75f};
    return record;
}

// Equal member for member, floats bit for bit.
void ExpectSameRecord(const PnConfigClient::TestStruct& a, const PnConfigClient::TestStruct& b) {
    using Writer = RpcClient::JsonSerialzer<PnConfigClient::TestStruct>;
    EXPECT_EQ(Writer{}(a), Writer{}(b));
}

TEST_F(ConfigServer, EveryOperationAnswersWithoutErrors) {
    PnConfigClient client(server_);
    EXPECT_EQ(client.GetVersion(), JSONRPCCLIENT_VERSION);
    EXPECT_FALSE(client.HasError());
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_FALSE(client.HasError());

    const PnConfigClient::AssemblyInfo info = client.GetAssemblyInfo();
    EXPECT_EQ(info.Version, JSONRPCCLIENT_VERSION);
    for (const std::string* field :
         {&info.Company, &info.Copyright, &info.Description, &info.Author}) {
        EXPECT_FALSE(field->empty());
    }

    const PnConfigClient::TestStruct record = SampleRecord();
    for (auto run : {&PnConfigClient::RunTest, &PnConfigClient::RunTest2}) {
        const PnConfigClient::TestStruct echoed =
            (client.*run)(record.TestInt, record.TestString, record.TestBool, record.TestDouble,
                          record.TestFloat);
        EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
        PnConfigClient::TestStruct expected = record;
        expected.InnerStruct = {record.TestInt, record.TestString, record.TestBool,
                                record.TestDouble, record.TestFloat};
        ExpectSameRecord(echoed, expected);
    }

    for (auto repeat : {&PnConfigClient::TestStructArray, &PnConfigClient::TestStructArray2}) {
        const std::vector<PnConfigClient::TestStruct> copies = (client.*repeat)(record, 3);
        EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
        ASSERT_EQ(copies.size(), 3u);
        for (const auto& copy : copies) {
            ExpectSameRecord(copy, record);
        }
        EXPECT_TRUE((client.*repeat)(record, 0).empty());
        EXPECT_FALSE(client.HasError());
    }
}

TEST_F(ConfigServer, LargeStringsCrossBothPipesIntactAndSmallCallsFollow) {
    // Sizes around the 64 KB stream and pipe buffers of both ends, and one
    // above the size up to which a body buffer is allocated at once; a small
    // call after each shows nothing of the large frame was left behind.
    PnConfigClient client(server_);
    for (const std::size_t size :
         {std::size_t{65535}, std::size_t{65536} + 17, std::size_t{3} << 20, std::size_t{200000}}) {
        std::string text(size, 'x');
        for (std::size_t i = 0; i < size; i += 4093) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        const PnConfigClient::TestStruct echoed = client.RunTest(1, text, true, 0.5, 0.25f);
        EXPECT_FALSE(client.HasError()) << size << ": " << client.GetLastErrMsg();
        EXPECT_TRUE(echoed.TestString == text) << size;
        EXPECT_TRUE(echoed.InnerStruct.InnerString == text) << size;
        EXPECT_EQ(client.GetLanguage(), "de") << size;
    }
}

TEST_F(ConfigServer, RefusedCountReachesTheErrorListAsInvalidParameter) {
    PnConfigClient client(server_);
    for (int count : {-1, 10001}) {
        EXPECT_TRUE(client.TestStructArray(SampleRecord(), count).empty()) << count;
        EXPECT_EQ(client.GetLastErrCode(), FailureCode::InvalidParameter) << count;
        EXPECT_NE(client.GetLastErrMsg().find("count"), std::string::npos) << count;
    }
    // The server is still there for the next call.
    EXPECT_EQ(client.GetLanguage(), "de");
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

    PnConfigClient client(server_);
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
}

TEST_F(ConfigServer, ExitEndsTheServerAndTheNextCallStartsItAgain) {
    PnConfigClient client(server_);
    ASSERT_EQ(client.GetVersion(), JSONRPCCLIENT_VERSION);
    client.Exit();
    EXPECT_FALSE(client.HasError());
    EXPECT_EQ(server_->WaitForExit(5000), 0u);
    EXPECT_EQ(server_->IsRpcServerRunning(), 0);

    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
    EXPECT_EQ(registry_.GetAt(url_), server_);
}

TEST_F(ConfigServer, ClientsOnSeveralThreadsGetTheirOwnAnswers) {
    constexpr int kThreads = 4;
    constexpr int kCalls = 50;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            PnConfigClient client(server_);
            for (int i = 0; i < kCalls; ++i) {
                const int value = t * 1000 + i;
                const auto echoed =
                    client.RunTest(value, std::to_string(value), i % 2 == 0, value / 4.0, 0.5f);
                if (client.HasError() || echoed.TestInt != value ||
                    echoed.InnerStruct.InnerString != std::to_string(value)) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

// Without a language the server reports its default; a client made without
// a server uses the process-wide registry's default server.
TEST(ConfigServerStartup, LanguageReachesTheServerInEitherRegistry) {
    TestRegistry registry;
    std::vector<wchar_t> buffer = UrlBuffer();
    ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"", buffer.data(), &registry), 1);
    EXPECT_EQ(PnConfigClient(registry.GetAt(UrlFromBuffer(buffer))).GetLanguage(), "en");
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(UrlFromBuffer(buffer), &registry), 1);
    EXPECT_EQ(registry.GetAt(UrlFromBuffer(buffer)), nullptr);

    ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"fr", nullptr, nullptr), 1);
    {
        PnConfigClient client;
        EXPECT_EQ(client.GetLanguage(), "fr");
        EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
    }
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(L"", nullptr), 1);
    EXPECT_EQ(JobInstanceMgr::Default(), nullptr);
}

}  // namespace
