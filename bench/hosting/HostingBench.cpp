// Hosting costs, each against a baseline measured in the same run:
// - a small request's round trip through JsonRpcClient::Request to an echo
//   server, against a raw ping-pong of the same frame bytes between two
//   processes (goal: within 3x);
// - starting a server while the host holds 64 MB and then 4 GB of touched
//   memory (goal: ratio at most 1.2, the start must not grow with the host).
// Wall time throughout: a round trip is mostly waiting for the other side.

#include <benchmark/benchmark.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <algorithm>
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The ratio comes from rounds that alternate a batch of raw ping-pongs with
// a batch of requests, so both see the same load on the machine; the median
// over the rounds is reported.
void BM_RequestRoundTrip(benchmark::State& state) {
    RpcLocalSrvConfig server(Widen(JRC_ECHO_SERVER), L"");
    JsonRpcClient client(&server);
    JsonRequest request = SmallRequest();
    JsonResponse response;
    const std::string frame = SmallFrame();
    std::vector<char> buffer(frame.size());
    RawPeer peer(frame.size());

    for (auto _ : state) {
        if (client.Request(request, response) != 0) {
            state.SkipWithError("request failed");
            return;
        }
    }

    constexpr int kRounds = 21;
    constexpr int kBatch = 300;
    std::vector<double> raw;
    std::vector<double> rpc;
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            peer.PingPong(frame, buffer);
        }
        const double rawEach = std::chrono::duration<double>(Clock::now() - start).count() / kBatch;
        start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            client.Request(request, response);
        }
        const double rpcEach = std::chrono::duration<double>(Clock::now() - start).count() / kBatch;
        raw.push_back(rawEach);
        rpc.push_back(rpcEach);
        ratios.push_back(rpcEach / rawEach);
    }
    state.counters["raw_pingpong_us"] = Median(raw) * 1e6;
    state.counters["request_us"] = Median(rpc) * 1e6;
    state.counters["ratio_to_raw"] = Median(ratios);
}
BENCHMARK(BM_RequestRoundTrip)->Unit(benchmark::kMicrosecond);

// Holds `megabytes` of memory with every page touched.
class Ballast {
public:
    explicit Ballast(std::size_t megabytes) : bytes_(megabytes << 20) {
        std::memset(bytes_.data(), 1, bytes_.size());
    }

private:
    std::vector<char> bytes_;
};

// Median time of one server start (the process created, its pipes set up).
double MedianSecondsPerStart(int count) {
    RpcLocalSrvConfig server(Widen(JRC_ECHO_SERVER), L"");
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        server.StartupRpcServer();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        server.ShutdownRpcServer();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The small host is measured before and after the large one, and the better
// figure kept, so that a busy moment of the machine does not pass for a cost
// of the host's size.
void BM_ServerStartVersusHostMemory(benchmark::State& state) {
    double small = 0;
    double large = 0;
    for (auto _ : state) {
        {
            Ballast ballast(64);
            MedianSecondsPerStart(10);  // warm the page cache and the loader
            small = MedianSecondsPerStart(60);
        }
        {
            Ballast ballast(4096);
            large = MedianSecondsPerStart(60);
        }
        {
            Ballast ballast(64);
            small = std::min(small, MedianSecondsPerStart(60));
        }
    }
    state.counters["start_64MB_us"] = small * 1e6;
    state.counters["start_4GB_us"] = large * 1e6;
    state.counters["ratio_4GB_to_64MB"] = large / small;
}
BENCHMARK(BM_ServerStartVersusHostMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
