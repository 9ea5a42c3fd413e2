// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"
#include "GsdStore.h"
#include "GsdTestSupport.h"
#include "Sha256.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;
using ::testing::HasSubstr;

// The blocks pugixml holds for live documents, counted by taking over its
// allocation for the lifetime of the object. Blocks allocated before the
// counting began are freed all the same.
class PugixmlMemory {
public:
    PugixmlMemory()
        : allocate_(pugi::get_memory_allocation_function()),
          deallocate_(pugi::get_memory_deallocation_function()) {
        pugi::set_memory_management_functions(
            [](std::size_t size) {
                void* block = std::malloc(size);
                const std::lock_guard<std::mutex> lock(mutex);
                blocks.insert(block);
                return block;
            },
            [](void* block) {
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    blocks.erase(block);
                }
                std::free(block);
            });
    }
    ~PugixmlMemory() { pugi::set_memory_management_functions(allocate_, deallocate_); }
    PugixmlMemory(const PugixmlMemory&) = delete;
    PugixmlMemory& operator=(const PugixmlMemory&) = delete;

    static std::size_t Live() {
        const std::lock_guard<std::mutex> lock(mutex);
        return blocks.size();
    }

private:
    static inline std::mutex mutex;
    static inline std::unordered_set<void*> blocks;
    pugi::allocation_function allocate_;
    pugi::deallocation_function deallocate_;
};

// A file the catalogue has checked but nobody has asked about must not keep
// its parsed document: a scan of a large catalogue would hold them all.
TEST(LazyGsdFile, CheckedFilesHoldNoParsedDocumentUntilAskedAbout) {
    const PugixmlMemory memory;
    {
        const CheckedGsd checked = CheckGsdml(ReadBytes(kSamples / kIoBlock), "");
        ASSERT_TRUE(checked.document);
        EXPECT_GT(PugixmlMemory::Live(), 0u);  // the counting sees a live document
    }
    EXPECT_EQ(PugixmlMemory::Live(), 0u);

    ScratchDir dir;
    fs::create_directories(dir / "catalog");
    fs::copy_file(kSamples / kLegacy, dir / "catalog" / kLegacy);
    GsdStore store(dir / "catalog", "");
    ASSERT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);  // imported
    ASSERT_EQ(store.Installed().size(), 2u);                              // and found by the scan
    EXPECT_EQ(PugixmlMemory::Live(), 0u);
    for (const InstalledGsdPtr& gsd : store.Installed()) {
        EXPECT_FALSE(gsd->file.IsBuilt()) << gsd->name;
    }

    // Asked about, the file is built with its records and keeps no document
    // for records built later.
    const InstalledGsdPtr ioBlock = store.Find(kIoBlock);
    EXPECT_EQ(ioBlock->file->accessPoints.size(), 2u);
    EXPECT_TRUE(ioBlock->file.IsBuilt());
    EXPECT_FALSE(store.Find(kLegacy)->file.IsBuilt());
    EXPECT_EQ(PugixmlMemory::Live(), 0u);
    EXPECT_FALSE(
        ioBlock->file->FindModule("MOD_DI16")->virtualSubmodules.at(0).records.at(0).items.empty());
}

TEST(LazyGsdFile, BuildsFromTheFileInItsLanguageOnlyWhileItHoldsTheCheckedBytes) {
    ScratchDir dir;
    const std::string german =
        MiniGsd("", "",
                "</PrimaryLanguage><Language xml:lang=\"de\"><Text TextId=\"N\" Value=\"Name DE\"/>"
                "</Language><PrimaryLanguage>");
    WriteBytes(dir / "a.xml", german);
    const LazyGsdFile lazy(dir / "a.xml", Sha256Hex(german), "de");
    const LazyGsdFile copy = lazy;  // copies share the one build
    EXPECT_FALSE(copy.IsBuilt());
    ASSERT_TRUE(lazy.Get());
    EXPECT_TRUE(copy.IsBuilt());
    EXPECT_EQ(copy.Get(), lazy.Get());
    EXPECT_EQ(lazy->accessPoints.at(0).info.name, "Name DE");
    fs::remove(dir / "a.xml");
    EXPECT_EQ(lazy->accessPoints.at(0).info.name, "Name DE");  // built once, kept

    // Not built: each failure is reported, and nothing of it is kept.
    WriteBytes(dir / "b.xml", MiniGsd() + " ");
    const LazyGsdFile changed(dir / "b.xml", Sha256Hex(MiniGsd()), "");
    const LazyGsdFile missing(dir / "missing.xml", Sha256Hex(MiniGsd()), "");
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW(changed.Get(), GsdFileUnreadable);
        EXPECT_FALSE(changed.IsBuilt());
        try {
            missing.Get();
            ADD_FAILURE() << "a missing file was built";
        } catch (const GsdFileUnreadable& error) {
            EXPECT_THAT(error.what(), HasSubstr("missing.xml"));
        }
    }
    WriteBytes(dir / "b.xml", MiniGsd());
    EXPECT_EQ(changed->accessPoints.size(), 1u);
    EXPECT_FALSE(LazyGsdFile().Get());
}

}  // namespace
