// SPDX-License-Identifier: Apache-2.0
// Win32 backend: wide text. Code-page conversion with the system's own converters: the ANSI code
// page (0) is the process's, exactly as every other program on the machine sees it.

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <cwchar>

namespace RpcClient {
namespace Platform {

int MultiByteToWide(CodePage codePage, const char* source, wchar_t* destination, int capacity) {
    // A count query must not hand the converter a buffer it could write to.
    if (destination == nullptr) {
        capacity = 0;
    }
    return ::MultiByteToWideChar(static_cast<UINT>(codePage), 0, source, -1, destination, capacity);
}

int WideToMultiByte(CodePage codePage, const wchar_t* source, char* destination, int capacity) {
    if (destination == nullptr) {
        capacity = 0;
    }
    return ::WideCharToMultiByte(static_cast<UINT>(codePage), 0, source, -1, destination, capacity,
                                 nullptr, nullptr);
}

unsigned long LastConversionError() {
    return ::GetLastError();
}

bool CopyFittingWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source) {
    return wcscpy_s(destination, capacity, source) == 0;
}

}  // namespace Platform
}  // namespace RpcClient
