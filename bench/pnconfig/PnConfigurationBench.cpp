// SPDX-License-Identifier: Apache-2.0
// Cost of writing a large configuration document: 256 devices with 32
// modules of 4 submodules each (32768 submodules with IO addresses and
// parameter records).
//
// Absolute times depend on the machine, so the figure to watch is the ratio
// to a baseline measured in the same run: deep-copying the finished
// Json::Value, i.e. producing the same tree of JSON nodes without looking at
// the model. peak_rss_MiB is the process's peak resident set after the run;
// heap_ratio is the bytes one ToJson asks of the heap against one deep copy.

#include <JsonRpcClient/JsonRpcClient.h>

#include <benchmark/benchmark.h>

#include "AllocationCounter.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define PN_BENCH_HAS_RUSAGE 1
#endif

namespace {

constexpr int kDevices = 256;
constexpr int kModulesPerDevice = 32;
constexpr int kSubmodulesPerModule = 4;

PnConfiguration BuildLargeConfiguration() {
    PnConfiguration configuration;
    configuration.DeviceListConf.reserve(kDevices);
    unsigned int address = 0;
    for (int d = 0; d < kDevices; ++d) {
        const std::string name = "io-device-" + std::to_string(d);
        PnDeviceConf device;
        device.DeviceRefId = name;
        device.DeviceInterface.InterfaceRefId = name + "_interface";
        device.DeviceInterface.EthernetAddresses.ProfinetDeviceName =
            PnDeviceName(name, static_cast<unsigned int>(d));
        device.DeviceInterface.AdvancedOptions.Ports = {PnDevicePort(1), PnDevicePort(2)};
        device.DeviceModules.reserve(kModulesPerDevice);
        for (int m = 0; m < kModulesPerDevice; ++m) {
            PnDeviceModule module(name + "_M" + std::to_string(m), static_cast<unsigned short>(m),
                                  "ID_MOD");
            for (int s = 0; s < kSubmodulesPerModule; ++s) {
                PnDeviceSubmoduleInOutAddress io;
                io.SetInputStartAddress(address);
                io.SetOutputStartAddress(address);
                ++address;
                PnDeviceSubModule sub(module.ModuleId + "_S" + std::to_string(s),
                                      static_cast<unsigned short>(s + 1), "ID_SUB", io);
                sub.IoLength = 2;
                sub.ParameterRecordDataItems = {PnParameterRecordDataItem(1, {{0, -1, "1"}})};
                module.SubModuleList.push_back(sub);
            }
            device.DeviceModules.push_back(module);
        }
        configuration.DeviceListConf.push_back(device);
    }
    return configuration;
}

const PnConfiguration& LargeConfiguration() {
    static const PnConfiguration configuration = BuildLargeConfiguration();
    return configuration;
}

double PeakRssMiB() {
#ifdef PN_BENCH_HAS_RUSAGE
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
#else
    return 0.0;
#endif
}

// Processor time rather than wall time: the ratio should not depend on what
// else the machine is doing.
double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Median time of a few deep copies of the finished document.
double BaselineSeconds(const Json::Value& document) {
    std::vector<double> samples;
    for (int i = 0; i < 5; ++i) {
        const double start = CpuSeconds();
        Json::Value copy(document);
        benchmark::DoNotOptimize(copy);
        samples.push_back(CpuSeconds() - start);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void BM_ConfigurationToJson(benchmark::State& state) {
    const PnConfiguration& configuration = LargeConfiguration();
    const Json::Value baselineDocument = configuration.ToJson();
    const double baseline = BaselineSeconds(baselineDocument);
    double total = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        Json::Value document = configuration.ToJson();
        benchmark::DoNotOptimize(document);
        total += CpuSeconds() - start;
    }
    const unsigned long long copyStart = Bench::AllocatedBytes();
    {
        Json::Value copy(baselineDocument);
        benchmark::DoNotOptimize(copy);
    }
    const double copyBytes = static_cast<double>(Bench::AllocatedBytes() - copyStart);
    const unsigned long long ownStart = Bench::AllocatedBytes();
    {
        Json::Value document = configuration.ToJson();
        benchmark::DoNotOptimize(document);
    }
    state.counters["heap_ratio"] =
        static_cast<double>(Bench::AllocatedBytes() - ownStart) / copyBytes;
    state.counters["ratio_to_json_copy"] =
        total / static_cast<double>(state.iterations()) / baseline;
    state.counters["submodules"] = kDevices * kModulesPerDevice * kSubmodulesPerModule;
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}
BENCHMARK(BM_ConfigurationToJson)->Unit(benchmark::kMillisecond);

void BM_JsonCopyBaseline(benchmark::State& state) {
    const Json::Value document = LargeConfiguration().ToJson();
    for (auto _ : state) {
        Json::Value copy(document);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_JsonCopyBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
