// SPDX-License-Identifier: Apache-2.0
#include "ScriptedServerOs.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

namespace ScriptedOs {

void PrepareStdio() {
    // Frames count bytes: no CR LF translation on either stream.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

int CurrentProcessId() {
    return static_cast<int>(::GetCurrentProcessId());
}

Json::Value OpenDescriptors() {
    return Json::Value(Json::arrayValue);
}

int SpawnSleeper() {
    // A second copy of this server that never gets a request: it waits on
    // an input pipe whose write end it inherits itself, so the input never
    // ends, whatever becomes of this server.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0)) {
        return -1;
    }
    HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    std::wstring commandLine = std::wstring(self) + L" ";
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::CloseHandle(read);
    ::CloseHandle(write);
    ::CloseHandle(nul);
    if (!started) {
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(process.dwProcessId);
}

void CloseOutputs() {
    std::fclose(stdout);
    std::fclose(stderr);
}

}  // namespace ScriptedOs
