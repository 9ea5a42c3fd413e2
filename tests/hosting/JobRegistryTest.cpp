// SPDX-License-Identifier: Apache-2.0
// The registry and its job: URLs, default order, closing, and the three
// lifetime promises, checked with real processes (servers and the
// processes they start).

#include <gtest/gtest.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

using namespace RpcClient;
using namespace std::chrono_literals;

namespace {

class OpenJobInstance : public JobInstance {
public:
    using JobInstance::GenerateSrvUrl;
    using JobInstance::GetJobHandle;
};

int Ask(RpcLocalSrvConfig* server, const char* method) {
    JsonRpcClient client(server);
    JsonRequest request(method);
    JsonResponse response;
    return client.Request(request, response) == 0 ? response.GetResult().asInt() : -1;
}

std::wstring HandleDigits(void* handle) {
    wchar_t digits[17];
    std::swprintf(digits, 17, L"%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle)));
    return digits;
}

TEST(Registry, UrlIsPathArgumentsAndProcessHandleInUpperCaseHex) {
    OpenJobInstance jobs;
    const std::wstring uri = HostingTest::ScriptedServer();
    const auto withArgs = jobs.StartRpcServer(uri, L"-l 2");
    ASSERT_EQ(withArgs.first, 1);
    RpcLocalSrvConfig* server = jobs.GetAt(withArgs.second);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(withArgs.second, uri + L" -l 2:" + HandleDigits(server->GetSrvProcessHandle()));

    const auto noArgs = jobs.StartRpcServer(uri, L"");
    ASSERT_EQ(noArgs.first, 1);
    EXPECT_EQ(noArgs.second,
              uri + L":" + HandleDigits(jobs.GetAt(noArgs.second)->GetSrvProcessHandle()));
    EXPECT_EQ(jobs.GenerateSrvUrl(L"C:\\Tools\\srv.exe", L"-l 2", nullptr),
              L"C:\\Tools\\srv.exe -l 2");
    EXPECT_EQ(jobs.GenerateSrvUrl(L"", L"", nullptr), L"");
}

TEST(Registry, DefaultIsTheFirstUrlNotTheFirstStartedAndLookupIsExact) {
    OpenJobInstance jobs;
    EXPECT_EQ(jobs.Default(), nullptr);
    const auto later = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"b");
    const auto earlier = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"a");
    ASSERT_EQ(later.first, 1);
    ASSERT_EQ(earlier.first, 1);
    EXPECT_EQ(jobs.Default(), jobs.GetAt(earlier.second));
    EXPECT_EQ(jobs[later.second], jobs.GetAt(later.second));

    std::wstring otherCase = later.second;
    for (wchar_t& c : otherCase) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    EXPECT_EQ(jobs.GetAt(otherCase), nullptr);
    jobs.CloseRpcServer(otherCase);
    EXPECT_NE(jobs.GetAt(later.second), nullptr) << "a differently cased URL closes nothing";
}

TEST(Registry, ServerThatCannotStartIsNotFiled) {
    OpenJobInstance jobs;
    EXPECT_EQ(jobs.StartRpcServer(L"/nonexistent/server", L""), std::make_pair(0, std::wstring()));
    EXPECT_EQ(jobs.Default(), nullptr);
}

TEST(Registry, ClosingOneServerEndsOnlyThatOne) {
    OpenJobInstance jobs;
    const auto first = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"1");
    const auto second = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"2");
    const int firstPid = Ask(jobs.GetAt(first.second), "pid");
    const int secondPid = Ask(jobs.GetAt(second.second), "pid");
    ASSERT_GT(firstPid, 0);
    ASSERT_GT(secondPid, 0);
    jobs.CloseRpcServer(first.second);
    EXPECT_EQ(jobs.GetAt(first.second), nullptr);
    EXPECT_TRUE(HostingTest::WaitGone(firstPid, 1s));
    EXPECT_TRUE(HostingTest::IsAlive(secondPid));
    EXPECT_EQ(jobs.Default(), jobs.GetAt(second.second));
}

TEST(Registry, ClosingAllEndsServersAndTheirChildrenAndANewJobIsMadeLater) {
    OpenJobInstance jobs;
    EXPECT_FALSE(jobs.IsValid());
    const auto started = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"");
    ASSERT_EQ(started.first, 1);
    EXPECT_TRUE(jobs.IsValid());
    EXPECT_NE(jobs.GetJobHandle(), nullptr);
    const int pid = Ask(jobs.GetAt(started.second), "pid");
    const int grandchild = Ask(jobs.GetAt(started.second), "spawnChild");
    ASSERT_GT(grandchild, 0);

    jobs.CloseAllRpcServer();
    EXPECT_EQ(jobs.Default(), nullptr);
    EXPECT_EQ(jobs.GetJobHandle(), nullptr);
    EXPECT_TRUE(HostingTest::WaitGone(pid, 1s));
    EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s));

    ASSERT_EQ(jobs.StartRpcServer(HostingTest::ScriptedServer(), L"").first, 1);
    EXPECT_NE(jobs.GetJobHandle(), nullptr);
}

TEST(Registry, RestartedServerKeepsItsUrlAndJoinsTheJobAgain) {
    OpenJobInstance jobs;
    const auto started = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"-l 2");
    RpcLocalSrvConfig* server = jobs.GetAt(started.second);
    const int firstPid = Ask(server, "pid");
    ASSERT_TRUE(HostingTest::Kill(firstPid));
    ASSERT_EQ(server->WaitForExit(5000), 0u);

    const int secondPid = Ask(server, "pid");
    ASSERT_GT(secondPid, 0);
    EXPECT_NE(secondPid, firstPid);
    // The new process got the arguments of the first.
    JsonRpcClient client(server);
    JsonRequest argv("argv");
    JsonResponse response;
    ASSERT_EQ(client.Request(argv, response), 0);
    EXPECT_EQ(response.GetResult()[2].asString(), "2");
    EXPECT_EQ(jobs.GetAt(started.second), server);
    bool inJob = false;
    const auto job = Platform::OpenPublicJob(jobs.GetJobHandle());
    ASSERT_TRUE(Platform::IsProcessInJob(Platform::OpenPublicProcess(server->GetSrvProcessHandle()),
                                         &job, inJob));
    EXPECT_TRUE(inJob);
    // The job still ends the restarted server and what it starts.
    const int grandchild = Ask(server, "spawnChild");
    jobs.CloseAllRpcServer();
    EXPECT_TRUE(HostingTest::WaitGone(secondPid, 1s));
    EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s));
}

TEST(JobQueries, HostInNoJobSeesItsServersOnlyInTheLibrarysJob) {
    EXPECT_FALSE(JobInstance::IsMainInJob());
    EXPECT_FALSE(JobInstance::IsChildProcessCanBreakawayFromMainJob());
    OpenJobInstance jobs;
    const auto started = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"");
    void* process = jobs.GetAt(started.second)->GetSrvProcessHandle();
    EXPECT_FALSE(JobInstance::IsChildProcessInMainJob(process));
    EXPECT_FALSE(JobInstance::IsChildProcessInMainJob(nullptr));
    EXPECT_FALSE(JobInstance::IsChildProcessHasBreakawayFromJobFlags(process));
    bool inJob = false;
    ASSERT_TRUE(Platform::IsProcessInJob(Platform::OpenPublicProcess(process), nullptr, inJob));
    EXPECT_TRUE(inJob);
}

TEST(JobLifetime, DestroyingTheRegistryEndsServersAndWhatTheyStarted) {
    int pid = 0;
    int grandchild = 0;
    {
        OpenJobInstance jobs;
        const auto started = jobs.StartRpcServer(HostingTest::ScriptedServer(), L"");
        pid = Ask(jobs.GetAt(started.second), "pid");
        grandchild = Ask(jobs.GetAt(started.second), "spawnChild");
        ASSERT_GT(grandchild, 0);
        EXPECT_TRUE(HostingTest::IsAlive(grandchild));
    }
    // Nothing of ours is left behind, not even a zombie (the job's guard
    // included), without waiting for any later call.
    EXPECT_FALSE(HostingTest::HasChildProcess()) << "a child is left";
    EXPECT_TRUE(HostingTest::WaitGone(pid, 1s));
    EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s));
}

TEST(JobLifetime, ServersOutliveTheThreadThatStartedThem) {
    OpenJobInstance jobs;
    std::pair<int, std::wstring> started;
    std::thread([&] { started = jobs.StartRpcServer(HostingTest::ScriptedServer(), L""); }).join();
    ASSERT_EQ(started.first, 1);
    std::this_thread::sleep_for(300ms);
    RpcLocalSrvConfig* server = jobs.GetAt(started.second);
    EXPECT_EQ(server->IsRpcServerRunning(), 1);
    EXPECT_GT(Ask(server, "pid"), 0);
}

TEST(JobLifetime, HostKilledBySigkillTakesItsServersWithinOneSecond) {
    for (bool fromThread : {false, true}) {
        const std::string pidfile = HostingTest::TempPath("host-server");
        const auto [host, grandchild] =
            HostingTest::RunTestHost(JRC_TEST_HOST, JRC_SCRIPTED_SERVER, pidfile, fromThread);
        ASSERT_GT(host, 0);
        ASSERT_GT(grandchild, 0) << "the test host could not start its server";
        const int server = HostingTest::ReadPidFile(pidfile, 5s);
        ASSERT_GT(server, 0);
        std::remove(pidfile.c_str());
        // The host's starting thread has long ended; the server must not care.
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(HostingTest::IsAlive(server));

        ASSERT_TRUE(HostingTest::KillAndReap(host));
        EXPECT_TRUE(HostingTest::WaitGone(server, 1s)) << "server outlived its host";
        EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s)) << "grandchild outlived the host";
    }
}

}  // namespace

namespace {

// A client bound to a server that the registry then closes keeps the record
// alive: its calls fail with an entry, and nothing is read after it is freed
// (run under AddressSanitizer to see the difference).
void ExpectClosedFor(JsonRpcClient& client) {
    JsonRequest request("pid");
    JsonResponse response;
    EXPECT_EQ(client.Request(request, response), FailureCode::Timeout);
    EXPECT_EQ(client.GetLastErrMsg(), "Query connection timeout");
    EXPECT_EQ(client.IsRpcServerRunning(), 0) << "a closed server is never started again";
}

TEST(Registry, ClientsOfAClosedServerFailCleanly) {
    using Close = void (*)(std::unique_ptr<OpenJobInstance>&, const std::wstring&);
    const std::pair<const char*, Close> closers[] = {
        {"one", [](auto& jobs, const std::wstring& url) { jobs->CloseRpcServer(url); }},
        {"all", [](auto& jobs, const std::wstring&) { jobs->CloseAllRpcServer(); }},
        {"registry destroyed", [](auto& jobs, const std::wstring&) { jobs.reset(); }}};
    for (const auto& close : closers) {
        SCOPED_TRACE(close.first);
        auto jobs = std::make_unique<OpenJobInstance>();
        const auto started = jobs->StartRpcServer(HostingTest::ScriptedServer(), L"");
        ASSERT_EQ(started.first, 1);
        JsonRpcClient client(jobs->GetAt(started.second));
        const int pid = Ask(jobs->GetAt(started.second), "pid");
        close.second(jobs, started.second);
        EXPECT_TRUE(HostingTest::WaitGone(pid, 1s));
        ExpectClosedFor(client);
    }
    // A default client: bound to the process-wide registry's first server.
    ASSERT_EQ(JobInstanceMgr::Startup(HostingTest::ScriptedServer(), L"", nullptr, nullptr), 1);
    JsonRpcClient byDefault;
    JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
    ExpectClosedFor(byDefault);
}

}  // namespace
