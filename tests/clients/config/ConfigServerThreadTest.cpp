// SPDX-License-Identifier: Apache-2.0
#include "ConfigServerFixture.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using RpcClient::Tavrel::PnConfigClient;

TEST_F(ConfigServer, ClientsOnSeveralThreadsGetTheirOwnAnswers) {
    constexpr int kThreads = 4;
    constexpr int kCalls = 50;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            PnConfigClient client(server_);
            for (int i = 0; i < kCalls; ++i) {
                const int value = t * 1000 + i;
                const auto echoed =
                    client.RunTest(value, std::to_string(value), i % 2 == 0, value / 4.0, 0.5f);
                if (client.HasError() || echoed.TestInt != value ||
                    echoed.InnerStruct.InnerString != std::to_string(value)) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
