// SPDX-License-Identifier: Apache-2.0
// The process seam against real servers, alike on both backends: what a
// server receives, how its end is reported, process ids and jobs.

#include "ScriptedChild.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace P = RpcClient::Platform;
using PlatformTest::Child;
using namespace std::chrono_literals;

TEST(ServerStart, ServerGetsItsArgumentsDirectoryEnvironmentAndOnePipeForBothOutputs) {
    Child child(L"-l \"two words\" a\\\"b");
    EXPECT_EQ(child.Call("argv"),
              TestJson::Params({JRC_SCRIPTED_SERVER, "-l", "two words", "a\"b"}));
    EXPECT_EQ(child.Call("stderr").asString(), "via stderr");
    EXPECT_EQ(child.Call("env", TestJson::Params({"PATH"})).asString(), std::getenv("PATH"));

    const std::wstring here = P::GetCurrentDirectory();
    const std::filesystem::path program = P::GetExecutableDirectory();
    const std::wstring other =
        program != here ? program.wstring() : program.parent_path().wstring();
    for (const std::wstring& directory : {std::wstring(), other}) {
        Child placed(L"", directory);
        EXPECT_EQ(placed.Call("cwd").asString(),
                  std::filesystem::path(directory.empty() ? here : directory).string());
    }
}

TEST(ProcessExit, EndIsReportedWithItsCodeWithoutForgettingTheIdAndEndsReadsAndWrites) {
    EXPECT_EQ(P::GetProcessId(P::Process()), 0u);
    const struct {
        const char* how;  // "terminate": ended by TerminateProcess
        int code;
    } cases[] = {{"exit", 3}, {"exit", 0}, {"terminate", 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how + std::to_string(c.code));
        Child child(L"");
        const unsigned long pid = child.Call("pid").asUInt();
        EXPECT_EQ(P::GetProcessId(child.process), pid);
        EXPECT_EQ(P::GetProcessId(child.process.Duplicate()), pid);
        P::ExitStatus status;
        ASSERT_TRUE(P::QueryExit(child.process, status));
        EXPECT_TRUE(status.running);
        EXPECT_EQ(P::WaitForProcess(child.process, 0ms), P::WaitResult::TimedOut);
        if (c.how == std::string("terminate")) {
            ASSERT_TRUE(P::TerminateProcess(child.process, c.code));
        } else {
            child.Call(c.how, TestJson::Params({c.code}));
        }
        ASSERT_EQ(P::WaitForProcess(child.process, 10000ms), P::WaitResult::Ended);
        for (int ask = 0; ask < 2; ++ask) {  // asking twice: asking does not reap
            ASSERT_TRUE(P::QueryExit(child.process, status));
            EXPECT_FALSE(status.running);
            EXPECT_EQ(status.code, static_cast<unsigned long>(c.code));
        }
        EXPECT_EQ(P::GetProcessId(child.process), pid) << "still named once ended";
        char byte = 0;
        EXPECT_EQ(P::ReadPipe(child.fromChild, &byte, 1, &child.process), 0);
        const std::string bytes(1000, 'x');
        EXPECT_FALSE(P::WritePipe(child.toChild, bytes.data(), bytes.size(), nullptr));
    }
}

TEST(ProcessStart, MissingExecutableStartsNothingAndLeaksNothing) {
    const auto before = HostingTest::OpenDescriptors();
    {
        Child child(L"", L"", P::PathAppend(P::GetExecutableDirectory(), L"no_such_server"));
        EXPECT_FALSE(child.process);
        EXPECT_EQ(P::GetLastError(), 2ul) << "ENOENT, ERROR_FILE_NOT_FOUND";
    }
    EXPECT_EQ(HostingTest::OpenDescriptors(), before);
}

TEST(Job, ClosingOrTerminatingItEndsItsServersAndWhatTheyStartedSinceJoining) {
    bool hostInJob = false;
    ASSERT_TRUE(P::IsCurrentProcessInJob(hostInJob));
    for (const bool terminate : {false, true}) {
        SCOPED_TRACE(terminate ? "terminated" : "closed");
        P::Job job = P::CreateJob();
        ASSERT_TRUE(job);
        Child child(L"");
        bool inJob = !hostInJob;
        ASSERT_TRUE(P::IsProcessInJob(child.process, nullptr, inJob));
        EXPECT_EQ(inJob, hostInJob);
        ASSERT_TRUE(P::AssignProcessToJob(job, child.process));
        ASSERT_TRUE(P::IsProcessInJob(child.process, &job, inJob));
        EXPECT_TRUE(inJob);
        const int grandchild = child.Call("spawnChild").asInt();
        ASSERT_GT(grandchild, 0);
        if (terminate) {
            ASSERT_TRUE(P::TerminateJob(job, 5));
        } else {
            job.Reset();
        }
        EXPECT_EQ(P::WaitForProcess(child.process, 10000ms), P::WaitResult::Ended);
        EXPECT_TRUE(HostingTest::WaitGone(grandchild, 10000ms));
    }
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
        {L"x", 0, false, std::wstring(20, L'#')},  // no room, not even for the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::wstring buffer(20, L'#');
        EXPECT_EQ(P::CopyWideString(&buffer[0], c.capacity, c.source), c.copied);
        EXPECT_EQ(std::wstring(buffer.c_str()), c.expected);
        EXPECT_EQ(buffer[c.capacity], L'#') << "written past the destination";
    }
    EXPECT_FALSE(P::CopyWideString(nullptr, 4, L"x"));
}

}  // namespace
