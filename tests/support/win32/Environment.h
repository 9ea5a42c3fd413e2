// SPDX-License-Identifier: Apache-2.0
#pragma once

// Setting the process environment that started servers inherit, Windows
// side: the C runtime's copy and the system's, which child processes get.

#include <stdlib.h>

#include <string>

namespace TestEnvironment {

inline bool Set(const std::string& name, const std::string& value) {
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

// An empty value removes the variable.
inline bool Unset(const std::string& name) {
    return _putenv_s(name.c_str(), "") == 0;
}

}  // namespace TestEnvironment
