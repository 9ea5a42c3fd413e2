// SPDX-License-Identifier: Apache-2.0
#include "platform/Platform.h"

#include <cwchar>

namespace RpcClient {
namespace Platform {

bool CopyFittingWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source) {
    return wcscpy_s(destination, capacity, source) == 0;
}

}  // namespace Platform
}  // namespace RpcClient
