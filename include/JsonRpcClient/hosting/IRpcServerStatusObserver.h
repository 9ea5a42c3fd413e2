// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>

namespace RpcClient {

// Told about the life of a local server's process (see RpcLocalSrvConfig).
// Both calls run on the thread that starts the server, with that server's
// start lock held; an observer may call back into the same server record.
class JSONRPCCLIENT_API IRpcServerStatusObserver {
public:
    IRpcServerStatusObserver() = default;
    IRpcServerStatusObserver(const IRpcServerStatusObserver&) {}
    IRpcServerStatusObserver& operator=(const IRpcServerStatusObserver&) { return *this; }
    virtual ~IRpcServerStatusObserver();

    // `server` (an RpcLocalSrvConfig*) found its previous process ended with
    // `exitCode`; called just before the process is replaced.
    virtual void OnRpcServerExited(void* server, int exitCode) = 0;

    // `server` (an RpcLocalSrvConfig*) has just created a new process.
    virtual void OnRpcServerReStarted(void* server) = 0;
};

}  // namespace RpcClient
