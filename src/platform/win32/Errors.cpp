// SPDX-License-Identifier: Apache-2.0
// Error codes and their texts, straight from the system.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace RpcClient {
namespace Platform {

namespace {

// The system's message for a code in the neutral language, with the system's
// own line end kept; empty when the system has no message for it.
std::string SystemText(DWORD code) {
    char* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length =
        ::FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                         reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (buffer != nullptr) {
        text.assign(buffer, length);
        ::LocalFree(buffer);
    }
    return text;
}

}  // namespace

unsigned long GetLastError() {
    return ::GetLastError();
}

void SetLastError(unsigned long code) {
    ::SetLastError(static_cast<DWORD>(code));
}

std::string FormatSystemMessage(unsigned long code) {
    return SystemText(static_cast<DWORD>(code));
}

std::string FormatHResultMessage(long hresult) {
    return SystemText(static_cast<DWORD>(hresult));
}

}  // namespace Platform
}  // namespace RpcClient
