// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"
#include "GsdTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

GsdFilePtr ParseOk(const std::string& bytes, const std::string& language = "") {
    ParseOutcome outcome = ParseGsdml(bytes, language);
    EXPECT_TRUE(outcome.errors.empty()) << (outcome.errors.empty() ? "" : outcome.errors.front());
    return outcome.file;
}

// What the catalogue service does not show of the sample's model.
TEST(GsdParser, ReadsSlotsIoDataAndSafetyRecordsOfTheSample) {
    const GsdFilePtr file = ParseOk(ReadBytes(kSamples / kIoBlock));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->accessPoints.at(0).physicalSlots.size(), 9u);
    EXPECT_EQ(file->accessPoints[0].slotNames.at(1), "Power");
    EXPECT_EQ(file->modules.size(), 6u);
    EXPECT_EQ(file->submodules.size(), 3u);
    const Submodule& ai = file->FindModule("MOD_AI4")->virtualSubmodules.at(0);
    EXPECT_EQ(ai.io.inputBytes, 8);
    EXPECT_FALSE(ai.io.hasOutput);
    const Submodule& safe = file->FindModule("MOD_FDI8")->virtualSubmodules.at(0);
    EXPECT_EQ(safe.io.inputBytes, 5);  // one byte of data and the 4-byte trailer
    EXPECT_EQ(safe.io.outputBytes, 4);
    EXPECT_EQ(safe.records.at(0).index, 128);
    EXPECT_EQ(safe.records[0].items.at(6).name, "F_WD_Time");
    EXPECT_EQ(safe.records[0].items.at(6).maxValue, "10000");
}

// One item of each fixed-size type: a wrong size anywhere changes the total.
TEST(GsdParser, SizesIoDataByTheWidthOfEachDataType) {
    std::string items;
    for (const char* type : {"Integer8", "Unsigned8", "Boolean", "Integer16", "Unsigned16", "N2",
                             "V2", "E2", "X2", "Integer32", "Unsigned32", "Float32", "N4", "C4",
                             "Integer64", "Unsigned64", "Float64", "Date", "TimeStamp"}) {
        items += std::string("<DataItem DataType=\"") + type + "\" TextId=\"N\"/>";
    }
    const GsdFilePtr file = ParseOk(MiniGsd(
        R"(<VirtualSubmoduleList><VirtualSubmoduleItem ID="V" SubmoduleIdentNumber="1"><IOData><Input>)" +
        items + "</Input></IOData></VirtualSubmoduleItem></VirtualSubmoduleList>"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->accessPoints[0].virtualSubmodules.at(0).io.inputBytes, 78);
}

TEST(GsdParser, GivesEveryParameterItsRangeWithoutExpandingIt) {
    const struct {
        std::string attributes;
        std::string min;
        std::string max;
    } cases[] = {
        {R"(DataType="Unsigned32" AllowedValues="0..4294967295")", "0", "4294967295"},
        {R"(DataType="Unsigned8" AllowedValues="7 1..3 200")", "1", "200"},
        {R"(DataType="Float32" AllowedValues="0.5..2.5")", "0.5", "2.5"},
        {R"(DataType="Integer16")", "-32768", "32767"},
        {R"(DataType="BitArea" BitLength="3")", "0", "7"},
        {R"(DataType="VisibleString" Length="8")", "", ""},
    };
    for (const auto& c : cases) {
        const GsdFilePtr file =
            ParseOk(WithRecord(R"(<Ref ByteOffset="0" TextId="N" )" + c.attributes + "/>"));
        ASSERT_TRUE(file) << c.attributes;
        const ParameterItem& item =
            file->accessPoints[0].virtualSubmodules.at(0).records.at(0).items.at(0);
        EXPECT_EQ(item.minValue + " " + item.maxValue, c.min + " " + c.max) << c.attributes;
    }
}

TEST(GsdParser, ChoosesTheRequestedLanguageAndFallsBackPerText) {
    // The power supply's name is translated in German, the access point's never.
    for (const std::string language : {"", "en", "de", "DE-at", "fr"}) {
        const GsdFilePtr file = ParseOk(ReadBytes(kSamples / kIoBlock), language);
        ASSERT_TRUE(file) << language;
        EXPECT_EQ(file->FindModule("MOD_POWER")->info.name,
                  language.rfind("de", 0) == 0 || language.rfind("DE", 0) == 0
                      ? "Stromversorgung 24V"
                      : "PS 24V")
            << language;
        EXPECT_EQ(file->accessPoints[0].info.name, "IM 200 HF") << language;
    }
}

TEST(GsdParser, AcceptsEveryFormOfRealTimeClassesAndMediumTypes) {
    const std::string port = R"(<PortSubmoduleItem ID="P" SubmoduleIdentNumber="2")";
    const struct {
        std::string interfaceAttributes;
        std::string port;
        int rtClasses;
        std::vector<int> mauTypes;
    } cases[] = {
        {R"(SupportedRT_Classes="RT_CLASS_1;RT_CLASS_3")",
         port +
             R"(><MAUTypeList><MAUTypeItem Value="16"/><MAUTypeItem Value="18"/></MAUTypeList></PortSubmoduleItem>)",
         kRtClass1 | kRtClass3,
         {16, 18}},
        {R"(SupportedRT_Classes="RT_CLASS_1;RT_CLASS_2;RT_CLASS_UDP")",
         port + R"( MAUTypes="16 30"/>)",
         kRtClass1 | kRtClass2 | kRtClassUdp,
         {16, 30}},
        {R"(SupportedRT_Class="Class3")",
         port + R"( MAUType="100BASEFXFD"/>)",
         kRtClass1 | kRtClass2 | kRtClass3,
         {18}},
        {R"(SupportedRT_Class="Class2")", port + "/>", kRtClass1 | kRtClass2, {}},
        {"", port + R"( MAUType="10BASETXHD"/>)", kRtClass1, {10}},
    };
    for (const auto& c : cases) {
        const GsdFilePtr file = ParseOk(MiniGsd(
            R"(<SystemDefinedSubmoduleList><InterfaceSubmoduleItem ID="I" SubmoduleIdentNumber="1" )" +
            c.interfaceAttributes + "/>" + c.port + "</SystemDefinedSubmoduleList>"));
        ASSERT_TRUE(file) << c.interfaceAttributes;
        const auto& system = file->accessPoints[0].systemSubmodules;
        ASSERT_EQ(system.size(), 2u);
        EXPECT_EQ(system[0].rtClasses, c.rtClasses) << c.interfaceAttributes;
        EXPECT_EQ(system[1].mauTypes, c.mauTypes) << c.port;
    }
    // An old device without an interface gets an implicit one with default timing.
    const GsdFilePtr old = ParseOk(MiniGsd());
    const Submodule& implicit = old->accessPoints.at(0).systemSubmodules.at(0);
    EXPECT_EQ(implicit.kind, ItemKind::InterfaceSubmodule);
    EXPECT_THAT(implicit.sendClocks, ElementsAre(32));
    EXPECT_EQ(implicit.reductionRatios.size(), 10u);
}

// Files that claim UTF-8 but carry other bytes; every text must still go out
// as valid UTF-8, whether the bad byte sits early or late in a text.
TEST(GsdParser, ReplacesBytesThatAreNotUtf8AndKeepsValidText) {
    const std::string bad = "\xEF\xBF\xBD";
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"A plain module name", "A plain module name"},
        {"Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC", "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"},
        {"ABCDEFGH\xE9IJKLMNOP", "ABCDEFGH" + bad + "IJKLMNOP"},  // inside the second eight
        {"ABCDEFGHIJ\xE9K", "ABCDEFGHIJ" + bad + "K"},            // in the tail
        {"\xE9t\xE9", bad + "t" + bad},
        {"Name\xC3", "Name" + bad},         // a sequence cut short at the end
        {"\xED\xA0\x80", bad + bad + bad},  // an encoded surrogate
        {"\xC0\xAF", bad + bad},            // an overlong form
        {"\xF0\x9F\x98\x80\xF0\x8F\xBF\xBF",
         "\xF0\x9F\x98\x80" + bad + bad + bad + bad},  // four bytes
    };
    for (const auto& c : cases) {
        const GsdFilePtr file = ParseOk(MiniGsd(
            "",
            R"(<ModuleList><ModuleItem ID="M" ModuleIdentNumber="2"><ModuleInfo><Name TextId="T"/><OrderNumber Value=")" +
                c.text + R"("/></ModuleInfo></ModuleItem></ModuleList>)",
            R"(<Text TextId="T" Value=")" + c.text + R"("/>)"));
        ASSERT_TRUE(file && file->FindModule("M")) << c.expected;
        EXPECT_EQ(file->FindModule("M")->info.name, c.expected);
        EXPECT_EQ(file->FindModule("M")->info.orderNumber, c.expected);
    }
}

TEST(GsdParser, ParsesNumberListsStrictly) {
    const struct {
        std::string text;
        bool ok;
        std::vector<int> values;
    } cases[] = {
        {"1..3 7", true, {1, 2, 3, 7}},
        {"0x10 0X11", true, {16, 17}},
        {"08 09", true, {8, 9}},  // leading zeros are decimal, never octal
        {"  ", true, {}},
        {"1;2,3", true, {1, 2, 3}},
        {"3..1", false, {}},
        {"1..", false, {}},
        {"abc", false, {}},
        {"0..100000000", false, {}},
        {"99999999999", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<int> values;
        EXPECT_EQ(ParseValueList(c.text, values), c.ok) << c.text;
        EXPECT_EQ(values, c.ok ? c.values : values) << c.text;
    }
}

// Hostile and broken files are refused with a reason, never a crash, an
// expanded entity or a fetch (any document type declaration is refused);
// reasons stop at twenty and say how many more.
TEST(GsdParser, RefusesBadDocumentsWithAReason) {
    const std::string valid = MiniGsd();
    std::string deepMenus;
    for (int i = 0; i < 40; ++i) {
        deepMenus += "<MenuItem ID=\"M" + std::to_string(i) +
                     "\"><Name TextId=\"N\"/><MenuRef MenuTarget=\"M" + std::to_string(i + 1) +
                     "\"/></MenuItem>";
    }
    std::string danglingRefs;
    for (int i = 0; i < 50; ++i) {
        danglingRefs += "<ModuleItemRef ModuleItemTarget=\"M" + std::to_string(i) + "\"/>";
    }
    const struct {
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"", "empty"},
        {std::string(kMaxGsdFileBytes + 1, ' '), "more than"},
        {std::string("\x00\x01\x02\xFF\xFE", 5), "not well-formed XML"},
        {valid.substr(0, valid.size() / 2), "not well-formed XML"},
        {"<?xml version=\"1.0\"?><html><body/></html>", "not a GSDML document"},
        {"<ISO15745Profile xmlns=\"urn:other\"/>", "not a GSDML document"},
        {R"(<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;">)"
         R"(<!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;">]><ISO15745Profile>&lol3;</ISO15745Profile>)",
         "document type declaration"},
        {"<ISO15745Profile/>", "ProfileBody"},
        {MiniGsd(
             R"(<UseableModules><ModuleItemRef ModuleItemTarget="NOPE" AllowedInSlots="1"/></UseableModules>)"),
         "unknown module \"NOPE\""},
        {MiniGsd(
             R"(<UseableSubmodules><SubmoduleItemRef SubmoduleItemTarget="GONE"/></UseableSubmodules>)"),
         "unknown submodule \"GONE\""},
        {MiniGsd(R"(<SlotList><SlotItem SlotNumber="1" TextId="MISSING"/></SlotList>)"),
         "text \"MISSING\""},
        {MiniGsd(
             "",
             R"(<ModuleList><ModuleItem ID="M" ModuleIdentNumber="2"><ModuleInfo CategoryRef="C1"><Name TextId="N"/></ModuleInfo></ModuleItem></ModuleList>)"),
         "category \"C1\""},
        {WithRecord(
             R"(<Ref DataType="Unsigned8" ByteOffset="0" TextId="N" ValueItemTarget="VX"/>)"),
         "value item \"VX\""},
        {WithRecord(
             R"(<Ref ID="R" DataType="Unsigned8" ByteOffset="0" TextId="N"/><MenuList><MenuItem ID="A"><Name TextId="N"/><MenuRef MenuTarget="B"/></MenuItem><MenuItem ID="B"><Name TextId="N"/><MenuRef MenuTarget="A"/></MenuItem></MenuList>)"),
         "contains itself"},
        {WithRecord("<MenuList>" + deepMenus +
                    "<MenuItem ID=\"M40\"><Name TextId=\"N\"/></MenuItem></MenuList>"),
         "deeper than 32"},
        {WithRecord(
             R"(<MenuList><MenuItem ID="A"><Name TextId="N"/><ParameterRef ParameterTarget="Q"/></MenuItem></MenuList>)"),
         "unknown parameter \"Q\""},
        // Menu IDs belong to their record: the second record cannot see "A".
        {WithRecord(
             R"(<MenuList><MenuItem ID="A"><Name TextId="N"/></MenuItem></MenuList></ParameterRecordDataItem>)"
             R"(<ParameterRecordDataItem Index="2" Length="1"><MenuList><MenuItem ID="C"><Name TextId="N"/><MenuRef MenuTarget="A"/></MenuItem></MenuList>)"),
         "menu \"C\" refers to unknown menu \"A\""},
        {MiniGsd().replace(valid.find("VendorID=\"0x0001\""), 17, "VendorID=\"0xZZ\""),
         "not a number"},
        {"<ISO15745Profile><ProfileBody><DeviceIdentity VendorID=\"1\" "
         "DeviceID=\"2\"/><ApplicationProcess/></ProfileBody></ISO15745Profile>",
         "no device access point"},
        {MiniGsd("<UseableModules>" + danglingRefs + "</UseableModules>"), "30 more"},
    };
    for (const auto& c : cases) {
        const ParseOutcome outcome = ParseGsdml(c.bytes, "");
        EXPECT_FALSE(outcome.file) << c.reason;
        ASSERT_FALSE(outcome.errors.empty()) << c.reason;
        EXPECT_LE(outcome.errors.size(), 21u);
        EXPECT_THAT(outcome.errors.back(), HasSubstr(c.reason));
    }
}

// A fault anywhere in the (lazily built) records refuses the file, every
// reason in document order among the file's other faults.
TEST(GsdParser, RefusesFaultyParameterRecordsWithEveryReasonInDocumentOrder) {
    const std::string submodule =
        R"(<VirtualSubmoduleList><VirtualSubmoduleItem ID="V" SubmoduleIdentNumber="1"><ModuleInfo><Name TextId="T_INFO"/></ModuleInfo>)"
        R"(<RecordDataList>)"
        R"(<ParameterRecordDataItem Index="x1" Length="2"><Name TextId="T_REC"/>)"
        R"(<Ref ID="A" DataType="Unsigned8" ByteOffset="q" TextId="T_REF" ValueItemTarget="VX"/>)"
        R"(<Ref ID="B" DataType="Bit" ByteOffset="1" BitOffset="9999999999" TextId="N" ValueItemTarget="VA"/>)"
        "<Ref ID=\"\xC3(\" DataType=\"Unsigned8\" ByteOffset=\"0\" BitLength=\"z\" TextId=\"N\" "
        "ValueItemTarget=\"VA\"/>"
        R"(<MenuList><MenuItem ID="R"><Name TextId="T_MENU"/><ParameterRef ParameterTarget="A"/>)"
        "<ParameterRef ParameterTarget=\"\xC3(\"/>"
        R"(<ParameterRef ParameterTarget="Q"/><MenuRef MenuTarget="S"/><MenuRef MenuTarget="Z"/></MenuItem>)"
        R"(<MenuItem ID="S"><Name TextId="N"/><MenuRef MenuTarget="R"/></MenuItem></MenuList>)"
        R"(</ParameterRecordDataItem>)"
        R"(<F_ParameterRecordDataItem Index="y" Length="z"><F_SIL DefaultValue="SIL3"/></F_ParameterRecordDataItem>)"
        R"(<ParameterRecordDataItem Index="3" Length="1"><Ref ID="C" DataType="Unsigned8" ByteOffset="0" TextId="N" ValueItemTarget="VA"/></ParameterRecordDataItem>)"
        R"(</RecordDataList><IsochroneMode T_DC_Base="w"/></VirtualSubmoduleItem></VirtualSubmoduleList>)";
    const std::string values =
        R"(<ValueList><ValueItem ID="VA"><Assignments><Assign Content="0" TextId="T_ASSIGN"/></Assignments></ValueItem></ValueList>)";
    const ParseOutcome outcome = ParseGsdml(
        MiniGsd(submodule + R"(<SlotList><SlotItem SlotNumber="1" TextId="T_SLOT"/></SlotList>)",
                values),
        "");
    EXPECT_FALSE(outcome.file);
    const std::string undefined = "\" is referred to but not defined in the primary language";
    EXPECT_THAT(
        outcome.errors,
        ElementsAre("text \"T_INFO" + undefined,
                    "attribute Index of ParameterRecordDataItem is not a number: \"x1\"",
                    "text \"T_REC" + undefined, "text \"T_REF" + undefined,
                    "attribute ByteOffset of Ref is not a number: \"q\"",
                    "value item \"VX\" is referred to but not defined",
                    "attribute BitOffset of Ref is not a number: \"9999999999\"",
                    // a value list's texts are looked up once, where it is first used
                    "text \"T_ASSIGN" + undefined,
                    "attribute BitLength of Ref is not a number: \"z\"",
                    "text \"T_MENU" + undefined,
                    // an ID that is not UTF-8 is stored repaired, so the raw target misses it
                    "menu \"R\" refers to unknown parameter \"\xC3(\"",
                    "menu \"R\" refers to unknown parameter \"Q\"",
                    "menu \"R\" refers to unknown menu \"Z\"", "menu \"R\" contains itself",
                    "attribute Index of F_ParameterRecordDataItem is not a number: \"y\"",
                    "attribute Length of F_ParameterRecordDataItem is not a number: \"z\"",
                    "attribute T_DC_Base of IsochroneMode is not a number: \"w\"",
                    "text \"T_SLOT" + undefined));
}

// Check and build agree on repaired IDs and on value lists met in another record.
TEST(GsdParser, BuildsCheckedRecordsOnFirstUseWithoutNewProblems) {
    const std::string records =
        R"(<VirtualSubmoduleList><VirtualSubmoduleItem ID="V" SubmoduleIdentNumber="1"><RecordDataList>)"
        "<ParameterRecordDataItem Index=\"1\" Length=\"2\"><Name TextId=\"N\"/>"
        "<Ref ID=\"\xC3(\" DataType=\"Unsigned8\" ByteOffset=\"0\" TextId=\"N\" "
        "ValueItemTarget=\"VA\"/>"
        "<MenuList><MenuItem ID=\"R\"><Name TextId=\"N\"/>"
        "<ParameterRef ParameterTarget=\"\xC3\xBF(\"/></MenuItem></MenuList>"
        "</ParameterRecordDataItem>"
        R"(<F_ParameterRecordDataItem Index="2" Length="4"><F_SIL DefaultValue="SIL3"/></F_ParameterRecordDataItem>)"
        R"(<ParameterRecordDataItem Index="3" Length="1"><Ref DataType="Unsigned8" ByteOffset="0" TextId="N" ValueItemTarget="VA"/></ParameterRecordDataItem>)"
        R"(</RecordDataList></VirtualSubmoduleItem></VirtualSubmoduleList>)";
    const std::string values =
        R"(<ValueList><ValueItem ID="VA"><Assignments><Assign Content="0" TextId="N"/></Assignments></ValueItem></ValueList>)";
    // The parameter's ID is stored repaired ("\xEF\xBF\xBD("); the menu names
    // the repaired form, here written with the replacement character itself.
    std::string document = MiniGsd(records, values);
    const std::size_t at = document.find("\xC3\xBF(");
    document.replace(at, 3, "\xEF\xBF\xBD(");
    const GsdFilePtr file = ParseOk(document);
    ASSERT_TRUE(file);
    EXPECT_THAT(BuildAllRecords(*file), ::testing::IsEmpty());
    const RecordList& list = file->accessPoints[0].virtualSubmodules.at(0).records;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].items.at(0).id, "\xEF\xBF\xBD(");
    ASSERT_EQ(list[0].menus.size(), 1u);
    EXPECT_THAT(list[0].menus[0].parameters, ElementsAre(0u));
    EXPECT_EQ(list[1].name, "F-Parameter");
    EXPECT_EQ(list[2].items.at(0).values.size(), 1u);
    EXPECT_EQ(&list[2].items.at(0).values.List(), &list[0].items.at(0).values.List());
}

// An import only checks a file; it is built when first asked about. The check
// refuses exactly what building refuses, and what it accepts builds cleanly.
TEST(GsdParser, CheckRefusesExactlyWhatBuildingRefuses) {
    const std::string sub =
        R"(<VirtualSubmoduleList><VirtualSubmoduleItem ID="V" SubmoduleIdentNumber="1" )";
    const std::string endSub = "</VirtualSubmoduleItem></VirtualSubmoduleList>";
    const std::string system = "<SystemDefinedSubmoduleList>";
    const std::string endSystem = "</SystemDefinedSubmoduleList>";
    std::string manyRefs;
    for (int i = 0; i < 30; ++i) {
        manyRefs += "<ModuleItemRef ModuleItemTarget=\"X" + std::to_string(i) +
                    "\" AllowedInSlots=\"" + (i % 3 == 0 ? "1..q" : "2") + "\"/>";
    }
    const std::vector<std::string> documents = {
        MiniGsd(),
        ReadBytes(kSamples / kIoBlock),
        ReadBytes(kSamples / kLegacy),
        MiniGsd("", "", "")
            .replace(MiniGsd().find("VendorID=\"0x0001\""), 17, "VendorID=\"-1\" DeviceID=\"x\""),
        MiniGsd(sub +
                R"(SubslotNumber="a" API="-3" Writeable_IM_Records="1 x">)"
                R"(<IOData><Input><DataItem DataType="Unsigned8" Length="z"/></Input>)"
                R"(<Output><DataItem DataType="Unsigned8" Length="y"/></Output></IOData>)"
                R"(<IsochroneMode T_DC_Base="1" T_DC_Min="m" T_IO_Base="b" T_IO_OutputMin="o"/>)" +
                endSub),
        MiniGsd(
            system +
            R"(<InterfaceSubmoduleItem ID="I" SubmoduleIdentNumber="2" SubslotNumber="x">)"
            R"(<ApplicationRelations><TimingProperties SendClock="8 q" ReductionRatio="1..0" ReductionRatioPow2="2" ReductionRatioNonPow2="k"/></ApplicationRelations>)"
            R"(</InterfaceSubmoduleItem>)"
            R"(<PortSubmoduleItem ID="P1" SubmoduleIdentNumber="3" MAUType="COPPER" MAUTypes="x"/>)"
            R"(<PortSubmoduleItem ID="P2" SubmoduleIdentNumber="3" MAUTypes=" " MAUType="NONE"/>)"
            R"(<PortSubmoduleItem ID="P3" SubmoduleIdentNumber="3" MAUType="NONE"><MAUTypeList><MAUTypeItem Value="v"/></MAUTypeList></PortSubmoduleItem>)" +
            endSystem),
        MiniGsd(
            R"(<ApplicationRelations><TimingProperties SendClock="z"/></ApplicationRelations>)"
            R"(<UseableSubmodules><SubmoduleItemRef SubmoduleItemTarget="S" AllowedInSubslots="q" FixedInSubslots="1..99999999" UsedInSubslots="2"/></UseableSubmodules>)"
            R"(<SubslotList><SubslotItem SubslotNumber="s" TextId="T1"/></SubslotList>)"
            R"(<SlotList><SlotItem SlotNumber="n" TextId="T2"/></SlotList>)",
            R"(<SubmoduleList><SubmoduleItem ID="S" SubmoduleIdentNumber="4" API="x"><ModuleInfo CategoryRef="C9"><Name TextId="T3"/></ModuleInfo></SubmoduleItem></SubmoduleList>)"),
        MiniGsd("<UseableModules>" + manyRefs + "</UseableModules>"),
        MiniGsd(
            R"(<UseableModules><ModuleItemRef ModuleItemTarget="M1" FixedInSlots="1"/><ModuleItemRef ModuleItemTarget="M2"/></UseableModules>)",
            R"(<ModuleList><ModuleItem ID="M1" ModuleIdentNumber="5"><ModuleInfo CategoryRef="C" SubCategory1Ref="C2"><Name TextId="N"/><InfoText TextId="T4"/></ModuleInfo>)"
            R"(<UseableSubmodules><SubmoduleItemRef SubmoduleItemTarget="NONE"/></UseableSubmodules></ModuleItem></ModuleList>)"
            R"(<CategoryList><CategoryItem ID="C" TextId="T5"/></CategoryList>)"),
        MiniGsd(
            "",
            R"(<ChannelDiagList><ChannelDiagItem ErrorType="e"><Name TextId="T6"/><Help TextId="T7"/>)"
            R"(<ExtChannelDiagList><ExtChannelDiagItem ErrorType="f"><Name TextId="T8"/></ExtChannelDiagItem></ExtChannelDiagList></ChannelDiagItem>)"
            R"(<ProfileChannelDiagItem ErrorType="3"><Name TextId="T9"/></ProfileChannelDiagItem><OtherItem ErrorType="x"/></ChannelDiagList>)"
            R"(<UnitDiagTypeList><UnitDiagTypeItem UserStructureIdentifier="u"><Name TextId="TA"/>)"
            R"(<Ref ByteOffset="b" BitOffset="c" BitLength="d" TextId="TB" ValueItemTarget="VZ"/></UnitDiagTypeItem></UnitDiagTypeList>)"),
        "<ISO15745Profile><ProfileBody><ApplicationProcess><DeviceAccessPointList/>"
        "</ApplicationProcess></ProfileBody></ISO15745Profile>",
        "<ISO15745Profile><ProfileBody/></ISO15745Profile>",
        [] {
            // An access point named by a TextId of its own instead of ModuleInfo.
            std::string document = MiniGsd();
            const std::string info = "<ModuleInfo><Name TextId=\"N\"/></ModuleInfo>";
            document.erase(document.find(info), info.size());
            document.insert(document.find("ModuleIdentNumber=\"1\"") + 21, " TextId=\"TX\"");
            return document;
        }(),
    };
    for (std::size_t i = 0; i < documents.size(); ++i) {
        SCOPED_TRACE("document " + std::to_string(i));
        for (const std::string language : {"", "de"}) {
            const ParseOutcome built = ParseGsdml(documents[i], language);
            const CheckedGsd checked = CheckGsdml(documents[i], language);
            EXPECT_EQ(checked.errors, built.errors);
            ASSERT_EQ(checked.document != nullptr, built.file != nullptr);
            if (checked.document) {
                const ParseOutcome fromCheck = BuildChecked(checked.document);
                ASSERT_TRUE(fromCheck.file);
                EXPECT_EQ(fromCheck.file->accessPoints.size(), built.file->accessPoints.size());
                EXPECT_EQ(fromCheck.file->modules.size(), built.file->modules.size());
                EXPECT_THAT(BuildAllRecords(*fromCheck.file), ::testing::IsEmpty());
            }
        }
    }
}

// Real vendor files, where present, are read in both languages.
TEST(GsdParser, ReadsTheVendorFilesWhenPresent) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(GSD_VENDOR_DIR, ec)) {
        for (const char* language : {"", "de"}) {
            const ParseOutcome outcome = ParseGsdml(ReadBytes(entry.path()), language);
            ASSERT_TRUE(outcome.file) << entry.path() << ": " << outcome.errors.front();
            EXPECT_FALSE(outcome.file->accessPoints.at(0).info.name.empty());
        }
    }
}

}  // namespace
