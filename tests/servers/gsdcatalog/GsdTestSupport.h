// SPDX-License-Identifier: Apache-2.0
#pragma once

// Shared helpers of the catalogue tests: sample files, a scratch directory
// and a builder for small GSDML documents.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace GsdTest {

namespace fs = std::filesystem;

inline const fs::path kSamples = GSD_SAMPLES_DIR;
inline const std::string kIoBlock = "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml";
inline const std::string kLegacy = "GSDML-V2.1-Samplevendor-Legacy-20080315.xml";

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A directory of its own per test, removed afterwards.
struct ScratchDir {
    ScratchDir() { fs::create_directories(path); }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    fs::path operator/(const std::string& name) const { return path / name; }

    const fs::path path = [] {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        return fs::temp_directory_path() /
               ("gsdcatalog-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    }();
};

// A complete, valid GSDML document with one access point. `dapExtra` is
// placed inside the access point, `extraProcess` inside ApplicationProcess,
// `texts` inside the primary language.
inline std::string MiniGsd(const std::string& dapExtra = "", const std::string& extraProcess = "",
                           const std::string& texts = "") {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<ISO15745Profile xmlns="http://www.profibus.com/GSDML/2003/11/DeviceProfile"><ProfileBody>
  <DeviceIdentity VendorID="0x0001" DeviceID="0x0002"><VendorName Value="V"/></DeviceIdentity>
  <DeviceFunction><Family MainFamily="M" ProductFamily="P"/></DeviceFunction>
  <ApplicationProcess><DeviceAccessPointList>
    <DeviceAccessPointItem ID="D" ModuleIdentNumber="1"><ModuleInfo><Name TextId="N"/></ModuleInfo>
     )" + dapExtra +
           "</DeviceAccessPointItem></DeviceAccessPointList>" + extraProcess +
           R"(<ExternalTextList><PrimaryLanguage><Text TextId="N" Value="Name"/>)" + texts +
           "</PrimaryLanguage></ExternalTextList></ApplicationProcess></ProfileBody>"
           "</ISO15745Profile>\n";
}

// A document whose access point has one virtual submodule with one record
// holding `inside`.
inline std::string WithRecord(const std::string& inside, const std::string& extraProcess = "",
                              const std::string& texts = "") {
    return MiniGsd(
        R"(<VirtualSubmoduleList><VirtualSubmoduleItem ID="V" SubmoduleIdentNumber="1"><RecordDataList><ParameterRecordDataItem Index="1" Length="4">)" +
            inside +
            "</ParameterRecordDataItem></RecordDataList></VirtualSubmoduleItem></"
            "VirtualSubmoduleList>",
        extraProcess, texts);
}

}  // namespace GsdTest
