// SPDX-License-Identifier: Apache-2.0
#include "../Console.h"

#include <stdlib.h>
#include <unistd.h>

#include <system_error>

namespace Pnctl {

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

bool SetEnvVar(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::filesystem::path ExecutablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

}  // namespace Pnctl
