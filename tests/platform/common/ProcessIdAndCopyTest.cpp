// SPDX-License-Identifier: Apache-2.0
// Two small services of the platform layer the hosting relies on: process
// ids (told apart across restarts) and the bounded copy of a URL into a
// caller's buffer.

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

namespace P = RpcClient::Platform;

TEST(ProcessId, NamesTheProcessBehindAHandleAndZeroForNone) {
    EXPECT_EQ(P::GetProcessId(P::Process()), 0u);

    P::Pipe inRead;
    P::Pipe inWrite;
    P::Pipe outRead;
    P::Pipe outWrite;
    ASSERT_TRUE(P::CreatePipe(inRead, inWrite));
    ASSERT_TRUE(P::CreatePipe(outRead, outWrite));
    const std::string pidFile = HostingTest::TempPath("pid");
    P::ProcessStart start;
    start.application = HostingTest::ScriptedServer();
    start.arguments = L"--pidfile " + HostingTest::Widen(pidFile);
    start.standardInput = &inRead;
    start.standardOutput = &outWrite;
    const P::Process process = P::StartProcess(start);
    ASSERT_TRUE(process);
    const int pid = HostingTest::ReadPidFile(pidFile, std::chrono::seconds(10));
    EXPECT_GT(pid, 0);
    EXPECT_EQ(P::GetProcessId(process), static_cast<unsigned long>(pid));
    const P::Process duplicate = process.Duplicate();
    EXPECT_EQ(P::GetProcessId(duplicate), static_cast<unsigned long>(pid));

    ASSERT_TRUE(P::TerminateProcess(process, 0));
    EXPECT_EQ(P::WaitForProcess(process, std::chrono::milliseconds(10000)), P::WaitResult::Ended);
    EXPECT_EQ(P::GetProcessId(process), static_cast<unsigned long>(pid))
        << "still named once ended";
    std::remove(pidFile.c_str());
}

TEST(CopyWideString, CopiesWhatFitsAndLeavesAnEmptyStringOtherwise) {
    const struct {
        const wchar_t* source;
        std::size_t capacity;
        bool copied;
        std::wstring expected;
    } cases[] = {
        {L"C:\\srv\\a.exe x", 15, true, L"C:\\srv\\a.exe x"},  // length + 1: exactly fits
        {L"C:\\srv\\a.exe x", 14, false, L""},                 // one short: nothing cut
        {L"", 1, true, L""},
        {nullptr, 8, false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::wstring buffer(20, L'#');
        EXPECT_EQ(P::CopyWideString(&buffer[0], c.capacity, c.source), c.copied);
        EXPECT_EQ(std::wstring(buffer.c_str()), c.expected);
        EXPECT_EQ(buffer[c.capacity], L'#') << "written past the destination";
    }
    wchar_t untouched = L'#';
    EXPECT_FALSE(P::CopyWideString(&untouched, 0, L"x"));
    EXPECT_EQ(untouched, L'#');
    EXPECT_FALSE(P::CopyWideString(nullptr, 4, L"x"));
}

}  // namespace
