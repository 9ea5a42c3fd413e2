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

TEST_F(GsdCatalog, ModuleAndSubmoduleStructureFollowsTheSlotRules) {
    PnGsdClient client;
    std::vector<std::string> pluggable;
    for (const subModuleCatalog& s :
         client.GetPluggableSubModuleListCatalog(kIoBlock, "", "MOD_MIX")) {
        pluggable.push_back(s.BaseInfo.GsdId);
    }
    // SUB_CNT is only ever fixed, so it cannot be plugged.
    EXPECT_THAT(pluggable, ElementsAre("SUB_DI4", "SUB_DQ4"));

    const auto relations = client.GetPluggableSubModuleSlotRelation(kIoBlock, "", "MOD_MIX");
    ASSERT_EQ(relations.size(), 3u);
    EXPECT_EQ(relations[0].ModuleRefId, "SUB_DI4");
    EXPECT_THAT(relations[0].Subslots, ElementsAre(1, 2, 3));
    EXPECT_THAT(relations[1].Subslots, ElementsAre(2, 3));
    EXPECT_THAT(relations[2].Subslots, ElementsAre(3));
    EXPECT_THAT(client.GetModulePhysicalSubSlots(kIoBlock, "", "MOD_MIX"), ElementsAre(1, 2, 3));
    EXPECT_TRUE(client.GetPluggableSubModuleListCatalogByDevID(kIoBlock, "DAP_HF").empty());
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();

    // The access point in slot 0 with its own submodules, then the module it
    // fixes (mandatory) and the one it pre-plugs.
    const std::vector<moduleData> builtIn = client.GetBuildInModuleData(kIoBlock, "DAP_HF");
    ASSERT_EQ(builtIn.size(), 3u);
    EXPECT_EQ(builtIn[0].Item.SlotNumber, 0);
    EXPECT_EQ(builtIn[0].Item.Info.GsdID, "DAP_HF");
    std::vector<int> subslots;
    for (const moduleItem& sub : builtIn[0].SubItems) {
        subslots.push_back(sub.SlotNumber);
    }
    EXPECT_THAT(subslots, ::testing::IsSupersetOf({32768, 32769, 32770}));
    EXPECT_EQ(builtIn[1].Item.Info.GsdID, "MOD_POWER");
    EXPECT_TRUE(builtIn[1].Item.IsMandatory);
    EXPECT_EQ(builtIn[1].Item.SlotNumber, 1);
    EXPECT_EQ(builtIn[2].Item.Info.GsdID, "MOD_DI16");
    EXPECT_FALSE(builtIn[2].Item.IsMandatory);
    EXPECT_EQ(builtIn[2].Item.SlotNumber, 2);

    const moduleData di16 = client.GetModuleData(kIoBlock, "", "MOD_DI16");
    EXPECT_EQ(di16.Item.Info.OrderNumber, "SV 200-3DI16");
    EXPECT_EQ(di16.virSubmoduleRefId, "SM_DI16");
    EXPECT_EQ(di16.Item.SlotNumber, 2);

    const moduleItem port = client.GetSubModuleData(kIoBlock, "DAP_HF", "PORT1_HF");
    EXPECT_EQ(port.SlotNumber, 32769);
    EXPECT_FALSE(port.SlotName.empty());
    EXPECT_EQ(port.Type, 5);

    const ModuleVirSubSlotAndAPI virtualSubslot =
        client.GetModuleVirSubSlotAndAPI(kIoBlock, "", "MOD_AI4");
    EXPECT_TRUE(virtualSubslot.isExist);
    EXPECT_EQ(virtualSubslot.virAPI, 0x3A00);

    const ModuleDataBaseInfo base =
        client.GetSubModuleBaseInfo(kIoBlock, "DAP_HF", "MOD_DI16", "SM_DI16");
    EXPECT_EQ(base.GsdID, "SM_DI16");
    EXPECT_EQ(base.Name, "DI 16x24VDC");
    EXPECT_EQ(base.IdentNumber, "0x00000401");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
}

TEST_F(GsdCatalog, InterfaceDiagnosisAndOlderSchemaFormsAreRead) {
    PnGsdClient client;
    // RT_CLASS_1 and RT_CLASS_3 on the new file; "Class1" on the old one.
    EXPECT_EQ(client.GetSubmoduleIRTsupportType(kIoBlock, "IF_HF"), 5);
    EXPECT_EQ(client.GetSubmoduleIRTsupportType(kLegacy, "IF"), 1);

    const AlarmData unit = client.GetUnitDiagDescription(kIoBlock, "0x0100", {0x05, 0x20});
    EXPECT_EQ(unit.Description, "Supply fault");
    EXPECT_THAT(unit.RefText, ::testing::HasSubstr("Voltage missing"));

    // The old single MAU type name still gives a transmission value.
    const portParameter port = client.GetPortSubModuleParameter(kLegacy, "DAP1", "PORT1", "");
    ASSERT_EQ(port.transmissionValueList.size(), 1u);
    EXPECT_EQ(port.transmissionValueList[0].Value, 16);

    EXPECT_EQ(client.GetKeltoTemplateGSDVersionForWizard(kLegacy), "V2.1");
    EXPECT_EQ(client.GetKeltoTemplateGSDNameForPNView("no-such-device", true), "");
    client.GetGSDTemplateCatalogs();
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
}

TEST_F(GsdCatalog, RemainingFacadeSlotsReportSuccessAndFillTheirOutputs) {
    PNconfigGSDParser& parser = PNconfigGSDParser::getInstance();
    std::vector<moduleCatalog> modules;
    EXPECT_EQ(parser.GetPluggableModuleCatalog(kIoBlock, "DAP_HF", modules), 0);
    EXPECT_FALSE(modules.empty());
    std::vector<subModuleCatalog> subs;
    EXPECT_EQ(parser.GetPluggableSubModuleListCatalog(kIoBlock, "", "MOD_MIX", subs), 0);
    EXPECT_EQ(subs.size(), 2u);
    EXPECT_EQ(parser.GetPluggableSubModuleListCatalogByDevID(kIoBlock, "DAP_HF", subs), 0);
    std::vector<moduleData> builtIn;
    EXPECT_EQ(parser.GetBuildInModuleData(kIoBlock, "DAP_HF", builtIn), 0);
    EXPECT_EQ(builtIn.size(), 3u);
    std::vector<int> numbers;
    EXPECT_EQ(parser.GetModulePhysicalSubSlots(kIoBlock, "DAP_HF", "MOD_MIX", numbers), 0);
    EXPECT_THAT(numbers, ElementsAre(1, 2, 3));
    EXPECT_EQ(parser.GetPluggableModuleSlotRelation(kIoBlock, "", "MOD_DI16", numbers), 0);
    EXPECT_THAT(numbers, ElementsAre(2, 3, 4, 5, 6, 7, 8));
    std::vector<subModuleSlotRelation> relations;
    EXPECT_EQ(parser.GetPluggableSubModuleSlotRelation(kIoBlock, "", "MOD_MIX", relations), 0);
    EXPECT_EQ(relations.size(), 3u);
    baseInfo dap;
    EXPECT_EQ(parser.GetDapModuleInfo(kIoBlock, "DAP_ST", dap), 0);
    EXPECT_EQ(dap.GsdId, "DAP_ST");
    moduleData data;
    EXPECT_EQ(parser.GetModuleData(kIoBlock, "DAP_HF", "MOD_AI4", data), 0);
    EXPECT_EQ(data.virSubmoduleRefId, "SM_AI4");
    moduleItem item;
    EXPECT_EQ(parser.GetSubModuleData(kIoBlock, "", "SM_AI4", item), 0);
    EXPECT_EQ(item.Info.GsdID, "SM_AI4");
    std::vector<parameterRecord> records;
    EXPECT_EQ(parser.GetSubModuleParameter(kIoBlock, "", "SM_DI16", records), 0);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(parser.GetWriteableIMRecords(kIoBlock, "DAP_ST", "", numbers), 0);
    EXPECT_THAT(numbers, ElementsAre(1));
    portParameter port;
    EXPECT_EQ(parser.GetPortSubModuleParameter(kIoBlock, "DAP_HF", "PORT2_HF", "", port), 0);
    EXPECT_FALSE(port.PortDeactivationSupported);
    supportRTType rt = SupportRTNone;
    EXPECT_EQ(parser.GetSubmoduleIRTsupportType(kIoBlock, "IF_ST", rt), 0);
    EXPECT_EQ(rt, 1);
    int api = -1;
    EXPECT_EQ(parser.GetSubmoduleAPI(kIoBlock, "SUB_DQ4", api), 0);
    EXPECT_EQ(api, 0x5000);
    ModuleVirSubSlotAndAPI virtualSubslot;
    EXPECT_EQ(parser.GetModuleVirSubSlotAndAPI(kIoBlock, "", "MOD_MIX", virtualSubslot), 0);
    EXPECT_FALSE(virtualSubslot.isExist);
    bool flag = true;
    EXPECT_EQ(parser.GetSubmoduleParamDisallowed(kIoBlock, "SM_DI16", flag), 0);
    EXPECT_FALSE(flag);
    std::vector<std::string> names;
    EXPECT_EQ(parser.TavrelRefreshGsds(names), 0);
    EXPECT_EQ(names.size(), 2u);
    AlarmData unit;
    EXPECT_EQ(parser.GetUnitDiagDescription(kIoBlock, "0x0100", {0x01, 0x10}, unit), 0);
    EXPECT_EQ(unit.Description, "Supply fault");
    ChannelAlarmData channel;
    EXPECT_EQ(parser.GetChannalDiagDescription(kIoBlock, 256, false, 0, 0, 0, channel), 0);
    EXPECT_FALSE(channel.AlarmNameText.empty());
    std::vector<double> times;
    EXPECT_EQ(parser.CalcIoDeviceUpdateTime(kIoBlock, "DAP_HF", 0.25f, times), 0);
    EXPECT_FALSE(times.empty());
    EXPECT_EQ(times.front(), 0.25);
    isochroneMode iso;
    EXPECT_EQ(parser.GetSubMoudleIsoParam(kIoBlock, "DAP_HF", "SM_AI4", iso), 0);
    EXPECT_EQ(iso.T_IO_InputMin, 125u);
    std::string text = "old";
    EXPECT_EQ(parser.GetKeltoTemplateGSDNameForPNView("ioblock-hf", false, text), 0);
    EXPECT_NE(text, "old");
    ModuleDataBaseInfo base;
    EXPECT_EQ(parser.GetSubModuleBaseInfo("", "DAP_HF", "MOD_DI16", "SM_DI16", base), 0);
    EXPECT_EQ(base.GsdID, "SM_DI16");
    std::vector<GSDTemplateCatalog> templates;
    EXPECT_EQ(parser.GetGSDTemplateCatalogs(templates), 0);
}
