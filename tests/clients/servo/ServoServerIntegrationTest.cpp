// SPDX-License-Identifier: Apache-2.0
// The servo parameter client against the real servo tuning server, started
// from the build tree into a registry of the test's own.
#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using RpcClient::JobInstanceMgr;
using RpcClient::Tavrel::ServoParaReadClient;

// Reads pushed messages until one carries parameters; messages pushed before
// the latest credentials took effect may still be waiting in the pipe.
bool ReadUntilParameters(ServoParaReadClient& client, ServoParaReadClient::ServoPara& para) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (client.GetServoPara(para)) {
            return true;
        }
    }
    return false;
}

TEST(ServoServer, PushesErrorsUntilALoginSucceedsThenTheDrivesParametersAndSurvivesAKill) {
    TestRegistry registry;
    std::vector<wchar_t> buffer = UrlBuffer();
    ASSERT_EQ(
        JobInstanceMgr::StartupMC(
            L"--user ann --password \"s3 cret\" --interval 20 --login-wait 1500 --ip 10.0.0.5", {},
            buffer.data(), &registry),
        1);
    RpcClient::RpcLocalSrvConfig* server = registry.GetAt(UrlFromBuffer(buffer));
    ASSERT_NE(server, nullptr);
    ServoParaReadClient client(server);
    ServoParaReadClient::ServoPara para;
    // Nothing sent: after its login wait the server complains.
    EXPECT_FALSE(client.GetServoPara(para));
    EXPECT_EQ(client.GetLastErrCode(), -32002);
    ASSERT_TRUE(client.SetOmbrelInfo("ann", "wrong"));
    bool rejected = false;
    for (int i = 0; i < 100 && !rejected; ++i) {
        rejected = !client.GetServoPara(para) && client.GetLastErrCode() == -32001;
    }
    EXPECT_TRUE(rejected);
    EXPECT_EQ(client.GetLastErrMsg(), "");

    ASSERT_TRUE(client.SetOmbrelInfo("ann", "s3 cret"));
    ASSERT_TRUE(ReadUntilParameters(client, para));
    para.spare = 5;
    ASSERT_TRUE(client.GetServoPara(para)) << client.GetLastErrCode();
    EXPECT_EQ(para.ip, "10.0.0.5");
    EXPECT_EQ(para.spare, 0);
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
    EXPECT_TRUE(ReadUntilParameters(client, para));
    JobInstanceMgr::ShutdownRpcInst(L"", &registry);
}

// The check sees the server and its six companion files; a private copy of
// that folder runs until one of them goes missing.
TEST(ServoServerStartup, TheCheckSeesSixCompanionFilesAndTheServerEndsWhenOneGoesMissing) {
    namespace fs = std::filesystem;
    TestRegistry registry;
    std::vector<std::wstring> files;
    const auto accept = [&](const std::wstring& path) {
        files.push_back(path);
        return true;
    };
    ASSERT_EQ(JobInstanceMgr::StartupMC(L"", accept, nullptr, &registry), 1);
    JobInstanceMgr::ShutdownRpcInst(L"", &registry);
    ASSERT_EQ(files.size(), 7u);
    EXPECT_EQ(fs::path(files[0]).parent_path().filename(), "PellavonCli");
    const auto copy = fs::temp_directory_path() /
                      ("servo-copy-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(copy);
    for (const std::wstring& file : files) {
        EXPECT_EQ(fs::path(file).parent_path(), fs::path(files[0]).parent_path());
        fs::copy_file(file, copy / fs::path(file).filename());
    }
    const auto started =
        registry.StartRpcServer((copy / fs::path(files[0]).filename()).wstring(), L"--interval 10");
    ASSERT_EQ(started.first, 1);
    RpcClient::RpcLocalSrvConfig* server = registry.GetAt(started.second);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->WaitForExit(200), 258u) << "still running with all its files";
    fs::remove(copy / fs::path(files[3]).filename());
    EXPECT_EQ(server->WaitForExit(5000), 0u);
    JobInstanceMgr::ShutdownRpcInst(L"", &registry);
    fs::remove_all(copy);
}

}  // namespace
