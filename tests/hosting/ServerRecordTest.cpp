// SPDX-License-Identifier: Apache-2.0
// A server record: start, restart, stop; exclusive use of its connection.

#include <gtest/gtest.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

using namespace RpcClient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Events = std::vector<std::pair<std::string, int>>;

namespace {

class RecordingObserver : public IRpcServerStatusObserver {
public:
    Events events;
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

class ServerRecord : public testing::Test {
protected:
    RpcLocalSrvConfig server{HostingTest::ScriptedServer(), L""};
};

TEST_F(ServerRecord, RestartAfterAnExitReportsExitThenRestartInOrder) {
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"--exit 3");
    RecordingObserver observer;
    EXPECT_EQ(server.SetStatusObserver(&observer), nullptr);
    ASSERT_EQ(server.StartupRpcServer(), 1);
    // A start from the stopped state is a restart notice only.
    ASSERT_EQ(observer.events, (Events{{"restarted", 0}}));
    EXPECT_NE(observer.runningSeenOnRestart, -1) << "the observer could call back in";

    ASSERT_EQ(server.WaitForExit(5000), 0u);
    EXPECT_EQ(server.IsRpcServerRunning(), 0);
    EXPECT_EQ(server.IsValid(), 1) << "an ended process keeps its handles until Dispose";
    observer.events.clear();
    ASSERT_EQ(server.StartupRpcServer(), 1);
    EXPECT_EQ(observer.events, (Events{{"exited", 3}, {"restarted", 0}}));
    EXPECT_EQ(observer.lastServer, &server);
}

TEST_F(ServerRecord, SecondStartIsANoOpAndShutdownTerminatesAndForgetsTheProcess) {
    EXPECT_EQ(server.IsValid(), 0);
    EXPECT_EQ(server.GetSrvProcessHandle(), nullptr);
    EXPECT_EQ(server.WaitForExit(0), 0u) << "no process yet";
    ASSERT_EQ(server.StartupRpcServer(), 1);
    void* process = server.GetSrvProcessHandle();
    const auto descriptors = HostingTest::OpenDescriptors();
    EXPECT_EQ(server.StartupRpcServer(), 1);
    EXPECT_EQ(server.GetSrvProcessHandle(), process);
    EXPECT_EQ(HostingTest::OpenDescriptors(), descriptors) << "no new pipes";

    const auto duplicate = Platform::OpenPublicProcess(process);
    EXPECT_EQ(server.ShutdownRpcServer(), 1);
    EXPECT_EQ(server.IsValid(), 0);
    EXPECT_EQ(server.IsRpcServerRunning(), 0);
    Platform::ExitStatus status{true, 1};
    ASSERT_TRUE(Platform::QueryExit(duplicate, status));
    EXPECT_EQ(status.code, 0u) << "terminated with exit code 0";
    EXPECT_EQ(server.StartupRpcServer(), 1) << "stopped records start again";
    EXPECT_EQ(server.IsRpcServerRunning(), 1);
}

// Meanwhile an observer that does not return holds the start lock.
TEST_F(ServerRecord, StatusQueriesDoNotWaitBehindAStart) {
    struct Blocking : IRpcServerStatusObserver {
        std::promise<void> entered, leave;
        void OnRpcServerExited(void*, int) override {}
        void OnRpcServerReStarted(void*) override {
            entered.set_value();
            leave.get_future().wait_for(5s);
        }
    } observer;
    server.SetStatusObserver(&observer);
    std::thread starter([&] { server.StartupRpcServer(); });
    observer.entered.get_future().wait();
    const auto began = Clock::now();
    EXPECT_EQ(server.IsRpcServerRunning(), 1);
    EXPECT_EQ(server.IsValid(), 1);
    EXPECT_NE(server.GetSrvProcessHandle(), nullptr);
    EXPECT_EQ(server.WaitForExit(0), 258u);
    EXPECT_EQ(server.SetStatusObserver(&observer), &observer);
    EXPECT_LT(Clock::now() - began, 1s);
    observer.leave.set_value();
    starter.join();
}

std::pair<bool, Clock::duration> QueryElsewhere(RpcLocalSrvConfig& server, unsigned long timeout) {
    return std::async(std::launch::async,
                      [&server, timeout] {
                          const auto start = Clock::now();
                          RpcLocalConnection* connection = server.QueryConnection(timeout);
                          const auto took = Clock::now() - start;
                          server.ReleaseConnection(connection);
                          return std::make_pair(connection != nullptr, took);
                      })
        .get();
}

TEST_F(ServerRecord, NestedQueriesShareTheConnectionAndOtherThreadsWaitForTheLastRelease) {
    RpcLocalSrvConfig other(HostingTest::ScriptedServer(), L"");
    RpcLocalConnection* foreign = other.QueryConnection(1000);
    RpcLocalConnection* first = server.QueryConnection(1000);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->IsValid());
    EXPECT_EQ(first->GetProcessHandle(), server.GetSrvProcessHandle());
    RpcLocalConnection* second = server.QueryConnection(1000);
    EXPECT_EQ(second, first);

    server.ReleaseConnection(second);
    server.ReleaseConnection(nullptr);
    server.ReleaseConnection(foreign);  // neither changes anything
    const auto [got, took] = QueryElsewhere(server, 200);
    EXPECT_FALSE(got) << "one release of two leaves the lock held";
    EXPECT_GE(took, 190ms);
    EXPECT_LT(took, 2s) << "the wait is bounded by the timeout";
    const auto zero = QueryElsewhere(server, 0);
    EXPECT_FALSE(zero.first);
    EXPECT_LT(zero.second, 500ms) << "a zero timeout fails at once";

    server.ReleaseConnection(first);
    EXPECT_TRUE(QueryElsewhere(server, 200).first);
    other.ReleaseConnection(foreign);
}

// A restart must not destroy a connection another thread holds or waits for.
TEST(RestartStress, EightThreadsKeepCallingWhileTheServerIsKilledAtRandom) {
    const std::set<int> descriptorsBefore = HostingTest::OpenDescriptors();
    const std::string pidfile = HostingTest::TempPath("stress");
    {
        RpcLocalSrvConfig server(HostingTest::ScriptedServer(),
                                 L"--pidfile " + HostingTest::Widen(pidfile));
        constexpr int kThreads = 8;
        constexpr int kCalls = 500;
        std::atomic<int> running{kThreads}, successes{0}, failures{0}, unexpected{0}, kills{0};
        // The echoed value, or the failure code.
        auto echo = [](JsonRpcClient& client, int value) {
            JsonRequest request("echo");
            request.SetRequestParamsList(value);
            JsonResponse response;
            const long result = client.Request(request, response);
            return result == 0 ? response.GetResult()[0].asInt() : result;
        };
        std::vector<std::thread> workers;
        for (int t = 0; t < kThreads; ++t) {
            workers.emplace_back([&, t] {
                JsonRpcClient client(&server);
                client.SetRequestTimeout(100000);
                for (int i = 0; i < kCalls; ++i) {
                    const long got = echo(client, t * kCalls + i);
                    if (got == t * kCalls + i) {
                        ++successes;
                    } else {
                        const bool known =
                            got == FailureCode::ServerFault || got == FailureCode::Timeout;
                        ++(known ? failures : unexpected);
                    }
                }
                --running;
            });
        }
        std::thread killer([&] {
            std::mt19937 random(12345);
            std::uniform_int_distribution<int> pause(0, 15);
            while (running > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
                const int pid = HostingTest::ReadPidFile(pidfile, 50ms);
                kills += pid > 0 && HostingTest::Kill(pid) ? 1 : 0;
            }
        });
        for (std::thread& worker : workers) {
            worker.join();
        }
        killer.join();

        EXPECT_EQ(unexpected.load(), 0);
        EXPECT_EQ(successes + failures, kThreads * kCalls);
        EXPECT_GT(successes.load(), kThreads * kCalls / 2);
        EXPECT_GT(kills.load(), 5);
        // The server still answers once a last kill, if any, has taken effect.
        server.WaitForExit(200);
        JsonRpcClient after(&server);
        EXPECT_EQ(echo(after, 3), 3);
    }
    std::remove(pidfile.c_str());
    EXPECT_EQ(HostingTest::OpenDescriptors(), descriptorsBefore);
    EXPECT_FALSE(HostingTest::HasChildProcess());
}

}  // namespace
