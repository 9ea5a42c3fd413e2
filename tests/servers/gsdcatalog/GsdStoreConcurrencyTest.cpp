// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"
#include "GsdStore.h"
#include "GsdTestSupport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace GsdCatalog;
using namespace GsdTest;

// Each store stands for one server process: they share only the directory.
TEST(GsdStoreConcurrency, SimultaneousImportsIntoOneCatalogueAllSucceed) {
    ScratchDir dir;
    const std::string ioBlock = ReadBytes(kSamples / kIoBlock);
    constexpr int kWriters = 4;
    constexpr int kRounds = 5;
    std::vector<fs::path> sources;
    for (int i = 0; i < kWriters; ++i) {
        // Half the writers fight over one name, the others use names of their own.
        const std::string name =
            i % 2 == 0 ? "GSDML-shared.xml" : "GSDML-own-" + std::to_string(i) + ".xml";
        fs::create_directories(dir / ("src" + std::to_string(i)));
        sources.push_back(dir / ("src" + std::to_string(i)) / name);
        WriteBytes(sources.back(), ioBlock);
    }
    std::vector<int> failures(kWriters, 0);
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i) {
        writers.emplace_back([&, i] {
            GsdStore store(dir / "catalog", "");
            for (int round = 0; round < kRounds; ++round) {
                if (!store.Import(sources[static_cast<std::size_t>(i)].u8string()).success) {
                    ++failures[static_cast<std::size_t>(i)];
                }
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    for (int i = 0; i < kWriters; ++i) {
        EXPECT_EQ(failures[static_cast<std::size_t>(i)], 0) << "writer " << i;
    }
    GsdStore reader(dir / "catalog", "");
    const auto names = reader.Refresh();
    EXPECT_EQ(names.size(), 3u);
    for (const auto& entry : fs::directory_iterator(dir / "catalog")) {
        EXPECT_EQ(ReadBytes(entry.path()), ioBlock)
            << entry.path();  // whole files only, no leftovers
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
        constexpr int kReaders = 4;
        std::vector<const std::vector<ParameterRecord>*> seen(kReaders, nullptr);
        std::vector<std::size_t> items(kReaders, 0);
        std::vector<std::thread> readers;
        for (int i = 0; i < kReaders; ++i) {
            readers.emplace_back([&, i] {
                const auto at = static_cast<std::size_t>(i);
                seen[at] = &records.Get();
                items[at] = records.Get().at(0).items.size();
            });
        }
        for (std::thread& reader : readers) {
            reader.join();
        }
        for (int i = 0; i < kReaders; ++i) {
            EXPECT_EQ(seen[static_cast<std::size_t>(i)], seen[0]);
            EXPECT_EQ(items[static_cast<std::size_t>(i)], items[0]);
        }
        EXPECT_GT(items[0], 0u);
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
        constexpr int kReaders = 4;
        std::vector<const GsdFile*> seen(kReaders, nullptr);
        std::vector<int> unreadable(kReaders, 0);
        std::vector<std::thread> readers;
        for (int i = 0; i < kReaders; ++i) {
            readers.emplace_back([&, i] {
                const auto at = static_cast<std::size_t>(i);
                try {
                    seen[at] = installed->file.Get().get();
                } catch (const GsdFileUnreadable&) {
                    ++unreadable[at];
                }
            });
        }
        for (std::thread& reader : readers) {
            reader.join();
        }
        for (int i = 0; i < kReaders; ++i) {
            const auto at = static_cast<std::size_t>(i);
            EXPECT_EQ(unreadable[at], removed ? 1 : 0) << "reader " << i;
            EXPECT_EQ(seen[at], removed ? nullptr : seen[0]) << "reader " << i;
        }
        EXPECT_EQ(seen[0] != nullptr, !removed);
        EXPECT_EQ(installed->file.IsBuilt(), !removed);
    }
}

}  // namespace
