// SPDX-License-Identifier: Apache-2.0
// Readers of the catalogue records, fed with hand-written answers.

#include "GsdTestSupport.h"
#include "clients/GsdFieldTable.h"
#include "clients/GsdReaders.h"

#include <gmock/gmock.h>

#include <functional>
#include <string>
#include <vector>

using namespace Tavrel::Gsd;
using namespace Tavrel::Gsd::detail;
using gsdtest::ParseJson;

namespace {

struct CountingSink : ShapeErrorSink {
    void ReportBadShape() override { ++reports; }
    int reports = 0;
} g_sink;

using GsdReaderTest = gsdtest::CodePageTest;

// "A", no-break space, "é"; a text arrives as received, in the local code
// page, or local with the no-break space made a plain one.
const std::string kMixed = std::string("A") + gsdtest::kUtf8NoBreakSpace + gsdtest::kUtf8EAcute;
enum class Form { Utf8, Local, LocalSpaces };

// Reads one field of what a reader makes of the answer `v`.
#define READ(call, field) [](const Json::Value& v) { return call.field; }

}  // namespace

TEST(ReplaceNoBreakSpacesTest, TurnsEveryPairIntoOneSpaceAndLeavesLoneBytes) {
    EXPECT_EQ(ReplaceNoBreakSpaces(""), "");
    EXPECT_EQ(ReplaceNoBreakSpaces("\xC2\xA0|a\xC2\xA0\xC2\xA0z|\xC2\xC2\xA0|\xA0\xC2|plain"),
              " |a  z|\xC2 |\xA0\xC2|plain");
}

// Every text field, keyed by its wire name, with the form it must arrive in.
TEST_F(GsdReaderTest, EachTextFieldArrivesInItsOwnForm) {
    const struct {
        const char* key;
        std::function<std::string(const Json::Value&)> read;
        Form form;
    } cases[] = {
        {"GsdName", READ(ReadBaseInfo(v), GsdName), Form::Utf8},
        {"GsdId", READ(ReadBaseInfo(v), GsdId), Form::Utf8},
        {"Category", READ(ReadBaseInfo(v), Category), Form::LocalSpaces},
        {"SubCategory", READ(ReadBaseInfo(v), SubCategory), Form::LocalSpaces},
        {"Name", READ(ReadBaseInfo(v), Name), Form::LocalSpaces},
        {"SoftwareRelease", READ(ReadBaseInfo(v), SoftwareRelease), Form::Utf8},
        {"OrderNumber", READ(ReadBaseInfo(v), OrderNumber), Form::Utf8},
        {"Description", READ(ReadBaseInfo(v), Description), Form::LocalSpaces},
        {"MainFamily", READ(ReadGsdDeviceInfo(v), MainFamily), Form::Local},
        {"VendorName", READ(ReadGsdDeviceInfo(v), VendorName), Form::Local},
        {"InfoText", READ(ReadGsdDeviceInfo(v), InfoText), Form::Local},
        {"SlotName", READ(ReadModuleItem(v), SlotName), Form::Local},
        {"Name", READ(ReadMenuItem(v), Name), Form::Local},
        {"GsdId", READ(ReadMenuItem(v), GsdId), Form::Utf8},
        {"Name", READ(ReadRecordDataItem(v), Name), Form::Local},
        {"DefaultValue", READ(ReadRecordDataItem(v), DefaultValue), Form::Utf8},
        {"GsdID", READ(ReadModuleDataBaseInfo(v, g_sink), GsdID), Form::Utf8},
        {"Name", READ(ReadModuleDataBaseInfo(v, g_sink), Name), Form::LocalSpaces},
        {"OrderNumber", READ(ReadModuleDataBaseInfo(v, g_sink), OrderNumber), Form::Utf8},
        {"FirmwareVersion", READ(ReadModuleDataBaseInfo(v, g_sink), FirmwareVersion), Form::Utf8},
        {"SoftwareVerison", READ(ReadModuleDataBaseInfo(v, g_sink), SoftwareVerison), Form::Utf8},
        {"Description", READ(ReadModuleDataBaseInfo(v, g_sink), Description), Form::LocalSpaces},
        {"IdentNumber", READ(ReadModuleDataBaseInfo(v, g_sink), IdentNumber), Form::Utf8},
        {"Description", READ(ReadAlarmData(v, g_sink), Description), Form::Local},
        {"RefText", READ(ReadAlarmData(v, g_sink), RefText), Form::Local},
        {"Help", READ(ReadAlarmData(v, g_sink), Help), Form::Local},
        {"AlarmNameText", READ(ReadChannelAlarmData(v, g_sink), AlarmNameText), Form::Local},
        {"AlarmHelpText", READ(ReadChannelAlarmData(v, g_sink), AlarmHelpText), Form::Local},
        {"AlarmExtNameText", READ(ReadChannelAlarmData(v, g_sink), AlarmExtNameText), Form::Local},
        {"AlarmExtHelpText", READ(ReadChannelAlarmData(v, g_sink), AlarmExtHelpText), Form::Local},
    };
    const std::string local = "A" + NoBreakSpace() + EAcute();
    const std::string localSpaces = "A " + EAcute();
    g_sink.reports = 0;
    for (const auto& c : cases) {
        Json::Value answer(Json::objectValue);
        answer[c.key] = kMixed;
        EXPECT_EQ(c.read(answer), c.form == Form::Utf8    ? kMixed
                                  : c.form == Form::Local ? local
                                                          : localSpaces)
            << c.key;
    }
    EXPECT_EQ(g_sink.reports, 0);
    // The key is "GsdID"; the spelling used by catalogue entries is not it.
    EXPECT_EQ(ReadModuleDataBaseInfo(ParseJson(R"({"GsdId": "x"})"), g_sink).GsdID, "");
}

TEST_F(GsdReaderTest, CatalogueListsKeepServerOrderAndTemplatesAloneReadTheGenerationFlag) {
    const Json::Value answer = ParseJson(R"([
        {"BaseInfo": {"Name": "B", "GsdId": "ID_B"}, "SupportRTType": 2},
        {"BaseInfo": {"Name": "A", "GsdId": "ID_A"}}, {"BaseInfo": {"Name": "B"}, "SupportRTType": -3}, {}])");
    std::string read;
    for (const subModuleCatalog& sub : ReadSubModuleCatalogs(answer)) {
        read += sub.BaseInfo.Name + sub.BaseInfo.GsdId + std::to_string(sub.SupportRTType) + ";";
    }
    EXPECT_EQ(read, "BID_B2;AID_A0;B-3;0;");
    EXPECT_EQ(ReadModuleCatalogs(answer).at(1).BaseInfo.GsdId, "ID_A");
    const Json::Value device = ParseJson(R"([{"VendorName": "V", "DNSCompatibleName": "dns",
        "BaseInfo": {"Description": "desc", "SoftwareRelease": "V2.3"}, "VendorIdentNumber": 42,
        "DeviceIdentNumber": 4294967295, "IsG2": true, "IsKeltolineTemplate": true}])");
    const DeviceCatalog plain = ReadDeviceCatalogs(device).at(0);
    EXPECT_FALSE(plain.IsG2);
    EXPECT_EQ(plain.DNSCompatibleName + plain.GetCatalogText(), "dnsdesc");
    EXPECT_EQ(plain.DeviceIdentNumber, 4294967295u);
    const GSDTemplateCatalog templ = ReadTemplateCatalogs(device).at(0);
    EXPECT_TRUE(templ.IsG2 && templ.IsKeltolineTemplate);
    EXPECT_EQ(templ.VendorName + std::to_string(templ.VendorIdentNumber), "V42");
    EXPECT_EQ(static_cast<const DeviceCatalog&>(templ).GetCatalogText(), "V2.3");
}

// Members of the wrong kind are skipped: Info and IoData not objects,
// SubItems not an array, values not strings, update times not numbers.
TEST_F(GsdReaderTest, NestedMembersAreReadOnlyFromTheirOwnShape) {
    const auto describe = [](const moduleItem& m) {
        return m.Info.GsdID + "/" + m.Info.Name + " io " + std::to_string(m.IoData.IoType) + " " +
               std::to_string(m.IoData.Isize) + "/" + std::to_string(m.IoData.Osize) + " type " +
               std::to_string(m.Type) + (m.IsMandatory ? " mandatory" : "") + " slot " +
               std::to_string(m.SlotNumber);
    };
    EXPECT_EQ(describe(ReadModuleItem(ParseJson(R"({"Info": {"GsdID": "SM1", "Name": "In 8"},
        "IoData": {"IoType": 1, "Isize": 8, "Osize": 2}, "Type": 3, "IsMandatory": true, "SlotNumber": 4})"))),
              "SM1/In 8 io 1 8/2 type 3 mandatory slot 4");
    for (const std::string odd : {R"("text")", "[1, 2]", "null", "7"}) {
        EXPECT_EQ(describe(ReadModuleItem(ParseJson(R"({"SlotNumber": 1, "Info": )" + odd +
                                                    R"(, "IoData": )" + odd + "}"))),
                  "/ io 0 0/0 type 0 slot 1")
            << odd;
    }
    g_sink.reports = 0;
    const moduleData data =
        ReadModuleData(ParseJson(R"({"virSubmoduleRefId": "VSM", "virSubSlotNumber": 32769,
        "Item": {"SlotNumber": 2}, "SubItems": [{"SlotNumber": 1}, {"SlotNumber": 32768}]})"),
                       g_sink);
    EXPECT_EQ(data.virSubmoduleRefId + std::to_string(data.virSubSlotNumber) +
                  std::to_string(data.Item.SlotNumber),
              "VSM327692");
    EXPECT_EQ(data.SubItems.at(1).SlotNumber, 32768);
    EXPECT_TRUE(ReadModuleData(ParseJson(R"({"SubItems": {"a": {"SlotNumber": 1}}})"), g_sink)
                    .SubItems.empty());

    const recordDataItem item = ReadRecordDataItem(
        ParseJson(std::string(R"({"TextId": "T", "ByteOffset": 2,
        "BitOffset": 5, "DataType": 9, "IsChangeable": true, "MinValue": "0", "MaxValue": "255",
        "Values": {"b": "x", "a": "y)") +
                  gsdtest::kUtf8EAcute + R"(", "c": 5, "B": "upper", "d": null}})"));
    using Pair = std::pair<std::string, std::string>;
    EXPECT_THAT(item.Values, ::testing::ElementsAre(Pair{"B", "upper"}, Pair{"a", "y" + EAcute()},
                                                    Pair{"b", "x"}));
    EXPECT_EQ(item.TextId + " " + std::to_string(item.ByteOffset) + " " +
                  std::to_string(item.BitOffset) + " " + std::to_string(item.DataType) + " " +
                  item.MinValue + "-" + item.MaxValue + (item.IsChangeable ? " rw" : ""),
              "T 2 5 9 0-255 rw");

    EXPECT_THAT(ReadUpdateTimes(ParseJson(R"({"IsValid": true, "Selector": [{"Value": 2},
        {"Value": "4 ms"}, {}, {"Value": 0.5}, {"Value": true}]})"),
                                g_sink),
                ::testing::ElementsAre(2.0, 0.5));
    EXPECT_EQ(g_sink.reports, 0);
}

TEST_F(GsdReaderTest, MenusNestToTheFullDepthOfTheAnswer) {
    Json::Value menu = ParseJson(R"({"Name": "300"})");
    for (int level = 299; level >= 1; --level) {
        Json::Value outer =
            ParseJson(R"({"RecordDataList": [{"TextId": "t"}], "MenuItems": [{}, {}]})");
        outer["Name"] = std::to_string(level);
        outer["MenuItems"][0] = std::move(menu);
        menu = std::move(outer);
    }
    const std::vector<parameterRecord> records = ReadParameterRecords(
        ParseJson(R"([{"Index": 100, "Length": 4, "MenuItem": {"Name": "m"}}])"));
    EXPECT_EQ(
        records.at(0).MenuItem.Name + std::to_string(records[0].Index * 10 + records[0].Length),
        "m1004");
    const menuItem read = ReadMenuItem(menu);
    const menuItem* at = &read;
    for (int level = 1; level < 300; at = &at->MenuItems[0], ++level) {
        ASSERT_EQ(at->Name + std::to_string(at->RecordDataList.size() * 10 + at->MenuItems.size()),
                  std::to_string(level) + "12");
    }
    EXPECT_EQ(at->Name + std::to_string(at->MenuItems.size()), "3000");
}
