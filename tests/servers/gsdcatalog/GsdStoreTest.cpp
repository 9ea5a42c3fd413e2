// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"
#include "GsdStore.h"
#include "GsdTestSupport.h"
#include "Sha256.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
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
    EXPECT_TRUE(std::regex_match(FormatUtc(now), kUtc)) << FormatUtc(now);
    // 2000-03-01 falls just after a leap day of a century leap year.
    const auto then = now - std::chrono::duration_cast<fs::file_time_type::duration>(
                                std::chrono::system_clock::now().time_since_epoch() -
                                std::chrono::milliseconds(951868800000LL + 3661500));
    EXPECT_EQ(FormatUtc(then), "2000-03-01T01:01:01Z");
}

// An import writes its copy before checking the file. A refused file must
// leave no trace: the installed file of that name keeps its bytes and
// answers, and no temporary file remains.
TEST(GsdStore, ImportCopiesTheBytesAndARefusedOneLeavesTheInstalledFile) {
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
    ASSERT_EQ(store.Installed().size(), 1u);
    EXPECT_EQ(store.Installed()[0]->sha256, Sha256Hex(bytes));
    EXPECT_TRUE(std::regex_match(store.Installed()[0]->installTime, kUtc));

    fs::create_directories(dir / "other");
    for (const std::string& refused : {std::string("<ISO15745Profile><ProfileBody>"),
                                       MiniGsd("<SlotList><SlotItem TextId=\"X\"/></SlotList>")}) {
        WriteBytes(dir / "other" / kLegacy, refused);
        const ImportReport again = store.Import((dir / "other" / kLegacy).u8string());
        EXPECT_FALSE(again.success);
        EXPECT_FALSE(again.valid);
        EXPECT_FALSE(again.errors.empty());
    }
    EXPECT_EQ(ReadBytes(dir / "catalog" / kLegacy), bytes);
    EXPECT_THAT(Names(dir / "catalog"), ElementsAre(kLegacy));
    EXPECT_EQ(store.Find(kLegacy)->sha256, Sha256Hex(bytes));
    EXPECT_EQ(store.Find(kLegacy)->file->accessPoints.at(0).info.id, "DAP1");

    // A valid file of that name replaces it and is answered from; importing
    // the installed copy itself keeps it in place.
    WriteBytes(dir / "other" / kLegacy, MiniGsd());
    ASSERT_TRUE(store.Import((dir / "other" / kLegacy).u8string()).success);
    EXPECT_EQ(store.Find(kLegacy)->file->accessPoints.at(0).info.id, "D");
    EXPECT_EQ(store.Find(kLegacy)->sha256, Sha256Hex(MiniGsd()));
    EXPECT_TRUE(store.Import((dir / "catalog" / kLegacy).u8string()).success);
    EXPECT_EQ(ReadBytes(dir / "catalog" / kLegacy), MiniGsd());
}

TEST(GsdStore, RefusedImportsLeaveTheCatalogueUntouched) {
    ScratchDir dir;
    WriteBytes(dir / "broken.xml", "<ISO15745Profile><ProfileBody>");
    WriteBytes(dir / "page.xml", "<html/>");
    WriteBytes(dir / "notes.txt", ReadBytes(kSamples / kLegacy));
    WriteBytes(dir / "huge.xml", "");
    fs::resize_file(dir / "huge.xml", 100u * 1024u * 1024u);  // sparse: costs no disk space
    const struct {
        fs::path source;
        std::string reason;
    } cases[] = {
        {dir / "broken.xml", "not well-formed XML"},
        {dir / "page.xml", "not a GSDML document"},
        {dir / "huge.xml", "more than"},
        {dir / "notes.txt", "does not name a GSD file"},
        {dir / "missing.xml", "cannot read"},
        {dir.path, "does not name a GSD file"},
    };
    GsdStore store(dir / "catalog", "");
    for (const auto& c : cases) {
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

TEST(GsdStore, RemoveDeletesOneFileAndRefusesNamesOutsideTheCatalogue) {
    ScratchDir dir;
    GsdStore store(dir / "catalog", "");
    ASSERT_TRUE(store.Import((kSamples / kLegacy).u8string()).success);
    ASSERT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);
    WriteBytes(dir / "victim.xml", "keep me");
    WriteBytes(dir / "catalog" / "readme.txt", "not a GSD file");
    const struct {
        std::string name;
        const char* reason;
    } cases[] = {
        {"../victim.xml", "not a file name"},
        {(dir / "victim.xml").u8string(), "not a file name"},
        {"..", "not a file name"},
        {"", "not a file name"},
        {"sub/x.xml", "not a file name"},
        {"..\\victim.xml", "not a file name"},
        {"GSDML-none.xml", "not installed"},
        {"readme.txt", "not the name of a GSD file"},
    };
    for (const auto& c : cases) {
        const RemoveReport report = store.Remove(c.name);
        EXPECT_FALSE(report.success) << c.name;
        EXPECT_THAT(report.errors.at(0), HasSubstr(c.reason)) << c.name;
    }
    EXPECT_TRUE(fs::exists(dir / "victim.xml"));
    EXPECT_TRUE(fs::exists(dir / "catalog" / "readme.txt"));

    const RemoveReport removed = store.Remove(kLegacy);
    EXPECT_TRUE(removed.success);
    EXPECT_EQ(fs::u8path(removed.path), dir / "catalog" / kLegacy);
    EXPECT_FALSE(fs::exists(dir / "catalog" / kLegacy));
    ASSERT_EQ(store.Installed().size(), 1u);
    EXPECT_EQ(store.Installed()[0]->name, kIoBlock);
}

// Each store stands for one server process: they share only the directory.
TEST(GsdStore, SeesFilesOtherProcessesInstalledChangedOrRemoved) {
    ScratchDir dir;
    fs::create_directories(dir / "catalog");
    fs::copy_file(kSamples / kIoBlock, dir / "catalog" / kIoBlock);
    WriteBytes(dir / "catalog" / "GSDML-bad.xml", "garbage");
    WriteBytes(dir / "catalog" / ".GSDML-x.xml.1234.tmp", "half written");
    GsdStore mine(dir / "catalog", "");
    GsdStore other(dir / "catalog", "");
    EXPECT_THAT(mine.Refresh(), ElementsAre(kIoBlock));
    // Found without a refresh; a broken file is passed over until it is
    // replaced by a good one.
    ASSERT_TRUE(other.Import((kSamples / kLegacy).u8string()).success);
    EXPECT_EQ(mine.Find(kLegacy)->file->accessPoints.at(0).info.id, "DAP1");
    EXPECT_FALSE(mine.Find("../" + kLegacy));
    EXPECT_FALSE(mine.Find("GSDML-bad.xml"));
    EXPECT_FALSE(mine.Find("GSDML-bad.xml"));
    WriteBytes(dir / "catalog" / "GSDML-bad.xml", ReadBytes(kSamples / kLegacy));
    EXPECT_TRUE(mine.Find("GSDML-bad.xml"));

    fs::remove(dir / "catalog" / kIoBlock);
    EXPECT_THAT(mine.Refresh(), ElementsAre(kLegacy, "GSDML-bad.xml"));
    EXPECT_FALSE(mine.Find(kIoBlock));
}

// pugixml's live blocks, counted while a test takes over its allocation.
std::atomic<long> pugixmlBlocks{0};

// A file the catalogue has checked but nobody has asked about must not keep
// its parsed document: a scan of a large catalogue would hold them all.
TEST(LazyGsdFile, CheckedFilesHoldNoParsedDocumentUntilAskedAbout) {
    const auto allocate = pugi::get_memory_allocation_function();
    const auto deallocate = pugi::get_memory_deallocation_function();
    pugi::set_memory_management_functions(
        [](std::size_t size) {
            ++pugixmlBlocks;
            return std::malloc(size);
        },
        [](void* block) {
            pugixmlBlocks -= block ? 1 : 0;
            std::free(block);
        });
    {
        const CheckedGsd checked = CheckGsdml(ReadBytes(kSamples / kIoBlock), "");
        EXPECT_GT(pugixmlBlocks, 0);  // the counting sees a live document
    }
    EXPECT_EQ(pugixmlBlocks, 0);

    ScratchDir dir;
    fs::create_directories(dir / "catalog");
    fs::copy_file(kSamples / kLegacy, dir / "catalog" / kLegacy);
    GsdStore store(dir / "catalog", "");
    EXPECT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);  // imported
    EXPECT_EQ(store.Installed().size(), 2u);                              // and found by the scan
    EXPECT_EQ(pugixmlBlocks, 0);
    for (const InstalledGsdPtr& gsd : store.Installed()) {
        EXPECT_FALSE(gsd->file.IsBuilt()) << gsd->name;
    }
    // Asked about, the file is built with its records and keeps no document
    // for records built later.
    const InstalledGsdPtr ioBlock = store.Find(kIoBlock);
    EXPECT_EQ(ioBlock->file->accessPoints.size(), 2u);
    EXPECT_TRUE(ioBlock->file.IsBuilt());
    EXPECT_FALSE(store.Find(kLegacy)->file.IsBuilt());
    EXPECT_EQ(pugixmlBlocks, 0);
    EXPECT_FALSE(
        ioBlock->file->FindModule("MOD_DI16")->virtualSubmodules.at(0).records.at(0).items.empty());
    pugi::set_memory_management_functions(allocate, deallocate);
}

TEST(LazyGsdFile, CopiesShareOneBuildInTheGivenLanguage) {
    ScratchDir dir;
    const std::string german =
        MiniGsd("", "",
                "</PrimaryLanguage><Language xml:lang=\"de\"><Text TextId=\"N\" Value=\"Name DE\"/>"
                "</Language><PrimaryLanguage>");
    WriteBytes(dir / "a.xml", german);
    const LazyGsdFile lazy(dir / "a.xml", Sha256Hex(german), "de");
    const LazyGsdFile copy = lazy;
    EXPECT_FALSE(copy.IsBuilt());
    ASSERT_TRUE(lazy.Get());
    EXPECT_TRUE(copy.IsBuilt());
    EXPECT_EQ(copy.Get(), lazy.Get());
    EXPECT_EQ(lazy->accessPoints.at(0).info.name, "Name DE");
    EXPECT_FALSE(LazyGsdFile().Get());
}

}  // namespace
