// SPDX-License-Identifier: Apache-2.0
#pragma once

// What a connection owns beneath its public handle values: private duplicates
// of the two pipe ends, of the server's process, and of the read end of the
// server's input (looked at, never read: what is still unread there tells
// whether an ended server took the whole request). The server record makes
// them; the connection closes them.

#include "platform/Platform.h"

namespace RpcClient {

struct ConnectionHandles {
    Platform::Pipe read;
    Platform::Pipe write;
    Platform::Process process;
    Platform::Pipe serverInput;
};

}  // namespace RpcClient
