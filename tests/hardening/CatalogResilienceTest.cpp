// SPDX-License-Identifier: Apache-2.0
// The GSD catalogue directory under concurrent and interrupted imports:
// two servers (as two hosts would run them) importing into one directory at
// once lose no import, and a server killed at any moment of an import leaves
// the catalogue whole: every file in it is either absent or complete, and
// files installed before are untouched.

#include <JsonRpcClient/JsonRpcClient.h>

#include "support/HostingTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace RpcClient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

using HostingTest::Widen;

class CatalogClient : public JsonRpcClient {
public:
    using JsonRpcClient::JsonRpcClient;
    // The result of a call with at most one argument; null when it failed.
    Json::Value Call(const std::string& method, const std::string& argument = "") {
        JsonRequest request(method);
        if (!argument.empty()) {
            request.SetRequestParamsList(argument);
        }
        JsonResponse response;
        return Request(request, response) == 0 ? response.GetResult() : Json::Value();
    }
    // The import's own verdict; false also when the exchange failed.
    bool Import(const fs::path& file) {
        return Call("TavrelImportGsdFile", file.string())["IsSuccess"].asBool();
    }
    bool Remove(const fs::path& file) {
        return !Call("TavrelRemoveGsdFile", file.filename().string()).isNull();
    }
    std::set<std::string> Installed() {
        std::set<std::string> names;
        for (const Json::Value& name : Call("GetInstalledGSDsNames")) {
            names.insert(name.asString());
        }
        return names;
    }
};

// A valid device description with `modules` pluggable modules; the device
// id makes every generated file different.
std::string Gsdml(int deviceId, int modules) {
    const std::string name = R"(<ModuleInfo><Name TextId="N"/></ModuleInfo>)";
    std::ostringstream refs;
    std::ostringstream items;
    for (int m = 1; m <= modules; ++m) {
        refs << "<ModuleItemRef ModuleItemTarget=\"M" << m << "\" AllowedInSlots=\"1.." << modules
             << "\"/>";
        items
            << "<ModuleItem ID=\"M" << m << "\" ModuleIdentNumber=\"" << 100 + m << "\">" << name
            << "<VirtualSubmoduleList><VirtualSubmoduleItem ID=\"S" << m
            << "\" SubmoduleIdentNumber=\"" << m
            << "\"><IOData><Input><DataItem DataType=\"Unsigned8\" TextId=\"N\"/></Input></IOData>"
            << name << "</VirtualSubmoduleItem></VirtualSubmoduleList></ModuleItem>\n";
    }
    std::ostringstream xml;
    xml << R"(<?xml version="1.0" encoding="UTF-8"?>
<ISO15745Profile xmlns="http://www.profibus.com/GSDML/2003/11/DeviceProfile"><ProfileBody>
<DeviceIdentity VendorID="0x0001" DeviceID=")"
        << deviceId << R"("><VendorName Value="V"/></DeviceIdentity>
<DeviceFunction><Family MainFamily="M" ProductFamily="P"/></DeviceFunction>
<ApplicationProcess><DeviceAccessPointList>
<DeviceAccessPointItem ID="DAP1" ModuleIdentNumber="1" PhysicalSlots="0..)"
        << modules << R"(" FixedInSlots="0">)" << name << "<UseableModules>" << refs.str()
        << R"(</UseableModules>
<VirtualSubmoduleList><VirtualSubmoduleItem ID="VS" SubmoduleIdentNumber="1"><IOData/>)"
        << name << R"(</VirtualSubmoduleItem></VirtualSubmoduleList>
</DeviceAccessPointItem></DeviceAccessPointList>
<ModuleList>)"
        << items.str() << R"(</ModuleList>
<ExternalTextList><PrimaryLanguage><Text TextId="N" Value="Name"/></PrimaryLanguage></ExternalTextList>
</ApplicationProcess></ProfileBody></ISO15745Profile>
)";
    return xml.str();
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path WriteGsd(const fs::path& folder, const std::string& stem, const std::string& bytes) {
    fs::create_directories(folder);
    const fs::path path = folder / ("GSDML-V2.4-Hardening-" + stem + "-20240101.xml");
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Names of the files the catalogue directory shows (temporaries of the
// store start with a dot and are not part of the catalogue).
std::set<std::string> VisibleFiles(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name[0] != '.') {
            names.insert(name);
        }
    }
    return names;
}

class Catalog : public ::testing::Test {
protected:
    ~Catalog() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::wstring ServerArgs() const { return Widen("--catalog=" + directory_.string()); }

    const fs::path root_ = HostingTest::TempPath("catalog");
    const fs::path directory_ = root_ / "catalog";
};

TEST_F(Catalog, TwoServersImportingIntoOneDirectoryAtOnceLoseNoImport) {
    constexpr int kFiles = 16;
    std::vector<fs::path> sources;
    for (int i = 0; i < kFiles; ++i) {
        sources.push_back(
            WriteGsd(root_ / "sources", "Dev" + std::to_string(i), Gsdml(i + 1, 300)));
    }
    // Both import every file, in opposite orders, so that each name is
    // written by both at about the same time somewhere in the run.
    auto importAll = [&](bool reversed, int& failures) {
        RpcLocalSrvConfig server(Widen(JRC_CONFIG_SERVER), ServerArgs());
        CatalogClient client(&server);
        for (int n = 0; n < kFiles; ++n) {
            const fs::path& source = sources[reversed ? kFiles - 1 - n : n];
            if (!client.Import(source)) {
                ++failures;
            }
        }
    };
    int failuresA = 0;
    int failuresB = 0;
    std::thread a([&] { importAll(false, failuresA); });
    std::thread b([&] { importAll(true, failuresB); });
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);

    std::set<std::string> expected;
    for (const fs::path& source : sources) {
        expected.insert(source.filename().string());
        EXPECT_EQ(ReadBytes(directory_ / source.filename()), ReadBytes(source)) << source;
    }
    EXPECT_EQ(VisibleFiles(directory_), expected);
    // A third server, started afterwards, sees every import.
    RpcLocalSrvConfig later(Widen(JRC_CONFIG_SERVER), ServerArgs());
    CatalogClient client(&later);
    EXPECT_EQ(client.Installed(), expected);
}

TEST_F(Catalog, ServerKilledAtAnyMomentOfAnImportLeavesTheCatalogueWhole) {
    const fs::path kept = WriteGsd(root_ / "sources", "Kept", Gsdml(1, 5));
    const fs::path big = WriteGsd(root_ / "sources", "Big", Gsdml(2, 4000));
    const std::string keptBytes = ReadBytes(kept);
    const std::string bigBytes = ReadBytes(big);

    // How long an import of the big file takes here, measured once.
    Clock::duration importTime{};
    {
        RpcLocalSrvConfig server(Widen(JRC_CONFIG_SERVER), ServerArgs());
        CatalogClient client(&server);
        ASSERT_TRUE(client.Import(kept));
        const auto start = Clock::now();
        ASSERT_TRUE(client.Import(big));
        importTime = Clock::now() - start;
        ASSERT_TRUE(client.Remove(big));
    }
    std::printf("import of %zu bytes takes %lld ms\n", bigBytes.size(),
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(importTime).count()));

    constexpr int kSteps = 16;
    int interrupted = 0;
    for (int step = 0; step <= kSteps; ++step) {
        RpcLocalSrvConfig server(Widen(JRC_CONFIG_SERVER), ServerArgs());
        CatalogClient client(&server);
        ASSERT_EQ(client.Installed().count(kept.filename().string()), 1u);
        std::vector<int> children;
        for (const auto& child : HostingTest::ChildrenOf(getpid())) {
            children.push_back(child.first);
        }
        ASSERT_EQ(children.size(), 1u);

        bool imported = false;
        std::thread importer([&] { imported = client.Import(big); });
        std::this_thread::sleep_for(importTime * step / kSteps);
        kill(children.front(), SIGKILL);
        importer.join();
        interrupted += imported ? 0 : 1;
        server.ShutdownRpcServer();

        // Whatever the moment, the directory shows whole files only.
        const std::set<std::string> visible = VisibleFiles(directory_);
        EXPECT_EQ(ReadBytes(directory_ / kept.filename()), keptBytes) << "step " << step;
        if (visible.count(big.filename().string()) != 0) {
            EXPECT_EQ(ReadBytes(directory_ / big.filename()), bigBytes) << "step " << step;
        }
        EXPECT_LE(visible.size(), 2u) << "step " << step;

        // And the next server reads it, and can finish the import.
        RpcLocalSrvConfig next(Widen(JRC_CONFIG_SERVER), ServerArgs());
        CatalogClient after(&next);
        const std::set<std::string> installed = after.Installed();
        EXPECT_EQ(installed.count(kept.filename().string()), 1u) << "step " << step;
        EXPECT_TRUE(after.Import(big)) << "step " << step;
        EXPECT_TRUE(after.Remove(big));
    }
    std::printf("%d of %d imports were cut short\n", interrupted, kSteps + 1);
    EXPECT_GT(interrupted, 0);
}

}  // namespace
