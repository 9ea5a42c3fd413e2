// SPDX-License-Identifier: Apache-2.0
// Win32 backend: job objects.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <algorithm>

namespace RpcClient {
namespace Platform {

void* CreateJob() {
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    // Kill on close and nothing else: no breakaway, so the servers' own
    // children stay in the job as well.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits))) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(job);
        ::SetLastError(error);
        return nullptr;
    }
    return job;
}

bool AssignProcessToJob(void* job, void* process) {
    return ::AssignProcessToJobObject(job, process) != FALSE;
}

bool TerminateJob(void* job, unsigned int exitCode) {
    return ::TerminateJobObject(job, exitCode) != FALSE;
}

bool IsProcessInJob(void* process, void* job, bool& inJob) {
    BOOL result = FALSE;
    if (!::IsProcessInJob(process, job, &result)) {
        return false;
    }
    inJob = result != FALSE;
    return true;
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
