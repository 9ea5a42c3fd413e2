// SPDX-License-Identifier: Apache-2.0
#pragma once

// What a connection owns beneath its public handle values: private duplicates
// of the two pipe ends and of the server's process. The server record makes
// them; the connection closes them.

#include "platform/Platform.h"

namespace RpcClient {

struct ConnectionHandles {
    Platform::Pipe read;
    Platform::Pipe write;
    Platform::Process process;
};

}  // namespace RpcClient
