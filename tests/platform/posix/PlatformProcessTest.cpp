// SPDX-License-Identifier: Apache-2.0
// The POSIX process backend against real children: what a server receives,
// how its end is reported, and that nothing is leaked or left as a zombie.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonRequest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

namespace P = RpcClient::Platform;
using namespace std::chrono_literals;

namespace {

// A child with its two pipes, driven directly through the platform layer.
struct Child {
    P::Process process;
    P::Pipe toChild;    // our end of its stdin
    P::Pipe fromChild;  // our end of its stdout+stderr

    explicit Child(const std::wstring& args,
                   std::wstring application = HostingTest::ScriptedServer()) {
        P::Pipe outWrite;
        P::Pipe inRead;
        EXPECT_TRUE(P::CreatePipe(fromChild, outWrite));
        EXPECT_TRUE(P::CreatePipe(inRead, toChild));
        P::ProcessStart start;
        start.application = application;
        start.arguments = args;
        start.standardInput = &inRead;
        start.standardOutput = &outWrite;
        process = P::StartProcess(start);
    }
    ~Child() {
        if (process) {
            P::TerminateProcess(process, 0);
            P::WaitForProcess(process, std::chrono::milliseconds(2000));
        }
    }

    Json::Value Call(const std::string& method, const Json::Value& params = Json::arrayValue) {
        Json::Value body;
        body["jsonrpc"] = "2.0";
        body["id"] = 1;
        body["method"] = method;
        body["params"] = params;
        std::ostringstream out;
        RpcClient::WriteFrame(out, body);
        const std::string bytes = out.str();
        EXPECT_TRUE(P::WritePipe(toChild, bytes.data(), bytes.size(), nullptr));
        std::string received;
        char buffer[4096];
        // Header, blank line, then the body length it states.
        std::size_t need = std::string::npos;
        while (need == std::string::npos || received.size() < need) {
            const long got = P::ReadPipe(fromChild, buffer, sizeof buffer, &process);
            if (got <= 0) {
                return Json::Value();
            }
            received.append(buffer, static_cast<std::size_t>(got));
            const auto split = received.find("\r\n\r\n");
            if (need == std::string::npos && split != std::string::npos) {
                need = split + 4 + std::stoul(received.substr(16, split - 16));
            }
        }
        std::istringstream in(received);
        std::string error;
        return RpcClient::ReadFrame(in, error)["result"];
    }
};

std::set<std::string> Targets(const Json::Value& list) {
    std::set<std::string> targets;
    for (const Json::Value& item : list) {
        targets.insert(item["target"].asString());
    }
    return targets;
}

// What a server gets: its arguments split by the Windows rules after its
// path, the host's directory and environment, and exactly three standard
// descriptors, standard output and standard error sharing one pipe.
TEST(ServerStart, ServerGetsItsArgumentsTheHostsPlaceAndOnlyItsThreePipes) {
    // A descriptor the host opened without close-on-exec must not leak either.
    const int hostFd = open("/dev/null", O_RDONLY);
    ASSERT_GE(hostFd, 0);
    setenv("JRC_TEST_MARK", "marked", 1);
    Child first(L"");
    Child second(L"-l \"two words\" a\\\"b");
    ASSERT_TRUE(second.process);

    const Json::Value fds = second.Call("fds");
    ASSERT_EQ(fds.size(), 3u) << fds.toStyledString();
    EXPECT_EQ(fds[0]["fd"].asInt(), 0);
    EXPECT_EQ(fds[1]["fd"].asInt(), 1);
    EXPECT_EQ(fds[2]["fd"].asInt(), 2);
    EXPECT_EQ(fds[1]["target"], fds[2]["target"]) << "stdout and stderr share one pipe";
    EXPECT_NE(fds[0]["target"], fds[1]["target"]);
    // None of the first server's pipes reached the second one.
    const std::set<std::string> firstPipes = Targets(first.Call("fds"));
    for (const std::string& target : Targets(fds)) {
        EXPECT_EQ(firstPipes.count(target), 0u) << target;
    }
    close(hostFd);

    EXPECT_EQ(second.Call("stderr").asString(), "via stderr");
    const Json::Value argv = second.Call("argv");
    ASSERT_EQ(argv.size(), 4u);
    EXPECT_EQ(argv[0].asString(), JRC_SCRIPTED_SERVER);
    EXPECT_EQ(argv[1].asString(), "-l");
    EXPECT_EQ(argv[2].asString(), "two words");
    EXPECT_EQ(argv[3].asString(), "a\"b");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(second.Call("cwd").asString(), cwd);
    Json::Value params(Json::arrayValue);
    params.append("JRC_TEST_MARK");
    EXPECT_EQ(second.Call("env", params).asString(), "marked");
}

TEST(ProcessExit, EndsAreReportedWithoutReapingAndClosingReaps) {
    struct Case {
        const char* method;  // "terminate": ended by TerminateProcess
        int value;
        unsigned long expected;
    };
    const Case cases[] = {
        {"exit", 3, 3}, {"exit", 0, 0}, {"signal", SIGTERM, 128 + SIGTERM}, {"terminate", 7, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + std::to_string(c.value));
        Child child(L"");
        const int pid = child.Call("pid").asInt();
        P::ExitStatus status;
        ASSERT_TRUE(P::QueryExit(child.process, status));
        EXPECT_TRUE(status.running);
        EXPECT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(0)),
                  P::WaitResult::TimedOut);
        if (c.method == std::string("terminate")) {
            ASSERT_TRUE(P::TerminateProcess(child.process, c.value));
        } else {
            Json::Value params(Json::arrayValue);
            params.append(c.value);
            child.Call(c.method, params);
        }
        ASSERT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(5000)),
                  P::WaitResult::Ended);
        char byte = 0;
        EXPECT_EQ(P::ReadPipe(child.fromChild, &byte, 1, &child.process), 0)
            << "a read ends once the server is gone";
        // Asking twice gives the same answer: asking does not reap.
        for (int ask = 0; ask < 2; ++ask) {
            ASSERT_TRUE(P::QueryExit(child.process, status));
            EXPECT_FALSE(status.running);
            EXPECT_EQ(status.code, c.expected);
        }
        EXPECT_TRUE(HostingTest::IsZombie(pid)) << "peeking must not reap";
        EXPECT_FALSE(P::TerminateProcess(child.process, 1)) << "an ended process cannot be ended";
        child.process.Reset();
        EXPECT_FALSE(HostingTest::IsZombie(pid));
        EXPECT_FALSE(HostingTest::IsAlive(pid));
    }
}

// A host that ignores SIGCHLD has its children reaped by the system; their
// end must still be seen, with code 0 since the real one is gone.
TEST(ProcessExit, EndIsSeenWhenTheHostIgnoresChildSignals) {
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
    {
        Child child(L"--exit 5");
        EXPECT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(5000)),
                  P::WaitResult::Ended);
        P::ExitStatus status{true, 1};
        EXPECT_TRUE(P::QueryExit(child.process, status));
        EXPECT_FALSE(status.running);
        EXPECT_EQ(status.code, 0u);
    }
    sigaction(SIGCHLD, &previous, nullptr);
}

TEST(ProcessStart, MissingExecutableFailsWithAnErrorAndLeaksNothing) {
    const std::set<int> before = HostingTest::OpenDescriptors();
    {
        Child child(L"", L"/nonexistent/server");
        EXPECT_FALSE(child.process);
        EXPECT_EQ(P::GetLastError(), static_cast<unsigned long>(ENOENT));
    }
    EXPECT_EQ(HostingTest::OpenDescriptors(), before);
}

TEST(PipeWrite, WritingToAServerThatHasGoneIsAnErrorNotASignal) {
    Child child(L"--exit 0");
    ASSERT_EQ(P::WaitForProcess(child.process, std::chrono::milliseconds(5000)),
              P::WaitResult::Ended);
    const std::string bytes(1000, 'x');
    // The child held the only read end; our write breaks the pipe.
    EXPECT_FALSE(P::WritePipe(child.toChild, bytes.data(), bytes.size(), nullptr));
    EXPECT_EQ(P::GetLastError(), static_cast<unsigned long>(EPIPE));
}

TEST(Paths, KnownServerPathsAreJoinedWithThePlatformsSeparator) {
    EXPECT_EQ(P::PathAppend(L"/opt/lib", L".\\PellavonCli\\PellavonCli"),
              L"/opt/lib/PellavonCli/PellavonCli");
    EXPECT_EQ(P::PathAppend(L"/opt/lib/", L"x"), L"/opt/lib/x");
    EXPECT_EQ(P::PathAppend(L"/", L".\\a"), L"/a");
    EXPECT_TRUE(P::PathAppend(L"/a", std::wstring(5000, L'x')).empty());
    // A statically linked host is its own library: its directory is used.
    EXPECT_EQ(P::GetLibraryDirectory(), P::GetExecutableDirectory());
    EXPECT_FALSE(P::GetExecutableDirectory().empty());
}

// The system hands paths over as UTF-8; two-, three- and four-byte
// characters must come back as the same wide characters.
TEST(Paths, CurrentDirectoryIsDecodedFromUtf8) {
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

// Large writes to a server's input go out as the pipe has room, with the
// descriptor non-blocking only for the while.
bool IsNonBlocking(const P::Pipe& pipeEnd) {
    return (fcntl(pipeEnd.Get().fd, F_GETFL) & O_NONBLOCK) != 0;
}

std::string PatternOfSize(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7) % 26);
    }
    return bytes;
}

// Reads everything from `readEnd` until `expected` bytes have arrived.
std::string ReadAllOf(const P::Pipe& readEnd, std::size_t expected) {
    std::string received;
    std::vector<char> buffer(100000);
    while (received.size() < expected) {
        const long got = P::ReadPipe(readEnd, buffer.data(), buffer.size(), nullptr);
        if (got <= 0) {
            break;
        }
        received.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return received;
}

TEST(PipeWrite, BlocksOfEverySizeReachAReaderWholeInOrder) {
    // Watched (a live server) and not, from below PIPE_BUF to many times
    // the pipe's capacity, and on a descriptor someone else made
    // non-blocking, which a plain write must wait on rather than fail.
    Child server(L"");
    for (const bool watched : {true, false}) {
        for (const std::size_t size :
             {std::size_t{100}, std::size_t{4097}, std::size_t{65537}, std::size_t{3} << 20}) {
            for (const bool startNonBlocking : {false, true}) {
                P::Pipe readEnd;
                P::Pipe writeEnd;
                ASSERT_TRUE(P::CreatePipe(readEnd, writeEnd));
                if (startNonBlocking) {
                    const int fd = writeEnd.Get().fd;
                    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
                }
                const std::string sent = PatternOfSize(size);
                std::string received;
                std::thread reader([&] { received = ReadAllOf(readEnd, size); });
                EXPECT_TRUE(P::WritePipe(writeEnd, sent.data(), sent.size(),
                                         watched ? &server.process : nullptr))
                    << size;
                reader.join();
                EXPECT_TRUE(received == sent) << size << " watched " << watched;
                EXPECT_EQ(IsNonBlocking(writeEnd), startNonBlocking) << size;
            }
        }
    }
}

TEST(PipeWrite, LargeBlockToAServerThatEndsWhileNobodyReadsFailsAndTellsWhenItEnded) {
    // We hold the pipe's read end ourselves, as the host holds its servers'
    // input, so the pipe never breaks: only the server's end stops the write.
    // It tells a server that had ended before the write from one that ended
    // while the write waited, and what the pipe took stays unread in it.
    for (const bool endedFirst : {true, false}) {
        SCOPED_TRACE(endedFirst);
        Child server(L"");
        const int pid = server.Call("pid").asInt();
        if (endedFirst) {
            ASSERT_TRUE(HostingTest::Kill(pid));
            ASSERT_EQ(P::WaitForProcess(server.process, std::chrono::milliseconds(5000)),
                      P::WaitResult::Ended);
        }
        std::thread killer([&] {
            if (!endedFirst) {
                std::this_thread::sleep_for(200ms);
                HostingTest::Kill(pid);
            }
        });
        P::Pipe readEnd;
        P::Pipe writeEnd;
        ASSERT_TRUE(P::CreatePipe(readEnd, writeEnd));
        const std::string sent(std::size_t{1} << 20, 'x');
        const auto start = std::chrono::steady_clock::now();
        bool endedBeforeWait = !endedFirst;
        EXPECT_FALSE(
            P::WritePipe(writeEnd, sent.data(), sent.size(), &server.process, &endedBeforeWait));
        EXPECT_EQ(P::GetLastError(), static_cast<unsigned long>(EPIPE));
        killer.join();
        EXPECT_EQ(endedBeforeWait, endedFirst);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_FALSE(IsNonBlocking(writeEnd));
        std::size_t unread = 0;
        EXPECT_TRUE(P::PipeBytesUnread(readEnd, unread));
        EXPECT_GT(unread, 0u);
        EXPECT_LT(unread, sent.size());
    }
}

}  // namespace
