// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"
#include "GsdStore.h"
#include "GsdTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;
using ::testing::ElementsAre;

TEST(GsdStore, FormatsInstallTimesAsUtc) {
    const auto now = fs::file_time_type::clock::now();
    // 2000-03-01 falls just after a leap day of a century leap year.
    const auto then = now - std::chrono::duration_cast<fs::file_time_type::duration>(
                                std::chrono::system_clock::now().time_since_epoch() -
                                std::chrono::milliseconds(951868800000LL + 3661500));
    EXPECT_EQ(FormatUtc(then), "2000-03-01T01:01:01Z");
}

// pugixml's live blocks, counted while a test takes over its allocation.
std::atomic<long> pugixmlBlocks{0};

// Each store stands for one server process: they share only the directory.
// A file a store has checked (imported or found) but nobody has asked about
// keeps no parsed document: a scan of a large catalogue would hold them all.
TEST(GsdStore, SeesWhatOtherProcessesDidAndHoldsNoDocumentUntilAsked) {
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
    fs::copy_file(kSamples / kIoBlock, dir / "catalog" / kIoBlock);
    WriteBytes(dir / "catalog" / "GSDML-bad.xml", "garbage");
    WriteBytes(dir / "catalog" / ".GSDML-x.xml.1234.tmp", "half written");
    GsdStore mine(dir / "catalog", "");
    GsdStore other(dir / "catalog", "");
    EXPECT_THAT(mine.Refresh(), ElementsAre(kIoBlock));
    EXPECT_TRUE(other.Import((kSamples / kLegacy).u8string()).success);
    EXPECT_EQ(other.Installed().size(), 2u);
    EXPECT_EQ(pugixmlBlocks, 0);
    for (const InstalledGsdPtr& gsd : other.Installed()) {
        EXPECT_FALSE(gsd->file.IsBuilt()) << gsd->name;
    }
    // Found without a refresh; asked about, built with its records, and no
    // document kept for records built later.
    const InstalledGsdPtr ioBlock = other.Find(kIoBlock);
    EXPECT_EQ(ioBlock->file->accessPoints.size(), 2u);
    EXPECT_TRUE(ioBlock->file.IsBuilt());
    EXPECT_FALSE(other.Find(kLegacy)->file.IsBuilt());
    EXPECT_EQ(mine.Find(kLegacy)->file->accessPoints.at(0).info.id, "DAP1");
    EXPECT_FALSE(
        ioBlock->file->FindModule("MOD_DI16")->virtualSubmodules.at(0).records.at(0).items.empty());
    EXPECT_EQ(pugixmlBlocks, 0);
    pugi::set_memory_management_functions(allocate, deallocate);

    // A broken file is passed over until it is replaced by a good one.
    EXPECT_FALSE(mine.Find("../" + kLegacy));
    EXPECT_FALSE(mine.Find("GSDML-bad.xml"));
    EXPECT_FALSE(mine.Find("GSDML-bad.xml"));
    WriteBytes(dir / "catalog" / "GSDML-bad.xml", ReadBytes(kSamples / kLegacy));
    EXPECT_TRUE(mine.Find("GSDML-bad.xml"));
    fs::remove(dir / "catalog" / kIoBlock);
    EXPECT_THAT(mine.Refresh(), ElementsAre(kLegacy, "GSDML-bad.xml"));
    EXPECT_FALSE(mine.Find(kIoBlock));
}

}  // namespace
