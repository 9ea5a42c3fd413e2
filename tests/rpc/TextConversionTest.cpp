// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/CodePageText.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <locale.h>

using RpcClient::AnsiToUtf8;
using RpcClient::CodePageText;
using RpcClient::FromUtf8;
using RpcClient::Utf8ToAnsi;

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

// Switches the calling thread's character set, as a host would with uselocale().
class ThreadLocale {
public:
    explicit ThreadLocale(const char* name)
        : locale_(newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))),
          previous_(locale_ != nullptr ? uselocale(locale_) : nullptr) {
        // In CI a missing locale is a broken machine (scripts/setup-deps.sh).
        const char* ci = std::getenv("CI");
        if (locale_ == nullptr && ci != nullptr && *ci != '\0' && std::string(ci) != "false") {
            ADD_FAILURE() << "locale " << name << " is missing; run scripts/setup-deps.sh";
        }
    }
    ~ThreadLocale() {
        if (locale_ != nullptr) {
            uselocale(previous_);
            freelocale(locale_);
        }
    }
    bool IsActive() const { return locale_ != nullptr; }

private:
    const locale_t locale_;
    const locale_t previous_;
};

TEST(Utf8Text, RoundTripsAndMalformedInputDecodesToReplacementAndANulEndsTheText) {
    // Text of CJK characters only needs more than two bytes per wide unit and
    // so takes the measured second encoding attempt.
    EXPECT_EQ(FromUtf8("caf\xC3\xA9 \xE4\xB8\xAD").GetWideText(), L"caf\u00E9 \u4E2D");
    const std::string cjk = "caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80";
    const std::pair<std::string, std::string> cases[] = {
        {cjk, cjk},
        {"\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87"},
        {"", ""},
        {std::string("abc\0def", 7), "abc"},
        {"a\xFF", "a" + kReplacement},
        {"\xC3", kReplacement},                     // truncated at the end
        {"\xC0\xAF", kReplacement + kReplacement},  // overlong '/'
        {"\xED\xA0\x80x", kReplacement + kReplacement + kReplacement + "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FromUtf8(c.first).ToUtf8(), c.second);
    }
    EXPECT_EQ(CodePageText(std::wstring(L"xy\0z", 4)).ToUtf8(), "xy");
    std::wstring wide = L"a";
    wide.push_back(static_cast<wchar_t>(0xD800));  // a lone surrogate
    EXPECT_EQ(CodePageText(wide + L"b").ToUtf8(), "a" + kReplacement + "b");
}

// Per locale: texts that round-trip, one character it cannot represent
// (written as a single '?') and malformed bytes with what they decode to.
// All at once, each on a thread of its own. A host that never calls setlocale
// runs in "C", whose texts are UTF-8.
TEST(AnsiCodePage, EachThreadConvertsWithItsOwnLocale) {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    const std::string utf8 =
        "\xC3\x9C"
        "bersicht \xE4\xB8\xAD";
    const struct {
        const char* name;
        Pairs roundTrips;
        std::string unrepresentable;
        Pairs malformed;
    } locales[] = {
        {"en_US.CP1252",
         {{"caf\xE9", "caf\xC3\xA9"},
          {"\x80 5", "\xE2\x82\xAC 5"},
          {"\x9C\xFF", "\xC5\x93\xC3\xBF"}},
         "\xE4\xB8\xAD",
         {{"a\x81", "a" + kReplacement}}},
        {"zh_CN.GBK",
         {{"abc \xD6\xD0\xCE\xC4", "abc \xE4\xB8\xAD\xE6\x96\x87"}, {"\xA8\xA6", "\xC3\xA9"}},
         "\xF0\x9F\x98\x80",
         {{"\xD6", kReplacement}, {"x\xD6\xD0\xFF", "x\xE4\xB8\xAD" + kReplacement}}},
        {"C", {{utf8, utf8}}, "", {}},
    };
    std::vector<std::thread> threads;
    for (const auto& l : locales) {
        threads.emplace_back([&l] {
            SCOPED_TRACE(l.name);
            const ThreadLocale locale(l.name);
            if (!locale.IsActive()) {
                return;
            }
            for (const auto& sample : l.roundTrips) {
                EXPECT_EQ(AnsiToUtf8(sample.first), sample.second);
                EXPECT_EQ(Utf8ToAnsi(sample.second), sample.first);
            }
            if (!l.unrepresentable.empty()) {
                EXPECT_EQ(Utf8ToAnsi("a" + l.unrepresentable + "b"), "a?b");
                EXPECT_EQ(Utf8ToAnsi(l.unrepresentable + l.unrepresentable), "??");
            }
            for (const auto& sample : l.malformed) {
                EXPECT_EQ(AnsiToUtf8(sample.first), sample.second);
            }
            // The first encoding is kept whatever is asked later.
            CodePageText text = FromUtf8(l.roundTrips[0].second);
            EXPECT_FALSE(text.IsEncoded());
            EXPECT_EQ(text.ToAnsi(), l.roundTrips[0].first);
            EXPECT_TRUE(text.IsEncoded());
            EXPECT_EQ(text.ToUtf8(), l.roundTrips[0].first);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

}  // namespace
