// SPDX-License-Identifier: Apache-2.0
// Win32 backend: job objects.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <algorithm>

namespace RpcClient {
namespace Platform {

Job CreateJob() {
    Job job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        return Job();
    }
    // Kill on close and nothing else: no breakaway, so the servers' own
    // children stay in the job as well.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits))) {
        return Job();
    }
    return job;
}

bool AssignProcessToJob(const Job& job, const Process& process) {
    return ::AssignProcessToJobObject(job.Get(), process.Get()) != FALSE;
}

bool TerminateJob(const Job& job, unsigned int exitCode) {
    return ::TerminateJobObject(job.Get(), exitCode) != FALSE;
}

namespace {

bool IsInJob(HANDLE process, HANDLE job, bool& inJob) {
    BOOL result = FALSE;
    if (!::IsProcessInJob(process, job, &result)) {
        return false;
    }
    inJob = result != FALSE;
    return true;
}

}  // namespace

bool IsProcessInJob(const Process& process, const Job* job, bool& inJob) {
    return IsInJob(process.Get(), job != nullptr ? job->Get() : nullptr, inJob);
}

bool IsCurrentProcessInJob(bool& inJob) {
    return IsInJob(::GetCurrentProcess(), nullptr, inJob);
}

bool IsCurrentProcessListedInOwnJob() {
    // Room for the two counts and a single process id: enough to find the
    // host in a job that holds only the host.
    JOBOBJECT_BASIC_PROCESS_ID_LIST list = {};
    if (!::QueryInformationJobObject(nullptr, JobObjectBasicProcessIdList, &list, sizeof(list),
                                     nullptr)) {
        return false;
    }
    const DWORD self = ::GetCurrentProcessId();
    const DWORD listed = std::min<DWORD>(list.NumberOfProcessIdsInList, 1);
    for (DWORD i = 0; i < listed; ++i) {
        if (list.ProcessIdList[i] == self) {
            return true;
        }
    }
    return false;
}

bool QueryOwnJobBreakawayAllowed(bool& allowed) {
    ::SetLastError(0);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                     sizeof(limits), nullptr)) {
        return false;
    }
    const DWORD breakaway = JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    allowed = (limits.BasicLimitInformation.LimitFlags & breakaway) != 0;
    return true;
}
}  // namespace Platform
}  // namespace RpcClient
