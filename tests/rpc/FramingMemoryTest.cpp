// SPDX-License-Identifier: Apache-2.0
// Checks that an absurd Content-Length costs no more memory than the bytes
// that actually arrive. Every allocation of the process goes through the
// replaced operator new below, which remembers the largest one.

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
#include <utility>

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

std::size_t LargestAllocationDuring(const std::string& input, std::string& error) {
    std::istringstream in(input);
    g_largestAllocation = 0;
    const std::vector<RpcClient::JsonResponse> responses = RpcClient::ReadResponses(in, error);
    EXPECT_TRUE(responses.empty());
    return g_largestAllocation.load();
}

TEST(FramingMemory, HugeStatedLengthFollowedByEndOfStreamStaysSmall) {
    std::string error;
    const std::size_t largest =
        LargestAllocationDuring("Content-Length: 2000000000\r\n\r\n", error);
    EXPECT_LE(largest, 4 * kMiB);

    // Reported as a body of zeros would be: JsonCpp's text for empty input.
    std::istringstream empty("");
    Json::Value ignored;
    std::string expected;
    Json::parseFromStream(Json::CharReaderBuilder(), empty, &ignored, &expected);
    EXPECT_EQ(error, expected);
}

TEST(FramingMemory, HugeStatedLengthWithSomeBytesGrowsOnlyWithWhatArrives) {
    std::string error;
    const std::string arrived(5 * kMiB, ' ');
    const std::size_t largest =
        LargestAllocationDuring("Content-Length: 2147483647\r\n\r\n" + arrived + "[1", error);
    // The input string itself is not allocated inside the measured window;
    // the body buffer may at most double past what arrived.
    EXPECT_LE(largest, 16 * kMiB);
    EXPECT_FALSE(error.empty());
}

// The header line is matched as it is read, never held: blanks before the
// digits are valid at any length, and a long line costs no memory.
TEST(FramingMemory, HeaderLineOfAnyLengthIsMatchedWithoutBeingHeld) {
    const std::string blanks(8 * kMiB, ' ');
    for (const auto& [tail, expected] : {std::pair<const char*, const char*>{"4\r\n\r\nnull", ""},
                                         {"4x\r\n\r\nnull", "Invalid header"}}) {
        std::string error;
        EXPECT_LE(LargestAllocationDuring("Content-Length:" + blanks + tail, error), kMiB);
        EXPECT_EQ(error, expected) << tail;
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
