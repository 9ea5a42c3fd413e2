// SPDX-License-Identifier: Apache-2.0
// The servo parameter client against scripted messages, then the real server.
#include "support/JsonText.h"
#include "support/ScriptedConnection.h"
#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using RpcClient::Tavrel::ServoParaReadClient;
namespace FailureCode = RpcClient::FailureCode;
using Client = Scripted<ServoParaReadClient>;
using RpcClient::JobInstanceMgr;

using TestJson::ParseJson;

// Read: the record filled, no entry. Empty: an empty record and an invalid-data
// entry. Refused: false, the record untouched, one entry. Throws: untouched.
enum class Outcome { Read, Empty, Refused, Throws };

TEST(GetServoPara, EachPushedMessageGivesItsRecordEntryOrException) {
    const long kVersion = FailureCode::VersionMismatch;
    const struct {
        const char* message;
        Outcome outcome;
        const char* ip = "";
        double r5276 = 0;
        double r5277 = 0;
        long code = 0;
    } cases[] = {
        // clang-format off
        {R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":1.5,"r5277":2}})", Outcome::Read, "x", 1.5, 2.0, 0},
        {R"([{"jsonrpc":"2.0","result":{"ip":"a","r5276":1,"r5277":1}}, {"jsonrpc":"2.0","result":{"ip":"b","r5276":2,"r5277":2}}])", Outcome::Read, "a", 1.0, 1.0, 0},
        {R"({"jsonrpc":"2.0","result":null})", Outcome::Empty, "", 0, 0, FailureCode::InvalidData},
        {R"({"jsonrpc":"2.0","result":[1,2]})", Outcome::Empty, "", 0, 0, FailureCode::InvalidData},
        {R"({"jsonrpc":2,"result":{"ip":"x"}})", Outcome::Refused, "", 0, 0, kVersion},
        {R"(5)", Outcome::Refused, "", 0, 0, kVersion},
        {R"({"jsonrpc":"2.0","error":{"code":-32001,"message":"bad login"}})", Outcome::Refused, "", 0, 0, -32001},
        {R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"m"},"result":{}})", Outcome::Refused, "", 0, 0, -32601},
        {R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":1,"r5277":[]}})", Outcome::Throws},
        {R"({"jsonrpc":"2.0"})", Outcome::Throws},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Client client;
        client.Reply(ParseJson(c.message));
        ServoParaReadClient::ServoPara para{"unchanged", 99, -1, -1};
        bool read = false;
        try {
            read = client.GetServoPara(para);
            EXPECT_NE(c.outcome, Outcome::Throws);
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(c.outcome, Outcome::Throws);
            EXPECT_STREQ(e.what(), "GetRespResultValue: invalid result");
        }
        // Nothing is sent before a read; the connection goes back after it.
        EXPECT_TRUE(client.sent.empty());
        EXPECT_EQ(client.releases, 1);
        const bool filled = c.outcome == Outcome::Read || c.outcome == Outcome::Empty;
        EXPECT_EQ(read, filled);
        EXPECT_EQ(para.ip + "|" + std::to_string(para.spare),
                  filled ? std::string(c.ip) + "|0" : "unchanged|99");
        EXPECT_EQ(para.r5276, filled ? c.r5276 : -1);
        EXPECT_EQ(para.r5277, filled ? c.r5277 : -1);
        // The server's own message is not kept.
        const char* text = c.code == kVersion ? "Invalid response format"
                           : c.code == FailureCode::InvalidData
                               ? "Invalid data: RPC return null or invalid data."
                               : "";
        using Entries = RpcClient::JsonRpcClient::ErrorList;
        EXPECT_EQ(client.GetErrList(), (c.code == 0 ? Entries{} : Entries{{c.code, text}}));
    }
}

// The check sees the server and its six companion files; a private copy of
// that folder runs until one of them goes missing.
TEST(ServoServer, PushesErrorsUntilALoginSucceedsSurvivesAKillAndEndsWithoutACompanionFile) {
    namespace fs = std::filesystem;
    TestRegistry registry;
    std::vector<wchar_t> buffer = UrlBuffer();
    std::vector<std::wstring> files;
    const auto accept = [&](const std::wstring& path) {
        files.push_back(path);
        return true;
    };
    ASSERT_EQ(
        JobInstanceMgr::StartupMC(
            L"--user ann --password \"s3 cret\" --interval 20 --login-wait 1500 --ip 10.0.0.5",
            accept, buffer.data(), &registry),
        1);
    ASSERT_EQ(files.size(), 7u);
    RpcClient::RpcLocalSrvConfig* server = registry.GetAt(UrlFromBuffer(buffer));
    ASSERT_NE(server, nullptr);
    ServoParaReadClient client(server);
    ServoParaReadClient::ServoPara para;
    // Messages pushed before the latest credentials took effect may still be
    // waiting in the pipe.
    const auto readUntilParameters = [&] {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (client.GetServoPara(para)) {
                return true;
            }
        }
        return false;
    };
    // Nothing sent: after its login wait the server complains.
    EXPECT_FALSE(client.GetServoPara(para));
    EXPECT_EQ(client.GetLastErrCode(), -32002);
    ASSERT_TRUE(client.SetOmbrelInfo("ann", "s3 cret"));
    ASSERT_TRUE(readUntilParameters());
    ASSERT_TRUE(client.GetServoPara(para)) << client.GetLastErrCode();
    EXPECT_EQ(para.ip, "10.0.0.5");
    EXPECT_GT(para.r5277, 0.0);

    registry.KillServers();
    ASSERT_EQ(server->WaitForExit(5000), 0u);
    EXPECT_FALSE(client.SetOmbrelInfo("ann", "s3 cret"));
    EXPECT_EQ(client.GetLastErrCode(), RpcClient::FailureCode::Unexpected);
    EXPECT_EQ(client.GetLastErrMsg(), "process already quit");
    // A read restarts the server in the same record; it wants the credentials again.
    EXPECT_FALSE(client.GetServoPara(para));
    EXPECT_EQ(client.GetLastErrCode(), -32002);
    EXPECT_EQ(registry.GetAt(UrlFromBuffer(buffer)), server);
    ASSERT_TRUE(client.SetOmbrelInfo("ann", "s3 cret"));
    EXPECT_TRUE(readUntilParameters());
    JobInstanceMgr::ShutdownRpcInst(L"", &registry);

    EXPECT_EQ(fs::path(files[0]).parent_path().filename(), "PellavonCli");
    const auto copy =
        fs::temp_directory_path() / ("servo-" + std::to_string(std::random_device{}()));
    fs::create_directories(copy);
    for (const std::wstring& file : files) {
        EXPECT_EQ(fs::path(file).parent_path(), fs::path(files[0]).parent_path());
        fs::copy_file(file, copy / fs::path(file).filename());
    }
    const auto started =
        registry.StartRpcServer((copy / fs::path(files[0]).filename()).wstring(), L"--interval 10");
    ASSERT_EQ(started.first, 1);
    server = registry.GetAt(started.second);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->WaitForExit(200), 258u) << "still running with all its files";
    fs::remove(copy / fs::path(files[3]).filename());
    EXPECT_EQ(server->WaitForExit(5000), 0u);
    JobInstanceMgr::ShutdownRpcInst(L"", &registry);
    fs::remove_all(copy);
}

}  // namespace
