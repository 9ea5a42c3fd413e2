// SPDX-License-Identifier: Apache-2.0
// Readers of the catalogue records, fed with hand-written answers.

#include "GsdTestSupport.h"
#include "clients/GsdFieldTable.h"
#include "clients/GsdReaders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <json/value.h>

#include <functional>
#include <string>
#include <vector>

using namespace Tavrel::Gsd;
using namespace Tavrel::Gsd::detail;
using gsdtest::LegacyLocale;
using gsdtest::ParseJson;

namespace {

class CountingSink : public ShapeErrorSink {
public:
    void ReportBadShape() override { ++reports; }
    int reports = 0;
};

class GsdReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!locale_.Active()) {
            GTEST_SKIP()
                << "no legacy code page with a sample in force (POSIX: run scripts/setup-deps.sh)";
        }
    }
    // kMixed converted to the legacy code page, and with its no-break
    // spaces first turned into plain ones.
    std::string MixedLocal() const { return "A" + locale_.NoBreakSpace() + locale_.EAcute(); }
    std::string MixedLocalSpaces() const { return "A " + locale_.EAcute(); }

    LegacyLocale locale_;
};

// "A", no-break space, "é": what each text form makes of it.
const std::string kMixed = std::string("A") + gsdtest::kUtf8NoBreakSpace + gsdtest::kUtf8EAcute;
const std::string kMixedAsReceived = kMixed;

Json::Value ObjectWithAll(const std::vector<std::string>& keys, const std::string& text) {
    Json::Value object(Json::objectValue);
    for (const std::string& key : keys) {
        object[key] = text;
    }
    return object;
}

struct TextFieldCase {
    const char* key;
    std::function<std::string(const Json::Value&)> read;
    std::string expected;
};

}  // namespace

TEST(ReplaceNoBreakSpacesTest, TurnsEveryPairIntoOneSpaceAndLeavesLoneBytes) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"\xC2\xA0", " "},
        {"a\xC2\xA0\xC2\xA0z", "a  z"},
        {"\xC2\xC2\xA0", "\xC2 "},
        {"\xA0\xC2", "\xA0\xC2"},
        {"plain", "plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceNoBreakSpaces(c.in), c.out) << "input size " << c.in.size();
    }
}

// Every text field, keyed by its wire name, with the form it must arrive in.
TEST_F(GsdReaderTest, EachTextFieldArrivesInItsOwnForm) {
    const std::vector<TextFieldCase> cases = {
        {"GsdName", [](const Json::Value& v) { return ReadBaseInfo(v).GsdName; }, kMixedAsReceived},
        {"GsdId", [](const Json::Value& v) { return ReadBaseInfo(v).GsdId; }, kMixedAsReceived},
        {"Category", [](const Json::Value& v) { return ReadBaseInfo(v).Category; },
         MixedLocalSpaces()},
        {"SubCategory", [](const Json::Value& v) { return ReadBaseInfo(v).SubCategory; },
         MixedLocalSpaces()},
        {"Name", [](const Json::Value& v) { return ReadBaseInfo(v).Name; }, MixedLocalSpaces()},
        {"SoftwareRelease", [](const Json::Value& v) { return ReadBaseInfo(v).SoftwareRelease; },
         kMixedAsReceived},
        {"OrderNumber", [](const Json::Value& v) { return ReadBaseInfo(v).OrderNumber; },
         kMixedAsReceived},
        {"Description", [](const Json::Value& v) { return ReadBaseInfo(v).Description; },
         MixedLocalSpaces()},
        {"MainFamily", [](const Json::Value& v) { return ReadGsdDeviceInfo(v).MainFamily; },
         MixedLocal()},
        {"VendorName", [](const Json::Value& v) { return ReadGsdDeviceInfo(v).VendorName; },
         MixedLocal()},
        {"InfoText", [](const Json::Value& v) { return ReadGsdDeviceInfo(v).InfoText; },
         MixedLocal()},
        {"SlotName", [](const Json::Value& v) { return ReadModuleItem(v).SlotName; }, MixedLocal()},
        {"Name", [](const Json::Value& v) { return ReadMenuItem(v).Name; }, MixedLocal()},
        {"GsdId", [](const Json::Value& v) { return ReadMenuItem(v).GsdId; }, kMixedAsReceived},
        {"Name", [](const Json::Value& v) { return ReadRecordDataItem(v).Name; }, MixedLocal()},
        {"DefaultValue", [](const Json::Value& v) { return ReadRecordDataItem(v).DefaultValue; },
         kMixedAsReceived},
    };
    for (const TextFieldCase& c : cases) {
        const Json::Value answer = ObjectWithAll({c.key}, kMixed);
        EXPECT_EQ(c.read(answer), c.expected) << c.key;
    }
}

TEST_F(GsdReaderTest, ModuleDataBaseInfoConvertsOnlyNameAndDescription) {
    const Json::Value info = ObjectWithAll({"GsdID", "Name", "OrderNumber", "FirmwareVersion",
                                            "SoftwareVerison", "Description", "IdentNumber"},
                                           kMixed);
    CountingSink sink;
    const ModuleDataBaseInfo read = ReadModuleDataBaseInfo(info, sink);
    EXPECT_EQ(sink.reports, 0);
    EXPECT_EQ(read.GsdID, kMixed);
    EXPECT_EQ(read.Name, MixedLocalSpaces());
    EXPECT_EQ(read.OrderNumber, kMixed);
    EXPECT_EQ(read.FirmwareVersion, kMixed);
    EXPECT_EQ(read.SoftwareVerison, kMixed);
    EXPECT_EQ(read.Description, MixedLocalSpaces());
    EXPECT_EQ(read.IdentNumber, kMixed);

    // The key is "GsdID"; the spelling used by catalogue entries is not it.
    EXPECT_EQ(ReadModuleDataBaseInfo(ParseJson(R"({"GsdId": "x"})"), sink).GsdID, "");
}

TEST_F(GsdReaderTest, CatalogueListsKeepServerOrderAndDuplicates) {
    const Json::Value answer = ParseJson(R"([
        {"BaseInfo": {"Name": "B", "GsdId": "ID_B"}, "SupportRTType": 2},
        {"BaseInfo": {"Name": "A", "GsdId": "ID_A"}},
        {"BaseInfo": {"Name": "B", "GsdId": "ID_B"}, "SupportRTType": -3},
        {}
    ])");
    const std::vector<subModuleCatalog> subs = ReadSubModuleCatalogs(answer);
    ASSERT_EQ(subs.size(), 4u);
    EXPECT_EQ(subs[0].BaseInfo.Name, "B");
    EXPECT_EQ(subs[0].SupportRTType, 2);
    EXPECT_EQ(subs[1].BaseInfo.GsdId, "ID_A");
    EXPECT_EQ(subs[1].SupportRTType, 0);
    EXPECT_EQ(subs[2].SupportRTType, -3);
    EXPECT_EQ(subs[3].BaseInfo.Name, "");

    const std::vector<moduleCatalog> modules = ReadModuleCatalogs(answer);
    ASSERT_EQ(modules.size(), 4u);
    EXPECT_EQ(modules[2].BaseInfo.GsdId, "ID_B");

    for (const char* notArray : {"null", "{}", "\"x\"", "5"}) {
        EXPECT_TRUE(ReadModuleCatalogs(ParseJson(notArray)).empty()) << notArray;
        EXPECT_TRUE(ReadDeviceCatalogs(ParseJson(notArray)).empty()) << notArray;
        EXPECT_TRUE(ReadSlotRelations(ParseJson(notArray)).empty()) << notArray;
    }
}

TEST_F(GsdReaderTest, TemplatesReadTheGenerationFlagButPlainDevicesDoNot) {
    const Json::Value answer = ParseJson(R"([{
        "MainFamily": "M", "VendorName": "V", "ProductFamily": "P", "DNSCompatibleName": "dns",
        "BaseInfo": {"Description": "desc", "SoftwareRelease": "V2.3"},
        "SupportRTType": 1, "VendorIdentNumber": 42, "DeviceIdentNumber": 4294967295,
        "IsG2": true, "IsKeltolineTemplate": true
    }])");
    const std::vector<DeviceCatalog> devices = ReadDeviceCatalogs(answer);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_FALSE(devices[0].IsG2);
    EXPECT_EQ(devices[0].DNSCompatibleName, "dns");
    EXPECT_EQ(devices[0].DeviceIdentNumber, 4294967295u);
    EXPECT_EQ(devices[0].GetCatalogText(), "desc");

    const std::vector<GSDTemplateCatalog> templates = ReadTemplateCatalogs(answer);
    ASSERT_EQ(templates.size(), 1u);
    EXPECT_TRUE(templates[0].IsG2);
    EXPECT_TRUE(templates[0].IsKeltolineTemplate);
    EXPECT_EQ(templates[0].VendorName, "V");
    EXPECT_EQ(templates[0].VendorIdentNumber, 42u);

    const DeviceCatalog& asDevice = templates[0];
    EXPECT_EQ(asDevice.GetCatalogText(), "V2.3");
}

TEST_F(GsdReaderTest, ModuleItemIgnoresInfoAndIoDataThatAreNotObjects) {
    const moduleItem good = ReadModuleItem(ParseJson(R"({
        "Info": {"GsdID": "SM1", "Name": "In 8"},
        "IoData": {"IoType": 1, "Isize": 8, "Osize": 2},
        "Type": 3, "IsMandatory": true, "SlotNumber": 4})"));
    EXPECT_EQ(good.Info.GsdID, "SM1");
    EXPECT_EQ(good.Info.Name, "In 8");
    EXPECT_EQ(good.IoData.IoType, 1);
    EXPECT_EQ(good.IoData.Isize, 8);
    EXPECT_EQ(good.IoData.Osize, 2);
    EXPECT_EQ(good.Type, 3);
    EXPECT_TRUE(good.IsMandatory);
    EXPECT_EQ(good.SlotNumber, 4);

    for (const char* odd : {R"("text")", "[1, 2]", "null", "7"}) {
        const std::string json =
            std::string(R"({"SlotNumber": 1, "Info": )") + odd + R"(, "IoData": )" + odd + "}";
        const moduleItem item = ReadModuleItem(ParseJson(json));
        EXPECT_EQ(item.SlotNumber, 1) << odd;
        EXPECT_EQ(item.Info.GsdID, "") << odd;
        EXPECT_EQ(item.IoData.Isize, 0) << odd;
        EXPECT_EQ(item.IoData.IoType, 0) << odd;
    }
}

TEST_F(GsdReaderTest, ModuleDataReadsSubItemsOnlyFromAnArray) {
    CountingSink sink;
    const moduleData data = ReadModuleData(ParseJson(R"({
        "virSubmoduleRefId": "VSM", "virSubSlotNumber": 32769,
        "Item": {"SlotNumber": 2},
        "SubItems": [{"SlotNumber": 1}, {"SlotNumber": 32768}]})"),
                                           sink);
    EXPECT_EQ(sink.reports, 0);
    EXPECT_EQ(data.virSubmoduleRefId, "VSM");
    EXPECT_EQ(data.virSubSlotNumber, 32769);
    EXPECT_EQ(data.Item.SlotNumber, 2);
    ASSERT_EQ(data.SubItems.size(), 2u);
    EXPECT_EQ(data.SubItems[1].SlotNumber, 32768);

    const moduleData noSubs =
        ReadModuleData(ParseJson(R"({"SubItems": {"a": {"SlotNumber": 1}}})"), sink);
    EXPECT_TRUE(noSubs.SubItems.empty());
    EXPECT_EQ(sink.reports, 0);
}

TEST_F(GsdReaderTest, ValuesBecomeSortedPairsOfStringsOnly) {
    const recordDataItem item = ReadRecordDataItem(
        ParseJson(std::string(R"({
        "TextId": "T", "ByteOffset": 2, "BitOffset": 5, "DataType": 9, "IsChangeable": true,
        "MinValue": "0", "MaxValue": "255",
        "Values": {"b": "x", "a": "y)") +
                  gsdtest::kUtf8EAcute + R"(", "c": 5, "B": "upper", "d": null}})"));
    using Pair = std::pair<std::string, std::string>;
    EXPECT_THAT(item.Values, ::testing::ElementsAre(Pair{"B", "upper"},
                                                    Pair{"a", std::string("y") + locale_.EAcute()},
                                                    Pair{"b", "x"}));
    EXPECT_EQ(item.TextId, "T");
    EXPECT_EQ(item.ByteOffset, 2);
    EXPECT_EQ(item.BitOffset, 5);
    EXPECT_EQ(item.DataType, 9);
    EXPECT_TRUE(item.IsChangeable);
    EXPECT_EQ(item.MinValue, "0");
    EXPECT_EQ(item.MaxValue, "255");

    EXPECT_TRUE(ReadRecordDataItem(ParseJson(R"({"TextId": "T"})")).Values.empty());
}

TEST_F(GsdReaderTest, MenusNestToTheFullDepthOfTheAnswer) {
    constexpr int kDepth = 300;
    Json::Value innermost(Json::objectValue);
    Json::Value menu = innermost;
    for (int level = kDepth; level >= 1; --level) {
        Json::Value outer(Json::objectValue);
        outer["Name"] = "level " + std::to_string(level);
        outer["RecordDataList"].append(ParseJson(R"({"TextId": "item"})"));
        outer["MenuItems"].append(std::move(menu));
        Json::Value sibling(Json::objectValue);
        sibling["Name"] = "sibling " + std::to_string(level);
        outer["MenuItems"].append(std::move(sibling));
        menu = std::move(outer);
    }
    const std::vector<parameterRecord> records =
        ReadParameterRecords(ParseJson(R"([{"Index": 100, "Length": 4}])"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Index, 100);
    EXPECT_EQ(records[0].Length, 4);

    const menuItem read = ReadMenuItem(menu);
    const menuItem* at = &read;
    for (int level = 1; level <= kDepth; ++level) {
        ASSERT_EQ(at->Name, "level " + std::to_string(level));
        ASSERT_EQ(at->RecordDataList.size(), 1u);
        ASSERT_EQ(at->MenuItems.size(), 2u) << level;
        EXPECT_EQ(at->MenuItems[1].Name, "sibling " + std::to_string(level));
        at = &at->MenuItems[0];
    }
    EXPECT_TRUE(at->MenuItems.empty());
}

TEST_F(GsdReaderTest, DiagnosisTextsArriveInTheLocalCodePage) {
    CountingSink sink;
    const AlarmData unit =
        ReadAlarmData(ObjectWithAll({"Description", "RefText", "Help"}, kMixed), sink);
    EXPECT_EQ(unit.Description, MixedLocal());
    EXPECT_EQ(unit.RefText, MixedLocal());
    EXPECT_EQ(unit.Help, MixedLocal());
    const ChannelAlarmData channel = ReadChannelAlarmData(
        ObjectWithAll({"AlarmNameText", "AlarmHelpText", "AlarmExtNameText", "AlarmExtHelpText"},
                      kMixed),
        sink);
    EXPECT_EQ(channel.AlarmNameText, MixedLocal());
    EXPECT_EQ(channel.AlarmExtHelpText, MixedLocal());
    EXPECT_EQ(sink.reports, 0);
}

TEST_F(GsdReaderTest, UpdateTimesComeOnlyFromValidAnswersAndNumericValues) {
    CountingSink sink;
    const std::vector<double> times = ReadUpdateTimes(ParseJson(R"({"IsValid": true,
        "Selector": [{"Value": 2}, {"Value": "4 ms"}, {}, {"Value": 0.5}, {"Value": true}]})"),
                                                      sink);
    EXPECT_EQ(sink.reports, 0);
    EXPECT_THAT(times, ::testing::ElementsAre(2.0, 0.5));

    const std::vector<double> none =
        ReadUpdateTimes(ParseJson(R"({"IsValid": 1, "Selector": []})"), sink);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(sink.reports, 0);
}
