// SPDX-License-Identifier: Apache-2.0
#include "platform/Platform.h"

namespace RpcClient::Platform {

void CloseKeepingLastError(void* handle) {
    const unsigned long error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
}

}  // namespace RpcClient::Platform
