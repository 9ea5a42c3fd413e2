// SPDX-License-Identifier: Apache-2.0
// Win32 backend: child processes.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <algorithm>
#include <vector>

namespace RpcClient {
namespace Platform {

namespace {

// Smallest command-line buffer handed to CreateProcessW, which may write into
// the buffer; a longer command line gets a buffer of its own length.
constexpr std::size_t kCommandLineCapacity = 1024;

}  // namespace

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

bool QueryExit(void* process, ExitStatus& status) {
    DWORD code = 0;
    if (process == nullptr || !::GetExitCodeProcess(process, &code)) {
        return false;
    }
    status = ExitStatus{code == STILL_ACTIVE, code == STILL_ACTIVE ? 0 : code};
    return true;
}

bool TerminateProcess(void* process, unsigned int exitCode) {
    return process != nullptr && ::TerminateProcess(process, exitCode) != FALSE;
}

WaitResult WaitForProcess(void* process, std::optional<std::chrono::milliseconds> timeout) {
    // A finite wait stays below INFINITE.
    const long long finite =
        timeout ? std::max<long long>(0, std::min<long long>(timeout->count(), INFINITE - 1)) : 0;
    const DWORD milliseconds = timeout ? static_cast<DWORD>(finite) : INFINITE;
    switch (::WaitForSingleObject(process, milliseconds)) {
        case WAIT_OBJECT_0:
            return WaitResult::Ended;
        case WAIT_TIMEOUT:
            return WaitResult::TimedOut;
        default:
            return WaitResult::Failed;
    }
}
}  // namespace Platform
}  // namespace RpcClient
