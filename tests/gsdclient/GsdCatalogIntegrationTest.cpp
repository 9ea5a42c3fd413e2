// The client and the facade against the real catalogue service: a
// configuration server started through the library's entry point, with a
// catalogue directory of the test's own and the sample GSD files imported.

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
            GTEST_SKIP() << "ISO-8859-15 locale missing; run scripts/setup-deps.sh";
        }
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() / ("gsd-catalog-" + std::to_string(stamp));
        fs::create_directories(dir_);
        // The server reads its catalogue directory from its environment,
        // which it inherits from this process.
        setenv("TAVREL_GSD_CATALOG", (dir_ / "catalog").string().c_str(), 1);
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
        unsetenv("TAVREL_GSD_CATALOG");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    gsdtest::LegacyLocale locale_;
    fs::path dir_;
};

}  // namespace

TEST_F(GsdCatalog, FileManagementListsWhatWasImportedAndRemovesByName) {
    PnGsdClient client;
    EXPECT_THAT(client.GetInstalledGSDsNames(), ElementsAre(kLegacy, kIoBlock));
    const auto installed = client.TavrelGetInstalledGsds();
    ASSERT_EQ(installed.size(), 2u);
    EXPECT_EQ(installed[1].GsdName, kIoBlock);
    EXPECT_EQ(installed[1].HashValueString.size(), 64u);
    EXPECT_EQ(installed[1].InstallDateTime.back(), 'Z');
    EXPECT_TRUE(fs::exists(installed[1].FilePath));
    EXPECT_EQ(client.GetGSDPath(kIoBlock), installed[1].FilePath);

    // A file that is not a GSD file is refused with reasons, and the server
    // stays up.
    const fs::path junk = dir_ / "junk.xml";
    std::ofstream(junk) << "this is not xml";
    const auto refused = client.TavrelImportGsdFile(junk.string());
    EXPECT_FALSE(client.HasError());
    EXPECT_FALSE(refused.IsSuccess);
    EXPECT_FALSE(refused.ErrorMessages.empty());

    const auto removed = client.TavrelRemoveGsdFile(kLegacy);
    EXPECT_TRUE(removed.IsSuccess);
    EXPECT_THAT(client.TavrelRefreshGsds(), ElementsAre(kIoBlock));
    EXPECT_FALSE(client.HasError());
}

TEST_F(GsdCatalog, DeviceAndCatalogueQueriesDescribeTheSampleDevice) {
    PnGsdClient client;
    const GsdDeviceInfo info = client.GetGsdDeviceInfo(kIoBlock);
    EXPECT_EQ(info.VendorIdentNumber, 0xFE01u);
    EXPECT_EQ(info.DeviceIdentNumber, 0x0A10u);
    EXPECT_EQ(info.MainFamily, "I/O");
    EXPECT_EQ(info.ProductFamily, "IOBlock 200");
    // German text, converted to the local code page.
    EXPECT_EQ(info.InfoText, "IOBlock 200: modulare Peripherie f\xFCr PROFINET");

    const std::vector<DeviceCatalog> devices = client.GetDeviceCatalogs(kIoBlock);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].DNSCompatibleName, "ioblock-hf");
    EXPECT_EQ(devices[0].BaseInfo.GsdId, "DAP_HF");
    EXPECT_EQ(devices[0].BaseInfo.OrderNumber, "SV 200-1HF00");
    EXPECT_EQ(devices[0].VendorIdentNumber, 0xFE01u);
    EXPECT_EQ(devices[1].BaseInfo.GsdId, "DAP_ST");

    std::vector<std::string> modules;
    for (const moduleCatalog& m : client.GetPluggableModuleCatalog(kIoBlock, "DAP_HF")) {
        modules.push_back(m.BaseInfo.GsdId);
    }
    EXPECT_THAT(modules, ::testing::IsSupersetOf({"MOD_DI16", "MOD_DQ8", "MOD_AI4", "MOD_FDI8"}));
    EXPECT_THAT(modules, ::testing::Not(::testing::Contains("MOD_POWER")));

    EXPECT_EQ(client.GetDapModuleInfo(kIoBlock, "DAP_HF").Name, "IM 200 HF");
    const auto slots = client.GetDevicePhysicalSlots(kIoBlock, "DAP_HF");
    EXPECT_THAT(slots, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8));
    EXPECT_THAT(client.GetPluggableModuleSlotRelation(kIoBlock, "DAP_HF", "MOD_FDI8"),
                ElementsAre(3, 4, 5, 6, 7, 8));
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
}

TEST_F(GsdCatalog, SubmoduleQueriesReadParametersPortsTimingAndDiagnosis) {
    PnGsdClient client;
    const std::vector<parameterRecord> records =
        client.GetSubModuleParameter(kIoBlock, "DAP_HF", "SM_DI16");
    ASSERT_FALSE(client.HasError()) << client.GetLastErrMsg();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Index, 1);
    EXPECT_EQ(records[0].Length, 4);
    // The record's menu holds its own parameters, then the nested menus
    // Diagnose > Expert, each with their parameters in order.
    const menuItem& root = records[0].MenuItem;
    EXPECT_EQ(root.Name, "Input parameters");
    ASSERT_EQ(root.RecordDataList.size(), 1u);
    const recordDataItem& filter = root.RecordDataList[0];
    EXPECT_EQ(filter.Name, "Eingangsverz\xF6gerung");
    EXPECT_EQ(filter.DefaultValue, "3");
    EXPECT_FALSE(filter.Values.empty());
    EXPECT_TRUE(std::is_sorted(filter.Values.begin(), filter.Values.end()));
    ASSERT_EQ(root.MenuItems.size(), 1u);
    const menuItem& diag = root.MenuItems[0];
    EXPECT_EQ(diag.Name, "Diagnose");
    ASSERT_EQ(diag.MenuItems.size(), 1u);
    const menuItem& expert = diag.MenuItems[0];
    EXPECT_EQ(expert.Name, "Expert");
    ASSERT_EQ(expert.RecordDataList.size(), 3u);
    EXPECT_EQ(expert.RecordDataList[2].TextId, "T_P_Counter");
    EXPECT_FALSE(expert.RecordDataList[2].IsChangeable);
    EXPECT_EQ(expert.RecordDataList[2].ByteOffset, 3);

    const portParameter port = client.GetPortSubModuleParameter(kIoBlock, "DAP_HF", "PORT1_HF", "");
    EXPECT_TRUE(port.PortDeactivationSupported);
    ASSERT_EQ(port.transmissionValueList.size(), 2u);
    EXPECT_EQ(port.transmissionValueList[0].Value, 16);
    EXPECT_EQ(port.transmissionValueList[1].Value, 30);

    const isochroneMode iso = client.GetSubMoudleIsoParam(kIoBlock, "DAP_HF", "SM_AI4");
    EXPECT_EQ(iso.T_DC_Base, 8u);
    EXPECT_EQ(iso.T_DC_Min, 2u);
    EXPECT_EQ(iso.T_DC_Max, 64u);
    EXPECT_EQ(iso.T_IO_Base, 1000u);
    EXPECT_FALSE(iso.IsIsochroneModeRequired);

    EXPECT_TRUE(client.IsSubmodulePROFIsafeSupported(kIoBlock, "SM_FDI8"));
    EXPECT_FALSE(client.IsSubmodulePROFIsafeSupported(kIoBlock, "SM_DI16"));
    EXPECT_EQ(client.GetSubmoduleAPI(kIoBlock, "SM_AI4"), 0x3A00);
    EXPECT_TRUE(client.GetSubmoduleParamDisallowed(kIoBlock, "SM_POWER"));
    EXPECT_THAT(client.GetWriteableIMRecords(kIoBlock, "DAP_HF", "VSM_HF"), ElementsAre(1, 2, 3));

    const ChannelAlarmData channel = client.GetChannalDiagDescription(kIoBlock, 6, true, 1, 0, 0);
    EXPECT_EQ(channel.AlarmNameText, "Drahtbruch");
    EXPECT_EQ(channel.AlarmExtNameText, "Geber nicht angeschlossen");

    // One millisecond send clock, reduction ratios 1 to 16.
    EXPECT_THAT(client.CalcIoDeviceUpdateTime(kIoBlock, "DAP_ST", 1.0f),
                ElementsAre(1.0, 2.0, 4.0, 8.0, 16.0));
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();

    // Unknown items are the service's errors, handed on unchanged.
    EXPECT_TRUE(client.GetSubModuleParameter(kIoBlock, "DAP_HF", "NO_SUCH").empty());
    EXPECT_EQ(client.GetLastErrCode(), -32002);
}

TEST_F(GsdCatalog, FacadeSlotsAnswerFromTheCatalogue) {
    PNconfigGSDParser& parser = PNconfigGSDParser::getInstance();
    std::vector<std::string> names;
    EXPECT_EQ(parser.LoadAllGsd(names), 0);
    EXPECT_THAT(names, ElementsAre(kLegacy, kIoBlock));

    std::vector<DeviceCatalog> devices;
    EXPECT_EQ(parser.GetDeviceCatalog(kIoBlock, devices), 0);
    EXPECT_EQ(devices.size(), 2u);

    std::vector<int> slots;
    EXPECT_EQ(parser.GetDevicePhysicalSlots(kIoBlock, "DAP_ST", slots), 0);
    EXPECT_THAT(slots, ElementsAre(0, 1, 2, 3, 4));

    bool safe = false;
    EXPECT_EQ(parser.IsSubmodulePROFIsafeSupported(kIoBlock, "SM_FDI8", safe), 0);
    EXPECT_TRUE(safe);

    std::string version;
    EXPECT_EQ(parser.GetKeltoTemplateGSDVersionForWizard(kIoBlock, version), 0);
    EXPECT_EQ(version, "V2.43");

    // An unknown file is the service's own error code under the error-code
    // rule; listings only say "failed".
    GsdDeviceInfo info;
    EXPECT_EQ(parser.GetGsdDeviceInfo("missing.xml", info), -32001);
    EXPECT_EQ(parser.GetGSDPath(kIoBlock).empty(), false);
}
