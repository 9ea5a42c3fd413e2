// SPDX-License-Identifier: Apache-2.0
#pragma once

// A registry of its own for one test, so that servers can be killed from
// outside (the way a crash or the task manager would end them) without
// touching the process-wide registry other tests use.

#include <JsonRpcClient/hosting/JobInstance.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <string>
#include <vector>

class TestRegistry : public RpcClient::JobInstance {
public:
    // Ends every server filed here at once through the job object. The records
    // stay filed; the next call of a client restarts its server.
    void KillServers() { TerminateAll(); }
};

// Room for a server URL: the executable's full path, the arguments and the
// process handle digits.
inline std::wstring UrlFromBuffer(const std::vector<wchar_t>& buffer) {
    return std::wstring(buffer.data());
}

inline std::vector<wchar_t> UrlBuffer() {
    return std::vector<wchar_t>(4096, L'\0');
}
