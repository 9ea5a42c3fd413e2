// SPDX-License-Identifier: Apache-2.0
// The registry and its job, with real processes (servers and what they start).

#include <gtest/gtest.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

using namespace RpcClient;
using namespace std::chrono_literals;

namespace {

class OpenJobInstance : public JobInstance {
public:
    using JobInstance::GenerateSrvUrl;
    using JobInstance::GetJobHandle;
    std::pair<int, std::wstring> Start(const std::wstring& args) {
        return StartRpcServer(HostingTest::ScriptedServer(), args);
    }
};

Json::Value Ask(RpcLocalSrvConfig* server, const char* method) {
    JsonRpcClient client(server);
    JsonRequest request(method);
    JsonResponse response;
    return client.Request(request, response) == 0 ? response.GetResult() : Json::Value(-1);
}

TEST(Registry, UrlIsPathArgumentsAndHandleTheDefaultIsTheFirstUrlAndLookupIsExact) {
    OpenJobInstance jobs;
    EXPECT_EQ(jobs.StartRpcServer(L"/nonexistent/server", L""), std::make_pair(0, std::wstring()));
    EXPECT_EQ(jobs.Default(), nullptr) << "a server that cannot start is not filed";
    const std::wstring uri = HostingTest::ScriptedServer();
    // Started second, the one with arguments has the first URL (" " < ":").
    const std::wstring args[] = {L"", L"-l 2"};
    std::pair<int, std::wstring> started[2];
    for (int i = 0; i < 2; ++i) {
        started[i] = jobs.Start(args[i]);
        ASSERT_EQ(started[i].first, 1);
        RpcLocalSrvConfig* server = jobs.GetAt(started[i].second);
        ASSERT_NE(server, nullptr);
        EXPECT_EQ(jobs[started[i].second], server);
        wchar_t handle[17];  // in upper-case hex
        std::swprintf(handle, 17, L"%016llX",
                      static_cast<unsigned long long>(
                          reinterpret_cast<std::uintptr_t>(server->GetSrvProcessHandle())));
        EXPECT_EQ(started[i].second, uri + (i == 0 ? L"" : L" " + args[i]) + L":" + handle);
    }
    EXPECT_EQ(jobs.Default(), jobs.GetAt(started[1].second));
    EXPECT_EQ(jobs.GenerateSrvUrl(L"C:\\Tools\\srv.exe", L"-l 2", nullptr),
              L"C:\\Tools\\srv.exe -l 2");
    EXPECT_EQ(jobs.GenerateSrvUrl(L"", L"", nullptr), L"");

    const std::wstring later = started[0].second;
    std::wstring otherCase = later;
    for (wchar_t& c : otherCase) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    EXPECT_EQ(jobs.GetAt(otherCase), nullptr);
    jobs.CloseRpcServer(otherCase);
    EXPECT_NE(jobs.GetAt(later), nullptr) << "a differently cased URL closes nothing";
}

// A client of a closed server keeps its record: calls fail with an entry, and
// nothing freed is read (AddressSanitizer tells).
void ExpectClosedFor(JsonRpcClient& client) {
    JsonRequest request("pid");
    JsonResponse response;
    EXPECT_EQ(client.Request(request, response), FailureCode::Timeout);
    EXPECT_EQ(client.GetLastErrMsg(), "Query connection timeout");
    EXPECT_EQ(client.IsRpcServerRunning(), 0) << "a closed server is never started again";
}

// Closing all, or destroying the registry, ends every server and what they
// started at once, leaving not even a zombie (the job's guard included).
TEST(Registry, ClosingEndsItsServersAndTheirClientsFailCleanly) {
    enum Close { One, All, Destroyed };
    for (const Close close : {One, All, Destroyed}) {
        SCOPED_TRACE(close);
        auto jobs = std::make_unique<OpenJobInstance>();
        EXPECT_FALSE(jobs->IsValid());
        const auto first = jobs->Start(L"1");
        const auto second = jobs->Start(L"2");
        ASSERT_EQ(first.first, 1);
        EXPECT_TRUE(jobs->IsValid());
        EXPECT_NE(jobs->GetJobHandle(), nullptr);
        JsonRpcClient client(jobs->GetAt(first.second));
        const int pid = Ask(jobs->GetAt(first.second), "pid").asInt();
        const int secondPid = Ask(jobs->GetAt(second.second), "pid").asInt();
        const int grandchild = Ask(jobs->GetAt(first.second), "spawnChild").asInt();
        ASSERT_GT(grandchild, 0);
        EXPECT_TRUE(HostingTest::IsAlive(grandchild));

        if (close == One) {
            jobs->CloseRpcServer(first.second);
            EXPECT_EQ(jobs->GetAt(first.second), nullptr);
            EXPECT_TRUE(HostingTest::IsAlive(secondPid));
            EXPECT_EQ(jobs->Default(), jobs->GetAt(second.second));
        } else if (close == All) {
            jobs->CloseAllRpcServer();
            EXPECT_EQ(jobs->Default(), nullptr);
            EXPECT_EQ(jobs->GetJobHandle(), nullptr);
        } else {
            jobs.reset();
            EXPECT_FALSE(HostingTest::HasChildProcess()) << "a child is left";
        }
        EXPECT_TRUE(HostingTest::WaitGone(pid, 1s));
        if (close != One) {
            EXPECT_TRUE(HostingTest::WaitGone(secondPid, 1s));
            EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s));
        }
        ExpectClosedFor(client);
        if (close == All) {
            ASSERT_EQ(jobs->Start(L"").first, 1);
            EXPECT_NE(jobs->GetJobHandle(), nullptr) << "a new job is made later";
        }
    }
    // A default client: bound to the process-wide registry's first server.
    ASSERT_EQ(JobInstanceMgr::Startup(HostingTest::ScriptedServer(), L"", nullptr, nullptr), 1);
    JsonRpcClient byDefault;
    JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
    ExpectClosedFor(byDefault);
}

// The next call restarts a killed server without an entry, whether the
// request fits into the ended server's input or fills it.
TEST(Registry, RestartedServerKeepsItsUrlAndArgumentsAndJoinsTheJobAgain) {
    OpenJobInstance jobs;
    const auto started = jobs.Start(L"-l 2");
    RpcLocalSrvConfig* server = jobs.GetAt(started.second);
    JsonRpcClient client(server);
    for (const std::size_t size : {std::size_t{0}, std::size_t{256 * 1024}}) {
        SCOPED_TRACE(size);
        const int firstPid = Ask(server, "pid").asInt();
        EXPECT_EQ(client.IsRpcServerRunning(), 1);
        ASSERT_TRUE(HostingTest::Kill(firstPid));
        ASSERT_EQ(server->WaitForExit(5000), 0u);
        EXPECT_EQ(client.IsRpcServerRunning(), 0);
        JsonRequest request("pid");
        request.SetRequestParamsList(std::string(size, 'p'));
        JsonResponse response;
        ASSERT_EQ(client.Request(request, response), 0);
        EXPECT_NE(response.GetResult().asInt(), firstPid);
        EXPECT_FALSE(client.HasError());
    }
    EXPECT_EQ(Ask(server, "argv")[2].asString(), "2");
    EXPECT_EQ(jobs.GetAt(started.second), server);
    // In the library's job, so in some job; the host itself is in none.
    void* process = server->GetSrvProcessHandle();
    const Platform::Job job = Platform::OpenPublicJob(jobs.GetJobHandle());
    for (const Platform::Job* in : {&job, static_cast<const Platform::Job*>(nullptr)}) {
        bool inJob = false;
        ASSERT_TRUE(Platform::IsProcessInJob(Platform::OpenPublicProcess(process), in, inJob));
        EXPECT_TRUE(inJob);
    }
    EXPECT_FALSE(JobInstance::IsMainInJob());
    EXPECT_FALSE(JobInstance::IsChildProcessCanBreakawayFromMainJob());
    EXPECT_FALSE(JobInstance::IsChildProcessInMainJob(process));
    EXPECT_FALSE(JobInstance::IsChildProcessInMainJob(nullptr));
    EXPECT_FALSE(JobInstance::IsChildProcessHasBreakawayFromJobFlags(process));
    // The job still ends the restarted server and what it starts.
    const int pid = Ask(server, "pid").asInt();
    const int grandchild = Ask(server, "spawnChild").asInt();
    jobs.CloseAllRpcServer();
    EXPECT_TRUE(HostingTest::WaitGone(pid, 1s));
    EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s));
}

// The servo server is looked for beside the library (here: this test), where
// the scripted server stands in unless the build laid out the real one.
TEST(Startup, RefusedCheckOrMissingServerStartsNothingAndLeavesTheBufferUntouched) {
    namespace fs = std::filesystem;
    JobInstance jobs;
    std::vector<wchar_t> url(16, L'#');
    EXPECT_EQ(JobInstanceMgr::Startup(L"/nonexistent/server", L"", url.data(), &jobs), 0);
    EXPECT_EQ(url[0], L'#');
    const fs::path folder = fs::path(Platform::GetExecutableDirectory()) / "PellavonCli";
    const bool laidOut = fs::exists(folder);
    if (!laidOut) {
        EXPECT_EQ(JobInstanceMgr::StartupMC(L"", nullptr, url.data(), &jobs), 0);
        EXPECT_EQ(url[0], L'#');
        fs::create_directories(folder);
        fs::copy_file(JRC_SCRIPTED_SERVER, folder / Platform::ExecutableName(L"PellavonCli"));
    }
    int calls = 0;
    EXPECT_EQ(JobInstanceMgr::StartupMC(
                  L"", [&calls](const std::wstring&) { return ++calls > 1; }, nullptr, &jobs),
              0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(jobs.Default(), nullptr);
    if (laidOut) {
        return;
    }
    ASSERT_EQ(JobInstanceMgr::StartupMC(L"--flag \"a b\"", nullptr, nullptr, &jobs), 1);
    EXPECT_EQ(Ask(jobs.Default(), "argv")[2].asString(), "a b") << "arguments pass unchanged";
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(L"no such url", &jobs), 1);
    EXPECT_NE(jobs.Default(), nullptr);
    JobInstanceMgr::ShutdownRpcInst(L"", &jobs);
    fs::remove_all(folder);
}

// Servers outlive the host's starting thread, but not the host, even those
// that would outlive it by themselves (--linger). "busy" kills the host while
// its threads are inside calls: every answer to them takes 300 ms.
TEST(JobLifetime, HostKilledBySigkillTakesItsServersWithinOneSecond) {
    const std::string control = HostingTest::TempPath("control");
    std::ofstream(control) << "slow\n";
    for (const char* mode : {"main", "thread", "busy"}) {
        SCOPED_TRACE(mode);
        const std::string pidfile = HostingTest::TempPath("host-server");
        const auto [host, grandchild] = HostingTest::RunTestHost(
            JRC_TEST_HOST, JRC_SCRIPTED_SERVER,
            "--pidfile " + pidfile + " --linger --control " + control, mode);
        ASSERT_GT(host, 0);
        ASSERT_GT(grandchild, 0) << "the test host could not start its server";
        const int server = HostingTest::ReadPidFile(pidfile, 5s);
        ASSERT_GT(server, 0);
        std::remove(pidfile.c_str());
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(HostingTest::IsAlive(server));

        ASSERT_TRUE(HostingTest::KillAndReap(host));
        EXPECT_TRUE(HostingTest::WaitGone(server, 1s)) << "server outlived its host";
        EXPECT_TRUE(HostingTest::WaitGone(grandchild, 1s)) << "grandchild outlived the host";
    }
    std::remove(control.c_str());
}

}  // namespace
