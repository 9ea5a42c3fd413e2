// SPDX-License-Identifier: Apache-2.0
// Facade calls from several threads at once: each has its own client and
// error list, so one thread's failures never show in another's status.

#include "GsdTestSupport.h"

#include <JsonRpcClient/clients/PNconfigGSDParser.h>
#include <JsonRpcClient/rpc/FailureCodes.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace Tavrel::Gsd;

TEST_F(ScriptedServerTest, ConcurrentCallsKeepTheirOwnStatusAndOutputs) {
    Script(R"({"GetSubmoduleAPI": {"result": 42},
               "GetDevicePhysicalSlots": {"error": {"code": -32601, "message": "missing"}}})");
    constexpr int kThreads = 4;
    constexpr int kCalls = 25;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            PNconfigGSDParser& parser = PNconfigGSDParser::getInstance();
            for (int i = 0; i < kCalls; ++i) {
                if (t % 2 == 0) {
                    int api = 0;
                    if (parser.GetSubmoduleAPI("g", "s", api) != 0 || api != 42) {
                        ++wrong;
                    }
                } else {
                    std::vector<int> slots{1};
                    if (parser.GetDevicePhysicalSlots("g", "d", slots) !=
                            RpcClient::FailureCode::InvalidMethod ||
                        !slots.empty()) {
                        ++wrong;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(Requests().size(), static_cast<size_t>(kThreads * kCalls));
}
