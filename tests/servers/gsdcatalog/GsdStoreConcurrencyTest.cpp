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
// Half the writers fight over one name, the others use names of their own.
TEST(GsdStoreConcurrency, SimultaneousImportsIntoOneCatalogueAllSucceed) {
    ScratchDir dir;
    const std::string ioBlock = ReadBytes(kSamples / kIoBlock);
    std::vector<int> failures(kThreads, 0);
    OnThreads([&](std::size_t i) {
        const fs::path source =
            dir / ("src" + std::to_string(i)) /
            (i % 2 ? "GSDML-own-" + std::to_string(i) + ".xml" : "GSDML-shared.xml");
        fs::create_directories(source.parent_path());
        WriteBytes(source, ioBlock);
        GsdStore store(dir / "catalog", "");
        for (int round = 0; round < 5; ++round) {
            failures[i] += store.Import(source.u8string()).success ? 0 : 1;
        }
    });
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    EXPECT_EQ(GsdStore(dir / "catalog", "").Refresh().size(), 3u);
    for (const auto& entry : fs::directory_iterator(dir / "catalog")) {
        EXPECT_EQ(ReadBytes(entry.path()), ioBlock) << entry.path();  // whole files, no leftovers
    }
}

// The first queries about an installed file may come from several threads at
// once: one reads and builds it, the others wait and get that same index, or
// all of them get the error when the file cannot be read back. A parsed
// file's parameter records are built likewise by whichever thread asks first.
TEST(GsdStoreConcurrency, FirstQueriesFromManyThreadsShareOneBuildOrOneVerdict) {
    ScratchDir dir;
    for (int round = 0; round < 20; ++round) {
        const bool removed = round % 4 == 3;
        GsdStore store(dir / "catalog", "");
        ASSERT_TRUE(store.Import((kSamples / kIoBlock).u8string()).success);
        const InstalledGsdPtr installed = store.Find(kIoBlock);
        if (removed) {
            fs::remove(installed->path);
        }
        const GsdFilePtr parsed = ParseGsdml(ReadBytes(kSamples / kIoBlock), "").file;
        const RecordList& di16 = parsed->FindModule("MOD_DI16")->virtualSubmodules.at(0).records;
        std::vector<const GsdFile*> seen(kThreads, nullptr);
        std::vector<const std::vector<ParameterRecord>*> records(kThreads, nullptr);
        std::vector<int> unreadable(kThreads, 0);
        OnThreads([&](std::size_t i) {
            records[i] = &di16.Get();
            try {
                seen[i] = installed->file.Get().get();
            } catch (const GsdFileUnreadable&) {
                ++unreadable[i];
            }
        });
        EXPECT_EQ(unreadable, std::vector<int>(kThreads, removed ? 1 : 0));
        EXPECT_EQ(seen, decltype(seen)(kThreads, seen[0]));
        EXPECT_EQ(records, decltype(records)(kThreads, records[0]));
        EXPECT_EQ(seen[0] != nullptr, !removed);
        EXPECT_EQ(installed->file.IsBuilt(), !removed);
        EXPECT_EQ(records[0]->at(0).items.size(), 5u);
    }
}

}  // namespace
