// SPDX-License-Identifier: Apache-2.0
// The client and the facade against the real catalogue service: a
// configuration server started through the library's entry point, with a
// catalogue directory of the test's own and the sample GSD files imported.

#include "Environment.h"
#include "GsdTestSupport.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace Tavrel::Gsd;
using RpcClient::JobInstanceMgr;
using RpcClient::Tavrel::PnGsdClient;
using ::testing::ElementsAre;
namespace FailureCode = RpcClient::FailureCode;
namespace fs = std::filesystem;

namespace {

const std::string kIoBlock = "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml";
const std::string kLegacy = "GSDML-V2.1-Samplevendor-Legacy-20080315.xml";

class GsdCatalog : public ::testing::Test {
protected:
    void SetUp() override {
        if (!locale_.Active()) {
            GTEST_SKIP()
                << "no legacy code page with a sample in force (POSIX: run scripts/setup-deps.sh)";
        }
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() / ("gsd-catalog-" + std::to_string(stamp));
        fs::create_directories(dir_);
        // The server reads its catalogue directory from its environment,
        // which it inherits from this process.
        ASSERT_TRUE(TestEnvironment::Set("TAVREL_GSD_CATALOG", (dir_ / "catalog").string()));
        ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"de", nullptr, nullptr), 1);
        ASSERT_NE(JobInstanceMgr::Default(), nullptr);

        PnGsdClient client;
        for (const std::string& name : {kIoBlock, kLegacy}) {
            const auto imported =
                client.TavrelImportGsdFile((fs::path(GSD_SAMPLES_DIR) / name).string());
            ASSERT_FALSE(client.HasError()) << client.GetLastErrMsg();
            ASSERT_TRUE(imported.IsSuccess) << name;
            ASSERT_TRUE(imported.IsValid) << name;
            EXPECT_EQ(imported.GsdName, name);
            EXPECT_TRUE(imported.ErrorMessages.empty());
        }
    }

    void TearDown() override {
        JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
        TestEnvironment::Unset("TAVREL_GSD_CATALOG");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    gsdtest::LegacyLocale locale_;
    fs::path dir_;
};

}  // namespace

// What the service answers is checked field by field in its own tests; here
// the answers must survive the trip through the pipes, the readers and the
// code page conversion, and the facade must report success.
TEST_F(GsdCatalog, ClientReadsTheServiceAnswersThroughThePipes) {
    PnGsdClient client;
    EXPECT_THAT(client.GetInstalledGSDsNames(), ElementsAre(kLegacy, kIoBlock));
    const auto installed = client.TavrelGetInstalledGsds();
    ASSERT_EQ(installed.size(), 2u);
    EXPECT_EQ(installed[1].HashValueString.size(), 64u);
    EXPECT_EQ(client.GetGSDPath(kIoBlock), installed[1].FilePath);
    const fs::path junk = dir_ / "junk.xml";
    std::ofstream(junk) << "this is not xml";
    const auto refused = client.TavrelImportGsdFile(junk.string());
    EXPECT_FALSE(refused.IsSuccess);
    EXPECT_FALSE(refused.ErrorMessages.empty());

    // German text, converted to the local code page.
    EXPECT_EQ(client.GetGsdDeviceInfo(kIoBlock).InfoText,
              "IOBlock 200: modulare Peripherie f\xFCr PROFINET");
    const std::vector<parameterRecord> records =
        client.GetSubModuleParameter(kIoBlock, "DAP_HF", "SM_DI16");
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].MenuItem.RecordDataList.size(), 1u);
    EXPECT_EQ(records[0].MenuItem.RecordDataList[0].Name, "Eingangsverz\xF6gerung");
    ASSERT_EQ(records[0].MenuItem.MenuItems.size(), 1u);
    EXPECT_EQ(records[0].MenuItem.MenuItems[0].MenuItems[0].RecordDataList.size(), 3u);
    EXPECT_EQ(client.GetChannalDiagDescription(kIoBlock, 6, true, 1, 0, 0).AlarmExtNameText,
              "Geber nicht angeschlossen");
    EXPECT_THAT(client.CalcIoDeviceUpdateTime(kIoBlock, "DAP_ST", 1.0f),
                ElementsAre(1.0, 2.0, 4.0, 8.0, 16.0));
    EXPECT_EQ(client.GetSubMoudleIsoParam(kIoBlock, "DAP_HF", "SM_AI4").T_IO_Base, 1000u);
    const std::vector<moduleData> builtIn = client.GetBuildInModuleData(kIoBlock, "DAP_HF");
    ASSERT_EQ(builtIn.size(), 3u);
    EXPECT_TRUE(builtIn[1].Item.IsMandatory);
    EXPECT_EQ(client.GetSubModuleBaseInfo(kIoBlock, "DAP_HF", "MOD_DI16", "SM_DI16").IdentNumber,
              "0x00000401");
    EXPECT_EQ(client.GetPortSubModuleParameter(kLegacy, "DAP1", "PORT1", "")
                  .transmissionValueList.at(0)
                  .Value,
              16);
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();

    // Unknown items are the service's errors, handed on unchanged.
    EXPECT_TRUE(client.GetSubModuleParameter(kIoBlock, "DAP_HF", "NO_SUCH").empty());
    EXPECT_EQ(client.GetLastErrCode(), -32002);
    EXPECT_TRUE(client.TavrelRemoveGsdFile(kLegacy).IsSuccess);
    EXPECT_THAT(client.TavrelRefreshGsds(), ElementsAre(kIoBlock));
}

TEST_F(GsdCatalog, FacadeSlotsAnswerFromTheCatalogue) {
    PNconfigGSDParser& parser = PNconfigGSDParser::getInstance();
    std::vector<std::string> names;
    EXPECT_EQ(parser.LoadAllGsd(names), 0);
    EXPECT_THAT(names, ElementsAre(kLegacy, kIoBlock));
    std::vector<int> numbers;
    EXPECT_EQ(parser.GetDevicePhysicalSlots(kIoBlock, "DAP_ST", numbers), 0);
    EXPECT_THAT(numbers, ElementsAre(0, 1, 2, 3, 4));
    EXPECT_EQ(parser.GetPluggableModuleSlotRelation(kIoBlock, "", "MOD_DI16", numbers), 0);
    EXPECT_THAT(numbers, ElementsAre(2, 3, 4, 5, 6, 7, 8));
    std::vector<subModuleSlotRelation> relations;
    EXPECT_EQ(parser.GetPluggableSubModuleSlotRelation(kIoBlock, "", "MOD_MIX", relations), 0);
    EXPECT_EQ(relations.size(), 3u);
    bool safe = false;
    EXPECT_EQ(parser.IsSubmodulePROFIsafeSupported(kIoBlock, "SM_FDI8", safe), 0);
    EXPECT_TRUE(safe);
    std::string version;
    EXPECT_EQ(parser.GetKeltoTemplateGSDVersionForWizard(kIoBlock, version), 0);
    EXPECT_EQ(version, "V2.43");
    std::vector<double> times;
    EXPECT_EQ(parser.CalcIoDeviceUpdateTime(kIoBlock, "DAP_HF", 0.25f, times), 0);
    EXPECT_EQ(times.at(0), 0.25);
    // An unknown file is the service's own error code.
    GsdDeviceInfo info;
    EXPECT_EQ(parser.GetGsdDeviceInfo("missing.xml", info), -32001);
}

// A drive described the way vendors do (see the sample's header), read
// through the client as the host reads it; the server speaks German, and
// falls back to English where the file has no German text.
TEST_F(GsdCatalog, VendorStyleDriveFileReachesTheHostInTheServersLanguage) {
    const std::string drive = "GSDML-V2.1-Quellbrook-QD300-20110920.xml";
    const std::string dap = "IDD_QD300_PN";
    PnGsdClient client;
    ASSERT_TRUE(client.TavrelImportGsdFile((fs::path(GSD_SAMPLES_DIR) / drive).string()).IsSuccess);
    const auto slotNames = [&](const std::string& dapId) {
        std::string text;
        for (const moduleData& module : client.GetBuildInModuleData(drive, dapId)) {
            text += module.Item.SlotName + ",";
        }
        return text;
    };
    EXPECT_EQ(slotNames(dap), "QD 300 PN,Antriebsobjekt,Telegramm,");
    EXPECT_EQ(slotNames(dap + "_BASIC"), "QD 300 PN Basis,Servoachse,Telegrammbaugruppe,");
    EXPECT_EQ(client.GetSubModuleBaseInfo(drive, dap, "IDM_SAFETY", "IDS_SAFE_TLG30").Description,
              "Safety control and status word");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
}
