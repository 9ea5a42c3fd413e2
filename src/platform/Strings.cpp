// SPDX-License-Identifier: Apache-2.0
// A bounded wide-string copy. The checks come first, on every system: where
// the copy is wcscpy_s, the C runtime's answer to a null pointer, a zero size
// or a text too long is its invalid-parameter handler, which by default ends
// the host. A text that does not fit leaves an empty string behind, never a
// cut one.

#include "platform/Backend.h"
#include "platform/Platform.h"

#include <cwchar>

namespace RpcClient {
namespace Platform {

bool CopyWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source) {
    if (destination == nullptr || capacity == 0) {
        return false;
    }
    std::size_t length = 0;
    while (source != nullptr && length < capacity && source[length] != L'\0') {
        ++length;
    }
    if (source == nullptr || length >= capacity) {
        destination[0] = L'\0';
        return false;
    }
    return CopyFittingWideString(destination, capacity, source);
}

}  // namespace Platform
}  // namespace RpcClient
