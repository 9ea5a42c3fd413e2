// SPDX-License-Identifier: Apache-2.0
#include "GsdStore.h"
#include "GsdTestSupport.h"
#include "Sha256.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::regex kUtc(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)");

// The names in a directory: no temporary file may be left behind.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().u8string());
    }
    return names;
}

TEST(Sha256, MatchesKnownDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(GsdStore, FormatsInstallTimesAsUtc) {
    const auto now = fs::file_time_type::clock::now();
    const std::string text = FormatUtc(now);
    EXPECT_TRUE(std::regex_match(text, kUtc)) << text;
    // 2000-03-01 falls just after a leap day of a century leap year.
    const auto then = now - std::chrono::duration_cast<fs::file_time_type::duration>(
                                std::chrono::system_clock::now().time_since_epoch() -
                                std::chrono::milliseconds(951868800000LL + 3661500));
    EXPECT_EQ(FormatUtc(then), "2000-03-01T01:01:01Z");
}

TEST(GsdStore, ImportCopiesTheBytesAndRecordsHashAndTime) {
    ScratchDir dir;
    GsdStore store(dir / "catalog", "");
    const std::string bytes = ReadBytes(kSamples / kLegacy);
    const ImportReport report = store.Import((kSamples / kLegacy).u8string());
    ASSERT_TRUE(report.success) << (report.errors.empty() ? "" : report.errors.front());
    EXPECT_TRUE(report.valid);
    EXPECT_THAT(report.errors, IsEmpty());
    EXPECT_EQ(report.name, kLegacy);
    EXPECT_EQ(fs::u8path(report.path), dir / "catalog" / kLegacy);
    EXPECT_EQ(ReadBytes(report.path), bytes);  // Latin-1 bytes kept as they were

    const auto installed = store.Installed();
    ASSERT_EQ(installed.size(), 1u);
    EXPECT_EQ(installed[0]->sha256, Sha256Hex(bytes));
    EXPECT_TRUE(std::regex_match(installed[0]->installTime, kUtc));
    EXPECT_THAT(Names(dir / "catalog"), ElementsAre(kLegacy));
}

TEST(GsdStore, RefusedImportsLeaveTheCatalogueUntouched) {
    ScratchDir dir;
    WriteBytes(dir / "broken.xml", "<ISO15745Profile><ProfileBody>");
    WriteBytes(dir / "page.xml", "<html/>");
    WriteBytes(dir / "notes.txt", ReadBytes(kSamples / kLegacy));
    { std::ofstream huge(dir / "huge.xml", std::ios::binary); }
    fs::resize_file(dir / "huge.xml", 100u * 1024u * 1024u);  // sparse: costs no disk space
    struct Case {
        fs::path source;
        std::string reason;
    } cases[] = {
        {dir / "broken.xml", "not well-formed XML"},
        {dir / "page.xml", "not a GSDML document"},
        {dir / "huge.xml", "more than"},
        {dir / "notes.txt", "does not name a GSD file"},
        {dir / "missing.xml", "cannot read"},
        {dir.path(), "does not name a GSD file"},
    };
    GsdStore store(dir / "catalog", "");
    for (const Case& c : cases) {
        const ImportReport report = store.Import(c.source.u8string());
        EXPECT_FALSE(report.success) << c.source;
        EXPECT_FALSE(report.valid) << c.source;
        ASSERT_FALSE(report.errors.empty()) << c.source;
        EXPECT_THAT(report.errors[0], HasSubstr(c.reason)) << c.source;
    }
    EXPECT_THAT(store.Installed(), IsEmpty());
    EXPECT_FALSE(fs::exists(dir / "catalog" / "broken.xml"));

    // A target that cannot be replaced (a folder of that name) fails the
    // import once the retries are spent, instead of waiting forever.
    fs::create_directories(dir / "catalog" / kLegacy / "x");
    EXPECT_FALSE(store.Import((kSamples / kLegacy).u8string()).success);
}

// Once the catalogue exists, an import writes its copy before checking the
// file. A refused file must still leave no trace: the installed file of the
// same name keeps its bytes and answers, and no temporary file remains.
TEST(GsdStore, RefusedImportOverAnInstalledFileLeavesItAndNoTemporaryFile) {
    ScratchDir dir;
    GsdStore store(dir / "catalog", "");
    ASSERT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);
    const std::string installedBytes = ReadBytes(dir / "catalog" / kIoBlock);
    fs::create_directories(dir / "other");
    for (const std::string& bytes : {std::string("<ISO15745Profile><ProfileBody>"),
                                     MiniGsd("<SlotList><SlotItem TextId=\"X\"/></SlotList>")}) {
        WriteBytes(dir / "other" / kIoBlock, bytes);
        const ImportReport report = store.Import((dir / "other" / kIoBlock).u8string());
        EXPECT_FALSE(report.success);
        EXPECT_FALSE(report.valid);
        EXPECT_FALSE(report.errors.empty());
    }
    EXPECT_EQ(ReadBytes(dir / "catalog" / kIoBlock), installedBytes);
    EXPECT_THAT(Names(dir / "catalog"), ElementsAre(kIoBlock));
    const InstalledGsdPtr installed = store.Find(kIoBlock);
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->sha256, Sha256Hex(installedBytes));
    EXPECT_EQ(installed->file->accessPoints.size(), 2u);

    // A valid file of that name replaces it, and the replacement is what is
    // answered from.
    WriteBytes(dir / "other" / kIoBlock, MiniGsd());
    ASSERT_TRUE(store.Import((dir / "other" / kIoBlock).u8string()).success);
    EXPECT_EQ(ReadBytes(dir / "catalog" / kIoBlock), MiniGsd());
    EXPECT_EQ(store.Find(kIoBlock)->file->accessPoints.size(), 1u);
    EXPECT_EQ(store.Find(kIoBlock)->sha256, Sha256Hex(MiniGsd()));
    // Importing the installed copy itself keeps it in place.
    EXPECT_TRUE(store.Import((dir / "catalog" / kIoBlock).u8string()).success);
    EXPECT_EQ(ReadBytes(dir / "catalog" / kIoBlock), MiniGsd());
}

TEST(GsdStore, RemoveDeletesOneFileAndRefusesNamesOutsideTheCatalogue) {
    ScratchDir dir;
    GsdStore store(dir / "catalog", "");
    ASSERT_TRUE(store.Import((kSamples / kLegacy).u8string()).success);
    ASSERT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);
    WriteBytes(dir / "victim.xml", "keep me");

    for (const std::string& name : std::vector<std::string>{
             "../victim.xml", (dir / "victim.xml").u8string(), std::string(".."), std::string(""),
             std::string("sub/x.xml"), std::string("..\\victim.xml")}) {
        const RemoveReport report = store.Remove(name);
        EXPECT_FALSE(report.success) << name;
        EXPECT_THAT(report.errors.at(0), HasSubstr("not a file name")) << name;
    }
    EXPECT_TRUE(fs::exists(dir / "victim.xml"));

    WriteBytes(dir / "catalog" / "readme.txt", "not a GSD file");
    EXPECT_THAT(store.Remove("readme.txt").errors.at(0), HasSubstr("not the name of a GSD file"));
    EXPECT_TRUE(fs::exists(dir / "catalog" / "readme.txt"));

    const RemoveReport missing = store.Remove("GSDML-none.xml");
    EXPECT_FALSE(missing.success);
    EXPECT_THAT(missing.errors.at(0), HasSubstr("not installed"));

    const RemoveReport removed = store.Remove(kLegacy);
    EXPECT_TRUE(removed.success);
    EXPECT_EQ(fs::u8path(removed.path), dir / "catalog" / kLegacy);
    EXPECT_FALSE(fs::exists(dir / "catalog" / kLegacy));
    ASSERT_EQ(store.Installed().size(), 1u);
    EXPECT_EQ(store.Installed()[0]->name, kIoBlock);
}

TEST(GsdStore, RefreshPicksUpNewChangedAndVanishedFilesAndSkipsInvalidOnes) {
    ScratchDir dir;
    fs::create_directories(dir / "catalog");
    fs::copy_file(kSamples / kIoBlock, dir / "catalog" / kIoBlock);
    WriteBytes(dir / "catalog" / "GSDML-bad.xml", "garbage");
    WriteBytes(dir / "catalog" / ".GSDML-x.xml.1234.tmp", "half written");
    GsdStore store(dir / "catalog", "");
    EXPECT_THAT(store.Refresh(), ElementsAre(kIoBlock));

    fs::copy_file(kSamples / kLegacy, dir / "catalog" / kLegacy);
    EXPECT_THAT(store.Refresh(), ElementsAre(kLegacy, kIoBlock));

    fs::remove(dir / "catalog" / kIoBlock);
    EXPECT_THAT(store.Refresh(), ElementsAre(kLegacy));
    EXPECT_FALSE(store.Find(kIoBlock));
}

TEST(GsdStore, FindsFilesAnotherProcessInstalledWithoutARefresh) {
    ScratchDir dir;
    GsdStore mine(dir / "catalog", "");
    GsdStore other(dir / "catalog", "");
    EXPECT_THAT(mine.Installed(), IsEmpty());  // scanned while still empty
    ASSERT_TRUE(other.Import((kSamples / kLegacy).u8string()).success);
    const InstalledGsdPtr found = mine.Find(kLegacy);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->file->accessPoints.at(0).info.id, "DAP1");
    EXPECT_FALSE(mine.Find("../" + kLegacy));

    // A broken file is passed over until it is replaced by a good one.
    WriteBytes(dir / "catalog" / "GSDML-late.xml", "<broken");
    EXPECT_FALSE(mine.Find("GSDML-late.xml"));
    EXPECT_FALSE(mine.Find("GSDML-late.xml"));
    WriteBytes(dir / "catalog" / "GSDML-late.xml", ReadBytes(kSamples / kLegacy));
    EXPECT_TRUE(mine.Find("GSDML-late.xml"));
}

}  // namespace
