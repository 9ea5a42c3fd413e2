// SPDX-License-Identifier: Apache-2.0
// Servers started through JobInstanceMgr, and every process they start,
// belong to their registry's job and end when the job's handle is closed,
// with no termination. (That destroying the registry ends them is checked
// on both systems by the registry tests.)

#include <JsonRpcClient/JsonRpcClient.h>

#include "OnWine.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace RpcClient;

// Reaches the job handle and the job's close without termination.
class ExposedJobInstance : public JobInstance {
public:
    using JobInstance::Dispose;
    using JobInstance::GetJobHandle;
};

std::wstring ScriptedServer() {
    const std::string path = JRC_SCRIPTED_SERVER;
    return std::wstring(path.begin(), path.end());
}

// A process to watch from outside: a handle of our own, so the answer does
// not depend on the registry's handle.
struct Watched {
    HANDLE handle = nullptr;
    explicit Watched(DWORD pid)
        : handle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {}
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;
    ~Watched() {
        if (handle != nullptr) {
            ::CloseHandle(handle);
        }
    }
    bool EndsWithin(DWORD milliseconds) const {
        return ::WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
    }
    bool IsRunning() const { return ::WaitForSingleObject(handle, 0) == WAIT_TIMEOUT; }
};

// Starts the scripted server through the entry point, has it start a child
// of its own, and returns watchers for both.
void StartServerWithChild(ExposedJobInstance& jobs, std::unique_ptr<Watched>& server,
                          std::unique_ptr<Watched>& grandchild) {
    std::vector<wchar_t> url(4096, L'\0');
    ASSERT_EQ(JobInstanceMgr::Startup(ScriptedServer(), L"", url.data(), &jobs), 1);
    RpcLocalSrvConfig* record = jobs.GetAt(url.data());
    ASSERT_NE(record, nullptr);
    ASSERT_NE(jobs.GetJobHandle(), nullptr);

    bool inJob = false;
    const Platform::Job job = Platform::OpenPublicJob(jobs.GetJobHandle());
    ASSERT_TRUE(Platform::IsProcessInJob(Platform::OpenPublicProcess(record->GetSrvProcessHandle()),
                                         &job, inJob));
    EXPECT_TRUE(inJob);

    JsonRpcClient client(record);
    JsonRequest request("spawnChild");
    JsonResponse response;
    ASSERT_EQ(client.Request(request, response), 0);
    const int childId = response.GetResult().asInt();
    ASSERT_GT(childId, 0);

    server = std::make_unique<Watched>(::GetProcessId(record->GetSrvProcessHandle()));
    grandchild = std::make_unique<Watched>(static_cast<DWORD>(childId));
    ASSERT_NE(server->handle, nullptr);
    ASSERT_NE(grandchild->handle, nullptr);
    ASSERT_TRUE(
        Platform::IsProcessInJob(Platform::OpenPublicProcess(grandchild->handle), &job, inJob));
    EXPECT_TRUE(inJob) << "a server's own children belong to the job as well";
    EXPECT_TRUE(server->IsRunning());
    EXPECT_TRUE(grandchild->IsRunning());
}

TEST(Win32JobLifetime, ClosingTheJobHandleAloneEndsItsServersAndTheirChildren) {
    ExposedJobInstance jobs;
    std::unique_ptr<Watched> server;
    std::unique_ptr<Watched> grandchild;
    StartServerWithChild(jobs, server, grandchild);
    if (HasFatalFailure()) {
        return;
    }
    // No termination, no record disposed: only the kill-on-close limit acts.
    jobs.Dispose();
    EXPECT_EQ(jobs.GetJobHandle(), nullptr);
    EXPECT_TRUE(server->EndsWithin(5000));
    EXPECT_TRUE(grandchild->EndsWithin(5000));
    jobs.CloseAllRpcServer();
}

TEST(Win32JobLifetime, JobAllowsNoBreakawayAndKillsOnClose) {
    ExposedJobInstance jobs;
    ASSERT_EQ(jobs.StartRpcServer(ScriptedServer(), L"").first, 1);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    ASSERT_TRUE(::QueryInformationJobObject(jobs.GetJobHandle(), JobObjectExtendedLimitInformation,
                                            &limits, sizeof(limits), nullptr));
    // Wine keeps the limits but reads them back as 0.
    if (!JrcTest::RunningOnWine()) {
        EXPECT_EQ(limits.BasicLimitInformation.LimitFlags,
                  static_cast<DWORD>(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE));
    }
    jobs.CloseAllRpcServer();
    EXPECT_EQ(jobs.GetJobHandle(), nullptr) << "closing every server ends the job";
}

}  // namespace
