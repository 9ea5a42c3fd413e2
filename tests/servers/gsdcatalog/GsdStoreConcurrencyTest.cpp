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

// Each store stands for one server process: they share only the directory.
TEST(GsdStoreConcurrency, SimultaneousImportsIntoOneCatalogueAllSucceed) {
    ScratchDir dir;
    const std::string ioBlock = ReadBytes(kSamples / kIoBlock);
    std::vector<fs::path> sources;
    for (std::size_t i = 0; i < kThreads; ++i) {
        // Half the writers fight over one name, the others use names of their own.
        const std::string name =
            i % 2 == 0 ? "GSDML-shared.xml" : "GSDML-own-" + std::to_string(i) + ".xml";
        fs::create_directories(dir / ("src" + std::to_string(i)));
        sources.push_back(dir / ("src" + std::to_string(i)) / name);
        WriteBytes(sources.back(), ioBlock);
    }
    std::vector<int> failures(kThreads, 0);
    OnThreads([&](std::size_t i) {
        GsdStore store(dir / "catalog", "");
        for (int round = 0; round < 5; ++round) {
            failures[i] += store.Import(sources[i].u8string()).success ? 0 : 1;
        }
    });
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    EXPECT_EQ(GsdStore(dir / "catalog", "").Refresh().size(), 3u);
    for (const auto& entry : fs::directory_iterator(dir / "catalog")) {
        EXPECT_EQ(ReadBytes(entry.path()), ioBlock) << entry.path();  // whole files, no leftovers
    }
}

// Parameter records are built by whichever thread asks first; the others
// must wait for that build and then see the same records.
TEST(GsdStoreConcurrency, RecordsAskedForByManyThreadsAtOnceAreBuiltOnce) {
    for (int round = 0; round < 20; ++round) {
        const ParseOutcome parsed = ParseGsdml(ReadBytes(kSamples / kIoBlock), "");
        ASSERT_TRUE(parsed.file);
        const RecordList& records =
            parsed.file->FindModule("MOD_DI16")->virtualSubmodules.at(0).records;
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
