// SPDX-License-Identifier: Apache-2.0
// The Win32 process, pipe and job primitives, exercised with a real child
// program (jrc_win32_child, built beside this test).

#include "OnWine.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

namespace P = RpcClient::Platform;

std::wstring ChildPath() {
    return P::GetExecutableDirectory() + L"\\jrc_win32_child.exe";
}

// A started child with both pipes, every handle closed (and the child ended)
// on destruction.
struct Child {
    P::Pipe toChild;      // host's end of the child's standard input
    P::Pipe fromChild;    // host's end of the child's standard output
    P::Pipe childInput;   // the child's own ends, kept open like the
    P::Pipe childOutput;  // server record keeps them
    P::Process process;

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (process) {
            P::TerminateProcess(process, 0);
            P::WaitForProcess(process, std::chrono::milliseconds(5000));
        }
    }

    bool Start(const std::wstring& arguments, const std::wstring& directory = L"",
               const std::wstring& application = ChildPath()) {
        if (!P::CreatePipe(fromChild, childOutput) || !P::CreatePipe(childInput, toChild)) {
            return false;
        }
        P::ProcessStart start;
        start.application = application;
        start.arguments = arguments;
        start.workingDirectory = directory;
        start.standardInput = &childInput;
        start.standardOutput = &childOutput;
        process = P::StartProcess(start);
        return static_cast<bool>(process);
    }

    // Everything the child writes until it ends.
    std::string ReadToEnd() {
        std::string text;
        char buffer[512];
        long got = 0;
        while ((got = P::ReadPipe(fromChild, buffer, sizeof(buffer), &process)) > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

    // Exactly `count` bytes (fewer if the child ends first).
    std::string ReadBytes(std::size_t count) {
        std::string text;
        char buffer[512];
        while (text.size() < count) {
            const long got = P::ReadPipe(fromChild, buffer,
                                         std::min(sizeof(buffer), count - text.size()), &process);
            if (got <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }
};

std::string Hex(const std::wstring& text) {
    std::string out;
    char unit[8];
    for (wchar_t c : text) {
        std::snprintf(unit, sizeof(unit), "%04X", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

TEST(Win32Process, PassesBinaryBytesThroughBothPipesUnchanged) {
    Child child;
    ASSERT_TRUE(child.Start(L"echo"));
    std::string payload;
    for (int i = 0; i < 1000; ++i) {
        payload += static_cast<char>(i % 256);  // NUL, CR LF, Ctrl-Z and high bytes
    }
    // Several rounds, each well inside the pipes' buffers, so that neither
    // side can block the other.
    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(P::WritePipe(child.toChild, payload.data(), payload.size(), nullptr));
        ASSERT_EQ(child.ReadBytes(payload.size()), payload) << "round " << round;
    }
}

TEST(Win32Process, CommandLineIsApplicationSpaceArguments) {
    const std::wstring longArgument(3000, L'x');
    for (const std::wstring& arguments :
         {std::wstring(), std::wstring(L"describe -l 2"), L"describe " + longArgument}) {
        SCOPED_TRACE(arguments.substr(0, 20));
        Child child;
        ASSERT_TRUE(child.Start(arguments));
        const std::string described = child.ReadToEnd();
        const std::string commandLine = described.substr(0, described.find('\n'));
        // The path is not quoted, and the space stays even without arguments.
        EXPECT_EQ(commandLine, Hex(ChildPath() + L" " + arguments));
    }
}

TEST(Win32Process, ChildStartsInTheGivenOrTheCurrentDirectory) {
    const std::wstring current = P::GetCurrentDirectory();
    ASSERT_FALSE(current.empty());
    const std::wstring other = P::GetExecutableDirectory();
    for (const std::wstring& directory : {std::wstring(), other}) {
        Child child;
        ASSERT_TRUE(child.Start(L"describe", directory));
        const std::string described = child.ReadToEnd();
        const std::string seen = described.substr(described.find('\n') + 1);
        EXPECT_EQ(seen, Hex(directory.empty() ? current : directory) + "\n");
    }
}

TEST(Win32Process, ExitCodeIsStillActiveUntilTheChildEnds) {
    struct Case {
        const wchar_t* arguments;
        bool terminate;
        unsigned long exitCode;
    };
    for (const Case& c : {Case{L"exit 0", false, 0}, Case{L"exit 3", false, 3},
                          Case{L"wait", true, 0}, Case{L"wait", true, 9}}) {
        SCOPED_TRACE(std::string(c.arguments, c.arguments + std::wcslen(c.arguments)));
        Child child;
        ASSERT_TRUE(child.Start(c.arguments));
        P::ExitStatus status;
        if (c.terminate) {
            EXPECT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(50)),
                      P::WaitResult::TimedOut);
            ASSERT_TRUE(P::QueryExit(child.process, status));
            EXPECT_TRUE(status.running);
            ASSERT_TRUE(P::TerminateProcess(child.process, c.exitCode));
        }
        ASSERT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(10000)),
                  P::WaitResult::Ended);
        ASSERT_TRUE(P::QueryExit(child.process, status));
        EXPECT_EQ(status.code, c.exitCode);
    }
}

TEST(Win32Process, MissingExecutableStartsNothing) {
    Child child;
    EXPECT_FALSE(child.Start(L"", L"", P::GetExecutableDirectory() + L"\\no_such_program.exe"));
    EXPECT_FALSE(child.process);
    EXPECT_NE(P::GetLastError(), 0ul);
}

TEST(Win32Process, DuplicateIsASecondIndependentHandleOnThePipe) {
    Child child;
    ASSERT_TRUE(child.Start(L"echo"));
    P::Pipe duplicate = child.toChild.Duplicate();
    ASSERT_TRUE(duplicate);
    ASSERT_NE(duplicate.Get(), child.toChild.Get());
    child.toChild = std::move(duplicate);
    ASSERT_TRUE(P::WritePipe(child.toChild, "ping", 4, nullptr));
    EXPECT_EQ(child.ReadBytes(4), "ping");
    EXPECT_FALSE(P::Pipe().Duplicate());
}

TEST(Win32PipeStream, HandleTheRuntimeRefusesFailsWithItsTextAndClosesBothHandles) {
    // An event is no file: the C runtime will not make a descriptor of it.
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    for (const P::PipeDirection direction : {P::PipeDirection::Read, P::PipeDirection::Write}) {
        void* pipe = P::HandleTraits::Duplicate(event);
        void* process = P::HandleTraits::Duplicate(::GetCurrentProcess());
        ASSERT_NE(pipe, nullptr);
        ASSERT_NE(process, nullptr);
        std::string error;
        EXPECT_EQ(P::OpenPipeStreamBuffer(P::Pipe(pipe), direction, P::Process(process), error),
                  nullptr);
        EXPECT_EQ(error, "Bad file descriptor");
        DWORD flags = 0;
        EXPECT_FALSE(::GetHandleInformation(pipe, &flags)) << "the duplicate was left open";
        EXPECT_FALSE(::GetHandleInformation(process, &flags))
            << "the process duplicate was left open";
    }
    ::CloseHandle(event);
}

TEST(Win32Job, ClosingTheLastJobHandleKillsTheChildAndItsChildren) {
    Child child;
    ASSERT_TRUE(child.Start(L"spawn"));
    P::Job job = P::CreateJob();
    ASSERT_TRUE(job);
    ASSERT_TRUE(P::AssignProcessToJob(job, child.process));
    bool inJob = false;
    ASSERT_TRUE(P::IsProcessInJob(child.process, &job, inJob));
    EXPECT_TRUE(inJob);

    // The grandchild is started after the assignment, so it joins the job.
    ASSERT_TRUE(P::WritePipe(child.toChild, "g", 1, nullptr));
    std::string line;
    char c = 0;
    while (P::ReadPipe(child.fromChild, &c, 1, &child.process) == 1 && c != '\n') {
        line += c;
    }
    const unsigned long grandchildId = std::stoul(line);
    const P::Process grandchild(::OpenProcess(
        SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, grandchildId));
    ASSERT_TRUE(grandchild);
    ASSERT_TRUE(P::IsProcessInJob(grandchild, &job, inJob));
    EXPECT_TRUE(inJob);

    job.Reset();
    EXPECT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(10000)),
              P::WaitResult::Ended);
    EXPECT_EQ(P::WaitForProcess(grandchild, std::chrono::milliseconds(10000)),
              P::WaitResult::Ended);
    P::TerminateProcess(grandchild, 0);
}

TEST(Win32Job, TerminatingTheJobEndsItsProcessesWithItsExitCode) {
    Child first;
    Child second;
    ASSERT_TRUE(first.Start(L"wait"));
    ASSERT_TRUE(second.Start(L"wait"));
    const P::Job job = P::CreateJob();
    ASSERT_TRUE(job);
    ASSERT_TRUE(P::AssignProcessToJob(job, first.process));
    ASSERT_TRUE(P::AssignProcessToJob(job, second.process));
    ASSERT_TRUE(P::TerminateJob(job, 5));
    for (Child* child : {&first, &second}) {
        ASSERT_EQ(P::WaitForProcess(child->process, std::chrono::milliseconds(10000)),
                  P::WaitResult::Ended);
        P::ExitStatus status;
        ASSERT_TRUE(P::QueryExit(child->process, status));
        if (!JrcTest::RunningOnWine()) {
            EXPECT_EQ(status.code, 5ul);
        }
    }
}

TEST(Win32Job, ProcessOutsideAnyJobIsReportedSo) {
    Child child;
    ASSERT_TRUE(child.Start(L"wait"));
    bool hostInJob = true;
    ASSERT_TRUE(P::IsCurrentProcessInJob(hostInJob));
    if (hostInJob) {
        GTEST_SKIP() << "the test runner itself runs inside a job";
    }
    bool inJob = true;
    ASSERT_TRUE(P::IsProcessInJob(child.process, nullptr, inJob));
    EXPECT_FALSE(inJob);
    // A host in no job has no job to list itself in or to query (Wine
    // answers the query with an empty limit record instead of failing).
    EXPECT_FALSE(P::IsCurrentProcessListedInOwnJob());
    bool allowed = true;
    const bool queried = P::QueryOwnJobBreakawayAllowed(allowed);
    if (JrcTest::RunningOnWine()) {
        EXPECT_FALSE(queried && allowed);
    } else {
        EXPECT_FALSE(queried);
    }
}

}  // namespace
