// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommandLine.h"

namespace {

TEST(SplitCommandLine, GivesTheWordsTheWindowsRulesGive) {
    const struct {
        const wchar_t* line;
        std::vector<std::wstring> words;
    } cases[] = {
        {L"", {}},
        {L" \t ", {}},
        {L"-l 2", {L"-l", L"2"}},
        {L"  a\t\tb  ", {L"a", L"b"}},
        {L"\"C:\\Program Files\\x\" y", {L"C:\\Program Files\\x", L"y"}},
        {L"a\\\\b c\\d", {L"a\\\\b", L"c\\d"}},  // backslashes alone are literal
        {L"a\\\"b", {L"a\"b"}},                  // 1 backslash + quote: literal quote
        {L"a\\\\\"b c\"", {L"a\\b c"}},          // 2 backslashes + quote: one + quote acts
        {L"a\\\\\\\"b", {L"a\\\"b"}},            // 3 backslashes + quote: one + literal
        {L"\"hello\\\\\" x", {L"hello\\", L"x"}},
        {L"\"\" x", {L"", L"x"}},            // an empty quoted word still counts
        {L"a\"b c\"d", {L"ab cd"}},          // quotes group inside a word
        {L"\"a\"\"b c\"", {L"a\"b", L"c"}},  // doubled quote ends the quoted stretch
        {L"\"unterminated and more", {L"unterminated and more"}},
        {L"trailing\\", {L"trailing\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
        EXPECT_EQ(RpcClient::Platform::SplitCommandLine(c.line), c.words);
    }
}

}  // namespace
