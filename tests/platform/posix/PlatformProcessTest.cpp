// SPDX-License-Identifier: Apache-2.0
// What only the POSIX backend has: descriptors, signals, zombies, UTF-8
// paths, errno texts and non-blocking writes.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/FailureCodes.h>

#include <thread>
#include <vector>

#include "../common/ScriptedChild.h"

namespace {

namespace P = RpcClient::Platform;
using PlatformTest::Child;
using namespace std::chrono_literals;

// Exactly descriptors 0, 1 and 2, standard output and error on one pipe;
// nothing the host opened, even without close-on-exec, and nothing of
// another server's.
TEST(ServerStart, OnlyItsThreePipesReachAServer) {
    const int hostFd = open("/dev/null", O_RDONLY);
    ASSERT_GE(hostFd, 0);
    Child first(L"");
    Child second(L"");
    const Json::Value fds = second.Call("fds");
    close(hostFd);
    ASSERT_EQ(fds.size(), 3u) << fds.toStyledString();
    for (int fd = 0; fd < 3; ++fd) {
        EXPECT_EQ(fds[fd]["fd"].asInt(), fd);
    }
    EXPECT_EQ(fds[1]["target"], fds[2]["target"]);
    EXPECT_NE(fds[0]["target"], fds[1]["target"]);
    for (const Json::Value& mine : first.Call("fds")) {
        for (const Json::Value& its : fds) {
            EXPECT_NE(mine["target"], its["target"]) << "a pipe reached both servers";
        }
    }
}

TEST(ProcessExit, SignalIsReportedAsCodeAndOnlyClosingTheLastOwnerReaps) {
    Child child(L"");
    const int pid = static_cast<int>(P::GetProcessId(child.process));
    ASSERT_TRUE(HostingTest::Kill(pid));
    ASSERT_EQ(P::WaitForProcess(child.process, 5000ms), P::WaitResult::Ended);
    P::ExitStatus status;
    ASSERT_TRUE(P::QueryExit(child.process, status));
    EXPECT_EQ(status.code, 128u + SIGKILL);
    EXPECT_TRUE(HostingTest::IsZombie(pid)) << "peeking must not reap";
    EXPECT_FALSE(P::TerminateProcess(child.process, 1)) << "an ended process cannot be ended";
    P::Process duplicate = child.process.Duplicate();
    child.process.Reset();
    EXPECT_TRUE(HostingTest::IsZombie(pid)) << "a duplicate still owns it";
    duplicate.Reset();
    EXPECT_FALSE(HostingTest::IsZombie(pid));
}

// Children given up while they run are reaped by a later start once they
// have ended; one still running stays on the list for the next.
TEST(ProcessExit, ChildrenGivenUpWhileRunningAreReapedByALaterStart) {
    Child first(L"");
    Child second(L"");
    const int firstPid = static_cast<int>(P::GetProcessId(first.process));
    const int secondPid = static_cast<int>(P::GetProcessId(second.process));
    first.process.Reset();
    second.process.Reset();
    for (const int pid : {secondPid, firstPid}) {
        ASSERT_TRUE(HostingTest::Kill(pid));
        ASSERT_TRUE(HostingTest::Eventually([pid] { return HostingTest::IsZombie(pid); }, 5s));
        Child later(L"--exit 0");
        EXPECT_FALSE(HostingTest::IsZombie(pid));
    }
}

// A host that ignores SIGCHLD has its children reaped by the system; their
// end must still be seen, with code 0 since the real one is gone.
TEST(ProcessExit, EndIsSeenWhenTheHostIgnoresChildSignals) {
    struct Restore {
        struct sigaction previous {};
        ~Restore() { sigaction(SIGCHLD, &previous, nullptr); }
    } restore;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &restore.previous), 0);
    // A child that ends at once may be reaped before the start can name it;
    // it still started, and has ended.
    for (int i = 0; i < 50; ++i) {
        Child child(i == 0 ? L"--exit 5" : L"", L"",
                    i == 0 ? HostingTest::ScriptedServer() : L"/bin/true");
        ASSERT_TRUE(child.process) << i;
        EXPECT_EQ(P::WaitForProcess(child.process, 5000ms), P::WaitResult::Ended);
        P::ExitStatus status{true, 1};
        EXPECT_TRUE(P::QueryExit(child.process, status));
        EXPECT_FALSE(status.running);
        EXPECT_EQ(status.code, 0u);
    }
}

TEST(Paths, KnownServerPathsUseSlashesAndTheCurrentDirectoryIsDecodedFromUtf8) {
    EXPECT_EQ(P::PathAppend(L"/opt/lib", L".\\PellavonCli\\PellavonCli"),
              L"/opt/lib/PellavonCli/PellavonCli");
    EXPECT_EQ(P::PathAppend(L"/opt/lib/", L"x"), L"/opt/lib/x");
    EXPECT_EQ(P::PathAppend(L"/", L".\\a"), L"/a");
    EXPECT_TRUE(P::PathAppend(L"/a", std::wstring(5000, L'x')).empty());
    // A statically linked host is its own library: its directory is used.
    EXPECT_EQ(P::GetLibraryDirectory(), P::GetExecutableDirectory());
    EXPECT_FALSE(P::GetExecutableDirectory().empty());

    // Two-, three- and four-byte characters.
    const std::string folder = HostingTest::TempPath("cwd-\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    const std::wstring cwd = P::GetCurrentDirectory();
    EXPECT_EQ(chdir(previous), 0);
    rmdir(folder.c_str());
    const std::wstring tail = L"cwd-\u00E9\u20AC\U0001F600-";
    const std::size_t at = cwd.find(L"cwd-");
    ASSERT_NE(at, std::wstring::npos);
    EXPECT_EQ(cwd.substr(at, tail.size()), tail);
}

TEST(ErrorTexts, LastErrorKeepsItsLineEndAndFailureCodesDropIt) {
    P::SetLastError(0);
    EXPECT_EQ(RpcClient::GetLastErrorAsString(), "");
    P::SetLastError(ENOENT);
    const std::string text = RpcClient::GetLastErrorAsString();
    EXPECT_NE(text.find("No such file"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

    EXPECT_EQ(RpcClient::GetHResultErrorAsString(0), "");
    EXPECT_EQ(RpcClient::GetHResultErrorAsString(5), "");
    for (long code : {RpcClient::FailureCode::Timeout, RpcClient::FailureCode::ServerFault,
                      RpcClient::FailureCode::Unexpected, RpcClient::FailureCode::NoSync}) {
        const std::string message = RpcClient::GetHResultErrorAsString(code);
        ASSERT_FALSE(message.empty()) << code;
        EXPECT_NE(message.back(), '\n');
        EXPECT_NE(message.back(), '\r');
    }
}

bool IsNonBlocking(const P::Pipe& pipeEnd) {
    return (fcntl(pipeEnd.Get().fd, F_GETFL) & O_NONBLOCK) != 0;
}

// Large writes go out as the pipe has room, the descriptor non-blocking only
// for the while; one someone else made non-blocking is waited on, not failed.
TEST(PipeWrite, BlocksOfEverySizeReachAReaderWholeInOrder) {
    Child server(L"");
    const std::size_t sizes[] = {100, 65537, std::size_t{3} << 20};
    for (int round = 0; round < 12; ++round) {
        const bool watched = (round & 1) != 0;
        const bool startNonBlocking = (round & 2) != 0;
        const std::size_t size = sizes[round / 4];
        SCOPED_TRACE(std::to_string(size) + (watched ? " watched" : "") +
                     (startNonBlocking ? " non-blocking" : ""));
        PlatformTest::Pipe pipe;
        if (startNonBlocking) {
            fcntl(pipe.write.Get().fd, F_SETFL, O_NONBLOCK);
        }
        std::string sent(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            sent[i] = static_cast<char>('a' + (i * 7) % 26);
        }
        std::string received;
        std::thread reader([&] {
            std::vector<char> buffer(100000);
            for (long got;
                 received.size() < size &&
                 (got = P::ReadPipe(pipe.read, buffer.data(), buffer.size(), nullptr)) > 0;) {
                received.append(buffer.data(), static_cast<std::size_t>(got));
            }
        });
        EXPECT_TRUE(P::WritePipe(pipe.write, sent.data(), sent.size(),
                                 watched ? &server.process : nullptr));
        reader.join();
        EXPECT_TRUE(received == sent);
        EXPECT_EQ(IsNonBlocking(pipe.write), startNonBlocking);
    }
}

// We hold the pipe's read end ourselves, as the host holds its servers'
// input, so the pipe never breaks: only the server's end stops the write,
// which tells a server ended before it from one that ended while it waited.
TEST(PipeWrite, LargeBlockToAServerThatEndsWhileNobodyReadsFailsAndTellsWhenItEnded) {
    for (const bool endedFirst : {true, false}) {
        SCOPED_TRACE(endedFirst);
        Child server(L"");
        const int pid = server.Call("pid").asInt();
        if (endedFirst) {
            ASSERT_TRUE(HostingTest::Kill(pid));
            ASSERT_EQ(P::WaitForProcess(server.process, 5000ms), P::WaitResult::Ended);
        }
        std::thread killer([&] {
            if (!endedFirst) {
                std::this_thread::sleep_for(200ms);
                HostingTest::Kill(pid);
            }
        });
        PlatformTest::Pipe pipe;
        const std::string sent(std::size_t{1} << 20, 'x');
        const auto start = std::chrono::steady_clock::now();
        bool endedBeforeWait = !endedFirst;
        EXPECT_FALSE(
            P::WritePipe(pipe.write, sent.data(), sent.size(), &server.process, &endedBeforeWait));
        EXPECT_EQ(P::GetLastError(), static_cast<unsigned long>(EPIPE));
        killer.join();
        EXPECT_EQ(endedBeforeWait, endedFirst);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_FALSE(IsNonBlocking(pipe.write));
        std::size_t unread = 0;
        EXPECT_TRUE(P::PipeBytesUnread(pipe.read, unread));
        EXPECT_GT(unread, 0u);
        EXPECT_LT(unread, sent.size());
    }
}

}  // namespace
