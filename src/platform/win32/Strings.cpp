// Bounded wide-string copy through the C runtime's checked copy.

#include "platform/Platform.h"

#include <cwchar>

namespace RpcClient {
namespace Platform {

bool CopyWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source) {
    // Checked here first: the runtime's answer to a null pointer, a zero size
    // or a text too long is its invalid-parameter handler, which by default
    // ends the host.
    if (destination == nullptr || capacity == 0) {
        return false;
    }
    if (source == nullptr) {
        destination[0] = L'\0';
        return false;
    }
    if (wcsnlen(source, capacity) >= capacity) {
        destination[0] = L'\0';
        return false;
    }
    return wcscpy_s(destination, capacity, source) == 0;
}

}  // namespace Platform
}  // namespace RpcClient
