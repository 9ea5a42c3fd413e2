// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommandLine.h"

namespace {

using Words = std::vector<std::wstring>;

struct SplitCase {
    const wchar_t* line;
    Words words;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    for (const wchar_t* p = c.line; *p != 0; ++p) {
        *os << static_cast<char>(*p);
    }
}

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, GivesTheWordsTheWindowsRulesGive) {
    EXPECT_EQ(RpcClient::Platform::SplitCommandLine(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLineTest,
    testing::Values(
        SplitCase{L"", {}}, SplitCase{L" \t ", {}}, SplitCase{L"-l 2", {L"-l", L"2"}},
        SplitCase{L"  a\t\tb  ", {L"a", L"b"}},
        SplitCase{L"\"C:\\Program Files\\x\" y", {L"C:\\Program Files\\x", L"y"}},
        SplitCase{L"a\\\\b c\\d", {L"a\\\\b", L"c\\d"}},  // backslashes alone are literal
        SplitCase{L"a\\\"b", {L"a\"b"}},                  // 1 backslash + quote: literal quote
        SplitCase{L"a\\\\\"b c\"", {L"a\\b c"}},          // 2 backslashes + quote: one + quote acts
        SplitCase{L"a\\\\\\\"b", {L"a\\\"b"}},            // 3 backslashes + quote: one + literal
        SplitCase{L"\"hello\\\\\" x", {L"hello\\", L"x"}},
        SplitCase{L"\"\" x", {L"", L"x"}},            // an empty quoted word still counts
        SplitCase{L"a\"b c\"d", {L"ab cd"}},          // quotes group inside a word
        SplitCase{L"\"a\"\"b c\"", {L"a\"b", L"c"}},  // doubled quote ends the quoted stretch
        SplitCase{L"\"unterminated and more", {L"unterminated and more"}},
        SplitCase{L"trailing\\", {L"trailing\\"}}),
    [](const testing::TestParamInfo<SplitCase>& info) {
        return "Line" + std::to_string(info.index);
    });

}  // namespace
