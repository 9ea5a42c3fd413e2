// SPDX-License-Identifier: Apache-2.0
// The configuration server with its GSD catalogue at process level: every
// method answers or refuses any arguments without breaking the exchange (and,
// under scripts/memcheck.sh, with no memory error or definite leak in the
// server), and a server killed at any moment of an import leaves the catalogue
// whole.

#include <JsonRpcClient/JsonRpcClient.h>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

using namespace RpcClient;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

class CatalogClient : public JsonRpcClient {
public:
    using JsonRpcClient::JsonRpcClient;
    // The result of a call with one argument, or none; null when it failed.
    Json::Value Call(const std::string& method, const std::string& argument = "") {
        JsonRequest request(method);
        if (!argument.empty()) {
            request.SetRequestParamsList(argument);
        }
        JsonResponse response;
        return Request(request, response) == 0 ? response.GetResult() : Json::Value();
    }
    bool Import(const fs::path& file) {
        return Call("TavrelImportGsdFile", file.string())["IsSuccess"].asBool();
    }
    bool Remove(const fs::path& file) {
        return !Call("TavrelRemoveGsdFile", file.filename().string()).isNull();
    }
    bool Installed(const fs::path& file) {
        for (const Json::Value& name : Call("GetInstalledGSDsNames")) {
            if (name.asString() == file.filename().string()) {
                return true;
            }
        }
        return false;
    }
};

// A valid device description with `modules` pluggable modules.
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

TEST(Catalog, ServerKilledAtAnyMomentOfAnImportLeavesTheCatalogueWhole) {
    const fs::path root = HostingTest::TempPath("catalog");
    const fs::path directory = root / "catalog";
    const std::wstring args = HostingTest::Widen("--catalog=" + directory.string());
    fs::create_directories(root);
    const fs::path kept = root / "GSDML-V2.4-Hardening-Kept-20240101.xml";
    const fs::path big = root / "GSDML-V2.4-Hardening-Big-20240101.xml";
    std::ofstream(kept, std::ios::binary) << Gsdml(1, 5);
    std::ofstream(big, std::ios::binary) << Gsdml(2, 4000);
    const std::string keptBytes = ReadBytes(kept);
    const std::string bigBytes = ReadBytes(big);

    // How long an import of the big file takes here, measured once.
    Clock::duration importTime{};
    {
        RpcLocalSrvConfig server(HostingTest::Widen(JRC_CONFIG_SERVER), args);
        CatalogClient client(&server);
        ASSERT_TRUE(client.Import(kept));
        const auto start = Clock::now();
        ASSERT_TRUE(client.Import(big));
        importTime = Clock::now() - start;
        ASSERT_TRUE(client.Remove(big));
    }

    constexpr int kSteps = 16;
    int interrupted = 0;
    for (int step = 0; step <= kSteps; ++step) {
        SCOPED_TRACE(step);
        RpcLocalSrvConfig server(HostingTest::Widen(JRC_CONFIG_SERVER), args);
        CatalogClient client(&server);
        ASSERT_TRUE(client.Installed(kept));
        const auto pid = static_cast<pid_t>(RpcClient::Platform::GetProcessId(
            RpcClient::Platform::OpenPublicProcess(server.GetSrvProcessHandle())));
        ASSERT_GT(pid, 0);

        bool imported = false;
        std::thread importer([&] { imported = client.Import(big); });
        std::this_thread::sleep_for(importTime * step / kSteps);
        kill(pid, SIGKILL);
        importer.join();
        interrupted += imported ? 0 : 1;
        server.ShutdownRpcServer();

        // Whatever the moment, the directory shows whole files only (the
        // store's temporaries start with a dot).
        int visible = 0;
        for (const auto& entry : fs::directory_iterator(directory)) {
            visible += entry.path().filename().string()[0] != '.' ? 1 : 0;
        }
        EXPECT_EQ(ReadBytes(directory / kept.filename()), keptBytes);
        if (fs::exists(directory / big.filename())) {
            EXPECT_EQ(ReadBytes(directory / big.filename()), bigBytes);
        }
        EXPECT_LE(visible, 2);

        // And the next server reads it, and can finish the import.
        RpcLocalSrvConfig next(HostingTest::Widen(JRC_CONFIG_SERVER), args);
        CatalogClient after(&next);
        EXPECT_TRUE(after.Installed(kept));
        EXPECT_TRUE(after.Import(big));
        EXPECT_TRUE(after.Remove(big));
    }
    std::printf("%d of %d imports were cut short\n", interrupted, kSteps + 1);
    EXPECT_GT(interrupted, 0);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

TEST(Catalog, EveryMethodAnswersOrRefusesAnyArgumentsAndTheServerExitsCleanly) {
    using TestJson::Params;
    const std::string catalog = HostingTest::TempPath("catalog");
    // JRC_MEMCHECK names Valgrind: the server then runs under it, and its
    // report must be clean.
    const char* valgrind = std::getenv("JRC_MEMCHECK");
    const std::string log = HostingTest::TempPath("valgrind") + ".log";
    std::string program = JRC_CONFIG_SERVER;
    std::string arguments = "--catalog=" + catalog;
    if (valgrind != nullptr) {
        arguments =
            "--error-exitcode=99 --leak-check=full --show-leak-kinds=definite "
            "--errors-for-leak-kinds=definite --log-file=" +
            log + " " + program + " " + arguments;
        program = valgrind;
    }
    RpcLocalSrvConfig server(HostingTest::Widen(program), HostingTest::Widen(arguments));
    JsonRpcClient client(&server);
    if (valgrind != nullptr) {
        client.SetRequestTimeout(100000);
    }
    auto call = [&client](const std::string& method, const Json::Value& params) {
        JsonRequest request(method);
        request.SetParams(params);
        JsonResponse response;
        return client.Request(request, response);
    };
    const std::string samples[] = {"GSDML-V2.1-Samplevendor-Legacy-20080315.xml",
                                   "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml"};
    for (const std::string& name : samples) {
        EXPECT_EQ(call("TavrelImportGsdFile", Params({GSD_SAMPLES_DIR "/" + name})), 0);
    }
    std::istringstream methods(
        "GetVersion GetLanguage GetAssemblyInfo RunTest TestStructArray "
        "TavrelRefreshGsds TavrelGetInstalledGsds GetInstalledGSDsNames GetGSDPath "
        "GetGsdDeviceInfo GetDeviceCatalogs GetGSDTemplateCatalogs GetPluggableModuleCatalog "
        "GetPluggableSubModuleListCatalog GetDeviceSubModuleListCatalog "
        "GetPluggableModuleSlotRelation GetPluggableSubModuleSlotRelation GetBuildInModuleData "
        "GetDevicePhysicalSlots GetModulePhysicalSlots GetDapModuleInfo GetModuleData "
        "GetSubModuleData GetSubMouleParameter GetWriteableIMRecords GetPortParameter "
        "GetSubmoduleIRTsupportType IsSubmodulePROFIsafeSupported GetSubmoduleAPI "
        "GetModuleVirSubSlotAndAPI GetSubmoduleParamDisallowed GetSubMoudleIsoParam "
        "GetKeltoTemplateGSDNameForPNView GetKeltoTemplateGSDVersionForWizard "
        "GetSubModuleBaseInfo CalcIoDeviceUpdateTime GetUnitDiagDescription "
        "GetChannalDiagDescription TavrelRemoveGsdFile");
    const Json::Value record = TestJson::ParseJson(R"({"TestInt": 1, "TestString": "s"})");
    const Json::Value argumentSets[] = {
        Params({}),
        Params({samples[0], "DAP1", "MOD_TLG", "SM_TLG"}),
        Params({samples[1], "DAP1", "PORT1", "1"}),
        Params({"not-installed.xml", "x", "y", "z"}),
        Params({samples[0], 5, Json::Value(Json::arrayValue), true, 1, 2, 3}),
        Params({7, "text", true, 1.5, 2.5}),
        Params({record, 3}),
    };
    for (std::string method; methods >> method;) {
        for (const Json::Value& arguments : argumentSets) {
            EXPECT_NE(call(method, arguments), FailureCode::ServerFault)
                << method << " " << client.GetLastErrMsg();
        }
    }
    EXPECT_EQ(call("NoSuchMethod", Params({})), FailureCode::InvalidMethod);
    EXPECT_EQ(client.Notify("Exit"), 0);
    EXPECT_EQ(server.WaitForExit(60000), 0u) << "the server did not exit";
    if (valgrind != nullptr) {
        std::stringstream report;
        report << std::ifstream(log).rdbuf();
        EXPECT_NE(report.str().find("ERROR SUMMARY: 0 errors"), std::string::npos) << report.str();
        EXPECT_EQ(report.str().find("definitely lost in"), std::string::npos) << report.str();
        std::remove(log.c_str());
    }
    std::error_code ignored;
    fs::remove_all(catalog, ignored);
}

}  // namespace
