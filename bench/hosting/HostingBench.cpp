// SPDX-License-Identifier: Apache-2.0
// Hosting and call-cycle costs, each against a baseline measured in the same
// run (rounds alternate the subject with its baseline so both see the same
// load on the machine; medians over the rounds are reported):
// - "RunTest" on the bundled configuration server through
//   JsonRpcClient::Request, against a raw ping-pong of the same number of
//   bytes between two processes (goal: within 2.5x), with the heap
//   allocations one call makes on the host side;
// - round trips with 1 KB, 64 KB and 1 MB results from an echo server,
//   against the pipe copy of the same bytes plus the JSON work any JsonCpp
//   client and server pair must do: a bare write and parse of the request
//   and of the answer (goal: within 1.3x);
// - throughput of 1, 2 and 8 client threads sharing one server and of 8
//   clients on 8 servers, against raw ping-pong on as many threads;
// - starting a server until its first answer while the host holds 64 MB and
//   then 4 GB of touched memory (goal: ratio at most 1.2);
// - warm GSD catalogue queries over the library (goal: under 100 us p50).
// Wall time throughout: a round trip is mostly waiting for the other side.
//
// Every counter a row of the suite's table needs is named figure_us,
// baseline_us and ratio (figure over baseline).

#include <benchmark/benchmark.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "platform/Platform.h"

// The allocation counter sees the host side of a call only: the servers are
// other processes.

using namespace RpcClient;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 15;

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const std::size_t at =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[at];
}

std::string FrameBytes(const Json::Value& body) {
    std::ostringstream out;
    WriteFrame(out, body);
    return out.str();
}

std::string FrameBytes(const JsonRequest& request) {
    JsonRequest copy(request);
    copy.FixRequestId();
    return FrameBytes(copy.BuildBody());
}

// A peer process that answers `in` bytes with `out` bytes.
class RawPeer {
public:
    RawPeer(std::size_t in, std::size_t out) : in_(in), buffer_(out) {
        Platform::Pipe outWrite;
        Platform::Pipe inRead;
        Platform::CreatePipe(fromPeer_, outWrite);
        Platform::CreatePipe(inRead, toPeer_);
        Platform::ProcessStart start;
        start.application = Widen(JRC_RAW_PEER);
        start.arguments = std::to_wstring(in) + L" " + std::to_wstring(out);
        start.standardInput = &inRead;
        start.standardOutput = &outWrite;
        process_ = Platform::StartProcess(start);
    }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;
    ~RawPeer() {
        toPeer_.Reset();
        fromPeer_.Reset();
        Platform::WaitForProcess(process_, std::chrono::milliseconds(2000));
    }
    // `bytes` must hold at least `in` bytes.
    bool PingPong(const std::string& bytes) {
        if (!Platform::WritePipe(toPeer_, bytes.data(), in_, nullptr)) {
            return false;
        }
        // Watching the peer gives the host's side of the floor the same
        // short look-again before blocking as a call through the library.
        std::size_t got = 0;
        while (got < buffer_.size()) {
            const long n = Platform::ReadPipe(fromPeer_, buffer_.data() + got, buffer_.size() - got,
                                              &process_);
            if (n <= 0) {
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    std::size_t in_;
    std::vector<char> buffer_;
    Platform::Process process_;
    Platform::Pipe toPeer_;
    Platform::Pipe fromPeer_;
};

template <typename F>
double SecondsEach(int count, F&& f) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        f();
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / count;
}

// Alternates `batch` runs of the baseline with `batch` runs of the subject
// and reports the medians as figure_us, baseline_us and ratio.
template <typename Subject, typename Baseline>
void CompareInRounds(benchmark::State& state, int batch, Subject&& subject, Baseline&& baseline) {
    std::vector<double> figure;
    std::vector<double> floor;
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        const double base = SecondsEach(batch, baseline);
        const double each = SecondsEach(batch, subject);
        floor.push_back(base);
        figure.push_back(each);
        ratios.push_back(each / base);
    }
    state.counters["figure_us"] = Median(figure) * 1e6;
    state.counters["baseline_us"] = Median(floor) * 1e6;
    state.counters["ratio"] = Median(ratios);
}

JsonRequest RunTestRequest() {
    JsonRequest request("RunTest");
    request.SetRequestParamsList(7, std::string("abc"), true, 1.5, 2.25);
    return request;
}

void BM_RunTestRoundTrip(benchmark::State& state) {
    RpcLocalSrvConfig server(Widen(JRC_PN_RUNNER), L"");
    JsonRpcClient client(&server);
    JsonRequest request = RunTestRequest();
    JsonResponse response;
    for (auto _ : state) {
        if (client.Request(request, response) != 0) {
            state.SkipWithError(("RunTest failed: " + client.GetLastErrMsg()).c_str());
            return;
        }
    }
    const std::string sent = FrameBytes(request);
    RawPeer peer(sent.size(), FrameBytes(response.GetResponse()).size());

    const unsigned long long before = Bench::AllocationCount();
    constexpr int kCounted = 1000;
    for (int i = 0; i < kCounted; ++i) {
        client.Request(request, response);
    }
    state.counters["allocations_per_call"] =
        static_cast<double>(Bench::AllocationCount() - before) / kCounted;

    CompareInRounds(
        state, 300, [&] { client.Request(request, response); }, [&] { peer.PingPong(sent); });
}
BENCHMARK(BM_RunTestRoundTrip)->Iterations(300)->Unit(benchmark::kMicrosecond);

// An echo server answers with its params as the result: a result of about
// `state.range(0)` bytes.
void BM_PayloadRoundTrip(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    RpcLocalSrvConfig server(Widen(JRC_ECHO_SERVER), L"");
    JsonRpcClient client(&server);
    JsonRequest request("echo");
    request.SetRequestParamsList(std::string(size, 'x'));
    JsonResponse response;
    for (auto _ : state) {
        if (client.Request(request, response) != 0) {
            state.SkipWithError("echo failed");
            return;
        }
    }
    JsonRequest fixed(request);
    fixed.FixRequestId();
    const Json::Value requestValue = fixed.BuildBody();
    const std::string sent = FrameBytes(requestValue);
    const std::string answer = FrameBytes(response.GetResponse());
    // The answer's body, after its header.
    const std::string answerBody = answer.substr(answer.find("\r\n\r\n") + 4);
    RawPeer peer(sent.size(), answer.size());
    Json::StreamWriterBuilder writerBuilder;
    writerBuilder["indentation"] = "";
    const std::unique_ptr<Json::StreamWriter> writer(writerBuilder.newStreamWriter());
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());

    const int batch = size >= (1u << 20) ? 6 : size >= (1u << 16) ? 60 : 300;
    const std::string requestBody = sent.substr(sent.find("\r\n\r\n") + 4);
    const Json::Value answerValue = response.GetResponse();
    const auto writeAndParse = [&](const Json::Value& value, const std::string& text) {
        std::ostringstream written;
        writer->write(value, &written);
        benchmark::DoNotOptimize(written.str());
        Json::Value parsed;
        reader->parse(text.data(), text.data() + text.size(), &parsed, nullptr);
        benchmark::DoNotOptimize(parsed);
    };
    CompareInRounds(
        state, batch, [&] { client.Request(request, response); },
        [&] {
            writeAndParse(requestValue, requestBody);
            peer.PingPong(sent);
            writeAndParse(answerValue, answerBody);
        });
    // The same bytes through the pipes alone, without any JSON work: what a
    // large string result can cost at the very least.
    std::vector<double> pipeOnly;
    for (int round = 0; round < 5; ++round) {
        pipeOnly.push_back(SecondsEach(batch, [&] { peer.PingPong(sent); }));
    }
    state.counters["pipe_copy_us"] = Median(pipeOnly) * 1e6;
    state.counters["result_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_PayloadRoundTrip)
    ->Arg(1 << 10)
    ->Arg(1 << 16)
    ->Arg(1 << 20)
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);

// Calls per second of `threads` threads, each running `perThread` calls.
template <typename Call>
double CallsPerSecond(int threads, int perThread, Call&& call) {
    std::vector<std::thread> workers;
    const auto start = Clock::now();
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                call(t);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    return threads * perThread / std::chrono::duration<double>(Clock::now() - start).count();
}

// range(0) client threads on range(1) servers (1 = all share one). The
// baseline is raw ping-pong on as many threads and peers, a shared peer
// taken in turns. Reported in microseconds per call (the inverse of the
// throughput) so a ratio above one means slower than the baseline.
void BM_Throughput(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const int servers = static_cast<int>(state.range(1));
    std::vector<std::unique_ptr<RpcLocalSrvConfig>> configs;
    for (int s = 0; s < servers; ++s) {
        configs.push_back(std::make_unique<RpcLocalSrvConfig>(Widen(JRC_PN_RUNNER), L""));
    }
    std::vector<std::unique_ptr<JsonRpcClient>> clients;
    for (int t = 0; t < threads; ++t) {
        clients.push_back(std::make_unique<JsonRpcClient>(configs[t % servers].get()));
    }
    const JsonRequest prototype = RunTestRequest();
    std::vector<JsonRequest> requests(threads, prototype);
    std::vector<JsonResponse> responses(threads);
    for (auto _ : state) {
        for (int t = 0; t < threads; ++t) {
            if (clients[t]->Request(requests[t], responses[t]) != 0) {
                state.SkipWithError("RunTest failed");
                return;
            }
        }
    }
    const std::string sent = FrameBytes(prototype);
    const std::size_t answer = FrameBytes(responses[0].GetResponse()).size();
    std::vector<std::unique_ptr<RawPeer>> peers;
    std::vector<std::unique_ptr<std::mutex>> turns;
    for (int s = 0; s < servers; ++s) {
        peers.push_back(std::make_unique<RawPeer>(sent.size(), answer));
        turns.push_back(std::make_unique<std::mutex>());
    }
    const int perThread = 2400 / threads;
    std::vector<double> figure;
    std::vector<double> floor;
    std::vector<double> ratios;
    std::atomic<int> failures{0};
    for (int round = 0; round < 7; ++round) {
        const double raw = CallsPerSecond(threads, perThread, [&](int t) {
            std::lock_guard<std::mutex> turn(*turns[t % servers]);
            peers[t % servers]->PingPong(sent);
        });
        const double rpc = CallsPerSecond(threads, perThread, [&](int t) {
            if (clients[t]->Request(requests[t], responses[t]) != 0) {
                ++failures;
            }
        });
        floor.push_back(1e6 / raw);
        figure.push_back(1e6 / rpc);
        ratios.push_back(raw / rpc);
    }
    if (failures > 0) {
        state.SkipWithError("calls failed under load");
        return;
    }
    state.counters["figure_us"] = Median(figure);
    state.counters["baseline_us"] = Median(floor);
    state.counters["ratio"] = Median(ratios);
    state.counters["calls_per_s"] = 1e6 / Median(figure);
}
BENCHMARK(BM_Throughput)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({8, 1})
    ->Args({8, 8})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Holds `megabytes` of memory with every page touched.
class Ballast {
public:
    explicit Ballast(std::size_t megabytes) : bytes_(megabytes << 20) {
        std::memset(bytes_.data(), 1, bytes_.size());
    }

private:
    std::vector<char> bytes_;
};

// Median time from starting the server until its first answer.
double MedianSecondsToFirstAnswer(int count) {
    RpcLocalSrvConfig server(Widen(JRC_PN_RUNNER), L"");
    JsonRpcClient client(&server);
    JsonRequest request = RunTestRequest();
    JsonResponse response;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        server.StartupRpcServer();
        client.Request(request, response);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        server.ShutdownRpcServer();
    }
    return Median(times);
}

// Small and large hosts take turns, twice, and each keeps its better figure,
// so that a busy moment of the machine does not pass for a cost of the
// host's size (nor hide one).
void BM_ServerStartVersusHostMemory(benchmark::State& state) {
    double small = 1e9;
    double large = 1e9;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            {
                Ballast ballast(64);
                MedianSecondsToFirstAnswer(5);  // warm the page cache and the loader
                small = std::min(small, MedianSecondsToFirstAnswer(31));
            }
            {
                Ballast ballast(4096);
                MedianSecondsToFirstAnswer(5);
                large = std::min(large, MedianSecondsToFirstAnswer(31));
            }
        }
    }
    state.counters["figure_us"] = large * 1e6;
    state.counters["baseline_us"] = small * 1e6;
    state.counters["ratio"] = large / small;
}
BENCHMARK(BM_ServerStartVersusHostMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Warm catalogue queries through the library against the configuration
// server, with a catalogue of its own holding the sample device. The
// baseline is a raw ping-pong of the same number of bytes.
void GsdQueryOverLibrary(benchmark::State& state, JsonRequest request) {
    namespace fs = std::filesystem;
    const fs::path catalog = fs::temp_directory_path() /
                             ("jrc-bench-catalog-" + std::to_string(Platform::CurrentProcessId()));
    fs::remove_all(catalog);
    fs::create_directories(catalog);
    RpcLocalSrvConfig server(Widen(JRC_PN_RUNNER), Widen("--catalog=" + catalog.string()));
    JsonRpcClient client(&server);
    JsonRequest import("TavrelImportGsdFile");
    import.SetRequestParamsList(std::string(JRC_GSD_SAMPLE));
    JsonResponse response;
    if (client.Request(import, response) != 0 || !response.GetResult()["IsSuccess"].asBool()) {
        state.SkipWithError("import failed");
        fs::remove_all(catalog);
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        const long code = client.Request(request, response);
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (code != 0) {
            state.SkipWithError(("query failed: " + client.GetLastErrMsg()).c_str());
            break;
        }
    }
    const std::string sent = FrameBytes(request);
    RawPeer peer(sent.size(), FrameBytes(response.GetResponse()).size());
    std::vector<double> raw;
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        peer.PingPong(sent);
        raw.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    state.counters["figure_us"] = Percentile(samples, 0.5);
    state.counters["p99_us"] = Percentile(samples, 0.99);
    state.counters["baseline_us"] = Percentile(raw, 0.5);
    state.counters["ratio"] = Percentile(samples, 0.5) / Percentile(raw, 0.5);
    state.counters["result_entries"] = static_cast<double>(response.GetResult().size());
    server.ShutdownRpcServer();
    fs::remove_all(catalog);
}

std::string SampleName() {
    return std::filesystem::path(JRC_GSD_SAMPLE).filename().string();
}

void BM_GsdPluggableModuleCatalog(benchmark::State& state) {
    JsonRequest request("GetPluggableModuleCatalog");
    request.SetRequestParamsList(SampleName(), std::string("DAP_HF"));
    GsdQueryOverLibrary(state, request);
}
BENCHMARK(BM_GsdPluggableModuleCatalog)->Iterations(3000)->Unit(benchmark::kMicrosecond);

void BM_GsdSubModuleParameter(benchmark::State& state) {
    JsonRequest request("GetSubMouleParameter");
    request.SetRequestParamsList(SampleName(), std::string(""), std::string("SM_DI16"));
    GsdQueryOverLibrary(state, request);
}
BENCHMARK(BM_GsdSubModuleParameter)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
