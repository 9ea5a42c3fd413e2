// SPDX-License-Identifier: Apache-2.0
// The client and the facade against the real catalogue service, started
// through the library's entry point with a catalogue directory of the test's
// own. The service's answers are checked in its own tests; here they must
// survive the pipes, the readers and the code page conversion.

#include "Environment.h"
#include "GsdTestSupport.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace Tavrel::Gsd;
using RpcClient::JobInstanceMgr;
using RpcClient::Tavrel::PnGsdClient;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

TEST(GsdCatalog, ClientAndFacadeReadTheServiceThroughThePipes) {
    gsdtest::LegacyLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << "no legacy code page in force (POSIX: run scripts/setup-deps.sh)";
    }
    const std::string io = "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml";
    const std::string legacy = "GSDML-V2.1-Samplevendor-Legacy-20080315.xml";
    const fs::path dir = fs::temp_directory_path() / ("gsd-catalog-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    // The server reads its catalogue directory from the environment it inherits.
    ASSERT_TRUE(TestEnvironment::Set("TAVREL_GSD_CATALOG", dir.string()));
    ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"de", nullptr, nullptr), 1);
    {
        PnGsdClient client;
        for (const std::string& name : {io, legacy}) {
            const auto imported =
                client.TavrelImportGsdFile((fs::path(GSD_SAMPLES_DIR) / name).string());
            EXPECT_TRUE(imported.IsSuccess && imported.IsValid && imported.GsdName == name);
        }
        EXPECT_THAT(client.GetInstalledGSDsNames(), ElementsAre(legacy, io));
        const auto installed = client.TavrelGetInstalledGsds();
        ASSERT_EQ(installed.size(), 2u);
        EXPECT_EQ(installed[1].HashValueString.size(), 64u);
        EXPECT_EQ(client.GetGSDPath(io), installed[1].FilePath);
        // German text, converted to the local code page.
        EXPECT_EQ(client.GetGsdDeviceInfo(io).InfoText,
                  "IOBlock 200: modulare Peripherie f\xFCr PROFINET");
        const auto records = client.GetSubModuleParameter(io, "DAP_HF", "SM_DI16");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].MenuItem.RecordDataList.at(0).Name, "Eingangsverz\xF6gerung");
        EXPECT_EQ(records[0].MenuItem.MenuItems.at(0).MenuItems.at(0).RecordDataList.size(), 3u);
        EXPECT_EQ(client.GetChannalDiagDescription(io, 6, true, 1, 0, 0).AlarmExtNameText,
                  "Geber nicht angeschlossen");
        EXPECT_EQ(client.GetSubMoudleIsoParam(io, "DAP_HF", "SM_AI4").T_IO_Base, 1000u);
        EXPECT_EQ(client.GetSubModuleBaseInfo(io, "DAP_HF", "MOD_DI16", "SM_DI16").IdentNumber,
                  "0x00000401");
        EXPECT_EQ(client.GetPortSubModuleParameter(legacy, "DAP1", "PORT1", "")
                      .transmissionValueList.at(0)
                      .Value,
                  16);
        EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
        // Unknown items are the service's errors, handed on unchanged.
        EXPECT_TRUE(client.GetSubModuleParameter(io, "DAP_HF", "NO_SUCH").empty());
        EXPECT_EQ(client.GetLastErrCode(), -32002);
    }
    PNconfigGSDParser& parser = PNconfigGSDParser::getInstance();
    std::vector<int> numbers;
    EXPECT_EQ(parser.GetPluggableModuleSlotRelation(io, "", "MOD_DI16", numbers), 0);
    EXPECT_THAT(numbers, ElementsAre(2, 3, 4, 5, 6, 7, 8));
    std::vector<double> times;
    EXPECT_EQ(parser.CalcIoDeviceUpdateTime(io, "DAP_ST", 1.0f, times), 0);
    EXPECT_THAT(times, ElementsAre(1.0, 2.0, 4.0, 8.0, 16.0));
    GsdDeviceInfo info;
    EXPECT_EQ(parser.GetGsdDeviceInfo("missing.xml", info), -32001);
    std::vector<std::string> names;
    EXPECT_EQ(parser.TavrelRefreshGsds(names), 0);
    EXPECT_THAT(names, ElementsAre(legacy, io));

    JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
    TestEnvironment::Unset("TAVREL_GSD_CATALOG");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}
