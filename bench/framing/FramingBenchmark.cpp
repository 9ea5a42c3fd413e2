// SPDX-License-Identifier: Apache-2.0
// Framing cost on in-memory streams. For bodies of about 100 B, 10 KB and
// 1 MB it measures
//   BareParse     JsonCpp parsing the body bytes (the baseline),
//   ReadResponses reading the same body as a frame and splitting it,
//   RoundTrip     WriteFrame of the body plus ReadResponses of the result,
// and prints ReadResponses / BareParse per size at the end. The aim is less
// than 10% framing overhead for bodies of 10 KB and more.

#include <JsonRpcClient/rpc/Framing.h>

#include <benchmark/benchmark.h>
#include <json/reader.h>
#include <json/writer.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

// Reads a fixed byte range without copying it, so the harness costs nothing
// next to the code under test.
class MemoryBuffer : public std::streambuf {
public:
    void Reset(const std::string& bytes) {
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }
};

// A response whose result is a list of small records, as the catalogue
// service sends them, grown until its compact text reaches `targetSize`.
Json::Value MakeResponse(std::size_t targetSize) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    Json::Value response;
    response["jsonrpc"] = "2.0";
    response["id"] = 7;
    response["result"] = Json::Value(Json::arrayValue);
    for (int i = 0; Json::writeString(writer, response).size() < targetSize; ++i) {
        Json::Value record;
        record["Name"] = "module " + std::to_string(i);
        record["Index"] = i;
        record["Scale"] = i * 0.25;
        record["Enabled"] = (i % 2) == 0;
        response["result"].append(record);
    }
    return response;
}

struct Sample {
    std::string body;
    std::string frame;
    Json::Value value;
};

const Sample& SampleOfSize(std::size_t size) {
    static std::map<std::size_t, Sample> samples;
    Sample& sample = samples[size];
    if (sample.frame.empty()) {
        sample.value = MakeResponse(size);
        std::ostringstream out;
        RpcClient::WriteFrame(out, sample.value);
        sample.frame = out.str();
        sample.body = sample.frame.substr(sample.frame.find("\r\n\r\n") + 4);
    }
    return sample;
}

void BareParse(benchmark::State& state) {
    const Sample& sample = SampleOfSize(static_cast<std::size_t>(state.range(0)));
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    for (auto _ : state) {
        Json::Value root;
        std::string errors;
        const bool ok = reader->parse(sample.body.data(), sample.body.data() + sample.body.size(),
                                      &root, &errors);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sample.body.size()));
}

void ReadResponses(benchmark::State& state) {
    const Sample& sample = SampleOfSize(static_cast<std::size_t>(state.range(0)));
    MemoryBuffer buffer;
    for (auto _ : state) {
        buffer.Reset(sample.frame);
        std::istream in(&buffer);
        std::string error;
        std::vector<RpcClient::JsonResponse> responses = RpcClient::ReadResponses(in, error);
        if (responses.size() != 1) {
            state.SkipWithError("frame not read");
            break;
        }
        benchmark::DoNotOptimize(responses);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sample.body.size()));
}

void RoundTrip(benchmark::State& state) {
    const Sample& sample = SampleOfSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::stringstream pipe;
        RpcClient::WriteFrame(pipe, sample.value);
        std::string error;
        std::vector<RpcClient::JsonResponse> responses = RpcClient::ReadResponses(pipe, error);
        if (responses.size() != 1) {
            state.SkipWithError("frame not read");
            break;
        }
        benchmark::DoNotOptimize(responses);
    }
}

const std::vector<int64_t> kSizes = {100, 10 * 1000, 1000 * 1000};

// Remembers each benchmark's CPU time per iteration (the median of the
// repetitions when there are several) so the ratios can be printed after the
// normal console report.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const std::string key = run.run_name.function_name + "/" + run.run_name.args;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                cpuTime_[key] = run.GetAdjustedCPUTime();
                fromMedian_[key] = true;
            } else if (run.run_type == Run::RT_Iteration && !fromMedian_[key]) {
                cpuTime_[key] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\nReadResponses / BareParse (CPU time; goal < 1.10 from 10 KB up)\n");
        for (const int64_t size : kSizes) {
            const auto read = cpuTime_.find("ReadResponses/" + std::to_string(size));
            const auto parse = cpuTime_.find("BareParse/" + std::to_string(size));
            if (read != cpuTime_.end() && parse != cpuTime_.end() && parse->second > 0) {
                std::printf("  body ~%8lld B: %.3f\n", static_cast<long long>(size),
                            read->second / parse->second);
            }
        }
    }

private:
    std::map<std::string, double> cpuTime_;
    std::map<std::string, bool> fromMedian_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Registered size by size, each baseline right before the code it is
    // compared with, so that load changes on a shared machine hit both alike.
    // Medians of repetitions: single runs of the large body vary by more
    // than the overhead being measured.
    for (const int64_t size : kSizes) {
        for (auto [name, function] :
             {std::pair{"BareParse", &BareParse}, std::pair{"ReadResponses", &ReadResponses},
              std::pair{"RoundTrip", &RoundTrip}}) {
            benchmark::RegisterBenchmark(name, function)
                ->Arg(size)
                ->Repetitions(5)
                ->DisplayAggregatesOnly(true);
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
