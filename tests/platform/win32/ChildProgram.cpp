// SPDX-License-Identifier: Apache-2.0
// Child process for the Win32 backend tests. The first word after the program
// path picks what it does:
//   (nothing)     same as describe
//   echo          copies standard input to standard output until end of input
//   exit <n>      exits with code n
//   describe      writes its command line, then a newline, then its current
//                 directory, both as UTF-16 code units in hexadecimal
//   wait          blocks reading standard input, then exits with code 7
//   spawn         after one byte on standard input, starts another child
//                 ("wait") that shares its standard handles, writes that
//                 child's process id and a newline, then waits too

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

void WriteAll(const std::string& text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                &written, nullptr);
}

std::string Hex(const wchar_t* text) {
    std::string out;
    char unit[8];
    for (; *text != L'\0'; ++text) {
        std::snprintf(unit, sizeof(unit), "%04X", static_cast<unsigned>(*text));
        out += unit;
    }
    return out;
}

int Echo() {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &got, nullptr) &&
           got > 0) {
        WriteAll(std::string(buffer, got));
    }
    return 0;
}

int WaitForInput() {
    char byte = 0;
    DWORD got = 0;
    ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr);
    return 7;
}

int Spawn() {
    char go = 0;
    DWORD got = 0;
    if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &go, 1, &got, nullptr) || got != 1) {
        return 2;
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = std::wstring(self) + L" wait";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return 2;
    }
    WriteAll(std::to_string(process.dwProcessId) + "\n");
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return WaitForInput();
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return 1;
    }
    const std::wstring mode = argc > 1 ? argv[1] : L"describe";
    if (mode == L"echo") {
        return Echo();
    }
    if (mode == L"exit" && argc > 2) {
        return std::wcstol(argv[2], nullptr, 10);
    }
    if (mode == L"describe") {
        wchar_t directory[MAX_PATH + 1] = {};
        ::GetCurrentDirectoryW(MAX_PATH + 1, directory);
        WriteAll(Hex(::GetCommandLineW()) + "\n" + Hex(directory) + "\n");
        return 0;
    }
    if (mode == L"wait") {
        return WaitForInput();
    }
    if (mode == L"spawn") {
        return Spawn();
    }
    return 1;
}
