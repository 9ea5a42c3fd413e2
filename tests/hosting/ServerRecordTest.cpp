// SPDX-License-Identifier: Apache-2.0
// RpcLocalSrvConfig: start, restart with observer calls, stop, failure.

#include <gtest/gtest.h>

#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

using namespace RpcClient;

namespace {

class RecordingObserver : public IRpcServerStatusObserver {
public:
    std::vector<std::pair<std::string, int>> events;
    void* lastServer = nullptr;
    int runningSeenOnRestart = -1;

    void OnRpcServerExited(void* server, int exitCode) override {
        lastServer = server;
        events.emplace_back("exited", exitCode);
    }
    void OnRpcServerReStarted(void* server) override {
        lastServer = server;
        events.emplace_back("restarted", 0);
        // Called under the start lock; calling back in must not deadlock.
        runningSeenOnRestart = static_cast<RpcLocalSrvConfig*>(server)->IsRpcServerRunning();
    }
};

TEST(ServerRecord, SecondStartIsANoOpWhileTheServerRuns) {
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"");
    EXPECT_EQ(server.IsValid(), 0);
    EXPECT_EQ(server.GetSrvProcessHandle(), nullptr);
    EXPECT_EQ(server.WaitForExit(0), 0u) << "no process yet";
    ASSERT_EQ(server.StartupRpcServer(), 1);
    void* process = server.GetSrvProcessHandle();
    const auto descriptors = HostingTest::OpenDescriptors();
    EXPECT_EQ(server.StartupRpcServer(), 1);
    EXPECT_EQ(server.GetSrvProcessHandle(), process);
    EXPECT_EQ(HostingTest::OpenDescriptors(), descriptors) << "no new pipes";
    EXPECT_EQ(server.IsValid(), 1);
    EXPECT_EQ(server.IsRpcServerRunning(), 1);
}

TEST(ServerRecord, RestartAfterAnExitReportsExitThenRestartInOrder) {
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"--exit 3");
    RecordingObserver observer;
    EXPECT_EQ(server.SetStatusObserver(&observer), nullptr);
    ASSERT_EQ(server.StartupRpcServer(), 1);
    // A start from the stopped state is a restart notice only.
    ASSERT_EQ(observer.events, (std::vector<std::pair<std::string, int>>{{"restarted", 0}}));
    EXPECT_NE(observer.runningSeenOnRestart, -1) << "the observer could call back in";

    ASSERT_EQ(server.WaitForExit(5000), 0u);
    EXPECT_EQ(server.IsRpcServerRunning(), 0);
    EXPECT_EQ(server.IsValid(), 1) << "an ended process keeps its handles until Dispose";
    observer.events.clear();
    ASSERT_EQ(server.StartupRpcServer(), 1);
    EXPECT_EQ(observer.events,
              (std::vector<std::pair<std::string, int>>{{"exited", 3}, {"restarted", 0}}));
    EXPECT_EQ(observer.lastServer, &server);
    EXPECT_EQ(server.SetStatusObserver(nullptr), &observer);
}

TEST(ServerRecord, MissingExecutableFailsAndLeavesNothingOpen) {
    const auto descriptors = HostingTest::OpenDescriptors();
    RpcLocalSrvConfig server(L"/nonexistent/dir/server", L"");
    RecordingObserver observer;
    server.SetStatusObserver(&observer);
    EXPECT_EQ(server.StartupRpcServer(), 0);
    EXPECT_EQ(server.IsValid(), 0);
    EXPECT_EQ(server.GetSrvProcessHandle(), nullptr);
    EXPECT_EQ(server.QueryConnection(100), nullptr);
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(HostingTest::OpenDescriptors(), descriptors);
}

TEST(ServerRecord, ShutdownTerminatesAndReapsTheServerAndForgetsTheProcess) {
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"");
    ASSERT_EQ(server.StartupRpcServer(), 1);
    const auto duplicate = Platform::OpenPublicProcess(server.GetSrvProcessHandle());
    EXPECT_EQ(server.WaitForExit(0), 258u);
    EXPECT_EQ(server.ShutdownRpcServer(), 1);
    EXPECT_EQ(server.IsValid(), 0);
    EXPECT_EQ(server.IsRpcServerRunning(), 0);
    EXPECT_EQ(server.WaitForExit(0), 0u) << "no process handle is left";
    Platform::ExitStatus status{true, 1};
    ASSERT_TRUE(Platform::QueryExit(duplicate, status));
    EXPECT_EQ(status.code, 0u) << "terminated with exit code 0";
    // Stopped records start again.
    EXPECT_EQ(server.StartupRpcServer(), 1);
    EXPECT_EQ(server.IsRpcServerRunning(), 1);
}

TEST(ServerRecord, DestructionStopsTheServerWithoutTellingTheObserver) {
    RecordingObserver observer;
    Platform::Process duplicate;
    {
        RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"");
        ASSERT_EQ(server.StartupRpcServer(), 1);
        server.SetStatusObserver(&observer);
        duplicate = Platform::OpenPublicProcess(server.GetSrvProcessHandle());
    }
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(Platform::WaitForProcess(duplicate, std::chrono::milliseconds(0)),
              Platform::WaitResult::Ended);
}

// The status queries answer at once while another thread holds the start
// lock (here: an observer that does not return until told to).
TEST(ServerRecord, StatusQueriesDoNotWaitBehindAStart) {
    struct Blocking : IRpcServerStatusObserver {
        std::promise<void> entered, leave;
        void OnRpcServerExited(void*, int) override {}
        void OnRpcServerReStarted(void*) override {
            entered.set_value();
            leave.get_future().wait_for(std::chrono::seconds(5));
        }
    } observer;
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"");
    server.SetStatusObserver(&observer);
    std::thread starter([&] { server.StartupRpcServer(); });
    observer.entered.get_future().wait();
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(server.IsRpcServerRunning(), 1);
    EXPECT_EQ(server.IsValid(), 1);
    EXPECT_NE(server.GetSrvProcessHandle(), nullptr);
    EXPECT_EQ(server.WaitForExit(0), 258u);
    EXPECT_EQ(server.SetStatusObserver(&observer), &observer);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
    observer.leave.set_value();
    starter.join();
}

}  // namespace
