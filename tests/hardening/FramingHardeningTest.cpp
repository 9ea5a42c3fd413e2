// SPDX-License-Identifier: Apache-2.0
// Regression tests for inputs the framing fuzzers turned up.

#include <JsonRpcClient/rpc/Framing.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The header matcher is public. A long run of blanks (or of leading zeros)
// between the colon and the digits made the standard regex engine recurse
// once per character and overflow the stack at around 10^5 characters. Such
// a line matches the header shape, and reads the stated number.
TEST(ParseContentLength, VeryLongLinesAreJudgedWithoutExhaustingTheStack) {
    const std::string blanks = "Content-Length:" + std::string(1'000'000, ' ') + "12";
    const std::string zeros = "Content-Length: " + std::string(1'000'000, '0') + "12";
    for (const std::string& line : {blanks, zeros}) {
        int length = 0;
        bool matched = false;
        EXPECT_NO_THROW(matched = RpcClient::ParseContentLength(line, length));
        EXPECT_TRUE(matched);
        EXPECT_EQ(length, 12);
    }
}

}  // namespace
