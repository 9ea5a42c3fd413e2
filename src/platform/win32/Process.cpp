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

void HandleTraits::Close(void* handle) noexcept {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(error);
}

void* HandleTraits::Duplicate(void* handle) {
    HANDLE duplicate = nullptr;
    HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, handle, self, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return duplicate;
}

void* PublicHandle(const Process& process) {
    return process.Get();
}

void* PublicHandle(const Job& job) {
    return job.Get();
}

void* PublicHandle(const Pipe& pipe) {
    return pipe.Get();
}

Process OpenPublicProcess(void* process) {
    // A duplicate of the pseudo handle would name the host itself.
    if (process == nullptr || process == ::GetCurrentProcess()) {
        return Process();
    }
    return Process(HandleTraits::Duplicate(process));
}

Job OpenPublicJob(void* job) {
    return Job(job != nullptr ? HandleTraits::Duplicate(job) : nullptr);
}

bool ClosePublicHandle(void* handle) {
    return handle != nullptr && ::CloseHandle(handle) != FALSE;
}

unsigned long CurrentProcessId() {
    return ::GetCurrentProcessId();
}

unsigned long GetProcessId(const Process& process) {
    return process ? ::GetProcessId(process.Get()) : 0;
}

Process StartProcess(const ProcessStart& start) {
    if (start.standardInput == nullptr || start.standardOutput == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return Process();
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = start.standardInput->Get();
    startup.hStdOutput = start.standardOutput->Get();
    startup.hStdError = start.standardOutput->Get();

    // The path is deliberately not quoted: the application name already
    // names the executable, and servers parse only what follows the space.
    const std::wstring commandLine = start.application + L" " + start.arguments;
    std::vector<wchar_t> buffer(std::max(kCommandLineCapacity, commandLine.size() + 1), L'\0');
    if (wcsncpy_s(buffer.data(), buffer.size(), commandLine.c_str(), commandLine.size()) != 0) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return Process();
    }

    const DWORD flags = start.breakawayFromJob ? CREATE_BREAKAWAY_FROM_JOB : 0;
    const wchar_t* directory =
        start.workingDirectory.empty() ? nullptr : start.workingDirectory.c_str();

    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(start.application.c_str(), buffer.data(), nullptr, nullptr, TRUE, flags,
                          nullptr, directory, &startup, &process)) {
        return Process();
    }
    ::CloseHandle(process.hThread);
    return Process(process.hProcess);
}

bool QueryExit(const Process& process, ExitStatus& status) {
    DWORD code = 0;
    if (!process || !::GetExitCodeProcess(process.Get(), &code)) {
        return false;
    }
    status = ExitStatus{code == STILL_ACTIVE, code == STILL_ACTIVE ? 0 : code};
    return true;
}

bool TerminateProcess(const Process& process, unsigned int exitCode) {
    return process && ::TerminateProcess(process.Get(), exitCode) != FALSE;
}

WaitResult WaitForProcess(const Process& process,
                          std::optional<std::chrono::milliseconds> timeout) {
    // A finite wait stays below INFINITE.
    const long long finite =
        timeout ? std::max<long long>(0, std::min<long long>(timeout->count(), INFINITE - 1)) : 0;
    const DWORD milliseconds = timeout ? static_cast<DWORD>(finite) : INFINITE;
    switch (::WaitForSingleObject(process.Get(), milliseconds)) {
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
