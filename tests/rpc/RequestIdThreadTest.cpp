// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/JsonRequest.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

TEST(RequestIdThreads, IdsStayUniqueAndGaplessAcrossThreads) {
    constexpr int kThreads = 4;
    constexpr int kIdsPerThread = 20000;
    std::vector<std::vector<int>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ids, t] {
            RpcClient::JsonRequest request("m");
            ids[t].reserve(kIdsPerThread);
            for (int i = 0; i < kIdsPerThread; ++i) {
                ids[t].push_back(request.FixRequestId().GetRequestId());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<int> all;
    for (const std::vector<int>& perThread : ids) {
        EXPECT_TRUE(std::is_sorted(perThread.begin(), perThread.end()));
        all.insert(all.end(), perThread.begin(), perThread.end());
    }
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kThreads * kIdsPerThread));
    EXPECT_EQ(all.back() - all.front(), kThreads * kIdsPerThread - 1)
        << "ids must be consecutive: no id lost or handed out twice";
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

}  // namespace
