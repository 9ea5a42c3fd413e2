// SPDX-License-Identifier: Apache-2.0
// Processes, anonymous pipes and job objects with the Win32 API.
//
// Pipe ends are created inheritable and stay so: CreateProcessW hands the
// child the ends named in its startup information, and the host keeps its
// own copies of the child's ends open until the server record disposes of
// them. Reads on such a pipe never see end of stream while the host holds the
// child's write end, so a read that must not outlive its server polls the
// pipe and the process instead of blocking in ReadFile.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <vector>

namespace RpcClient {
namespace Platform {

namespace {

// Smallest command-line buffer handed to CreateProcessW, which may write into
// the buffer; a longer command line gets a buffer of its own length.
constexpr std::size_t kCommandLineCapacity = 1024;

// Bytes written to a pipe per WriteFile call.
constexpr DWORD kMaxWriteChunk = 1u << 20;

DWORD ClampToDword(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, 0xFFFFFFFFu));
}

}  // namespace

bool CreatePipe(void*& readEnd, void*& writeEnd) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &attributes, 0)) {
        return false;
    }
    readEnd = read;
    writeEnd = write;
    return true;
}

bool CloseHandle(void* handle) {
    return handle != nullptr && ::CloseHandle(handle) != FALSE;
}

void* DuplicateHandle(void* handle) {
    HANDLE duplicate = nullptr;
    HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, handle, self, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return duplicate;
}

void* CurrentProcess() {
    return ::GetCurrentProcess();
}

unsigned long CurrentProcessId() {
    return ::GetCurrentProcessId();
}

unsigned long GetProcessId(void* process) {
    return process != nullptr ? ::GetProcessId(process) : 0;
}

void* StartProcess(const ProcessStart& start) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = start.standardInput;
    startup.hStdOutput = start.standardOutput;
    startup.hStdError = start.standardOutput;

    // The path is deliberately not quoted: the application name already
    // names the executable, and servers parse only what follows the space.
    const std::wstring commandLine = start.application + L" " + start.arguments;
    std::vector<wchar_t> buffer(std::max(kCommandLineCapacity, commandLine.size() + 1), L'\0');
    if (wcsncpy_s(buffer.data(), buffer.size(), commandLine.c_str(), commandLine.size()) != 0) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }

    const DWORD flags = start.breakawayFromJob ? CREATE_BREAKAWAY_FROM_JOB : 0;
    const wchar_t* directory =
        start.workingDirectory.empty() ? nullptr : start.workingDirectory.c_str();

    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(start.application.c_str(), buffer.data(), nullptr, nullptr, TRUE, flags,
                          nullptr, directory, &startup, &process)) {
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

bool GetExitCodeProcess(void* process, unsigned long& exitCode) {
    DWORD code = 0;
    if (process == nullptr || !::GetExitCodeProcess(process, &code)) {
        return false;
    }
    exitCode = code;
    return true;
}

bool TerminateProcess(void* process, unsigned int exitCode) {
    return process != nullptr && ::TerminateProcess(process, exitCode) != FALSE;
}

unsigned long WaitForProcess(void* process, unsigned long milliseconds) {
    return ::WaitForSingleObject(process, static_cast<DWORD>(milliseconds));
}

long ReadPipe(void* readEnd, char* buffer, std::size_t size, void* watchedProcess,
              const ReadDeadline* deadline) {
    if (size == 0) {
        return 0;
    }
    DWORD wanted = ClampToDword(std::min<std::size_t>(size, 0x7FFFFFFF));
    if (watchedProcess != nullptr || deadline != nullptr) {
        // Anonymous pipes cannot be waited on, so wait on the process (or,
        // with none to watch, just sleep) between looks at the pipe: its end
        // wakes the wait at once, new bytes are seen within the (short,
        // growing) wait step, and no step runs past the deadline.
        DWORD step = 0;
        for (;;) {
            DWORD available = 0;
            if (!::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) {
                return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
            }
            if (available > 0) {
                wanted = std::min(wanted, available);
                break;
            }
            if (deadline != nullptr) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    *deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) {
                    return kReadTimedOut;
                }
                step =
                    std::min<DWORD>(step, static_cast<DWORD>(std::min<long long>(left.count(), 8)));
            }
            if (watchedProcess == nullptr) {
                ::Sleep(step);
            } else {
                const DWORD waited = ::WaitForSingleObject(watchedProcess, step);
                if (waited == WAIT_OBJECT_0) {
                    // Ended: whatever it wrote before is already in the pipe.
                    if (!::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) {
                        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
                    }
                    if (available == 0) {
                        return 0;
                    }
                    wanted = std::min(wanted, available);
                    break;
                }
                if (waited != WAIT_TIMEOUT) {
                    return -1;
                }
            }
            step = std::min<DWORD>(step == 0 ? 1 : step * 2, 8);
        }
    }
    DWORD got = 0;
    if (!::ReadFile(readEnd, buffer, wanted, &got, nullptr)) {
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

bool WritePipe(void* writeEnd, const char* data, std::size_t size, void* /*watchedProcess*/) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = std::min(ClampToDword(size), kMaxWriteChunk);
        if (!::WriteFile(writeEnd, data, chunk, &written, nullptr)) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

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
