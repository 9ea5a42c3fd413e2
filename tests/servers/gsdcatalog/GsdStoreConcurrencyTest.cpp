// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"
#include "GsdStore.h"
#include "GsdTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;

constexpr std::size_t kThreads = 4;

// Runs `body(i)` on threads 0 to kThreads-1 at once and waits for them.
void OnThreads(const std::function<void(std::size_t)>& body) {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < kThreads; ++i) {
        threads.emplace_back(body, i);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

// Parameter records are built by whichever thread asks first; the others
// must wait for that build and then see the same records.
TEST(GsdStoreConcurrency, RecordsAskedForByManyThreadsAtOnceAreBuiltOnce) {
    for (int round = 0; round < 20; ++round) {
        const GsdFilePtr file = ParseGsdml(ReadBytes(kSamples / kIoBlock), "").file;
        const RecordList& records = file->FindModule("MOD_DI16")->virtualSubmodules.at(0).records;
        std::vector<const std::vector<ParameterRecord>*> seen(kThreads, nullptr);
        std::vector<std::size_t> items(kThreads, 0);
        OnThreads([&](std::size_t i) {
            seen[i] = &records.Get();
            items[i] = records.Get().at(0).items.size();
        });
        EXPECT_EQ(seen, decltype(seen)(kThreads, seen[0]));
        EXPECT_EQ(items, std::vector<std::size_t>(kThreads, 5u));
    }
}

// The first queries about an installed file may come from several threads at
// once: one reads and builds it, the others wait and get that same index, or
// all of them get the error when the file cannot be read back.
TEST(GsdStoreConcurrency, FirstQueriesFromManyThreadsShareOneBuildOrOneVerdict) {
    ScratchDir dir;
    for (const bool removed : {false, true}) {
        GsdStore store(dir / "catalog", "");
        ASSERT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);
        const InstalledGsdPtr installed = store.Find(kIoBlock);
        if (removed) {
            fs::remove(installed->path);
        }
        std::vector<const GsdFile*> seen(kThreads, nullptr);
        std::vector<int> unreadable(kThreads, 0);
        OnThreads([&](std::size_t i) {
            try {
                seen[i] = installed->file.Get().get();
            } catch (const GsdFileUnreadable&) {
                ++unreadable[i];
            }
        });
        EXPECT_EQ(unreadable, std::vector<int>(kThreads, removed ? 1 : 0));
        EXPECT_EQ(seen, decltype(seen)(kThreads, seen[0]));
        EXPECT_EQ(seen[0] != nullptr, !removed);
        EXPECT_EQ(installed->file.IsBuilt(), !removed);
    }
}

}  // namespace
