// SPDX-License-Identifier: Apache-2.0
#pragma once

// Setting the process environment that started servers inherit, POSIX side.

#include <stdlib.h>

#include <string>

namespace TestEnvironment {

inline bool Set(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

inline bool Unset(const std::string& name) {
    return unsetenv(name.c_str()) == 0;
}

}  // namespace TestEnvironment
