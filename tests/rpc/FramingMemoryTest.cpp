// SPDX-License-Identifier: Apache-2.0
// An absurd Content-Length costs no more memory than the bytes that arrive;
// the operator new below remembers the largest allocation.
#include <JsonRpcClient/rpc/Framing.h>
#ifdef JRC_TEST_SERVER_KIT
#include <FrameLoop.h>
#endif

#include <gtest/gtest.h>
#include <json/reader.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>

namespace {
std::atomic<std::size_t> g_largestAllocation{0};

void* CountedAllocate(std::size_t size) {
    std::size_t largest = g_largestAllocation.load();
    while (size > largest && !g_largestAllocation.compare_exchange_weak(largest, size)) {
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
    return CountedAllocate(size);
}
void* operator new[](std::size_t size) {
    return CountedAllocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// The body buffer may at most double past what arrives; headers are not held.
TEST(FramingMemory, StatedLengthsAndLongHeadersCostOnlyWhatArrives) {
    std::istringstream empty("");
    Json::Value ignored;
    std::string emptyBodyText;  // a body of zeros reads as empty input
    Json::parseFromStream(Json::CharReaderBuilder(), empty, &ignored, &emptyBodyText);
    const std::string blanks(8 * kMiB, ' ');
    const struct {
        std::string input;
        std::size_t limit;
        std::string error;  // "?": any text
    } cases[] = {
        {"Content-Length: 2000000000\r\n\r\n", 4 * kMiB, emptyBodyText},
        {"Content-Length: 2147483647\r\n\r\n" + std::string(5 * kMiB, ' ') + "[1", 16 * kMiB, "?"},
        {"Content-Length:" + blanks + "4\r\n\r\nnull", kMiB, ""},
        {"Content-Length:" + blanks + "4x\r\n\r\nnull", kMiB, "Invalid header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 30));
        std::istringstream in(c.input);
        std::string error;
        g_largestAllocation = 0;
        EXPECT_TRUE(RpcClient::ReadResponses(in, error).empty());
        EXPECT_LE(g_largestAllocation.load(), c.limit);
        EXPECT_TRUE(c.error == "?" ? !error.empty() : error == c.error) << error;
    }
}

#ifdef JRC_TEST_SERVER_KIT
// A server believes a length it accepts no more than the host does.
TEST(FramingMemory, ServerReadingAStatedLengthGrowsOnlyWithWhatArrives) {
    std::istringstream in("Content-Length: 60000000\r\n\r\n[1");
    g_largestAllocation = 0;
    EXPECT_EQ(ServerKit::ReadRequestFrame(in).status, ServerKit::FrameStatus::End);
    EXPECT_LE(g_largestAllocation.load(), 4 * kMiB);
}
#endif

}  // namespace
