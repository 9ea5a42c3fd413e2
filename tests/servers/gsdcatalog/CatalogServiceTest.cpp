// SPDX-License-Identifier: Apache-2.0
#include "CatalogService.h"
#include "GsdTestSupport.h"
#include "support/JsonText.h"

#include <RpcDispatcher.h>
#include <wire/FastJsonWriter.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <json/reader.h>
#include <json/value.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using TestJson::Params;

std::vector<std::string> Strings(const Json::Value& array, const char* member = nullptr,
                                 const char* inner = nullptr) {
    std::vector<std::string> out;
    for (const Json::Value& element : array) {
        const Json::Value& value =
            member ? (inner ? element[member][inner] : element[member]) : element;
        out.push_back(value.asString());
    }
    return out;
}

std::vector<int> Ints(const Json::Value& array) {
    std::vector<int> out;
    for (const Json::Value& element : array) {
        out.push_back(element.asInt());
    }
    return out;
}

class CatalogServiceTest : public ::testing::Test {
protected:
    void Start(const std::string& language = "", std::uint32_t templateVendor = 0) {
        dispatcher_ = std::make_unique<ServerKit::RpcDispatcher>();
        CatalogOptions options;
        options.directory = dir_ / "catalog";
        options.language = language;
        options.templateVendorId = templateVendor;
        RegisterCatalogMethods(*dispatcher_, options);
    }

    void SetUp() override {
        Start();
        for (const std::string& name : {kIoBlock, kLegacy}) {
            const Json::Value report =
                Call("TavrelImportGsdFile", Params({(kSamples / name).u8string()}));
            ASSERT_TRUE(report["IsSuccess"].asBool()) << report.toStyledString();
        }
    }

    Json::Value Exchange(const std::string& method, const Json::Value& params) {
        Json::Value request(Json::objectValue);
        request["jsonrpc"] = "2.0";
        request["id"] = 7;
        request["method"] = method;
        request["params"] = params;
        const Json::Value response = dispatcher_->Handle(request);
        if (method.rfind("Tavrel", 0) == 0) {
            return response;  // changes the catalogue: asked once only
        }
        // Read from its text, the request must get the same bytes.
        std::string text;
        std::string answer;
        std::string expected;
        RpcClient::AppendJson(text, request);
        const std::size_t size = text.size();
        text.resize(size + ServerKit::RpcDispatcher::kTextSlack);
        EXPECT_TRUE(dispatcher_->HandleText(text.data(), size, text.size(), answer));
        RpcClient::AppendJson(expected, response);
        EXPECT_EQ(answer, expected) << method;
        return response;
    }

    Json::Value Call(const std::string& method, const Json::Value& params) {
        const Json::Value response = Exchange(method, params);
        EXPECT_FALSE(response.isMember("error")) << method << ": " << response.toStyledString();
        return response["result"];
    }

    int ErrorCode(const std::string& method, const Json::Value& params) {
        const Json::Value response = Exchange(method, params);
        EXPECT_TRUE(response.isMember("error"))
            << method << " answered " << response.toStyledString();
        return response["error"]["code"].asInt();
    }

    ScratchDir dir_;
    std::unique_ptr<ServerKit::RpcDispatcher> dispatcher_;
};

TEST_F(CatalogServiceTest, ManagesInstalledFiles) {
    EXPECT_THAT(Strings(Call("GetInstalledGSDsNames", Params({}))), ElementsAre(kLegacy, kIoBlock));
    const Json::Value installed = Call("TavrelGetInstalledGsds", Params({}));
    ASSERT_EQ(installed.size(), 2u);
    EXPECT_EQ(installed[0]["GsdName"].asString(), kLegacy);
    EXPECT_EQ(fs::u8path(installed[0]["FilePath"].asString()), dir_ / "catalog" / kLegacy);
    EXPECT_EQ(installed[0]["HashValueString"].asString().size(), 64u);
    EXPECT_THAT(installed[0]["InstallDateTime"].asString(), HasSubstr("T"));
    EXPECT_EQ(fs::u8path(Call("GetGSDPath", Params({kLegacy})).asString()),
              dir_ / "catalog" / kLegacy);
    EXPECT_EQ(Call("GetGSDPath", Params({"GSDML-unknown.xml"})).asString(), "");

    const Json::Value removed = Call("TavrelRemoveGsdFile", Params({kLegacy}));
    EXPECT_TRUE(removed["IsSuccess"].asBool());
    EXPECT_EQ(removed["GsdName"].asString(), kLegacy);
    EXPECT_TRUE(removed["ErrorMessages"].empty());
    EXPECT_THAT(Strings(Call("TavrelRefreshGsds", Params({}))), ElementsAre(kIoBlock));

    const Json::Value refused = Call("TavrelRemoveGsdFile", Params({"../" + kIoBlock}));
    EXPECT_FALSE(refused["IsSuccess"].asBool());
    EXPECT_EQ(refused["ErrorMessages"].size(), 1u);
}

TEST_F(CatalogServiceTest, ReportsRefusedImportsInTheAnswerAndKeepsServing) {
    WriteBytes(dir_ / "GSDML-bad.xml", ReadBytes(kSamples / kIoBlock).substr(0, 5000));
    const Json::Value report =
        Call("TavrelImportGsdFile", Params({(dir_ / "GSDML-bad.xml").u8string()}));
    EXPECT_FALSE(report["IsSuccess"].asBool());
    EXPECT_FALSE(report["IsValid"].asBool());
    EXPECT_EQ(report["GsdName"].asString(), "GSDML-bad.xml");
    ASSERT_TRUE(report["ErrorMessages"].isArray());
    EXPECT_THAT(report["ErrorMessages"][0].asString(), HasSubstr("XML"));
    EXPECT_EQ(Call("GetInstalledGSDsNames", Params({})).size(), 2u);
}

TEST_F(CatalogServiceTest, DescribesDevicesAndAccessPoints) {
    const Json::Value info = Call("GetGsdDeviceInfo", Params({kIoBlock}));
    EXPECT_EQ(info["MainFamily"].asString(), "I/O");
    EXPECT_EQ(info["ProductFamily"].asString(), "IOBlock 200");
    EXPECT_EQ(info["VendorName"].asString(), "Samplevendor Automation");
    EXPECT_EQ(info["VendorIdentNumber"].asUInt(), 0xFE01u);
    EXPECT_EQ(info["DeviceIdentNumber"].asUInt(), 0x0A10u);

    const Json::Value devices = Call("GetDeviceCatalogs", Params({kIoBlock}));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]["DNSCompatibleName"].asString(), "ioblock-hf");
    EXPECT_EQ(devices[0]["SupportRTType"].asInt(), kRtClass1 | kRtClass3);
    EXPECT_EQ(devices[1]["SupportRTType"].asInt(), kRtClass1);
    EXPECT_TRUE(devices[0]["IsG2"].asBool());
    const Json::Value& base = devices[0]["BaseInfo"];
    EXPECT_EQ(base["GsdName"].asString(), kIoBlock);
    EXPECT_EQ(base["GsdId"].asString(), "DAP_HF");
    EXPECT_EQ(base["Category"].asString(), "Head modules");
    EXPECT_EQ(base["SubCategory"].asString(), "High feature");
    EXPECT_EQ(base["SoftwareRelease"].asString(), "V2.1.0");
    EXPECT_EQ(base["OrderNumber"].asString(), "SV 200-1HF00");

    // An access point without categories is filed under the device family.
    const Json::Value legacy = Call("GetDapModuleInfo", Params({kLegacy, "DAP1"}));
    EXPECT_EQ(legacy["Category"].asString(), "Drives");
    EXPECT_EQ(legacy["Description"].asString(),
              "Drive interface, Gr\xC3\xB6\xC3\x9F"
              "e 1");
}

TEST_F(CatalogServiceTest, ListsPluggableModulesSlotsAndBuiltInModules) {
    EXPECT_THAT(Strings(Call("GetPluggableModuleCatalog", Params({kIoBlock, "DAP_HF"})), "BaseInfo",
                        "GsdId"),
                ElementsAre("MOD_DI16", "MOD_DQ8", "MOD_AI4", "MOD_FDI8", "MOD_MIX"));
    EXPECT_THAT(Strings(Call("GetPluggableModuleCatalog", Params({kIoBlock, "DAP_ST"})), "BaseInfo",
                        "GsdId"),
                ElementsAre("MOD_DI16", "MOD_DQ8"));
    EXPECT_THAT(
        Ints(Call("GetPluggableModuleSlotRelation", Params({kIoBlock, "DAP_HF", "MOD_FDI8"}))),
        ElementsAre(3, 4, 5, 6, 7, 8));
    // Without an access point the first one that can hold the module answers.
    EXPECT_THAT(Ints(Call("GetPluggableModuleSlotRelation", Params({kIoBlock, "", "MOD_DQ8"}))),
                ElementsAre(2, 3, 4, 5, 6, 7, 8));
    EXPECT_THAT(Ints(Call("GetDevicePhysicalSlots", Params({kIoBlock, "DAP_ST"}))),
                ElementsAre(0, 1, 2, 3, 4));

    const Json::Value builtIn = Call("GetBuildInModuleData", Params({kIoBlock, "DAP_HF"}));
    ASSERT_EQ(builtIn.size(), 3u);
    EXPECT_EQ(builtIn[0]["Item"]["Type"].asInt(), 0);
    EXPECT_EQ(builtIn[0]["Item"]["SlotName"].asString(), "Head");
    EXPECT_EQ(builtIn[0]["virSubmoduleRefId"].asString(), "VSM_HF");
    EXPECT_THAT(Strings(builtIn[0]["SubItems"], "Info", "GsdID"),
                ElementsAre("VSM_HF", "IF_HF", "PORT1_HF", "PORT2_HF"));
    EXPECT_EQ(builtIn[0]["SubItems"][2]["SlotNumber"].asInt(), 32769);
    EXPECT_EQ(builtIn[0]["SubItems"][2]["SlotName"].asString(), "X1 P1");
    EXPECT_EQ(builtIn[1]["Item"]["Info"]["GsdID"].asString(), "MOD_POWER");
    EXPECT_EQ(builtIn[1]["Item"]["SlotNumber"].asInt(), 1);
    EXPECT_TRUE(builtIn[1]["Item"]["IsMandatory"].asBool());
    EXPECT_EQ(builtIn[1]["Item"]["IoData"]["IoType"].asInt(), 1);
    EXPECT_EQ(builtIn[1]["Item"]["IoData"]["Isize"].asInt(), 1);
    EXPECT_EQ(builtIn[2]["Item"]["Info"]["GsdID"].asString(),
              "MOD_DI16");  // pre-plugged, removable
    EXPECT_FALSE(builtIn[2]["Item"]["IsMandatory"].asBool());

    const Json::Value st = Call("GetBuildInModuleData", Params({kIoBlock, "DAP_ST"}));
    ASSERT_EQ(st.size(), 2u);
    EXPECT_EQ(st[1]["Item"]["SlotNumber"].asInt(), 4);
}

TEST_F(CatalogServiceTest, ListsSubmodulesOfModulesAndAccessPoints) {
    const Json::Value subs =
        Call("GetPluggableSubModuleListCatalog", Params({kIoBlock, "DAP_HF", "MOD_MIX"}));
    EXPECT_THAT(Strings(subs, "BaseInfo", "GsdId"),
                ElementsAre("SUB_DI4", "SUB_DQ4"));  // SUB_CNT is fixed
    EXPECT_EQ(subs[0]["SupportRTType"].asInt(), kRtClass1 | kRtClass3);
    EXPECT_EQ(subs[1]["BaseInfo"]["Category"].asString(), "Digital outputs");
    EXPECT_THAT(Strings(Call("GetDeviceSubModuleListCatalog", Params({kIoBlock, "DAP_ST"})),
                        "BaseInfo", "GsdId"),
                ElementsAre("SUB_DI4"));
    EXPECT_TRUE(Call("GetDeviceSubModuleListCatalog", Params({kIoBlock, "DAP_HF"})).empty());

    const Json::Value relation =
        Call("GetPluggableSubModuleSlotRelation", Params({kIoBlock, "", "MOD_MIX"}));
    ASSERT_EQ(relation.size(), 3u);
    EXPECT_EQ(relation[0]["ModuleRefId"].asString(), "SUB_DI4");
    EXPECT_THAT(Ints(relation[0]["Subslots"]), ElementsAre(1, 2, 3));
    EXPECT_THAT(Ints(relation[2]["Subslots"]), ElementsAre(3));

    EXPECT_THAT(Ints(Call("GetModulePhysicalSlots", Params({kIoBlock, "DAP_HF", "MOD_MIX"}))),
                ElementsAre(1, 2, 3));
    EXPECT_THAT(Ints(Call("GetModulePhysicalSlots", Params({kIoBlock, "DAP_HF", "DAP_HF"}))),
                ElementsAre(1, 32768, 32769, 32770));

    const Json::Value mix = Call("GetModuleData", Params({kIoBlock, "DAP_HF", "MOD_MIX"}));
    EXPECT_EQ(mix["Item"]["SlotNumber"].asInt(), 2);
    EXPECT_FALSE(mix["Item"]["IsMandatory"].asBool());
    EXPECT_EQ(mix["virSubmoduleRefId"].asString(), "");
    EXPECT_THAT(Strings(mix["SubItems"], "Info", "GsdID"), ElementsAre("SUB_DI4", "SUB_CNT"));
    EXPECT_EQ(mix["SubItems"][1]["IoData"]["IoType"].asInt(), 3);

    const Json::Value dq = Call("GetSubModuleData", Params({kIoBlock, "", "SUB_DQ4"}));
    EXPECT_EQ(dq["Item"]["Type"].asInt(), static_cast<int>(ItemKind::Submodule));
    EXPECT_EQ(dq["Item"]["IoData"]["IoType"].asInt(), 2);
    EXPECT_EQ(dq["Item"]["IoData"]["Osize"].asInt(), 2);

    // No file named: every installed file is searched. The no-break space stays.
    const Json::Value base =
        Call("GetSubModuleBaseInfo", Params({"", "DAP_HF", "MOD_MIX", "SUB_DQ4"}));
    EXPECT_EQ(base["Name"].asString(),
              "DQ\xC2\xA0"
              "4 submodule");
    EXPECT_EQ(base["IdentNumber"].asString(), "0x00000902");
    EXPECT_EQ(base["OrderNumber"].asString(), "SV 200-8DQ04");
    EXPECT_EQ(Call("GetSubModuleBaseInfo", Params({kLegacy, "DAP1", "DAP1", "PORT1"}))["GsdID"]
                  .asString(),
              "PORT1");

    const Json::Value ai = Call("GetModuleVirSubSlotAndAPI", Params({kIoBlock, "", "MOD_AI4"}));
    EXPECT_TRUE(ai["isExist"].asBool());
    EXPECT_EQ(ai["virSubslot"].asInt(), 1);
    EXPECT_EQ(ai["virAPI"].asInt(), 0x3A00);
    EXPECT_FALSE(
        Call("GetModuleVirSubSlotAndAPI", Params({kIoBlock, "", "MOD_MIX"}))["isExist"].asBool());
}

// A record with a menu list but no name of its own, and a value list that
// assigns one content twice: both answer forms take the root menu's name and
// the last text.
TEST_F(CatalogServiceTest, AnswersUnnamedRecordsAndRepeatedContentsAlike) {
    const std::string name = "GSDML-V2.43-Test-Records-20250101.xml";
    WriteBytes(dir_ / name,
               MiniGsd(R"(<VirtualSubmoduleList><VirtualSubmoduleItem ID="V" )"
                       R"(SubmoduleIdentNumber="1"><RecordDataList><ParameterRecordDataItem )"
                       R"(Index="1" Length="1"><Ref ID="R" DataType="Unsigned8" ByteOffset="0" )"
                       R"(TextId="N" ValueItemTarget="VA"/><MenuList><MenuItem ID="M"><Name )"
                       R"(TextId="N"/><ParameterRef ParameterTarget="R"/></MenuItem></MenuList>)"
                       R"(</ParameterRecordDataItem></RecordDataList></VirtualSubmoduleItem>)"
                       R"(</VirtualSubmoduleList>)",
                       R"(<ValueList><ValueItem ID="VA"><Assignments><Assign Content="1" )"
                       R"(TextId="N"/><Assign Content="0" TextId="N"/><Assign Content="1" )"
                       R"(TextId="T"/></Assignments></ValueItem></ValueList>)",
                       R"(<Text TextId="T" Value="Again"/>)"));
    ASSERT_TRUE(
        Call("TavrelImportGsdFile", Params({(dir_ / name).u8string()}))["IsSuccess"].asBool());
    const Json::Value root = Call("GetSubMouleParameter", Params({name, "", "V"}))[0]["MenuItem"];
    EXPECT_EQ(root["Name"].asString(), "Name");
    EXPECT_EQ(root["RecordDataList"][0]["Values"]["1"].asString(), "Again");
}

TEST_F(CatalogServiceTest, AnswersParameterRecordsWithNestedMenusAndValues) {
    const Json::Value records = Call("GetSubMouleParameter", Params({kIoBlock, "", "SM_DI16"}));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["Index"].asInt(), 1);
    EXPECT_EQ(records[0]["Length"].asInt(), 4);
    const Json::Value& root = records[0]["MenuItem"];
    EXPECT_EQ(root["Name"].asString(), "Input parameters");
    ASSERT_EQ(root["RecordDataList"].size(), 1u);
    const Json::Value& filter = root["RecordDataList"][0];
    EXPECT_EQ(filter["Name"].asString(), "Input delay");
    EXPECT_EQ(filter["TextId"].asString(), "T_P_Filter");
    EXPECT_EQ(filter["DefaultValue"].asString(), "3");
    EXPECT_EQ(filter["Values"]["15"].asString(), "15 ms");
    EXPECT_EQ(filter["Values"].size(), 3u);
    const Json::Value& diag = root["MenuItems"][0];
    EXPECT_EQ(diag["Name"].asString(), "Diagnosis");
    EXPECT_EQ(diag["RecordDataList"][0]["Values"]["1"].asString(), "Enabled");
    const Json::Value& expert = diag["MenuItems"][0];
    EXPECT_EQ(expert["GsdId"].asString(), "M_Expert");
    ASSERT_EQ(expert["RecordDataList"].size(), 3u);
    EXPECT_EQ(expert["RecordDataList"][1]["BitOffset"].asInt(), 0);
    EXPECT_EQ(expert["RecordDataList"][1]["DataType"].asInt(), 2);
    EXPECT_FALSE(expert["RecordDataList"][2]["IsChangeable"].asBool());
    EXPECT_EQ(expert["RecordDataList"][2]["MaxValue"].asString(), "200");

    // A record without menus lists its parameters directly.
    const Json::Value head = Call("GetSubMouleParameter", Params({kIoBlock, "DAP_HF", "VSM_HF"}));
    ASSERT_EQ(head.size(), 1u);
    EXPECT_EQ(head[0]["MenuItem"]["RecordDataList"].size(), 2u);
    EXPECT_TRUE(head[0]["MenuItem"]["MenuItems"].empty());
    EXPECT_TRUE(Call("GetSubMouleParameter", Params({kIoBlock, "", "SM_DQ8"})).empty());

    EXPECT_THAT(Ints(Call("GetWriteableIMRecords", Params({kIoBlock, "DAP_HF", ""}))),
                ElementsAre(1, 2, 3));
    EXPECT_THAT(Ints(Call("GetWriteableIMRecords", Params({kIoBlock, "DAP_ST", "VSM_ST"}))),
                ElementsAre(1));
}

TEST_F(CatalogServiceTest, AnswersPortsAndSubmoduleFlags) {
    const Json::Value port1 =
        Call("GetPortParameter", Params({kIoBlock, "DAP_HF", "PORT1_HF", ""}));
    EXPECT_TRUE(port1["PortDeactivationSupported"].asBool());
    EXPECT_TRUE(port1["DCP_BoundarySupported"].asBool());  // from its interface
    EXPECT_TRUE(port1["PTP_BoundarySupported"].asBool());
    ASSERT_EQ(port1["transmissionValueList"].size(), 2u);
    EXPECT_EQ(port1["transmissionValueList"][0]["Value"].asInt(), 16);
    EXPECT_EQ(port1["transmissionValueList"][0]["Description"].asString(),
              "100BASE-TX full duplex");
    EXPECT_EQ(port1["transmissionValueList"][1]["Value"].asInt(), 30);
    const Json::Value port2 =
        Call("GetPortParameter", Params({kIoBlock, "DAP_HF", "PORT2_HF", ""}));
    EXPECT_FALSE(port2["DCP_BoundarySupported"].asBool());  // its own setting wins
    EXPECT_FALSE(port2["PortDeactivationSupported"].asBool());
    const Json::Value legacy = Call("GetPortParameter", Params({kLegacy, "DAP1", "PORT1", "DAP1"}));
    EXPECT_EQ(legacy["transmissionValueList"][0]["Value"].asInt(), 16);
    EXPECT_EQ(ErrorCode("GetPortParameter", Params({kIoBlock, "DAP_HF", "IF_HF", ""})),
              kItemNotFound);

    struct Flag {
        const char* method;
        const char* submodule;
        Json::Value expected;
    } flags[] = {
        {"GetSubmoduleIRTsupportType", "IF_HF", kRtClass1 | kRtClass3},
        {"GetSubmoduleIRTsupportType", "SM_AI4", kRtClass1 | kRtClass3},
        {"GetSubmoduleIRTsupportType", "VSM_ST", kRtClass1},
        {"GetSubmoduleAPI", "SUB_DQ4", Json::Value(0x5000u)},
        {"GetSubmoduleAPI", "SM_DI16", Json::Value(0u)},
        {"IsSubmodulePROFIsafeSupported", "SM_FDI8", true},
        {"IsSubmodulePROFIsafeSupported", "SM_DI16", false},
        {"GetSubmoduleParamDisallowed", "SM_POWER", true},
        {"GetSubmoduleParamDisallowed", "SM_DI16", false},
    };
    for (const Flag& f : flags) {
        EXPECT_EQ(Call(f.method, Params({kIoBlock, f.submodule})), f.expected)
            << f.method << " " << f.submodule;
    }
}

TEST_F(CatalogServiceTest, AnswersDiagnosisTexts) {
    const Json::Value wire =
        Call("GetChannalDiagDescription", Params({kIoBlock, 6, true, 1, 0, 0u}));
    EXPECT_EQ(wire["AlarmNameText"].asString(), "Wire break");
    EXPECT_EQ(wire["AlarmHelpText"].asString(), "Check the wiring of the channel");
    EXPECT_EQ(wire["AlarmExtNameText"].asString(), "Sensor not connected");
    EXPECT_EQ(wire["AlarmExtHelpText"].asString(), "Connect the sensor");
    EXPECT_EQ(Call("GetChannalDiagDescription",
                   Params({kIoBlock, 6, false, 1, 0, 0u}))["AlarmExtNameText"],
              "");
    EXPECT_EQ(
        Call("GetChannalDiagDescription", Params({kIoBlock, 2, false, 0, 0, 0u}))["AlarmNameText"],
        "Undervoltage");
    EXPECT_EQ(Call("GetChannalDiagDescription",
                   Params({kIoBlock, 65535, true, 65535, 65535, 4294967295u}))["AlarmNameText"],
              "Unknown error type 0xFFFF");

    const Json::Value unit =
        Call("GetUnitDiagDescription", Params({kIoBlock, "0x0100", Params({5, 0x20})}));
    EXPECT_EQ(unit["Description"].asString(), "Supply fault");
    EXPECT_EQ(unit["Help"].asString(), "Check the load supply");
    EXPECT_EQ(unit["RefText"].asString(), "Group: 5\nCause: Voltage missing");
    EXPECT_EQ(Call("GetUnitDiagDescription", Params({kIoBlock, "256", Params({7})}))["RefText"]
                  .asString(),
              "Group: 7\nCause: ?");
    EXPECT_EQ(ErrorCode("GetUnitDiagDescription", Params({kIoBlock, "0x0200", Params({})})),
              kItemNotFound);
    EXPECT_EQ(ErrorCode("GetUnitDiagDescription", Params({kIoBlock, "0x0100", Params({256})})),
              ServerKit::kInvalidParams);
}

TEST_F(CatalogServiceTest, ComputesUpdateTimesFromSendClockAndReductionRatios) {
    const Json::Value oneMs = Call("CalcIoDeviceUpdateTime", Params({kIoBlock, "DAP_HF", 1.0}));
    EXPECT_TRUE(oneMs["IsValid"].asBool());
    std::vector<double> times;
    for (const Json::Value& entry : oneMs["Selector"]) {
        times.push_back(entry["Value"].asDouble());
    }
    EXPECT_THAT(times, ElementsAre(1, 2, 4, 8, 16, 32, 64, 128, 256, 512));
    // A single-precision 0.25 arrives widened; it still matches 8 ticks.
    const Json::Value quarter =
        Call("CalcIoDeviceUpdateTime", Params({kIoBlock, "DAP_HF", static_cast<double>(0.25f)}));
    EXPECT_DOUBLE_EQ(quarter["Selector"][0]["Value"].asDouble(), 0.25);
    EXPECT_EQ(quarter["Selector"][0]["SendClock"].asInt(), 8);
    // The standard access point only runs at 1 ms.
    const Json::Value refused = Call("CalcIoDeviceUpdateTime", Params({kIoBlock, "DAP_ST", 0.25}));
    EXPECT_FALSE(refused["IsValid"].asBool());
    EXPECT_TRUE(refused["Selector"].empty());
    // No send clock given: every combination, each time once, in order.
    const Json::Value all = Call("CalcIoDeviceUpdateTime", Params({kIoBlock, "", 0.0}));
    EXPECT_EQ(all["Selector"].size(), 14u);  // 0.25 ms to 2048 ms in powers of two
    EXPECT_DOUBLE_EQ(all["Selector"][13]["Value"].asDouble(), 2048.0);
    EXPECT_EQ(Call("CalcIoDeviceUpdateTime", Params({kLegacy, "", 1.0}))["Selector"].size(), 8u);

    const Json::Value iso = Call("GetSubMoudleIsoParam", Params({kIoBlock, "DAP_HF", "SM_AI4"}));
    EXPECT_EQ(iso["T_DC_Base"].asUInt(), 8u);
    EXPECT_EQ(iso["T_DC_Min"].asUInt(), 2u);
    EXPECT_EQ(iso["T_DC_Max"].asUInt(), 64u);
    EXPECT_EQ(iso["T_IO_Base"].asUInt(), 1000u);
    EXPECT_FALSE(iso["IsIsochroneModeRequired"].asBool());
    EXPECT_DOUBLE_EQ(iso["T_Cycle_MinMs"].asDouble(), 0.5);
    EXPECT_DOUBLE_EQ(iso["T_IO_InputMinMs"].asDouble(), 0.125);
    EXPECT_DOUBLE_EQ(iso["T_IO_OutputMinMs"].asDouble(), 0.25);
    const Json::Value none = Call("GetSubMoudleIsoParam", Params({kIoBlock, "DAP_HF", "SM_DI16"}));
    EXPECT_EQ(none["T_DC_Base"].asUInt(), 0u);
    EXPECT_DOUBLE_EQ(none["T_Cycle_MinMs"].asDouble(), 0.0);
}

TEST_F(CatalogServiceTest, PicksTheNewestFileOfEachDeviceAsTemplate) {
    std::string older = ReadBytes(kSamples / kIoBlock);
    older.replace(older.find("V2.43.xsd"), 9, "V2.35.xsd");
    const std::string olderName = "GSDML-V2.35-Samplevendor-IOBlock-20990101.xml";
    WriteBytes(dir_ / olderName, older);
    Start("", 0xFE01);
    ASSERT_TRUE(
        Call("TavrelImportGsdFile", Params({(dir_ / olderName).u8string()}))["IsSuccess"].asBool());

    const Json::Value templates = Call("GetGSDTemplateCatalogs", Params({}));
    EXPECT_THAT(Strings(templates, "BaseInfo", "GsdName"),
                ElementsAre(kLegacy, kIoBlock, kIoBlock));
    EXPECT_TRUE(templates[1]["IsKeltolineTemplate"].asBool());
    EXPECT_EQ(Call("GetKeltoTemplateGSDNameForPNView", Params({"ioblock-st", false})).asString(),
              kIoBlock);
    EXPECT_EQ(Call("GetKeltoTemplateGSDNameForPNView", Params({"SV LD-100", true})).asString(),
              kLegacy);
    EXPECT_EQ(Call("GetKeltoTemplateGSDNameForPNView", Params({"nothing", false})).asString(), "");
    EXPECT_EQ(Call("GetKeltoTemplateGSDVersionForWizard", Params({kLegacy})).asString(), "V2.1");
    EXPECT_EQ(Call("GetKeltoTemplateGSDVersionForWizard", Params({olderName})).asString(), "V2.35");

    Start("", 0);  // no house vendor: nothing is marked
    EXPECT_FALSE(Call("GetGSDTemplateCatalogs", Params({}))[0]["IsKeltolineTemplate"].asBool());
    EXPECT_EQ(Call("GetKeltoTemplateGSDNameForPNView", Params({"ioblock-st", true})).asString(),
              "");
}

TEST_F(CatalogServiceTest, AnswersInTheServersLanguage) {
    Start("de");
    EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["InfoText"].asString(),
              "IOBlock 200: modulare Peripherie f\xC3\xBCr PROFINET");
    EXPECT_EQ(
        Call("GetChannalDiagDescription", Params({kIoBlock, 6, true, 1, 0, 0u}))["AlarmNameText"],
        "Drahtbruch");
    EXPECT_EQ(Call("GetDapModuleInfo", Params({kIoBlock, "DAP_HF"}))["Name"].asString(),
              "IM 200 HF");
}

TEST_F(CatalogServiceTest, RefusesBadParamsAndUnknownNamesWithErrors) {
    struct Case {
        const char* method;
        Json::Value params;
        int code;
    } cases[] = {
        {"GetGsdDeviceInfo", Params({}), ServerKit::kInvalidParams},
        {"GetGsdDeviceInfo", Params({42}), ServerKit::kInvalidParams},
        {"GetGsdDeviceInfo", Json::Value(), ServerKit::kInvalidParams},
        {"GetGsdDeviceInfo", Params({"GSDML-none.xml"}), kGsdNotInstalled},
        {"GetGsdDeviceInfo", Params({"../" + kIoBlock}), kGsdNotInstalled},
        {"GetDapModuleInfo", Params({kIoBlock, "DAP_XX"}), kItemNotFound},
        {"GetModuleData", Params({kIoBlock, "DAP_HF", "MOD_XX"}), kItemNotFound},
        {"GetPluggableModuleSlotRelation", Params({kIoBlock, "DAP_ST", "MOD_AI4"}), kItemNotFound},
        {"GetSubModuleData", Params({kIoBlock, "", "SM_XX"}), kItemNotFound},
        {"GetSubModuleBaseInfo", Params({"", "DAP_HF", "MOD_MIX", "SM_DI16"}), kItemNotFound},
        {"GetChannalDiagDescription", Params({kIoBlock, "6", true, 1, 0, 0}),
         ServerKit::kInvalidParams},
        {"CalcIoDeviceUpdateTime", Params({kIoBlock, "", "fast"}), ServerKit::kInvalidParams},
        {"GetKeltoTemplateGSDNameForPNView", Params({"x", 1}), ServerKit::kInvalidParams},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorCode(c.method, c.params), c.code)
            << c.method << " " << c.params.toStyledString();
    }
    // Every method copes with missing params: either it needs none or it says so.
    for (const std::string& method : CatalogService::MethodNames()) {
        const Json::Value response = Exchange(method, Params({}));
        if (response.isMember("error")) {
            EXPECT_EQ(response["error"]["code"].asInt(), ServerKit::kInvalidParams) << method;
        }
    }
    EXPECT_EQ(CatalogService::MethodNames().size(), 35u);
}

// A file is only checked when imported; its index is built from the installed
// copy by the first query. Whatever that query is, it must answer as the
// index built at import did, in the server's language.
TEST_F(CatalogServiceTest, FirstQueryAfterImportAnswersAsLaterOnes) {
    const std::vector<std::pair<std::string, Json::Value>> queries = {
        {"GetGsdDeviceInfo", Params({kIoBlock})},
        {"GetDeviceCatalogs", Params({kLegacy})},
        {"GetPluggableModuleCatalog", Params({kIoBlock, "DAP_HF"})},
        {"GetSubMouleParameter", Params({kIoBlock, "", "SM_DI16"})},
        {"GetBuildInModuleData", Params({kIoBlock, "DAP_HF"})},
        {"GetGSDTemplateCatalogs", Params({})},
        {"GetSubModuleBaseInfo", Params({"", "DAP_HF", "MOD_MIX", "SUB_DQ4"})},
    };
    for (const auto& [method, params] : queries) {
        Start("de");
        const Json::Value report =
            Call("TavrelImportGsdFile", Params({(kSamples / kIoBlock).u8string()}));
        ASSERT_TRUE(report["IsSuccess"].asBool());
        const Json::Value first = Call(method, params);
        EXPECT_FALSE(first.empty()) << method;
        EXPECT_EQ(Call(method, params), first) << method;
    }
    Start("de");
    Call("TavrelImportGsdFile", Params({(kSamples / kIoBlock).u8string()}));
    EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["InfoText"].asString(),
              "IOBlock 200: modulare Peripherie f\xC3\xBCr PROFINET");
}

// The catalogue keeps no parsed copy of a file it has not been asked about
// yet, so the installed file is read again by the first query. If it went
// away or changed meanwhile, that query fails clearly instead of answering
// from something other than what was checked, and a refresh sorts it out.
TEST_F(CatalogServiceTest, FileChangedOnDiskBeforeItsFirstQueryGivesAClearError) {
    const std::string original = ReadBytes(kSamples / kIoBlock);
    const fs::path installed = dir_ / "catalog" / kIoBlock;
    struct Case {
        const char* what;
        std::function<void()> change;
        const char* reason;
    } cases[] = {
        {"removed", [&] { fs::remove(installed); }, "cannot read"},
        {"truncated", [&] { WriteBytes(installed, original.substr(0, original.size() / 2)); },
         "changed since it was installed"},
        {"replaced by another valid file", [&] { WriteBytes(installed, MiniGsd()); },
         "changed since it was installed"},
        {"grown beyond any GSD file",
         [&] { fs::resize_file(installed, 40u * 1024u * 1024u); },  // sparse: no disk space
         "more than"},
        {"a directory now",
         [&] {
             fs::remove(installed);
             fs::create_directories(installed);
         },
         "cannot"},
    };
    for (const Case& c : cases) {
        Start();  // a fresh server finds the files, indexes none of them yet
        ASSERT_EQ(Call("GetInstalledGSDsNames", Params({})).size(), 2u);
        c.change();
        for (const auto& [method, params] : std::vector<std::pair<std::string, Json::Value>>{
                 {"GetGsdDeviceInfo", Params({kIoBlock})},
                 {"GetGSDTemplateCatalogs", Params({})},
                 {"GetGsdDeviceInfo", Params({kIoBlock})}}) {
            const Json::Value response = Exchange(method, params);
            EXPECT_EQ(response["error"]["code"].asInt(), kGsdUnreadable) << c.what << " " << method;
            EXPECT_THAT(response["error"]["message"].asString(), HasSubstr(c.reason)) << c.what;
            EXPECT_THAT(response["error"]["message"].asString(), HasSubstr(kIoBlock)) << c.what;
        }
        // Other files are unaffected.
        EXPECT_EQ(Call("GetDapModuleInfo", Params({kLegacy, "DAP1"}))["GsdId"].asString(), "DAP1");
        // Putting the checked bytes back serves the file again: a failed read
        // is not remembered.
        fs::remove_all(installed);
        WriteBytes(installed, original);
        EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["VendorName"].asString(),
                  "Samplevendor Automation")
            << c.what;
    }
}

TEST_F(CatalogServiceTest, RefreshPicksUpAFileChangedOnDisk) {
    const fs::path installed = dir_ / "catalog" / kIoBlock;
    Start();
    ASSERT_EQ(Call("GetInstalledGSDsNames", Params({})).size(), 2u);  // scanned, not indexed
    WriteBytes(installed, MiniGsd());
    EXPECT_EQ(ErrorCode("GetGsdDeviceInfo", Params({kIoBlock})), kGsdUnreadable);
    Call("TavrelRefreshGsds", Params({}));
    EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["VendorName"].asString(), "V");

    fs::remove(installed);
    Call("TavrelRefreshGsds", Params({}));
    EXPECT_EQ(ErrorCode("GetGsdDeviceInfo", Params({kIoBlock})), kGsdNotInstalled);
}

TEST(CatalogOptions, ResolvesTheDirectoryFromOptionEnvironmentOrExecutable) {
    const fs::path exe = fs::path("opt") / "srv" / "TavrelPNRunner";
    EXPECT_EQ(ResolveCatalogDirectory("", nullptr, exe), fs::path("opt") / "srv" / "catalog");
    EXPECT_EQ(ResolveCatalogDirectory("", "", exe), fs::path("opt") / "srv" / "catalog");
    EXPECT_EQ(ResolveCatalogDirectory("", "envdir", exe), fs::path("envdir"));
    EXPECT_EQ(ResolveCatalogDirectory("optdir", "envdir", exe), fs::path("optdir"));

    const CatalogOptions parsed = ParseCatalogArguments(
        {"--catalog", "c1", "--template-vendor=0xFE01", "-l", "--catalog=c2"}, exe);
    EXPECT_EQ(parsed.directory, fs::path("c1"));  // arguments after "-l" are the language's
    EXPECT_EQ(parsed.templateVendorId, 0xFE01u);
    EXPECT_EQ(ParseCatalogArguments({"--catalog=c3"}, exe).directory, fs::path("c3"));
}

}  // namespace

// The drive sample is written the way vendors write: partial and missing slot
// names, virtual submodules fixed in subslots 2 and 3, modules plugged only
// through their submodule references, a lower-case schema file name.
TEST_F(CatalogServiceTest, AnswersVendorStyleFilesAsAnEngineerReadsThem) {
    const std::string drive = "GSDML-V2.1-Quellbrook-QD300-20110920.xml";
    std::string older = ReadBytes(kSamples / drive);
    older.replace(older.find("-v2.1.xsd"), 9, "-V2.0.xsd");
    const fs::path olderPath = dir_ / "GSDML-V2.0-Quellbrook-QD300-20990101.xml";
    WriteBytes(olderPath, older);
    for (const fs::path& path : {kSamples / drive, olderPath}) {
        ASSERT_TRUE(Call("TavrelImportGsdFile", Params({path.u8string()}))["IsSuccess"].asBool());
    }
    // Follows `path` ("0/Item/SlotName"; "*" maps over an array) into `value`.
    const std::function<Json::Value(const Json::Value&, const std::string&)> at =
        [&at](const Json::Value& value, const std::string& path) -> Json::Value {
        if (path.empty()) {
            return value;
        }
        const std::size_t slash = path.find('/');
        const std::string step = path.substr(0, slash);
        const std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
        if (step == "*") {
            Json::Value all(Json::arrayValue);
            for (const Json::Value& element : value) {
                all.append(at(element, rest));
            }
            return all;
        }
        const bool index = step.find_first_not_of("0123456789") == std::string::npos;
        return at(index ? value[std::stoi(step)] : value[step], rest);
    };
    const std::string dap = "IDD_QD300_PN";
    const struct {
        const char* method;
        std::vector<std::string> params;
        const char* path;
        std::string expected;  // JSON
    } kCases[] = {
        // Slot names: the SlotList's, else the module's name.
        {"GetBuildInModuleData",
         {drive, dap},
         "*/Item/SlotName",
         R"(["QD 300 PN", "Drive object", "Telegram"])"},
        {"GetBuildInModuleData",
         {drive, "IDD_QD300_PN_BASIC"},
         "*/Item/SlotName",
         R"(["QD 300 PN basic", "Servo axis", "Telegram module"])"},
        {"GetModuleData", {drive, dap, "IDM_SAFETY"}, "Item/SlotName", R"("Safety Integrated")"},
        // Subslot names: one rule wherever a submodule is shown.
        {"GetSubModuleData", {drive, dap, "IDS_IF"}, "Item/SlotName", R"("X150")"},
        {"GetSubModuleData", {drive, dap, "IDS_P2"}, "Item/SlotName", R"("Port 2")"},
        {"GetSubModuleData",
         {drive, "", "IDS_AXIS_DO"},
         "Item/SlotName",
         R"("Drive object access")"},
        // Virtual submodules fixed in subslots other than 1.
        {"GetBuildInModuleData",
         {drive, dap},
         "0/SubItems/*/SlotNumber",
         "[1, 2, 32768, 32769, 32770]"},
        {"GetBuildInModuleData", {drive, dap}, "1/SubItems/*/SlotNumber", "[1, 2, 3]"},
        {"GetModulePhysicalSlots", {drive, dap, "IDM_AXIS"}, "", "[1, 2, 3]"},
        {"GetModuleData",
         {drive, "", "IDM_AXIS"},
         "Item/IoData",
         R"({"IoType": 1, "Isize": 12, "Osize": 0})"},
        // A pluggable submodule goes to the first allowed subslot no fixed one holds.
        {"GetSubModuleData", {drive, "", "IDS_SAFE_TLG30"}, "Item/SlotNumber", "2"},
        {"GetSubModuleData", {drive, "", "IDS_SAFE_DIAG"}, "Item/SlotNumber", "2"},
        {"GetSubModuleData", {drive, "", "IDS_SAFE_BASE"}, "Item/IsMandatory", "true"},
        // The schema version whatever the case of the file name; the newer
        // schema wins the template choice over the later file name.
        {"GetKeltoTemplateGSDVersionForWizard", {drive}, "", R"("V2.1")"},
        {"GetGSDTemplateCatalogs",
         {},
         "*/BaseInfo/GsdName",
         R"([")" + drive + R"(", ")" + drive + R"(", ")" + kLegacy + R"(", ")" + kIoBlock +
             R"(", ")" + kIoBlock + R"("])"},
        // A module without virtual submodules: what it comes plugged with.
        {"GetModuleData",
         {drive, dap, "IDM_TLG"},
         "Item/IoData",
         R"({"IoType": 3, "Isize": 28, "Osize": 28})"},
        {"GetModuleData",
         {kIoBlock, "DAP_HF", "MOD_MIX"},
         "Item/IoData",
         R"({"IoType": 3, "Isize": 5, "Osize": 4})"},
        // Value lists keep the file's order beside the object.
        {"GetSubMouleParameter",
         {drive, "", "IDS_TLG_SUPPL"},
         "0/MenuItem/RecordDataList/0/ValueOrder",
         R"(["0", "16", "100", "101", "160"])"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.path);
        Json::Value params(Json::arrayValue);
        for (const std::string& param : c.params) {
            params.append(param);
        }
        Json::Value expected;
        std::istringstream text(c.expected);
        ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), text, &expected, nullptr));
        const Json::Value actual = at(Call(c.method, params), c.path);
        EXPECT_EQ(actual, expected) << actual.toStyledString();
    }
}
