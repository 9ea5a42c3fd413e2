// SPDX-License-Identifier: Apache-2.0
#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using RpcClient::JobInstanceMgr;
using RpcClient::Tavrel::ServoParaReadClient;
namespace FailureCode = RpcClient::FailureCode;

constexpr const wchar_t* kArguments =
    L"--user ann --password \"s3 cret\" --interval 20 --login-wait 1500 --ip 10.0.0.5";

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

class ServoServer : public testing::Test {
protected:
    void SetUp() override {
        std::vector<wchar_t> buffer = UrlBuffer();
        ASSERT_EQ(JobInstanceMgr::StartupMC(kArguments, {}, buffer.data(), &registry_), 1);
        url_ = UrlFromBuffer(buffer);
        server_ = registry_.GetAt(url_);
        ASSERT_NE(server_, nullptr);
    }

    void TearDown() override { JobInstanceMgr::ShutdownRpcInst(L"", &registry_); }

    TestRegistry registry_;
    std::wstring url_;
    RpcClient::RpcLocalSrvConfig* server_ = nullptr;
};

TEST_F(ServoServer, ValidCredentialsGiveChangingParametersOfTheDrive) {
    ServoParaReadClient client(server_);
    ASSERT_TRUE(client.SetOmbrelInfo("ann", "s3 cret"));
    std::set<double> speeds;
    for (int i = 0; i < 5; ++i) {
        ServoParaReadClient::ServoPara para;
        para.spare = 5;
        ASSERT_TRUE(client.GetServoPara(para)) << client.GetLastErrCode();
        EXPECT_EQ(para.ip, "10.0.0.5");
        EXPECT_EQ(para.spare, 0);
        EXPECT_GE(para.r5276, 0.0);
        EXPECT_LT(para.r5276, 3000.0);
        EXPECT_GT(para.r5277, 0.0);
        speeds.insert(para.r5276);
    }
    // Under a heavily loaded machine two reads can land on values the
    // serialiser prints alike; what matters is that the drive moves.
    EXPECT_GE(speeds.size(), 3u) << "the drive's speed changes from push to push";
    EXPECT_FALSE(client.HasError());

    // Another thread gets the connection at once: reads leave nothing locked.
    RpcClient::RpcLocalConnection* other = nullptr;
    std::thread([&] {
        other = server_->QueryConnection(0);
        server_->ReleaseConnection(other);
    }).join();
    EXPECT_NE(other, nullptr);
}

TEST_F(ServoServer, WrongOrMissingCredentialsArePushedAsErrorsUntilALoginSucceeds) {
    ServoParaReadClient client(server_);
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
    EXPECT_TRUE(ReadUntilParameters(client, para));
    EXPECT_EQ(para.ip, "10.0.0.5");
}

TEST_F(ServoServer, KilledServerRefusesCredentialsThenIsRestartedByTheNextRead) {
    ServoParaReadClient client(server_);
    ASSERT_TRUE(client.SetOmbrelInfo("ann", "s3 cret"));
    registry_.KillServers();
    ASSERT_EQ(server_->WaitForExit(5000), 0u);

    EXPECT_FALSE(client.SetOmbrelInfo("ann", "s3 cret"));
    EXPECT_EQ(client.GetLastErrCode(), FailureCode::Unexpected);
    EXPECT_EQ(client.GetLastErrMsg(), "process already quit");

    // A read restarts the server (same record, same URL); the new process
    // wants the credentials again.
    ServoParaReadClient::ServoPara para;
    EXPECT_FALSE(client.GetServoPara(para));
    EXPECT_EQ(client.GetLastErrCode(), -32002);
    EXPECT_EQ(registry_.GetAt(url_), server_);
    ASSERT_TRUE(client.SetOmbrelInfo("ann", "s3 cret"));
    EXPECT_TRUE(ReadUntilParameters(client, para));
}

// The check sees the server and its six companion files; a copy of that
// folder runs until one of them goes missing (a private copy, so removing a
// file there does not disturb other tests).
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
    ASSERT_EQ(files.size(), 7u) << "every companion file the library expects is in place";
    const fs::path folder = fs::path(files[0]).parent_path();
    EXPECT_EQ(folder.filename(), "PellavonCli");
    const auto copy = fs::temp_directory_path() /
                      ("servo-copy-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(copy);
    for (const std::wstring& file : files) {
        EXPECT_TRUE(fs::is_regular_file(file));
        EXPECT_EQ(fs::path(file).parent_path(), folder);
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
    EXPECT_EQ(server->IsRpcServerRunning(), 0);
    JobInstanceMgr::ShutdownRpcInst(L"", &registry);
    fs::remove_all(copy);
}

}  // namespace
