// SPDX-License-Identifier: Apache-2.0
// The host against a misbehaving scripted server: an announced 2 GB answer, a
// write blocked on a dying server, and the soak.
// JRC_SOAK_SECONDS sets the soak's length (default 10); JRC_SOAK_SEED the
// chaos thread's seed (default: from the clock, printed).

#include <JsonRpcClient/JsonRpcClient.h>

#include "support/HostingTestSupport.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
using HostingTest::Widen;
using testing::PrintToString;

namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr bool kOwnAllocator = true;  // the heap figure means nothing there
#else
constexpr bool kOwnAllocator = false;
#endif
#ifdef __SANITIZE_THREAD__
constexpr bool kShadowedMemory = true;  // resident size follows the shadow
#else
constexpr bool kShadowedMemory = false;
#endif

long EnvOr(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtol(value, nullptr, 10) : fallback;
}

// Every code the call cycle may end a call with.
bool IsTableCode(long code) {
    namespace F = FailureCode;
    static const long kCodes[] = {
        F::Ok,      F::Unexpected, F::ServerFault, F::CallRejected,  F::VersionMismatch,
        F::Timeout, F::NoSync,     F::InvalidData, F::InvalidMethod, F::InvalidParameter};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes) ||
           (code >= -32099 && code <= -32000);
}

// The code; `result` (if given) gets the result, null after a failure.
long Echo(JsonRpcClient& client, const Json::Value& params = Json::arrayValue,
          Json::Value* result = nullptr) {
    JsonRequest request("echo");
    request.SetParams(params);
    JsonResponse response;
    const long code = client.Request(request, response);
    if (result != nullptr) {
        *result = code == 0 ? response.GetResult() : Json::Value();
    }
    return code;
}

// The scripted server's control file (how "echo" answers) and pid file.
class Chaos {
public:
    explicit Chaos(const std::string& mode = "ok") { Set(mode); }
    ~Chaos() {
        std::remove(control_.c_str());
        std::remove(pidfile_.c_str());
    }
    void Set(const std::string& mode) {
        std::ofstream(control_ + ".tmp") << mode << "\n";
        std::rename((control_ + ".tmp").c_str(), control_.c_str());
    }
    std::string Args() const { return "--control " + control_ + " --pidfile " + pidfile_; }
    int Pid() const { return HostingTest::ReadPidFile(pidfile_); }

private:
    const std::string control_ = HostingTest::TempPath("control");
    const std::string pidfile_ = HostingTest::TempPath("pid");
};

// First in this program: the soak's 10 MB answers would raise the peak
// resident size it measures. A stated length is believed only as far as
// bytes arrive.
TEST(HugeLength, AnnouncedTwoGigabyteAnswerFollowedByEndOfStreamCostsAFewMiB) {
    Chaos chaos;
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), Widen(chaos.Args()));
    JsonRpcClient client(&server);
    ASSERT_EQ(Echo(client), 0);  // streams and buffers exist from here on

    chaos.Set("liar");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    EXPECT_EQ(Echo(client), FailureCode::ServerFault);
    getrusage(RUSAGE_SELF, &usage);
    if (!kShadowedMemory) {
        EXPECT_LE(usage.ru_maxrss - before, 8 * 1024) << "peak resident size grew (KiB)";
    }
    ASSERT_EQ(client.GetErrList().size(), 2u);
    EXPECT_EQ(client.GetErrList().front().second, "Call response invalid");

    chaos.Set("ok");
    EXPECT_EQ(Echo(client), 0);
}

// The record keeps its own copy of the input pipe's read end open until it is
// stopped, so a write into a full pipe that does not watch the server would
// wait for a reader that never comes.
TEST(WriteHang, CallBlockedWritingToAServerThatDiesEnds) {
    Chaos chaos("deaf");  // never reads its input
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), Widen(chaos.Args()));
    ASSERT_EQ(server.StartupRpcServer(), 1);
    ASSERT_TRUE(HostingTest::Eventually([&] { return chaos.Pid() > 0; }, 5s));

    std::atomic<bool> returned{false};
    long code = 0;
    std::thread caller([&] {
        JsonRpcClient client(&server);  // more than a pipe holds:
        code = Echo(client, TestJson::Params({std::string(256 * 1024, 'p')}));
        returned = true;
    });
    std::this_thread::sleep_for(300ms);
    const bool blocked = !returned;
    kill(chaos.Pid(), SIGKILL);

    const bool endedByItself = HostingTest::Eventually([&] { return returned.load(); }, 3s);
    if (!endedByItself) {
        server.ShutdownRpcServer();  // releases the writer so the test can end
    }
    caller.join();
    EXPECT_TRUE(blocked) << "the request did not block; the test needs a fuller pipe";
    EXPECT_TRUE(endedByItself) << "the call stayed blocked after its server died";
    EXPECT_EQ(code, FailureCode::ServerFault);
}

constexpr int kWorkers = 8;
const char* const kChaosModes[] = {"garbage", "badjson", "partial",  "bytewise",
                                   "huge",    "noise",   "closeout", "die"};

TEST(Soak, EightThreadsSurviveAChaoticServerAndLeaveNothingBehind) {
    const long seconds = EnvOr("JRC_SOAK_SECONDS", 10);
    const unsigned seed = static_cast<unsigned>(EnvOr(
        "JRC_SOAK_SEED", static_cast<long>(Clock::now().time_since_epoch().count() % 100000)));
    std::printf("soak: %ld s, seed %u\n", seconds, seed);
    // A hung call ends the process rather than the test run.
    alarm(static_cast<unsigned>(seconds) + 120);

    Chaos chaos;
    const std::wstring args = Widen(chaos.Args());
    // Warms up what the library allocates once per process, for a fair baseline.
    {
        RpcLocalSrvConfig warmUp(HostingTest::ScriptedServer(), args);
        JsonRpcClient client(&warmUp);
        chaos.Set("huge");
        ASSERT_EQ(Echo(client), 0) << PrintToString(client.GetErrList());
        chaos.Set("ok");
        ASSERT_EQ(Echo(client), 0) << PrintToString(client.GetErrList());
    }
    // A sanitizer runtime may start a helper thread with the first thread made.
    std::thread([] {}).join();
    auto noChildren = [] { return !HostingTest::HasChildProcess(); };
    ASSERT_TRUE(HostingTest::Eventually(noChildren, 3s));
    const std::set<int> descriptorsBefore = HostingTest::OpenDescriptors();
    const int threadsBefore = HostingTest::ThreadCount();
    const std::size_t heapBefore = HostingTest::HeapInUse();

    std::mutex mutex;  // guards the tally
    std::map<long, long> byCode;
    Clock::duration longest{};
    long kills = 0;
    long stops = 0;
    {
        RpcLocalSrvConfig server(HostingTest::ScriptedServer(), args);
        std::atomic<bool> stop{false};
        std::atomic<int> returned{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < kWorkers; ++t) {
            workers.emplace_back([&, t] {
                JsonRpcClient client(&server);
                client.SetRequestTimeout(2000);
                for (int i = 0; !stop; ++i) {
                    const Json::Value params =
                        TestJson::Params({std::to_string(t) + "/" + std::to_string(i)});
                    Json::Value result;
                    const auto start = Clock::now();
                    const long code = Echo(client, params, &result);
                    const std::lock_guard<std::mutex> lock(mutex);
                    ++byCode[code];
                    longest = std::max(longest, Clock::now() - start);
                    EXPECT_TRUE(code != 0 || result == params) << "another's answer";
                    EXPECT_TRUE(IsTableCode(code)) << code << PrintToString(client.GetErrList());
                }
                ++returned;
            });
        }

        // The pid file may name an ended process whose id has been reused.
        auto killServer = [&] {
            const int pid = chaos.Pid();
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
                chaos.Set(mode);
                std::this_thread::sleep_for(std::chrono::milliseconds(pick(20, 200)));
                // Only ending the server ends a reader waiting on these two.
                if (mode == "partial" || mode == "closeout" || pick(0, 1) == 0) {
                    killServer();
                }
                chaos.Set("ok");
            } else if (action < 8) {
                killServer();
            } else {
                server.ShutdownRpcServer();
                ++stops;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(10, 150)));
        }
        // Wind down. A call blocked writing to a server killed meanwhile is
        // released only by stopping the record (see WriteHang), which other
        // workers' restarts did during the soak; do it here if still needed.
        chaos.Set("ok");
        stop = true;
        killServer();
        if (!HostingTest::Eventually([&] { return returned == kWorkers; }, 3s)) {
            std::printf("soak: calls still blocked after the last kill; stopping the server\n");
            while (returned < kWorkers) {
                server.ShutdownRpcServer();
                std::this_thread::sleep_for(50ms);
            }
        }
        for (std::thread& worker : workers) {
            worker.join();
        }

        // The server answers properly after the chaos. One that lived through
        // it may have written noise to its standard error, which shares the
        // output pipe: the call that read the noise as a header failed and left
        // its answer unread, and every later call gets the previous call's
        // answer (NoSync) until a stop clears it.
        JsonRpcClient after(&server);
        const Json::Value params = TestJson::Params({"after"});
        Json::Value result;
        long code = Echo(after, params, &result);
        if (code == FailureCode::NoSync) {
            server.ShutdownRpcServer();
            code = Echo(after, params, &result);
        }
        EXPECT_EQ(code, 0) << PrintToString(after.GetErrList());
        EXPECT_EQ(result, params);
    }
    alarm(0);

    std::printf("soak: %ld kills, %ld stops, longest call %lld ms; calls by code %s\n", kills,
                stops, static_cast<long long>(longest / 1ms), PrintToString(byCode).c_str());
    EXPECT_GT(byCode[FailureCode::Ok], 0);
    EXPECT_GT(kills, 0);
    // Lock waits give up after 2 s; reads end when the chaos thread ends the
    // server. 20 s leaves room for sanitizer builds and the 10 MB answers.
    EXPECT_LT(longest, 20s);

    EXPECT_TRUE(HostingTest::Eventually(noChildren, 3s)) << "child processes are left";
    EXPECT_TRUE(HostingTest::Eventually(
        [&] { return HostingTest::OpenDescriptors() == descriptorsBefore; }, 3s));
    EXPECT_TRUE(
        HostingTest::Eventually([&] { return HostingTest::ThreadCount() == threadsBefore; }, 3s));
    if (!kOwnAllocator) {
        EXPECT_LE(HostingTest::HeapInUse(), heapBefore + (std::size_t{1} << 20)) << heapBefore;
    }
}

}  // namespace
