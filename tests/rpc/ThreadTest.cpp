// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonRequest.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4;

void OnThreads(const std::function<void(int)>& work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(work, t);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

TEST(RequestIdThreads, IdsStayUniqueAndGaplessAcrossThreads) {
    constexpr int kIdsPerThread = 20000;
    std::vector<std::vector<int>> ids(kThreads);
    OnThreads([&ids](int t) {
        RpcClient::JsonRequest request("m");
        for (int i = 0; i < kIdsPerThread; ++i) {
            ids[t].push_back(request.FixRequestId().GetRequestId());
        }
    });
    std::vector<int> all;
    for (const std::vector<int>& perThread : ids) {
        EXPECT_TRUE(std::is_sorted(perThread.begin(), perThread.end()));
        all.insert(all.end(), perThread.begin(), perThread.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.back() - all.front(), kThreads * kIdsPerThread - 1)
        << "ids must be consecutive: no id lost or handed out twice";
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

// Writing and reading keep their JSON writer, parser and buffers per thread;
// threads framing different documents at once must each get their own back,
// small and large alike (a large one releases the buffers it grew).
TEST(FramingThreads, ThreadsFramingAtOnceEachReadTheirOwnDocuments) {
    std::vector<int> mismatches(kThreads, 0);
    OnThreads([&mismatches](int t) {
        for (int i = 0; i < 300; ++i) {
            Json::Value body(Json::objectValue);
            body["thread"] = t;
            body["frame"] = i;
            body["text"] =
                std::string(i % 50 == 0 ? 100000 + t : 10 + t, static_cast<char>('a' + t));
            std::stringstream stream;
            RpcClient::WriteFrame(stream, body);
            std::string error;
            if (RpcClient::ReadFrame(stream, error) != body || !error.empty()) {
                ++mismatches[t];
            }
        }
    });
    EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

}  // namespace
