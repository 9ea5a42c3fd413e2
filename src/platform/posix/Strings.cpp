// A bounded wide-string copy with the checks callers rely on where the
// system offers wcscpy_s: nothing is written past the destination, and a
// text that does not fit leaves an empty string behind instead of a cut one.

#include "platform/Platform.h"

#include <cwchar>

namespace RpcClient {
namespace Platform {

bool CopyWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source) {
    if (destination == nullptr || capacity == 0) {
        return false;
    }
    if (source == nullptr) {
        destination[0] = L'\0';
        return false;
    }
    const std::size_t length = std::wcslen(source);
    if (length >= capacity) {
        destination[0] = L'\0';
        return false;
    }
    std::wmemcpy(destination, source, length + 1);
    return true;
}

}  // namespace Platform
}  // namespace RpcClient
