// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/CodePageText.h>

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <locale.h>

using RpcClient::AnsiToUtf8;
using RpcClient::CodePageText;
using RpcClient::FromUtf8;
using RpcClient::Utf8ToAnsi;
namespace Platform = RpcClient::Platform;

namespace {

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

// Switches the calling thread to a locale for its character set only, the
// way a host thread would with uselocale().
class ThreadLocale {
public:
    explicit ThreadLocale(const char* name)
        : locale_(newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))),
          previous_(locale_ != nullptr ? uselocale(locale_) : nullptr) {}
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

// A missing legacy locale is a broken machine in CI (scripts/setup-deps.sh
// creates them), but only a skipped test on a developer's machine.
#define REQUIRE_LOCALE(guard, name)                                                    \
    do {                                                                               \
        const char* ci = std::getenv("CI");                                            \
        if (!(guard).IsActive() && ci != nullptr && *ci != '\0' &&                     \
            std::strcmp(ci, "false") != 0) {                                           \
            FAIL() << "locale " << (name) << " is missing; run scripts/setup-deps.sh"; \
        } else if (!(guard).IsActive()) {                                              \
            GTEST_SKIP() << "locale " << (name) << " is not installed";                \
        }                                                                              \
    } while (false)

// --- UTF-8 side: independent of the locale ------------------------------

TEST(Utf8Text, RoundTripsAndMalformedInputDecodesToReplacementAndANulEndsTheText) {
    // Two-, three- and four-byte forms; CJK text needs more than two bytes
    // per wide unit and so takes the measured second encoding attempt.
    const CodePageText text = FromUtf8("caf\xC3\xA9 \xE4\xB8\xAD");
    EXPECT_EQ(text.GetWideText(), L"caf\u00E9 \u4E2D");
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80",
         "caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80"},
        {"\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87"},
        {"", ""},
        {std::string("abc\0def", 7), "abc"},
        {"a\xFF"
         "b",
         "a" + kReplacementUtf8 + "b"},
        {"\xC3", kReplacementUtf8},                         // truncated at the end
        {"\xC0\xAF", kReplacementUtf8 + kReplacementUtf8},  // overlong '/'
        {"\xED\xA0\x80x", kReplacementUtf8 + kReplacementUtf8 + kReplacementUtf8 + "x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FromUtf8(c.input).ToUtf8(), c.expected);
    }
    EXPECT_EQ(CodePageText(std::wstring(L"xy\0z", 4)).ToUtf8(), "xy");
    std::wstring wide = L"a";
    wide.push_back(static_cast<wchar_t>(0xD800));  // a lone surrogate
    EXPECT_EQ(CodePageText(wide + L"b").ToUtf8(), "a" + kReplacementUtf8 + "b");
}

TEST(CodePageTextCache, FirstEncodingIsKeptWhateverIsAskedLater) {
    const ThreadLocale latin("en_US.ISO-8859-15");
    REQUIRE_LOCALE(latin, "en_US.ISO-8859-15");
    CodePageText text = FromUtf8("\xC3\xA9");
    EXPECT_FALSE(text.IsEncoded());
    EXPECT_EQ(text.ToAnsi(), "\xE9");
    EXPECT_TRUE(text.IsEncoded());
    EXPECT_EQ(text.ToUtf8(), "\xE9") << "the cache does not remember its code page";
}

// --- ANSI side under real legacy code pages -----------------------------

struct CodePageSample {
    std::string ansi;
    std::string utf8;
};

// Per locale: texts that round-trip, one character it cannot represent
// (written as a single '?') and malformed bytes with what they decode to.
struct LegacyLocale {
    const char* name;
    std::vector<CodePageSample> roundTrips;
    std::string unrepresentableUtf8;
    std::vector<CodePageSample> malformedAnsi;
};

TEST(AnsiCodePage, ConvertsUnderEachLegacyLocale) {
    const LegacyLocale locales[] = {
        {"en_US.CP1252",
         {{"caf\xE9", "caf\xC3\xA9"},
          {"\x80 5", "\xE2\x82\xAC 5"},
          {"\x9C\xFF", "\xC5\x93\xC3\xBF"},
          {"", ""}},
         "\xE4\xB8\xAD",
         {{"a\x81"
           "b",
           "a" + kReplacementUtf8 + "b"}}},
        {"en_US.ISO-8859-15",
         {{"caf\xE9", "caf\xC3\xA9"}, {"\xA4", "\xE2\x82\xAC"}, {"\xBD", "\xC5\x93"}},
         "\xE4\xB8\xAD",
         {}},
        {"zh_CN.GBK",
         {{"\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
          {"abc \xD6\xD0", "abc \xE4\xB8\xAD"},
          {"\xA8\xA6", "\xC3\xA9"}},
         "\xF0\x9F\x98\x80",
         {{"\xD6", kReplacementUtf8},
          {"x\xD6\xD0\xFF"
           "y",
           "x\xE4\xB8\xAD" + kReplacementUtf8 + "y"}}},
    };
    for (const LegacyLocale& l : locales) {
        SCOPED_TRACE(l.name);
        const ThreadLocale locale(l.name);
        REQUIRE_LOCALE(locale, l.name);
        for (const CodePageSample& sample : l.roundTrips) {
            EXPECT_EQ(AnsiToUtf8(sample.ansi), sample.utf8);
            EXPECT_EQ(Utf8ToAnsi(sample.utf8), sample.ansi);
        }
        const std::string& missing = l.unrepresentableUtf8;
        EXPECT_EQ(Utf8ToAnsi("a" + missing + "b"), "a?b");
        EXPECT_EQ(Utf8ToAnsi(missing + missing), "??");
        for (const CodePageSample& sample : l.malformedAnsi) {
            EXPECT_EQ(AnsiToUtf8(sample.ansi), sample.utf8);
        }
    }
}

TEST(AnsiCodePageSelection, EachThreadConvertsWithItsOwnLocale) {
    const ThreadLocale gbk("zh_CN.GBK");
    REQUIRE_LOCALE(gbk, "zh_CN.GBK");
    std::string latinResult;
    std::thread latinThread([&latinResult] {
        const ThreadLocale latin("en_US.ISO-8859-15");
        if (latin.IsActive()) {
            latinResult = Utf8ToAnsi("\xC3\xA9");
        }
    });
    latinThread.join();
    EXPECT_EQ(latinResult, "\xE9");
    EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xA8\xA6");
}

// A host that never calls setlocale runs in the "C" locale; its paths and
// texts are UTF-8 like the rest of the system's.
TEST(AnsiCodePageSelection, PlainCAndPosixLocalesAreUtf8) {
    const std::string text =
        "\xC3\x9C"
        "bersicht f\xC3\xBCr \xE4\xB8\xAD";
    EXPECT_EQ(AnsiToUtf8(text), text) << "global locale";
    for (const char* name : {"C", "POSIX"}) {
        const ThreadLocale plain(name);
        ASSERT_TRUE(plain.IsActive()) << name;
        EXPECT_EQ(AnsiToUtf8(text), text) << name;
        EXPECT_EQ(Utf8ToAnsi(text), text) << name;
    }
}

// --- The converter contract the retry logic depends on ------------------

TEST(PlatformConverter, ReportsRequiredSizeAndInsufficientBuffer) {
    const char* utf8 = "\xE4\xB8\xAD\xE6\x96\x87!";  // 3 wide units, 7 bytes
    EXPECT_EQ(Platform::MultiByteToWide(Platform::CodePage::Utf8, utf8, nullptr, 0), 4);
    wchar_t wide[4];
    EXPECT_EQ(Platform::MultiByteToWide(Platform::CodePage::Utf8, utf8, wide, 3), 0);
    EXPECT_EQ(Platform::LastConversionError(), Platform::kErrorInsufficientBuffer);
    EXPECT_EQ(Platform::MultiByteToWide(Platform::CodePage::Utf8, utf8, wide, 4), 4);
    EXPECT_EQ(std::wstring(wide), L"\u4E2D\u6587!");

    EXPECT_EQ(Platform::WideToMultiByte(Platform::CodePage::Utf8, wide, nullptr, 0), 8);
    char narrow[8];
    EXPECT_EQ(Platform::WideToMultiByte(Platform::CodePage::Utf8, wide, narrow, 7), 0);
    EXPECT_EQ(Platform::LastConversionError(), Platform::kErrorInsufficientBuffer);
    EXPECT_EQ(Platform::WideToMultiByte(Platform::CodePage::Utf8, wide, narrow, 8), 8);
    EXPECT_STREQ(narrow, utf8);
}

}  // namespace
