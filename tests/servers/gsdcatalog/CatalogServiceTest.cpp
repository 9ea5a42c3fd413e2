// SPDX-License-Identifier: Apache-2.0
#include "CatalogService.h"
#include "GsdTestSupport.h"
#include "servers/ServerTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;
using ::testing::HasSubstr;
using TestJson::Params;

const std::string kDrive = "GSDML-V2.1-Quellbrook-QD300-20110920.xml";

// Whether `actual` holds all of `expected`: an object may have more members,
// an array has exactly the expected elements, numbers compare by value, and
// a string "~text" stands for any string holding that text.
bool Covers(const Json::Value& actual, const Json::Value& expected) {
    bool same = expected.type() == actual.type() || (expected.isNumeric() && actual.isNumeric());
    if (expected.isObject()) {
        for (const std::string& name : expected.getMemberNames()) {
            same = same && actual.isMember(name) && Covers(actual[name], expected[name]);
        }
        return same;
    }
    if (expected.isArray()) {
        same = same && actual.size() == expected.size();
        for (Json::ArrayIndex i = 0; same && i < expected.size(); ++i) {
            same = Covers(actual[i], expected[i]);
        }
        return same;
    }
    if (expected.isString() && expected.asString().rfind('~', 0) == 0) {  // "~part of it"
        return same && actual.asString().find(expected.asString().substr(1)) != std::string::npos;
    }
    return expected.isNumeric() && same ? actual.asDouble() == expected.asDouble()
                                        : actual == expected;
}

// Follows `path` ("0/Item/SlotName"; "*" maps over an array) into `value`.
Json::Value At(const Json::Value& value, const std::string& path) {
    if (path.empty()) {
        return value;
    }
    const std::size_t slash = path.find('/');
    const std::string step = path.substr(0, slash);
    const std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
    Json::Value all(Json::arrayValue);
    for (Json::ArrayIndex i = 0; step == "*" && i < value.size(); ++i) {
        all.append(At(value[i], rest));
    }
    return step == "*" ? all
           : step.find_first_not_of("0123456789") == std::string::npos
               ? At(value[std::stoi(step)], rest)
               : At(value[step], rest);
}

// A question and what the answer at `path` must cover; "$io", "$legacy" and
// "$drive" stand for the sample files' names; errors are followed from the top.
struct Row {
    const char* method;
    std::string params;
    const char* path;
    std::string expected;
};

class CatalogServiceTest : public ::testing::Test {
protected:
    void Start(const std::string& language = "", std::uint32_t templateVendor = 0) {
        dispatcher_ = std::make_unique<ServerKit::RpcDispatcher>();
        RegisterCatalogMethods(*dispatcher_, {dir_ / "catalog", language, templateVendor});
    }

    void SetUp() override {
        Start();
        Import(kSamples / kIoBlock);
        Import(kSamples / kLegacy);
    }

    void Import(const fs::path& path) {
        const Json::Value report = Call("TavrelImportGsdFile", Params({path.u8string()}));
        ASSERT_TRUE(report["IsSuccess"].asBool()) << report;
    }

    // The whole answer; calls that change the catalogue are made once only.
    Json::Value Exchange(const std::string& method, const Json::Value& params) {
        return ServerTest::Call(*dispatcher_, method, params, method.rfind("Tavrel", 0) == 0);
    }

    Json::Value Call(const std::string& method, const Json::Value& params) {
        const Json::Value response = Exchange(method, params);
        EXPECT_FALSE(response.isMember("error")) << method << ": " << response;
        return response["result"];
    }

    void Expect(const std::vector<Row>& rows) {
        const auto named = [](std::string text) {
            for (const auto& [key, name] : {std::pair<std::string, std::string>{"$io", kIoBlock},
                                            {"$legacy", kLegacy},
                                            {"$drive", kDrive}}) {
                for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
                    text.replace(at, key.size(), name);
                }
            }
            return TestJson::ParseJson(text);
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.method) + " " + row.params + " " + row.path);
            const Json::Value response = Exchange(row.method, named(row.params));
            const Json::Value actual =
                At(response.isMember("error") ? response : response["result"], row.path);
            EXPECT_TRUE(Covers(actual, named(row.expected))) << actual;
        }
    }

    ScratchDir dir_;
    std::unique_ptr<ServerKit::RpcDispatcher> dispatcher_;
};

TEST_F(CatalogServiceTest, ManagesInstalledFiles) {
    const Json::Value installed = Call("TavrelGetInstalledGsds", Params({}));
    ASSERT_EQ(installed.size(), 2u);
    EXPECT_EQ(installed[0]["GsdName"].asString(), kLegacy);
    EXPECT_EQ(fs::u8path(installed[0]["FilePath"].asString()), dir_ / "catalog" / kLegacy);
    EXPECT_EQ(installed[0]["HashValueString"],
              "c5cc96ca2acf27fe1fcf6606b88d848c7eff9735e38d2134e55a72d570b8db27");  // SHA-256
    EXPECT_TRUE(std::regex_match(installed[0]["InstallDateTime"].asString(),
                                 std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)")));
    EXPECT_EQ(fs::u8path(Call("GetGSDPath", Params({kLegacy})).asString()),
              dir_ / "catalog" / kLegacy);
    // clang-format off
    Expect({
        {"GetInstalledGSDsNames", "[]", "", R"(["$legacy", "$io"])"},
        {"GetGSDPath", R"(["GSDML-unknown.xml"])", "", R"("")"},
        {"TavrelRemoveGsdFile", R"(["$legacy"])", "", R"({"IsSuccess": true, "GsdName": "$legacy", "ErrorMessages": []})"},
        {"TavrelRefreshGsds", "[]", "", R"(["$io"])"},
        {"GetInstalledGSDsNames", "[]", "", R"(["$io"])"},
    });
    // clang-format on
}

// A refused import (its copy is written before the check) leaves the
// installed file of that name and no temporary; nothing outside is removed.
TEST_F(CatalogServiceTest, RefusedImportsAndRemovalsLeaveTheCatalogueAsItWas) {
    const fs::path source = dir_ / "source";
    fs::create_directories(source);
    WriteBytes(source / "broken.xml", "<ISO15745Profile><ProfileBody>");
    WriteBytes(source / "notes.txt", ReadBytes(kSamples / kLegacy));
    WriteBytes(source / "huge.xml", "");
    fs::resize_file(source / "huge.xml", 100u * 1024u * 1024u);  // sparse: costs no disk space
    WriteBytes(source / kIoBlock, MiniGsd("<SlotList><SlotItem TextId=\"X\"/></SlotList>"));
    WriteBytes(dir_ / "victim.xml", "keep me");
    WriteBytes(dir_ / "catalog" / "readme.txt", "not a GSD file");
    const auto in = [](const fs::path& path) { return "[\"" + path.generic_u8string() + "\"]"; };
    // clang-format off
    Expect({
        {"TavrelImportGsdFile", in(source / "broken.xml"), "",
         R"({"IsSuccess": false, "IsValid": false, "GsdName": "broken.xml",
             "ErrorMessages": ["~not well-formed XML"]})"},
        {"TavrelImportGsdFile", in(source / "huge.xml"), "ErrorMessages/0", R"("~more than")"},
        {"TavrelImportGsdFile", in(source / "notes.txt"), "ErrorMessages/0", R"("~does not name")"},
        {"TavrelImportGsdFile", in(source / "missing.xml"), "ErrorMessages/0", R"("~cannot read")"},
        {"TavrelImportGsdFile", in(source / kIoBlock), "IsValid", "false"},
        {"GetGsdDeviceInfo", R"(["$io"])", "VendorName", R"("Samplevendor Automation")"},
        {"TavrelRemoveGsdFile", R"(["../victim.xml"])", "",
         R"({"IsSuccess": false, "ErrorMessages": [
             "\"../victim.xml\" is not a file name inside the catalogue"]})"},
        {"TavrelRemoveGsdFile", in(dir_ / "victim.xml"), "ErrorMessages/0", R"("~not a file name")"},
        {"TavrelRemoveGsdFile", R"([".."])", "ErrorMessages/0", R"("~not a file name")"},
        {"TavrelRemoveGsdFile", R"([""])", "ErrorMessages/0", R"("~not a file name")"},
        {"TavrelRemoveGsdFile", R"(["sub/x.xml"])", "ErrorMessages/0", R"("~not a file name")"},
        {"TavrelRemoveGsdFile", R"(["..\\victim.xml"])", "ErrorMessages/0", R"("~not a file name")"},
        {"TavrelRemoveGsdFile", R"(["GSDML-none.xml"])", "ErrorMessages/0", R"("~not installed")"},
        {"TavrelRemoveGsdFile", R"(["readme.txt"])", "ErrorMessages/0", R"("~not the name of a GSD")"},
        {"GetInstalledGSDsNames", "[]", "", R"(["$legacy", "$io"])"},
    });
    // clang-format on
    EXPECT_TRUE(fs::exists(dir_ / "victim.xml"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / "catalog")) {
        names.push_back(entry.path().filename().u8string());
    }
    EXPECT_THAT(names, ::testing::UnorderedElementsAre(kLegacy, kIoBlock, "readme.txt"));

    // A valid file of that name replaces it and is answered from (built from
    // the installed copy, checked against its hash); importing the installed
    // copy itself keeps it in place.
    WriteBytes(source / kIoBlock, MiniGsd());
    Import(source / kIoBlock);
    Import(dir_ / "catalog" / kIoBlock);
    EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["VendorName"], "V");
    // A target that cannot be replaced (a folder of that name) fails the
    // import once the retries are spent, instead of waiting forever.
    fs::remove(dir_ / "catalog" / kIoBlock);
    fs::create_directories(dir_ / "catalog" / kIoBlock / "x");
    EXPECT_EQ(Call("TavrelImportGsdFile", Params({(kSamples / kIoBlock).u8string()}))["IsSuccess"],
              false);
}

TEST_F(CatalogServiceTest, AnswersQueriesAboutTheInstalledFiles) {
    WriteBytes(
        dir_ / "GSDML-records.xml",
        WithRecord(
            R"(<Ref ID="R" DataType="Unsigned8" ByteOffset="0" TextId="N" ValueItemTarget="VA"/><MenuList><MenuItem ID="M"><Name TextId="N"/><ParameterRef ParameterTarget="R"/></MenuItem></MenuList>)",
            R"(<ValueList><ValueItem ID="VA"><Assignments><Assign Content="1" TextId="N"/><Assign Content="0" TextId="N"/><Assign Content="1" TextId="T"/></Assignments></ValueItem></ValueList>)",
            R"(<Text TextId="T" Value="Again"/>)"));
    Import(dir_ / "GSDML-records.xml");
    // clang-format off
    Expect({
        {"GetGsdDeviceInfo", R"(["$io"])", "",
         R"({"DeviceIdentNumber": 2576, "InfoText": "IOBlock 200: modular IO for PROFINET",
             "MainFamily": "I/O", "ProductFamily": "IOBlock 200", "VendorIdentNumber": 65025,
             "VendorName": "Samplevendor Automation"})"},
        {"GetDeviceCatalogs", R"(["$io"])", "",
         R"([{"DNSCompatibleName": "ioblock-hf", "SupportRTType": 5, "IsG2": true, "BaseInfo":
              {"GsdName": "$io", "GsdId": "DAP_HF", "Category": "Head modules", "SubCategory":
              "High feature", "SoftwareRelease": "V2.1.0", "OrderNumber": "SV 200-1HF00"}},
              {"SupportRTType": 1}])"},
        // An access point without categories is filed under the device family.
        {"GetDapModuleInfo", R"(["$legacy", "DAP1"])", "",
         R"({"Category": "Drives", "Description": "Drive interface, Gr\u00f6\u00dfe 1"})"},
        {"GetPluggableModuleCatalog", R"(["$io", "DAP_HF"])", "*/BaseInfo/GsdId",
         R"(["MOD_DI16", "MOD_DQ8", "MOD_AI4", "MOD_FDI8", "MOD_MIX"])"},
        {"GetPluggableModuleCatalog", R"(["$io", "DAP_ST"])", "*/BaseInfo/GsdId", R"(["MOD_DI16", "MOD_DQ8"])"},
        {"GetPluggableModuleSlotRelation", R"(["$io", "DAP_HF", "MOD_FDI8"])", "", "[3, 4, 5, 6, 7, 8]"},
        {"GetDevicePhysicalSlots", R"(["$io", "DAP_ST"])", "", "[0, 1, 2, 3, 4]"},
        {"GetBuildInModuleData", R"(["$io", "DAP_HF"])", "",
         R"([{"Item": {"Type": 0, "SlotName": "Head"}, "virSubmoduleRefId": "VSM_HF", "SubItems":
              [{"Info": {"GsdID": "VSM_HF"}}, {"Info": {"GsdID": "IF_HF"}}, {"Info": {"GsdID":
              "PORT1_HF"}, "SlotNumber": 32769, "SlotName": "X1 P1"}, {"Info": {"GsdID":
              "PORT2_HF"}}]}, {"Item": {"Info": {"GsdID": "MOD_POWER"}, "SlotNumber": 1,
              "IsMandatory": true, "IoData": {"IoType": 1, "Isize": 1}}}, {"Item": {"Info":
              {"GsdID": "MOD_DI16"}, "IsMandatory": false}}])"},
        {"GetBuildInModuleData", R"(["$io", "DAP_ST"])", "*/Item/SlotNumber", "[0, 4]"},
        // SUB_CNT is fixed in its subslot, so not offered.
        {"GetPluggableSubModuleListCatalog", R"(["$io", "DAP_HF", "MOD_MIX"])", "",
         R"([{"BaseInfo": {"GsdId": "SUB_DI4"}, "SupportRTType": 5}, {"BaseInfo": {"GsdId":
             "SUB_DQ4", "Category": "Digital outputs"}}])"},
        {"GetDeviceSubModuleListCatalog", R"(["$io", "DAP_ST"])", "*/BaseInfo/GsdId", R"(["SUB_DI4"])"},
        {"GetDeviceSubModuleListCatalog", R"(["$io", "DAP_HF"])", "", "[]"},
        {"GetPluggableSubModuleSlotRelation", R"(["$io", "", "MOD_MIX"])", "",
         R"([{"ModuleRefId": "SUB_DI4", "Subslots": [1, 2, 3]}, {"ModuleRefId": "SUB_DQ4",
             "Subslots": [2, 3]}, {"ModuleRefId": "SUB_CNT", "Subslots": [3]}])"},
        {"GetModulePhysicalSlots", R"(["$io", "DAP_HF", "MOD_MIX"])", "", "[1, 2, 3]"},
        {"GetModulePhysicalSlots", R"(["$io", "DAP_HF", "DAP_HF"])", "", "[1, 32768, 32769, 32770]"},
        {"GetModuleData", R"(["$io", "DAP_HF", "MOD_MIX"])", "",
         R"({"Item": {"SlotNumber": 2, "IsMandatory": false}, "virSubmoduleRefId": "", "SubItems":
             [{"Info": {"GsdID": "SUB_DI4"}}, {"Info": {"GsdID": "SUB_CNT"}, "IoData": {"IoType":
             3}}]})"},
        {"GetSubModuleData", R"(["$io", "", "SUB_DQ4"])", "Item", R"({"Type": 3, "IoData": {"IoType": 2, "Isize": 0, "Osize": 2}})"},
        // No file named: every installed file is searched. The no-break space stays.
        {"GetSubModuleBaseInfo", R"(["", "DAP_HF", "MOD_MIX", "SUB_DQ4"])", "",
         R"({"Name": "DQ\u00a04 submodule", "IdentNumber": "0x00000902", "OrderNumber":
             "SV 200-8DQ04"})"},
        {"GetSubModuleBaseInfo", R"(["$legacy", "DAP1", "DAP1", "PORT1"])", "GsdID", R"("PORT1")"},
        {"GetModuleVirSubSlotAndAPI", R"(["$io", "", "MOD_AI4"])", "", R"({"isExist": true, "virSubslot": 1, "virAPI": 14848})"},
        {"GetModuleVirSubSlotAndAPI", R"(["$io", "", "MOD_MIX"])", "isExist", "false"},
        // Records with their nested menus and value texts.
        {"GetSubMouleParameter", R"(["$io", "", "SM_DI16"])", "",
         R"([{"Index": 1, "Length": 4, "MenuItem": {"Name": "Input parameters", "RecordDataList":
              [{"Name": "Input delay", "TextId": "T_P_Filter", "DefaultValue": "3", "DataType": 7,
              "MinValue": "0", "MaxValue": "15", "ValueOrder": ["0", "3", "15"], "Values": {"0":
              "0.1 ms", "3": "3 ms", "15": "15 ms"}}], "MenuItems": [{"Name": "Diagnosis",
              "RecordDataList": [ {"ValueOrder": ["0", "1"], "MaxValue": "1", "Values": {"0":
              "Disabled", "1": "Enabled"}}], "MenuItems": [{"GsdId": "M_Expert", "RecordDataList": [
              {"ValueOrder": ["0", "1"], "MaxValue": "1", "Values": {"0": "Disabled", "1":
              "Enabled"}}, {"BitOffset": 0, "DataType": 2, "MaxValue": "15"}, {"IsChangeable":
              false, "MinValue": "1", "MaxValue": "200"}]}]}]}}])"},
        // An unnamed record takes its root menu's name; a content assigned twice, the last text.
        {"GetSubMouleParameter", R"(["GSDML-records.xml", "", "V"])", "0/MenuItem",
         R"({"Name": "Name", "RecordDataList": [{"Values": {"1": "Again"}}]})"},
        // A record without menus lists its parameters directly.
        {"GetSubMouleParameter", R"(["$io", "DAP_HF", "VSM_HF"])", "", R"([{"MenuItem": {"RecordDataList": [{}, {}], "MenuItems": []}}])"},
        {"GetSubMouleParameter", R"(["$io", "", "SM_DQ8"])", "", "[]"},
        {"GetWriteableIMRecords", R"(["$io", "DAP_HF", ""])", "", "[1, 2, 3]"},
        {"GetWriteableIMRecords", R"(["$io", "DAP_ST", "VSM_ST"])", "", "[1]"},
        // Port 1 takes its DCP boundary from its interface; port 2's own setting wins.
        {"GetPortParameter", R"(["$io", "DAP_HF", "PORT1_HF", ""])", "",
         R"({"DCP_BoundarySupported": true, "PTP_BoundarySupported": true,
             "PortDeactivationSupported": true, "transmissionValueList": [ {"Description":
             "100BASE-TX full duplex", "Value": 16}, {"Description": "1000BASE-T full duplex",
             "Value": 30}]})"},
        {"GetPortParameter", R"(["$io", "DAP_HF", "PORT2_HF", ""])", "",
         R"({"DCP_BoundarySupported": false, "PortDeactivationSupported": false})"},
        {"GetPortParameter", R"(["$legacy", "DAP1", "PORT1", "DAP1"])", "transmissionValueList/0/Value", "16"},
        {"GetSubmoduleIRTsupportType", R"(["$io", "IF_HF"])", "", "5"},
        {"GetSubmoduleIRTsupportType", R"(["$io", "SM_AI4"])", "", "5"},
        {"GetSubmoduleIRTsupportType", R"(["$io", "VSM_ST"])", "", "1"},
        {"GetSubmoduleIRTsupportType", R"(["$legacy", "IF"])", "", "1"},
        {"GetSubmoduleAPI", R"(["$io", "SUB_DQ4"])", "", "20480"},
        {"GetSubmoduleAPI", R"(["$io", "SM_DI16"])", "", "0"},
        {"IsSubmodulePROFIsafeSupported", R"(["$io", "SM_FDI8"])", "", "true"},
        {"IsSubmodulePROFIsafeSupported", R"(["$io", "SM_DI16"])", "", "false"},
        {"GetSubmoduleParamDisallowed", R"(["$io", "SM_POWER"])", "", "true"},
        {"GetSubmoduleParamDisallowed", R"(["$io", "SM_DI16"])", "", "false"},
        {"GetChannalDiagDescription", R"(["$io", 6, true, 1, 0, 0])", "",
         R"({"AlarmNameText": "Wire break", "AlarmHelpText": "Check the wiring of the channel",
             "AlarmExtNameText": "Sensor not connected", "AlarmExtHelpText":
             "Connect the sensor"})"},
        {"GetChannalDiagDescription", R"(["$io", 6, false, 1, 0, 0])", "AlarmExtNameText", R"("")"},
        {"GetChannalDiagDescription", R"(["$io", 2, false, 0, 0, 0])", "AlarmNameText", R"("Undervoltage")"},
        {"GetChannalDiagDescription", R"(["$io", 65535, true, 65535, 65535, 4294967295])",
         "AlarmNameText", R"("Unknown error type 0xFFFF")"},
        {"GetUnitDiagDescription", R"(["$io", "0x0100", [5, 32]])", "",
         R"({"Description": "Supply fault", "Help": "Check the load supply", "RefText":
             "Group: 5\nCause: Voltage missing"})"},
        {"GetUnitDiagDescription", R"(["$io", "256", [7]])", "RefText", R"("Group: 7\nCause: ?")"},
        // Update times from the send clock and the reduction ratios.
        {"CalcIoDeviceUpdateTime", R"(["$io", "DAP_HF", 1.0])", "",
         R"({"IsValid": true, "Selector": [ {"ReductionRatio": 1, "SendClock": 32, "Value": 1},
             {"Value": 2}, {"Value": 4}, {"Value": 8}, {"Value": 16}, {"Value": 32}, {"Value": 64},
             {"Value": 128}, {"Value": 256}, {"ReductionRatio": 512, "SendClock": 32, "Value": 512}]})"},
        {"CalcIoDeviceUpdateTime", R"(["$io", "DAP_HF", 0.25])", "Selector/0", R"({"ReductionRatio": 1, "SendClock": 8, "Value": 0.25})"},
        // The standard access point only runs at 1 ms.
        {"CalcIoDeviceUpdateTime", R"(["$io", "DAP_ST", 0.25])", "", R"({"IsValid": false, "Selector": []})"},
        // No send clock given: every combination, each time once, in order.
        {"CalcIoDeviceUpdateTime", R"(["$io", "", 0.0])", "Selector/*/Value",
         "[0.25, 0.5, 1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048]"},
        {"CalcIoDeviceUpdateTime", R"(["$legacy", "", 1.0])", "Selector/*/Value", "[1, 2, 4, 8, 16, 32, 64, 128]"},
        {"GetSubMoudleIsoParam", R"(["$io", "DAP_HF", "SM_AI4"])", "",
         R"({"IsIsochroneModeRequired": false, "T_Cycle_MinMs": 0.5, "T_DC_Base": 8, "T_DC_Max": 64,
             "T_DC_Min": 2, "T_IO_Base": 1000, "T_IO_InputMin": 125, "T_IO_InputMinMs": 0.125,
             "T_IO_OutputMin": 250, "T_IO_OutputMinMs": 0.25})"},
        {"GetSubMoudleIsoParam", R"(["$io", "DAP_HF", "SM_DI16"])", "", R"({"T_DC_Base": 0, "T_Cycle_MinMs": 0.0})"},
        // Refusals: bad params, files not installed, names the file lacks.
        {"GetGsdDeviceInfo", "[42]", "error/code", "-32602"},
        {"GetGsdDeviceInfo", "null", "error/code", "-32602"},
        {"GetGsdDeviceInfo", R"(["GSDML-none.xml"])", "error/code", "-32001"},
        {"GetDapModuleInfo", R"(["$io", "DAP_XX"])", "error/code", "-32002"},
        {"GetPluggableModuleSlotRelation", R"(["$io", "DAP_ST", "MOD_AI4"])", "error/code", "-32002"},
        {"GetSubModuleData", R"(["$io", "", "SM_XX"])", "error/code", "-32002"},
        {"GetSubModuleBaseInfo", R"(["", "DAP_HF", "MOD_MIX", "SM_DI16"])", "error/code", "-32002"},
        {"GetPortParameter", R"(["$io", "DAP_HF", "IF_HF", ""])", "error/code", "-32002"},
        {"GetUnitDiagDescription", R"(["$io", "0x0200", []])", "error/code", "-32002"},
        {"GetUnitDiagDescription", R"(["$io", "0x0100", [256]])", "error/code", "-32602"},
        {"GetChannalDiagDescription", R"(["$io", "6", true, 1, 0, 0])", "error/code", "-32602"},
        {"CalcIoDeviceUpdateTime", R"(["$io", "", "fast"])", "error/code", "-32602"},
        {"GetKeltoTemplateGSDNameForPNView", R"(["x", 1])", "error/code", "-32602"},
    });
    // clang-format on
    // Every method copes with missing params: either it needs none or it says so.
    for (const std::string& method : CatalogService::MethodNames()) {
        const Json::Value response = Exchange(method, Params({}));
        if (response.isMember("error")) {
            EXPECT_EQ(response["error"]["code"].asInt(), ServerKit::kInvalidParams) << method;
        }
    }
    EXPECT_EQ(CatalogService::MethodNames().size(), 35u);
}

TEST_F(CatalogServiceTest, PicksTheNewestFileOfEachDeviceAsTemplateInTheServersLanguage) {
    // The minor part is a fraction: 2.100 is older than 2.43, though later by name.
    std::string older = ReadBytes(kSamples / kIoBlock);
    older.replace(older.find("V2.43.xsd"), 9, "V2.100.xsd");
    WriteBytes(dir_ / "GSDML-V2.100-Samplevendor-IOBlock-20990101.xml", older);
    Start("de", 0xFE01);
    Import(dir_ / "GSDML-V2.100-Samplevendor-IOBlock-20990101.xml");
    // clang-format off
    Expect({
        {"GetGSDTemplateCatalogs", "[]", "*/BaseInfo/GsdName", R"(["$legacy", "$io", "$io"])"},
        {"GetGSDTemplateCatalogs", "[]", "1/IsKeltolineTemplate", "true"},
        {"GetKeltoTemplateGSDNameForPNView", R"(["ioblock-st", false])", "", R"("$io")"},
        {"GetKeltoTemplateGSDNameForPNView", R"(["SV LD-100", true])", "", R"("$legacy")"},
        {"GetKeltoTemplateGSDNameForPNView", R"(["nothing", false])", "", R"("")"},
        {"GetKeltoTemplateGSDVersionForWizard", R"(["$legacy"])", "", R"("V2.1")"},
        {"GetKeltoTemplateGSDVersionForWizard", R"(["GSDML-V2.100-Samplevendor-IOBlock-20990101.xml"])", "", R"("V2.100")"},
        {"GetGsdDeviceInfo", R"(["$io"])", "InfoText", R"("IOBlock 200: modulare Peripherie f\u00fcr PROFINET")"},
        {"GetChannalDiagDescription", R"(["$io", 6, true, 1, 0, 0])", "AlarmNameText", R"("Drahtbruch")"},
        {"GetDapModuleInfo", R"(["$io", "DAP_HF"])", "Name", R"("IM 200 HF")"},
    });
    // clang-format on
    Start("", 0);  // no house vendor: nothing is marked
    // clang-format off
    Expect({
        {"GetGSDTemplateCatalogs", "[]", "0/IsKeltolineTemplate", "false"},
        {"GetKeltoTemplateGSDNameForPNView", R"(["ioblock-st", true])", "", R"("")"},
    });
    // clang-format on
}

// The first query builds the index from the installed copy (every query
// elsewhere is asked twice and the answers compared, so later ones answer
// alike); a copy gone or changed before then fails clearly (not
// remembered), a built index is kept, and a refresh sorts a change out.
TEST_F(CatalogServiceTest, FirstQueryAfterImportAnswersAsLaterOnesOrGivesAClearError) {
    const std::string original = ReadBytes(kSamples / kIoBlock);
    const fs::path installed = dir_ / "catalog" / kIoBlock;
    const struct {
        const char* what;
        std::function<void()> change;
        const char* reason;
        // clang-format off
    } cases[] = {
        {"removed", [&] { fs::remove(installed); }, "cannot read"},
        {"replaced by another valid file", [&] { WriteBytes(installed, MiniGsd()); },
         "changed since it was installed"},
        {"grown beyond any GSD file",
         [&] { fs::resize_file(installed, 40u * 1024u * 1024u); },  // sparse: no disk space
         "more than"},
        {"a directory now", [&] {fs::remove(installed); fs::create_directories(installed); },
         "cannot"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start();  // a fresh server finds the files, indexes none of them yet
        ASSERT_EQ(Call("GetInstalledGSDsNames", Params({})).size(), 2u);
        c.change();
        for (const char* method :
             {"GetGsdDeviceInfo", "GetGSDTemplateCatalogs", "GetGsdDeviceInfo"}) {
            const bool all = std::string(method) == "GetGSDTemplateCatalogs";
            const Json::Value error =
                Exchange(method, all ? Params({}) : Params({kIoBlock}))["error"];
            EXPECT_EQ(error["code"].asInt(), kGsdUnreadable) << method;
            EXPECT_THAT(error["message"].asString(), HasSubstr(c.reason));
            EXPECT_THAT(error["message"].asString(), HasSubstr(kIoBlock));
        }
        EXPECT_EQ(Call("GetDapModuleInfo", Params({kLegacy, "DAP1"}))["GsdId"], "DAP1");
        fs::remove_all(installed);
        WriteBytes(installed, original);
        EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["VendorName"],
                  "Samplevendor Automation");
        fs::remove(installed);  // once built, the index no longer needs the file
        EXPECT_EQ(Call("GetDapModuleInfo", Params({kIoBlock, "DAP_HF"}))["GsdId"], "DAP_HF");
        WriteBytes(installed, original);
    }
    Start();
    ASSERT_EQ(Call("GetInstalledGSDsNames", Params({})).size(), 2u);  // scanned, not indexed
    WriteBytes(installed, MiniGsd());
    EXPECT_EQ(Exchange("GetGsdDeviceInfo", Params({kIoBlock}))["error"]["code"], kGsdUnreadable);
    Call("TavrelRefreshGsds", Params({}));
    EXPECT_EQ(Call("GetGsdDeviceInfo", Params({kIoBlock}))["VendorName"], "V");
    fs::remove(installed);
    Call("TavrelRefreshGsds", Params({}));
    EXPECT_EQ(Exchange("GetGsdDeviceInfo", Params({kIoBlock}))["error"]["code"], kGsdNotInstalled);
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

// The drive sample is written the way vendors write: partial and missing slot
// names, virtual submodules fixed in subslots 2 and 3, modules plugged only
// through their submodule references, a lower-case schema file name.
TEST_F(CatalogServiceTest, AnswersVendorStyleFilesAsAnEngineerReadsThem) {
    Import(kSamples / kDrive);
    // clang-format off
    Expect({
        // Slot names: the SlotList's, else the module's name.
        {"GetBuildInModuleData", R"(["$drive", "IDD_QD300_PN"])", "*/Item/SlotName", R"(["QD 300 PN", "Drive object", "Telegram"])"},
        {"GetBuildInModuleData", R"(["$drive", "IDD_QD300_PN_BASIC"])", "*/Item/SlotName",
         R"(["QD 300 PN basic", "Servo axis", "Telegram module"])"},
        {"GetModuleData", R"(["$drive", "IDD_QD300_PN", "IDM_SAFETY"])", "Item/SlotName", R"("Safety Integrated")"},
        // Subslot names: one rule wherever a submodule is shown.
        {"GetSubModuleData", R"(["$drive", "IDD_QD300_PN", "IDS_IF"])", "Item/SlotName", R"("X150")"},
        {"GetSubModuleData", R"(["$drive", "IDD_QD300_PN", "IDS_P2"])", "Item/SlotName", R"("Port 2")"},
        {"GetSubModuleData", R"(["$drive", "", "IDS_AXIS_DO"])", "Item/SlotName", R"("Drive object access")"},
        // Virtual submodules fixed in subslots other than 1.
        {"GetBuildInModuleData", R"(["$drive", "IDD_QD300_PN"])", "0/SubItems/*/SlotNumber", "[1, 2, 32768, 32769, 32770]"},
        {"GetBuildInModuleData", R"(["$drive", "IDD_QD300_PN"])", "1/SubItems/*/SlotNumber", "[1, 2, 3]"},
        {"GetModulePhysicalSlots", R"(["$drive", "IDD_QD300_PN", "IDM_AXIS"])", "", "[1, 2, 3]"},
        {"GetModuleData", R"(["$drive", "", "IDM_AXIS"])", "Item/IoData", R"({"IoType": 1, "Isize": 12, "Osize": 0})"},
        // A pluggable submodule goes to the first allowed subslot no fixed one holds.
        {"GetSubModuleData", R"(["$drive", "", "IDS_SAFE_TLG30"])", "Item/SlotNumber", "2"},
        {"GetSubModuleData", R"(["$drive", "", "IDS_SAFE_DIAG"])", "Item/SlotNumber", "2"},
        {"GetSubModuleData", R"(["$drive", "", "IDS_SAFE_BASE"])", "Item/IsMandatory", "true"},
        // The schema version whatever the case of the file name; the newest
        // file of each device is the template (see the test above).
        {"GetKeltoTemplateGSDVersionForWizard", R"(["$drive"])", "", R"("V2.1")"},
        {"GetGSDTemplateCatalogs", "[]", "*/BaseInfo/GsdName", R"(["$drive", "$drive", "$legacy", "$io", "$io"])"},
        // A module without virtual submodules: what it comes plugged with.
        {"GetModuleData", R"(["$drive", "IDD_QD300_PN", "IDM_TLG"])", "Item/IoData", R"({"IoType": 3, "Isize": 28, "Osize": 28})"},
        {"GetModuleData", R"(["$io", "DAP_HF", "MOD_MIX"])", "Item/IoData", R"({"IoType": 3, "Isize": 5, "Osize": 4})"},
        // Value lists keep the file's order beside the object.
        {"GetSubMouleParameter", R"(["$drive", "", "IDS_TLG_SUPPL"])",
         "0/MenuItem/RecordDataList/0/ValueOrder", R"(["0", "16", "100", "101", "160"])"},
    });
    // clang-format on
}

}  // namespace
