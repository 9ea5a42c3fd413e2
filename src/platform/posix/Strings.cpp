// SPDX-License-Identifier: Apache-2.0
#include "platform/Platform.h"

#include <cwchar>

namespace RpcClient {
namespace Platform {

bool CopyFittingWideString(wchar_t* destination, std::size_t /*capacity*/, const wchar_t* source) {
    std::wmemcpy(destination, source, std::wcslen(source) + 1);
    return true;
}

}  // namespace Platform
}  // namespace RpcClient
