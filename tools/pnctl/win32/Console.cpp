// SPDX-License-Identifier: Apache-2.0
#include "../Console.h"

#include <io.h>
#include <windows.h>

#include <vector>

namespace Pnctl {

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

bool SetEnvVar(const std::string& name, const std::string& value) {
    // The system's block, not only the C runtime's copy: servers are started
    // with the system's environment.
    return ::SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

std::filesystem::path ExecutablePath() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return std::filesystem::path();
    }
    return std::filesystem::path(std::wstring(buffer.data(), length));
}

}  // namespace Pnctl
