// SPDX-License-Identifier: Apache-2.0
#pragma once

// Tests of system behaviour that Wine implements differently from Windows
// (job limit read-back, message texts, exit codes of job kills) check the
// Windows behaviour only where it can be observed. Wine announces itself
// through an export of its ntdll.

#include "platform/win32/Win32.h"

namespace JrcTest {

inline bool RunningOnWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace JrcTest
