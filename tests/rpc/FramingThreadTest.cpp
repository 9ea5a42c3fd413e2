// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Writing and reading keep their JSON writer, parser and buffers per thread;
// threads framing different documents at once must each get their own back,
// small and large alike (a large one releases the buffers it grew).
TEST(FramingThreads, ThreadsFramingAtOnceEachReadTheirOwnDocuments) {
    constexpr int kThreads = 4;
    constexpr int kFrames = 300;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&mismatches, t] {
            for (int i = 0; i < kFrames; ++i) {
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
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    }
}

}  // namespace
