// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the library takes the narrow ("ANSI") code page from, POSIX side: the
// C locale's character type, which a test may switch for its own duration.

#include <clocale>
#include <string>
#include <vector>

namespace TestText {

class ScopedAnsiCodePage {
public:
    // Switches to the first of `locales` (C locale names whose narrow code
    // page is `codePage`) that is installed; restores the old locale on
    // destruction.
    ScopedAnsiCodePage(unsigned int /*codePage*/, const std::vector<const char*>& locales) {
        const char* current = std::setlocale(LC_ALL, nullptr);
        previous_ = current != nullptr ? current : "C";
        for (const char* name : locales) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                active_ = true;
                break;
            }
        }
    }
    ~ScopedAnsiCodePage() { std::setlocale(LC_ALL, previous_.c_str()); }
    ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
    ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

    // True when the library now converts with that code page.
    bool IsActive() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace TestText
