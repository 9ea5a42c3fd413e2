// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the library takes the narrow ("ANSI") code page from, Windows side:
// the process's ANSI code page, fixed by the system for the process's
// lifetime. A test cannot switch it; it can only find out whether the code
// page it has a sample for is the one in force (the test run repeats the
// code-page tests under other ones).

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace TestText {

class ScopedAnsiCodePage {
public:
    ScopedAnsiCodePage(unsigned int codePage, const std::vector<const char*>& /*locales*/)
        : active_(::GetACP() == codePage) {}
    ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
    ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

    // True when the library now converts with that code page.
    bool IsActive() const { return active_; }

private:
    bool active_ = false;
};

}  // namespace TestText
