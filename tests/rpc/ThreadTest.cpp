// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonRequest.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4;

template <class Work>
void OnThreads(Work work) {
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
        all.insert(all.end(), perThread.begin(), perThread.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.back() - all.front(), kThreads * kIdsPerThread - 1) << "an id lost";
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "an id handed out twice";
}

// Writing and reading keep their JSON writer, parser and buffers per thread;
// threads framing at once must each get their own documents back, small and
// large alike (a large one releases the buffers it grew).
TEST(FramingThreads, ThreadsFramingAtOnceEachReadTheirOwnDocuments) {
    std::vector<int> mismatches(kThreads, 0);
    OnThreads([&mismatches](int t) {
        for (int i = 0; i < 300; ++i) {
            Json::Value body(Json::objectValue);
            body["frame"] = i;
            body["text"] = std::string(i % 50 == 0 ? 100000 + t : 10 + t, 'a' + t);
            std::stringstream stream;
            RpcClient::WriteFrame(stream, body);
            std::string error;
            mismatches[t] += RpcClient::ReadFrame(stream, error) != body || !error.empty();
        }
    });
    EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

}  // namespace
