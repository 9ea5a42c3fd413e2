// Hosting costs, each against a baseline measured in the same run:
// - a small request's round trip through JsonRpcClient::Request to an echo
//   server, against a raw ping-pong of the same frame bytes between two
//   processes (goal: within 3x);
// - starting a server while the host holds 64 MB and then 4 GB of touched
//   memory (goal: ratio at most 1.2, the start must not grow with the host).
// Wall time throughout: a round trip is mostly waiting for the other side.

#include <benchmark/benchmark.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Platform.h"

using namespace RpcClient;
using Clock = std::chrono::steady_clock;

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

JsonRequest SmallRequest() {
    JsonRequest request("echo");
    request.SetRequestParamsList(1, std::string("abc"));
    return request;
}

// The frame bytes the library writes for the small request.
std::string SmallFrame() {
    JsonRequest request = SmallRequest();
    request.FixRequestId();
    std::ostringstream out;
    WriteFrame(out, request.BuildBody());
    return out.str();
}

class RawPeer {
public:
    explicit RawPeer(std::size_t size) {
        void* outWrite = nullptr;
        void* inRead = nullptr;
        Platform::CreatePipe(fromPeer_, outWrite);
        Platform::CreatePipe(inRead, toPeer_);
        Platform::ProcessStart start;
        start.application = Widen(JRC_RAW_PEER);
        start.arguments = std::to_wstring(size);
        start.standardInput = inRead;
        start.standardOutput = outWrite;
        process_ = Platform::StartProcess(start);
        Platform::CloseHandle(outWrite);
        Platform::CloseHandle(inRead);
    }
    ~RawPeer() {
        Platform::CloseHandle(toPeer_);
        Platform::CloseHandle(fromPeer_);
        Platform::WaitForProcess(process_, 2000);
        Platform::CloseHandle(process_);
    }
    bool PingPong(const std::string& bytes, std::vector<char>& buffer) {
        if (!Platform::WritePipe(toPeer_, bytes.data(), bytes.size())) {
            return false;
        }
        std::size_t got = 0;
        while (got < bytes.size()) {
            const long n =
                Platform::ReadPipe(fromPeer_, buffer.data() + got, bytes.size() - got, nullptr);
            if (n <= 0) {
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    void* process_ = nullptr;
    void* toPeer_ = nullptr;
    void* fromPeer_ = nullptr;
};

double RawSecondsPerPingPong(int count) {
    const std::string frame = SmallFrame();
    std::vector<char> buffer(frame.size());
    RawPeer peer(frame.size());
    for (int i = 0; i < 100; ++i) {
        peer.PingPong(frame, buffer);
    }
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        peer.PingPong(frame, buffer);
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / count;
}

void BM_RawPipePingPong(benchmark::State& state) {
    const std::string frame = SmallFrame();
    std::vector<char> buffer(frame.size());
    RawPeer peer(frame.size());
    for (auto _ : state) {
        if (!peer.PingPong(frame, buffer)) {
            state.SkipWithError("raw peer failed");
            break;
        }
    }
    state.counters["bytes_each_way"] = static_cast<double>(frame.size());
}
BENCHMARK(BM_RawPipePingPong)->Unit(benchmark::kMicrosecond);

void BM_RequestRoundTrip(benchmark::State& state) {
    RpcLocalSrvConfig server(Widen(JRC_ECHO_SERVER), L"");
    JsonRpcClient client(&server);
    JsonRequest request = SmallRequest();
    JsonResponse response;
    for (int i = 0; i < 100; ++i) {
        client.Request(request, response);
    }
    const double baseline = RawSecondsPerPingPong(2000);
    const auto start = Clock::now();
    for (auto _ : state) {
        if (client.Request(request, response) != 0) {
            state.SkipWithError("request failed");
            break;
        }
    }
    const double each = std::chrono::duration<double>(Clock::now() - start).count() /
                        static_cast<double>(state.iterations());
    state.counters["raw_pingpong_us"] = baseline * 1e6;
    state.counters["ratio_to_raw"] = each / baseline;
}
BENCHMARK(BM_RequestRoundTrip)->Unit(benchmark::kMicrosecond);

// Holds `megabytes` of memory with every page touched.
class Ballast {
public:
    void GrowTo(std::size_t megabytes) {
        const std::size_t bytes = megabytes << 20;
        blocks_.emplace_back(bytes - held_);
        std::memset(blocks_.back().data(), 1, blocks_.back().size());
        held_ = bytes;
    }

private:
    std::vector<std::vector<char>> blocks_;
    std::size_t held_ = 0;
};

double SecondsPerStart(int count) {
    RpcLocalSrvConfig server(Widen(JRC_ECHO_SERVER), L"");
    double total = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        server.StartupRpcServer();
        total += std::chrono::duration<double>(Clock::now() - start).count();
        server.ShutdownRpcServer();
    }
    return total / count;
}

void BM_ServerStartVersusHostMemory(benchmark::State& state) {
    double small = 0;
    double large = 0;
    for (auto _ : state) {
        Ballast ballast;
        ballast.GrowTo(64);
        SecondsPerStart(10);  // warm the page cache and the dynamic loader
        small = SecondsPerStart(50);
        ballast.GrowTo(4096);
        large = SecondsPerStart(50);
    }
    state.counters["start_64MB_us"] = small * 1e6;
    state.counters["start_4GB_us"] = large * 1e6;
    state.counters["ratio_4GB_to_64MB"] = large / small;
}
BENCHMARK(BM_ServerStartVersusHostMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
