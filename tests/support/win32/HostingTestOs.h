// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Windows side: the handle count stands in for the descriptor table, so a
// leaked handle still changes what OpenDescriptors returns.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// Macros that would rename the platform layer's functions of the same names.
#undef GetCurrentDirectory
#undef PathAppend
#undef PathFileExists

#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

namespace HostingTest {

inline std::set<int> OpenDescriptors() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return {static_cast<int>(count)};
}

// `use` of the process opened with `access`; false when it cannot be opened.
template <class Use>
bool WithProcess(int pid, DWORD access, Use use) {
    HANDLE process = ::OpenProcess(access, FALSE, static_cast<DWORD>(pid));
    const bool result = process != nullptr && use(process);
    if (process != nullptr) {
        ::CloseHandle(process);
    }
    return result;
}

inline bool IsAlive(int pid) {
    return WithProcess(pid, SYNCHRONIZE,
                       [](HANDLE p) { return ::WaitForSingleObject(p, 0) == WAIT_TIMEOUT; });
}

inline bool Kill(int pid) {
    return WithProcess(pid, PROCESS_TERMINATE,
                       [](HANDLE p) { return ::TerminateProcess(p, 9) != FALSE; });
}

inline bool KillAndReap(int pid) {
    return WithProcess(pid, PROCESS_TERMINATE | SYNCHRONIZE, [](HANDLE p) {
        return ::TerminateProcess(p, 9) != FALSE &&
               ::WaitForSingleObject(p, 10000) == WAIT_OBJECT_0;
    });
}

// No parent-child bond to reap; the tests check process ids instead.
inline bool HasChildProcess() {
    return false;
}

// Runs the test host with the server, its arguments and a mode; the host's
// process id and the id of the grandchild its server started (from its output).
inline std::pair<int, int> RunTestHost(const std::string& testHost, const std::string& server,
                                       const std::string& arguments, const std::string& mode) {
    std::string commandLine =
        "\"" + testHost + "\" \"" + server + "\" \"" + arguments + "\" " + mode;
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0)) {
        return {-1, -1};
    }
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessA(testHost.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                          0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(write);
    std::string line;
    char c = 0;
    DWORD got = 0;
    while (started && ::ReadFile(read, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
        line.push_back(c);
    }
    ::CloseHandle(read);
    if (!started) {
        return {-1, -1};
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {static_cast<int>(process.dwProcessId), line.empty() ? -1 : std::atoi(line.c_str())};
}

inline std::string TempPath(const std::string& stem) {
    char directory[MAX_PATH + 1] = {0};
    ::GetTempPathA(sizeof directory, directory);
    return std::string(directory) + "jrc-" + stem + "-" + std::to_string(::GetCurrentProcessId()) +
           "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

}  // namespace HostingTest
