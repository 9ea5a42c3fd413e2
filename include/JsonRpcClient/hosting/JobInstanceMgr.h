// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/hosting/JobInstance.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <functional>
#include <string>

namespace RpcClient {

// The host's front door to server hosting. Every function takes an optional
// registry as its last argument; null, the default, means the process-wide
// one (Instance()). int results: 1 for success, 0 for failure, with no
// further reason.
//
// Output buffer: when non-null, a caller-owned wchar_t buffer that receives
// the started server's URL and its terminating null; its size is not passed,
// so it must hold the whole URL: "<uri>[ <args>]:<16 hex digits>", i.e. the
// URI's length + the arguments' length + 19 characters (URI + 18 without
// arguments). The known servers' paths are at most 259 characters on
// Windows and 4095 on Linux.
class JSONRPCCLIENT_API JobInstanceMgr {
public:
    JobInstanceMgr() = default;
    JobInstanceMgr(const JobInstanceMgr&) = default;
    JobInstanceMgr& operator=(const JobInstanceMgr&) = default;
    JobInstanceMgr(JobInstanceMgr&&) = default;
    JobInstanceMgr& operator=(JobInstanceMgr&&) = default;

    // The process-wide registry, made on first use (thread-safe) and
    // destroyed when the library is unloaded, which ends every server in it.
    static JobInstance* Instance();

    // Starts `srvUri` with `args` and files it. 0 when it cannot be started.
    static int Startup(const std::wstring& srvUri, const std::wstring& args, void* urlBuffer,
                       JobInstance* registry = nullptr);

    // Starts the configuration server found beside the library (see
    // KnownServers.h), with "-l <value>" as arguments when `value` is not
    // empty. 0 when the executable is missing or cannot be started.
    static int StartupPNConfig(const std::wstring& value, void* urlBuffer,
                               JobInstance* registry = nullptr);

    // Starts the servo tuning server found beside the library with `args`
    // unchanged. When `check` is set it is asked about the executable and
    // each companion file that exists (full paths, list order); a false
    // answer returns 0 at once and starts nothing. 0 too when the executable
    // is missing (the check is not asked then).
    static int StartupMC(const std::wstring& args, std::function<bool(const std::wstring&)> check,
                         void* urlBuffer, JobInstance* registry = nullptr);

    // Closes the server filed under `url`, or every server (and the job)
    // when `url` is empty. Always 1.
    static int ShutdownRpcInst(const std::wstring& url, JobInstance* registry = nullptr);

    // The process-wide registry's default server, or null.
    static RpcLocalSrvConfig* Default();
};

}  // namespace RpcClient
