// SPDX-License-Identifier: Apache-2.0
// Writes the command line it was started with, as UTF-16, to standard output.

#include <windows.h>

#include <cwchar>

int main() {
    const wchar_t* line = ::GetCommandLineW();
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line,
                static_cast<DWORD>(std::wcslen(line) * sizeof(wchar_t)), &written, nullptr);
    return 0;
}
