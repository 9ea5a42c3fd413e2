// SPDX-License-Identifier: Apache-2.0
// Code pages, paths and system texts of the Win32 backend. The conversions
// depend on the process's ANSI code page; the Windows run repeats them under
// a single-byte (1252) and a double-byte (936) one.

#include <JsonRpcClient/rpc/CodePageText.h>

#include "OnWine.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace P = RpcClient::Platform;

TEST(Win32TextConversion, AnsiTextRoundTripsThroughUtf8AndForeignCharactersBecomeQuestionMarks) {
    // Characters beyond 7-bit ASCII the code page holds, in its bytes and in UTF-8.
    const struct {
        unsigned int codePage;
        std::string ansi;
        std::string utf8;
    } samples[] = {
        {1252, "caf\xE9 \x80 \xDF", "caf\xC3\xA9 \xE2\x82\xAC \xC3\x9F"},
        {936, "\xD6\xD0\xCE\xC4 abc", "\xE4\xB8\xAD\xE6\x96\x87 abc"},
    };
    bool sampled = false;
    for (const auto& sample : samples) {
        if (sample.codePage == ::GetACP()) {
            sampled = true;
            EXPECT_EQ(RpcClient::AnsiToUtf8(sample.ansi), sample.utf8);
            EXPECT_EQ(RpcClient::Utf8ToAnsi(sample.utf8), sample.ansi);
        }
    }
    // THAI CHARACTER KO KAI exists in neither code page.
    EXPECT_EQ(RpcClient::Utf8ToAnsi("a\xE0\xB8\x81z"), "a?z");
    if (!sampled) {
        GTEST_SKIP() << "no sample for code page " << ::GetACP();
    }
}

TEST(Win32TextConversion, ConvertersReportCountsAndTooSmallBuffers) {
    // Two UTF-16 units, six UTF-8 bytes, plus the terminator.
    const char* utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
    EXPECT_EQ(P::MultiByteToWide(P::CodePage::Utf8, utf8, nullptr, 0), 3);
    wchar_t wide[3] = {};
    ASSERT_EQ(P::MultiByteToWide(P::CodePage::Utf8, utf8, wide, 3), 3);
    EXPECT_EQ(std::wstring(wide), std::wstring(L"\u4E2D\u6587"));
    EXPECT_EQ(P::WideToMultiByte(P::CodePage::Utf8, wide, nullptr, 0), 7);
    char narrow[5] = {};
    EXPECT_EQ(P::WideToMultiByte(P::CodePage::Utf8, wide, narrow, 5), 0);
    EXPECT_EQ(P::LastConversionError(), P::kErrorInsufficientBuffer);
    // The public conversion has to take its second, measured attempt here.
    EXPECT_EQ(RpcClient::FromUtf8(utf8).ToUtf8(), utf8);
}

TEST(Win32Paths, KnownServerPlacesResolveBesideTheHostAndLongPathsAreRefused) {
    const std::wstring directory = P::GetExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(P::PathAppend(directory, L".\\PellavonCli\\PellavonCli.exe"),
              directory + L"\\PellavonCli\\PellavonCli.exe");
    EXPECT_EQ(P::PathAppend(L"C:\\a\\", L"b.exe"), L"C:\\a\\b.exe");
    EXPECT_EQ(P::PathAppend(directory, std::wstring(300, L'x')), L"");
    EXPECT_EQ(P::PathAppend(std::wstring(300, L'x'), L"a"), L"");
    // Linked statically, the library has no module of its own.
    EXPECT_EQ(P::GetLibraryDirectory(), directory);
    EXPECT_TRUE(P::PathFileExists(directory + L"\\win32_platform_test.exe"));
    EXPECT_FALSE(P::PathFileExists(directory + L"\\no_such_file.exe"));
    EXPECT_EQ(P::ExecutableName(L"PellavonCli"), L"PellavonCli.exe");
}

TEST(Win32Errors, SystemTextsKeepTheirLineEndAndUnknownCodesHaveNone) {
    P::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(P::GetLastError(), static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    const std::string text = P::FormatSystemMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_FALSE(P::FormatHResultMessage(static_cast<long>(0x80070057L)).empty());
    EXPECT_EQ(P::FormatSystemMessage(0x3FFFFFF0ul), "");
    if (!JrcTest::RunningOnWine()) {
        EXPECT_EQ(text, "The system cannot find the file specified.\r\n");
    }
}

}  // namespace
