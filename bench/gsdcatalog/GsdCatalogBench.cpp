// SPDX-License-Identifier: Apache-2.0
// Import cost of a large GSDML file measured against a bare XML parse of the
// same bytes, the latency of a warm catalogue query and of the first one, and
// the memory a scanned catalogue holds.

#include <CatalogService.h>
#include <GsdParser.h>
#include <GsdStore.h>
#include <RpcDispatcher.h>
#include <Sha256.h>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Ratios use processor time so they do not depend on what else the machine
// is doing; the latency figures are wall time, as a caller sees them.
double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// A device with one access point and as many modules (each with a
// parameterised submodule, a menu and its texts) as it takes to reach ~2 MB.
const std::string& LargeGsd() {
    static const std::string text = [] {
        std::string refs;
        std::string modules;
        std::string texts;
        for (int i = 0; modules.size() + texts.size() < 2'000'000; ++i) {
            const std::string n = std::to_string(i);
            refs += "<ModuleItemRef ModuleItemTarget=\"M" + n + "\" AllowedInSlots=\"1..64\"/>\n";
            modules +=
                "<ModuleItem ID=\"M" + n + "\" ModuleIdentNumber=\"0x" + std::to_string(10000 + i) +
                "\"><ModuleInfo CategoryRef=\"C\"><Name TextId=\"TN" + n +
                "\"/><InfoText TextId=\"TI" + n + "\"/><OrderNumber Value=\"ORD-" + n +
                "\"/></ModuleInfo><VirtualSubmoduleList><VirtualSubmoduleItem ID=\"S" + n +
                "\" SubmoduleIdentNumber=\"1\"><IOData><Input><DataItem DataType=\"Unsigned16\" "
                "TextId=\"TN" +
                n +
                "\"/></Input></IOData><RecordDataList><ParameterRecordDataItem Index=\"1\" "
                "Length=\"3\">"
                "<Name TextId=\"TN" +
                n +
                "\"/>"
                "<Ref ID=\"A\" DataType=\"Unsigned8\" ByteOffset=\"0\" DefaultValue=\"1\" "
                "ValueItemTarget=\"V\" TextId=\"TP\"/>"
                "<Ref ID=\"B\" DataType=\"Bit\" ByteOffset=\"1\" BitOffset=\"0\" "
                "DefaultValue=\"0\" ValueItemTarget=\"V\" TextId=\"TP\"/>"
                "<Ref ID=\"C\" DataType=\"Unsigned8\" ByteOffset=\"2\" DefaultValue=\"5\" "
                "AllowedValues=\"0..100\" TextId=\"TP\"/>"
                "<MenuList><MenuItem ID=\"R\"><Name TextId=\"TP\"/><ParameterRef "
                "ParameterTarget=\"A\"/>"
                "<MenuRef MenuTarget=\"X\"/></MenuItem><MenuItem ID=\"X\"><Name TextId=\"TP\"/>"
                "<ParameterRef ParameterTarget=\"B\"/><ParameterRef "
                "ParameterTarget=\"C\"/></MenuItem></MenuList>"
                "</ParameterRecordDataItem></RecordDataList><ModuleInfo><Name TextId=\"TN" +
                n +
                "\"/></ModuleInfo></VirtualSubmoduleItem></VirtualSubmoduleList></ModuleItem>\n";
            texts += "<Text TextId=\"TN" + n + "\" Value=\"Module number " + n +
                     "\"/><Text TextId=\"TI" + n + "\" Value=\"Generated module " + n +
                     " for the import benchmark\"/>\n";
        }
        return R"(<?xml version="1.0" encoding="UTF-8"?>
<ISO15745Profile xmlns="http://www.profibus.com/GSDML/2003/11/DeviceProfile" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:schemaLocation="http://www.profibus.com/GSDML/2003/11/DeviceProfile GSDML-DeviceProfile-V2.43.xsd">
<ProfileBody><DeviceIdentity VendorID="0xFE02" DeviceID="0x0001"><VendorName Value="Bench"/></DeviceIdentity>
<DeviceFunction><Family MainFamily="I/O" ProductFamily="Bench"/></DeviceFunction>
<ApplicationProcess><DeviceAccessPointList><DeviceAccessPointItem ID="DAP" ModuleIdentNumber="1" PhysicalSlots="0..64">
<ModuleInfo><Name TextId="TP"/></ModuleInfo><UseableModules>
)" + refs + R"(</UseableModules></DeviceAccessPointItem></DeviceAccessPointList><ModuleList>
)" + modules + R"(</ModuleList><ValueList><ValueItem ID="V"><Assignments><Assign Content="0" TextId="TP"/><Assign Content="1" TextId="TP"/></Assignments></ValueItem></ValueList>
<CategoryList><CategoryItem ID="C" TextId="TP"/></CategoryList>
<ExternalTextList><PrimaryLanguage><Text TextId="TP" Value="Parameter"/>
)" + texts + R"(</PrimaryLanguage></ExternalTextList></ApplicationProcess></ProfileBody></ISO15745Profile>
)";
    }();
    return text;
}

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        const fs::path path = fs::temp_directory_path() / "gsdcatalog-bench";
        fs::remove_all(path);
        fs::create_directories(path / "source");
        std::ofstream(path / "source" / "GSDML-V2.43-Bench-Large-20250101.xml", std::ios::binary)
            << LargeGsd();
        return path;
    }();
    return dir;
}

// The subject's CPU time per iteration beside a bare parse of the same bytes,
// and the ratio of the two, which is what the goals are stated in.
void ReportAgainstBareParse(benchmark::State& state, double baseline, double total) {
    state.counters["ratio_to_bare_parse"] = total / baseline;
    state.counters["bare_parse_ms"] = baseline * 1e3 / static_cast<double>(state.iterations());
    state.counters["subject_ms"] = total * 1e3 / static_cast<double>(state.iterations());
}

// A bare parse with the flags the catalogue uses, the document's release
// included (the catalogue releases its document too).
double BareParseSeconds(const std::string& bytes) {
    const double start = CpuSeconds();
    {
        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_buffer(
            bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_doctype);
        benchmark::DoNotOptimize(result);
    }
    return CpuSeconds() - start;
}

void BM_BarePugixmlParse(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(BareParseSeconds(LargeGsd()));
    }
    state.counters["file_MB"] = static_cast<double>(LargeGsd().size()) / 1e6;
}

// Each iteration also times a bare parse of the same bytes, so subject and
// baseline see the same machine load; the ratio is of the two sums.
void BM_ParseAndIndex(benchmark::State& state) {
    double baseline = 0;
    double total = 0;
    for (auto _ : state) {
        baseline += BareParseSeconds(LargeGsd());
        const double start = CpuSeconds();
        GsdCatalog::ParseOutcome outcome = GsdCatalog::ParseGsdml(LargeGsd(), "");
        benchmark::DoNotOptimize(outcome);
        total += CpuSeconds() - start;
        if (!outcome.file) {
            state.SkipWithError("the generated file was refused");
            return;
        }
    }
    ReportAgainstBareParse(state, baseline, total);
}

// What an import does with the bytes: parse and check them; the file is
// built (BM_ParseAndIndex) only when first asked about.
void BM_ParseAndCheck(benchmark::State& state) {
    double baseline = 0;
    double total = 0;
    for (auto _ : state) {
        baseline += BareParseSeconds(LargeGsd());
        const double start = CpuSeconds();
        {
            GsdCatalog::CheckedGsd outcome = GsdCatalog::CheckGsdml(LargeGsd(), "");
            if (!outcome.document) {
                state.SkipWithError("the generated file was refused");
                return;
            }
        }
        total += CpuSeconds() - start;
    }
    ReportAgainstBareParse(state, baseline, total);
}

// The whole import: read the file, parse and index it, hash it, write the
// temporary copy and rename it into the catalogue.
void BM_ImportLargeFile(benchmark::State& state) {
    const fs::path source = WorkDir() / "source" / "GSDML-V2.43-Bench-Large-20250101.xml";
    GsdCatalog::GsdStore store(WorkDir() / "catalog", "");
    double baseline = 0;
    double total = 0;
    for (auto _ : state) {
        baseline += BareParseSeconds(LargeGsd());
        const double start = CpuSeconds();
        const GsdCatalog::ImportReport report = store.Import(source.u8string());
        total += CpuSeconds() - start;
        if (!report.success) {
            state.SkipWithError("the import failed");
            return;
        }
    }
    ReportAgainstBareParse(state, baseline, total);
}

// What an import cannot avoid, whatever its index looks like: read the
// file, parse it, hash it, write the copy and rename it into place. The
// distance between this and the whole import is what the index costs.
void BM_ImportFloor(benchmark::State& state) {
    const fs::path source = WorkDir() / "source" / "GSDML-V2.43-Bench-Large-20250101.xml";
    const fs::path target = WorkDir() / "floor.xml";
    const fs::path temp = WorkDir() / ".floor.xml.tmp";
    double baseline = 0;
    double total = 0;
    for (auto _ : state) {
        baseline += BareParseSeconds(LargeGsd());
        const double start = CpuSeconds();
        // The cheapest form of each step: no zero fill, no second copy.
        const auto size = static_cast<std::size_t>(fs::file_size(source));
        std::unique_ptr<char[]> bytes(new char[size]);
        {
            std::ifstream in(source, std::ios::binary);
            in.read(bytes.get(), static_cast<std::streamsize>(size));
        }
        const std::string hash = GsdCatalog::Sha256Hex(std::string_view(bytes.get(), size));
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(bytes.get(), static_cast<std::streamsize>(size));
        }
        {
            pugi::xml_document document;
            benchmark::DoNotOptimize(document.load_buffer_inplace(
                bytes.get(), size, pugi::parse_default | pugi::parse_doctype));
        }
        fs::rename(temp, target);
        benchmark::DoNotOptimize(hash);
        total += CpuSeconds() - start;
    }
    ReportAgainstBareParse(state, baseline, total);
}

// Warm query through the dispatcher, as the server runs it for a request
// (without the pipe): the median latency is reported. The first answer is
// left out of the samples: it may build parts of the index it needs.
void QueryLatency(benchmark::State& state, const std::string& gsd, const std::string& method,
                  const std::vector<std::string>& rest) {
    ServerKit::RpcDispatcher dispatcher;
    GsdCatalog::CatalogOptions options;
    options.directory = WorkDir() / "catalog";
    GsdCatalog::RegisterCatalogMethods(dispatcher, options);
    Json::Value import(Json::objectValue);
    import["jsonrpc"] = "2.0";
    import["id"] = 1;
    import["method"] = "TavrelImportGsdFile";
    import["params"].append(gsd);
    if (!dispatcher.Handle(import)["result"]["IsSuccess"].asBool()) {
        state.SkipWithError("import failed");
        return;
    }
    Json::Value request(Json::objectValue);
    request["jsonrpc"] = "2.0";
    request["id"] = 2;
    request["method"] = method;
    request["params"].append(fs::u8path(gsd).filename().u8string());
    for (const std::string& param : rest) {
        request["params"].append(param);
    }
    const auto first = Clock::now();
    if (!dispatcher.Handle(request).isMember("result")) {
        state.SkipWithError("the query failed");
        return;
    }
    const double firstUs = std::chrono::duration<double, std::micro>(Clock::now() - first).count();
    std::vector<double> samples;
    std::size_t entries = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        Json::Value response = dispatcher.Handle(request);
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        entries = response["result"].size();
        benchmark::DoNotOptimize(response);
    }
    std::sort(samples.begin(), samples.end());
    state.counters["p50_us"] = samples[samples.size() / 2];
    state.counters["first_us"] = firstUs;
    state.counters["entries"] = static_cast<double>(entries);
}

// Resident and peak resident memory of this process in MB, where the system
// reports them (/proc on Linux); 0 elsewhere.
std::pair<double, double> ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    double resident = 0;
    double peak = 0;
    while (std::getline(status, line)) {
        const auto kilobytes = [&line] { return std::atof(line.c_str() + 6) / 1024.0; };
        if (line.rfind("VmRSS:", 0) == 0) {
            resident = kilobytes();
        } else if (line.rfind("VmHWM:", 0) == 0) {
            peak = kilobytes();
        }
    }
    return {resident, peak};
}

// A catalogue directory holding ten copies of the generated file, scanned
// once by a fresh store: what the scan leaves resident is what every checked
// but never asked about file costs. With the argument 1 every file is then
// asked about once, which builds its index. Run it alone
// (--benchmark_filter) for a meaningful peak.
void BM_ScanTenLargeFiles(benchmark::State& state) {
    const fs::path directory = WorkDir() / "scanned";
    fs::create_directories(directory);
    for (int i = 0; i < 10; ++i) {
        std::ofstream(directory / ("GSDML-V2.43-Bench-Copy" + std::to_string(i) + "-20250101.xml"),
                      std::ios::binary)
            << LargeGsd();
    }
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentMegabytes().first;
        GsdCatalog::GsdStore store(directory, "");
        if (store.Refresh().size() != 10) {
            state.SkipWithError("the copies were not all installed");
            return;
        }
        if (state.range(0) == 1) {
            for (const GsdCatalog::InstalledGsdPtr& gsd : store.Installed()) {
                benchmark::DoNotOptimize(gsd->file->modules.size());
            }
        }
        growth = ResidentMegabytes().first - before;
    }
    state.counters["rss_growth_MB"] = growth;
    state.counters["peak_rss_MB"] = ResidentMegabytes().second;
}

// The first query about a freshly imported 2 MB file, which builds its index.
void BM_FirstQueryLarge(benchmark::State& state) {
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        GsdCatalog::CatalogOptions options;
        options.directory = WorkDir() / "first-query";
        GsdCatalog::CatalogService service(options);
        Json::Value params(Json::arrayValue);
        params.append((WorkDir() / "source" / "GSDML-V2.43-Bench-Large-20250101.xml").u8string());
        if (!service.Call("TavrelImportGsdFile", params)["IsSuccess"].asBool()) {
            state.SkipWithError("import failed");
            return;
        }
        Json::Value query(Json::arrayValue);
        query.append("GSDML-V2.43-Bench-Large-20250101.xml");
        state.ResumeTiming();
        const double start = CpuSeconds();
        benchmark::DoNotOptimize(service.Call("GetGsdDeviceInfo", query));
        cpu += CpuSeconds() - start;
    }
    state.counters["cpu_ms"] = cpu * 1e3 / static_cast<double>(state.iterations());
}

std::string SampleGsd() {
    return (fs::path(GSD_SAMPLES_DIR) / "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml").u8string();
}

std::string LargeGsdPath() {
    return (WorkDir() / "source" / "GSDML-V2.43-Bench-Large-20250101.xml").u8string();
}

// The last generated module: a submodule search that walks the whole file
// finds it last.
std::string LastLargeSubmodule() {
    const std::string& text = LargeGsd();
    const std::size_t at = text.rfind("<VirtualSubmoduleItem ID=\"");
    const std::size_t begin = at + std::strlen("<VirtualSubmoduleItem ID=\"");
    return text.substr(begin, text.find('"', begin) - begin);
}

void BM_PluggableModuleCatalogSample(benchmark::State& state) {
    QueryLatency(state, SampleGsd(), "GetPluggableModuleCatalog", {"DAP_HF"});
}

void BM_PluggableModuleCatalogLarge(benchmark::State& state) {
    QueryLatency(state, LargeGsdPath(), "GetPluggableModuleCatalog", {"DAP"});
}

void BM_SubmoduleParameterSample(benchmark::State& state) {
    QueryLatency(state, SampleGsd(), "GetSubMouleParameter", {"", "SM_DI16"});
}

void BM_SubmoduleParameterLarge(benchmark::State& state) {
    QueryLatency(state, LargeGsdPath(), "GetSubMouleParameter", {"", LastLargeSubmodule()});
}

}  // namespace

BENCHMARK(BM_BarePugixmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLargeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PluggableModuleCatalogSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PluggableModuleCatalogLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubmoduleParameterSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubmoduleParameterLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstQueryLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanTenLargeFiles)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
