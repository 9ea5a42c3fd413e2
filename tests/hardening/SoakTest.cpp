// SPDX-License-Identifier: Apache-2.0
// Soak: one server driven from eight threads while a chaos thread kills it,
// stops it, and makes it answer with garbage, partial frames, byte-by-byte
// frames, 10 MB answers, stderr noise, or a closed output. Every call must
// end in success (with its own answer) or in a code of the call cycle's
// failure table, no call may hang, and afterwards the host's descriptors,
// threads and heap are back where they were, with no child process left.
//
// JRC_SOAK_SECONDS sets the length (default 30); JRC_SOAK_SEED the chaos
// thread's seed (default: from the clock, printed).

#include <JsonRpcClient/JsonRpcClient.h>

#include "support/HostingTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace RpcClient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnAllocator = true;
#else
constexpr bool kOwnAllocator = false;
#endif
#else
constexpr bool kOwnAllocator = false;
#endif

long EnvOr(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtol(value, nullptr, 10) : fallback;
}

using HostingTest::Widen;

// Every code the call cycle may end a call with.
bool IsTableCode(long code) {
    switch (code) {
        case FailureCode::Ok:
        case FailureCode::Unexpected:
        case FailureCode::ServerFault:
        case FailureCode::CallRejected:
        case FailureCode::VersionMismatch:
        case FailureCode::Timeout:
        case FailureCode::NoSync:
        case FailureCode::InvalidData:
        case FailureCode::InvalidMethod:
        case FailureCode::InvalidParameter:
            return true;
        default:
            return code >= -32099 && code <= -32000;
    }
}

class EchoClient : public JsonRpcClient {
public:
    using JsonRpcClient::JsonRpcClient;
    long Echo(const Json::Value& params, Json::Value& result) {
        JsonRequest request("echo");
        request.SetParams(params);
        JsonResponse response;
        const long code = Request(request, response);
        result = code == 0 ? response.GetResult() : Json::Value();
        return code;
    }
};

// The chaos server's control file: its first word is the answer mode.
class Control {
public:
    explicit Control(std::string path) : path_(std::move(path)) { Set("ok"); }
    ~Control() { std::remove(path_.c_str()); }
    void Set(const std::string& mode) {
        const std::string temporary = path_ + ".tmp";
        {
            std::ofstream out(temporary);
            out << mode << "\n";
        }
        std::rename(temporary.c_str(), path_.c_str());
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

struct Tally {
    std::mutex mutex;
    std::map<long, long> byCode;
    std::vector<std::string> faults;
    Clock::duration longest{};

    void Add(long code, Clock::duration took) {
        const std::lock_guard<std::mutex> lock(mutex);
        ++byCode[code];
        longest = std::max(longest, took);
    }
    void Fault(const std::string& what) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (faults.size() < 20) {
            faults.push_back(what);
        }
    }
};

std::string Describe(const JsonRpcClient::ErrorList& errors) {
    std::string text;
    for (const auto& entry : errors) {
        text += " (" + std::to_string(entry.first) + ", " + entry.second + ")";
    }
    return text;
}

// Aborts the process if the soak has not finished by its deadline: a hung
// call would otherwise hang the test run itself.
class Watchdog {
public:
    explicit Watchdog(Clock::duration limit)
        : thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "soak: calls still hanging after the deadline\n");
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

constexpr int kWorkers = 8;
const char* const kChaosModes[] = {"garbage", "badjson", "partial",  "bytewise",
                                   "huge",    "noise",   "closeout", "die"};

TEST(Soak, EightThreadsSurviveAChaoticServerAndLeaveNothingBehind) {
    const long seconds = EnvOr("JRC_SOAK_SECONDS", 30);
    const unsigned seed = static_cast<unsigned>(EnvOr(
        "JRC_SOAK_SEED", static_cast<long>(Clock::now().time_since_epoch().count() % 100000)));
    std::printf("soak: %ld s, seed %u\n", seconds, seed);

    Control control(HostingTest::TempPath("control"));
    const std::string pidfile = HostingTest::TempPath("pid");
    const std::wstring args =
        L"--control " + Widen(control.Path()) + L" --pidfile " + Widen(pidfile);

    // A first record, used and destroyed, warms up whatever the library
    // allocates once per process, so the baseline below is a fair one.
    {
        RpcLocalSrvConfig warmUp(Widen(JRC_CHAOS_SERVER), args);
        EchoClient client(&warmUp);
        Json::Value result;
        control.Set("huge");
        ASSERT_EQ(client.Echo(Json::Value(Json::arrayValue), result), 0)
            << Describe(client.GetErrList());
        control.Set("ok");
        ASSERT_EQ(client.Echo(Json::Value(Json::arrayValue), result), 0)
            << Describe(client.GetErrList());
    }
    // A sanitizer runtime may start a helper thread of its own with the
    // first thread the process makes; let that happen before counting.
    std::thread([] {}).join();
    ASSERT_TRUE(
        HostingTest::Eventually([] { return HostingTest::ChildrenOf(getpid()).empty(); }, 3s));
    const std::set<int> descriptorsBefore = HostingTest::OpenDescriptors();
    const int threadsBefore = HostingTest::ThreadCount();
    const std::size_t heapBefore = HostingTest::HeapInUse();

    Tally tally;
    long kills = 0;
    long stops = 0;
    {
        RpcLocalSrvConfig server(Widen(JRC_CHAOS_SERVER), args);
        std::atomic<bool> stop{false};
        std::atomic<int> returned{0};
        const Watchdog watchdog(std::chrono::seconds(seconds) + 120s);

        std::vector<std::thread> workers;
        for (int t = 0; t < kWorkers; ++t) {
            workers.emplace_back([&, t] {
                EchoClient client(&server);
                client.SetRequestTimeout(2000);
                for (int i = 0; !stop; ++i) {
                    Json::Value params(Json::arrayValue);
                    params.append(t);
                    params.append(i);
                    params.append("call " + std::to_string(t) + "/" + std::to_string(i));
                    Json::Value result;
                    const auto start = Clock::now();
                    const long code = client.Echo(params, result);
                    tally.Add(code, Clock::now() - start);
                    if (code == 0 && result["echo"] != params) {
                        tally.Fault("thread " + std::to_string(t) + " got another call's answer");
                    } else if (!IsTableCode(code)) {
                        tally.Fault("code " + std::to_string(code) +
                                    " outside the table:" + Describe(client.GetErrList()));
                    }
                }
                ++returned;
            });
        }

        // Kills only our own child: the pid file may name a process that
        // has ended and whose id has been reused.
        auto killServer = [&] {
            const int pid = HostingTest::ReadPid(pidfile);
            if (pid > 0 && HostingTest::ParentOf(pid) == getpid() && kill(pid, SIGKILL) == 0) {
                ++kills;
            }
        };
        std::mt19937 random(seed);
        auto pick = [&random](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < deadline) {
            const int action = pick(0, 9);
            if (action < 6) {
                const std::string mode = kChaosModes[pick(0, 7)];
                control.Set(mode);
                std::this_thread::sleep_for(std::chrono::milliseconds(pick(20, 200)));
                // A partial frame or a closed output leaves the reader
                // waiting for the server; ending the server ends the wait.
                if (mode == "partial" || mode == "closeout" || pick(0, 1) == 0) {
                    killServer();
                }
                control.Set("ok");
            } else if (action < 8) {
                killServer();
            } else {
                server.ShutdownRpcServer();
                ++stops;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(10, 150)));
        }
        // Wind down: every worker finishes its current call once the server
        // it waits on has ended. A call blocked writing to a server that was
        // killed meanwhile is not released by the kill alone (see WriteHang
        // below) but only by stopping the record, which other workers'
        // restarts did during the soak; do it here once the kill has had its
        // chance, and say so.
        control.Set("ok");
        stop = true;
        killServer();
        if (!HostingTest::Eventually([&] { return returned == kWorkers; }, 3s)) {
            std::printf("soak: %d call(s) still blocked after the last kill; stopping the server\n",
                        kWorkers - returned.load());
            while (returned < kWorkers) {
                server.ShutdownRpcServer();
                std::this_thread::sleep_for(50ms);
            }
        }
        for (std::thread& worker : workers) {
            worker.join();
        }

        // The server answers properly once the chaos is over.
        EchoClient after(&server);
        Json::Value params(Json::arrayValue);
        params.append("after");
        Json::Value result;
        long code = after.Echo(params, result);
        // One stale answer from before may still sit in the pipe.
        if (code == FailureCode::NoSync) {
            code = after.Echo(params, result);
        }
        EXPECT_EQ(code, 0) << Describe(after.GetErrList());
        EXPECT_EQ(result["echo"], params);
    }

    long calls = 0;
    std::string summary;
    for (const auto& entry : tally.byCode) {
        calls += entry.second;
        summary += " " + std::to_string(entry.first) + ":" + std::to_string(entry.second);
    }
    std::printf("soak: %ld calls, %ld kills, %ld stops, longest call %lld ms; by code%s\n", calls,
                kills, stops,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(tally.longest).count()),
                summary.c_str());
    for (const std::string& fault : tally.faults) {
        ADD_FAILURE() << fault;
    }
    EXPECT_GT(tally.byCode[FailureCode::Ok], 0);
    EXPECT_GT(kills, 0);
    // Lock waits give up after 2 s; reads end when the chaos thread ends the
    // server, at most a few hundred ms into a step. 20 s leaves room for slow
    // sanitizer builds and the 10 MB answers.
    EXPECT_LT(tally.longest, 20s);

    EXPECT_TRUE(
        HostingTest::Eventually([] { return HostingTest::ChildrenOf(getpid()).empty(); }, 3s))
        << "child processes (zombies or servers) are left";
    EXPECT_TRUE(HostingTest::Eventually(
        [&] { return HostingTest::OpenDescriptors() == descriptorsBefore; }, 3s))
        << HostingTest::OpenDescriptors().size() << " descriptors open, "
        << descriptorsBefore.size() << " before";
    EXPECT_TRUE(
        HostingTest::Eventually([&] { return HostingTest::ThreadCount() == threadsBefore; }, 3s))
        << HostingTest::ThreadCount() << " threads, " << threadsBefore << " before";
    if (!kOwnAllocator) {
        const std::size_t heapAfter = HostingTest::HeapInUse();
        EXPECT_LE(heapAfter, heapBefore + (std::size_t{1} << 20))
            << "heap grew from " << heapBefore << " to " << heapAfter << " bytes";
    }
    std::remove(pidfile.c_str());
}

// A call that is blocked writing its request because the server's input
// pipe is full must end once the server dies, the way a blocked read does.
// The record keeps its own copy of the pipe's read end open until it is
// stopped, so a write that does not watch the server would wait for a reader
// that never comes.
TEST(WriteHang, CallBlockedWritingToAServerThatDiesEnds) {
    Control control(HostingTest::TempPath("control"));
    control.Set("deaf");  // never reads its input
    const std::string pidfile = HostingTest::TempPath("pid");
    RpcLocalSrvConfig server(Widen(JRC_CHAOS_SERVER), L"--control " + Widen(control.Path()) +
                                                          L" --pidfile " + Widen(pidfile));
    ASSERT_EQ(server.StartupRpcServer(), 1);
    ASSERT_TRUE(HostingTest::Eventually([&] { return HostingTest::ReadPid(pidfile) > 0; }, 5s));

    std::atomic<bool> returned{false};
    long code = 0;
    std::thread caller([&] {
        EchoClient client(&server);
        Json::Value params(Json::arrayValue);
        params.append(std::string(256 * 1024, 'p'));  // more than a pipe holds
        Json::Value result;
        code = client.Echo(params, result);
        returned = true;
    });
    std::this_thread::sleep_for(300ms);
    const bool blocked = !returned;
    kill(HostingTest::ReadPid(pidfile), SIGKILL);

    const bool endedByItself = HostingTest::Eventually([&] { return returned.load(); }, 3s);
    if (!endedByItself) {
        server.ShutdownRpcServer();  // releases the writer so the test can end
    }
    caller.join();
    EXPECT_TRUE(blocked) << "the request did not block; the test needs a fuller pipe";
    EXPECT_TRUE(endedByItself) << "the call stayed blocked after its server died";
    EXPECT_EQ(code, FailureCode::ServerFault);
    std::remove(pidfile.c_str());
}

}  // namespace
