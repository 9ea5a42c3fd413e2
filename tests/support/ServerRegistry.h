// SPDX-License-Identifier: Apache-2.0
#pragma once

// A registry of one test's own, so that its servers can be killed from outside
// (as a crash would end them) without touching the process-wide registry.

#include <JsonRpcClient/hosting/JobInstance.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <string>
#include <vector>

class TestRegistry : public RpcClient::JobInstance {
public:
    // Ends every server at once through the job; the records stay filed, and
    // a client's next call restarts its server.
    void KillServers() { TerminateAll(); }
};

// Room for a server URL: path, arguments and process handle digits.
inline std::vector<wchar_t> UrlBuffer() {
    return std::vector<wchar_t>(4096, L'\0');
}

inline std::wstring UrlFromBuffer(const std::vector<wchar_t>& buffer) {
    return std::wstring(buffer.data());
}
