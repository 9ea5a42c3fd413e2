// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/hosting/IRpcServerStatusObserver.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace RpcClient {

// The servers the library started, and the job that ties their lifetime to
// the host: every filed server, and every process it starts, ends when the
// job is terminated or closed, when this object is destroyed, and when the
// host process ends by any means. Servers are filed under a server URL:
// "<uri>[ <args>]:<process handle as 16 upper-case hex digits>".
//
// Lock order: registry lock, then a record's start lock. The job handle has
// a lock of its own, taken last, so a restart (which runs under a record's
// start lock) and a start never both create a job.
//
// Closing a server (CloseRpcServer, CloseAllRpcServer, replacing a URL,
// destroying the registry) stops its record for good and drops it from the
// registry. A client bound to it keeps it alive, so a call through it fails
// cleanly instead of touching freed memory; the record is freed with the
// last such client.
class JSONRPCCLIENT_API JobInstance : public IRpcServerStatusObserver {
public:
    // The name is not used; the job is always unnamed.
    explicit JobInstance(const wchar_t* name = nullptr);
    JobInstance(const JobInstance&) = delete;
    JobInstance& operator=(const JobInstance&) = delete;

    // Terminates the job, then stops and destroys every filed server.
    ~JobInstance() override;

    // A job exists, or the host runs inside one.
    bool IsValid() const;

    // Starts a server and files it: {1, server URL}, or {0, ""} when it
    // cannot be started or put into the job (nothing is left behind then).
    // A filed server with the same URL is replaced (and stopped).
    std::pair<int, std::wstring> StartRpcServer(const std::wstring& srvUri,
                                                const std::wstring& args);

    // The record filed first in URL order (plain code-unit order), or null.
    RpcLocalSrvConfig* Default() const;
    // The record filed under exactly this URL (case-sensitive), or null.
    RpcLocalSrvConfig* operator[](const std::wstring& url) const;
    RpcLocalSrvConfig* GetAt(const std::wstring& url) const;

    // Stops and removes one server; an unknown URL changes nothing.
    void CloseRpcServer(const std::wstring& url);
    // Terminates the job (a new one is made when next needed), then stops
    // and removes every server.
    void CloseAllRpcServer();

    void OnRpcServerExited(void* server, int exitCode) override;
    // Puts the record's new process into the job.
    void OnRpcServerReStarted(void* server) override;

    // Job queries; stateless and lock-free.
    static bool IsMainInJob();
    static bool IsChildProcessCanBreakawayFromMainJob();
    static bool IsChildProcessInMainJob(void* process);
    static bool IsChildProcessHasBreakawayFromJobFlags(void* process);

protected:
    int CreateJobObjectImp();
    int AssignChildProcessOnMainJob(void* process);
    int AssignChildProcessToJobObject(void* process, int force);
    std::wstring GenerateSrvUrl(const std::wstring& srvUri, const std::wstring& args,
                                RpcLocalSrvConfig* server);
    void TerminateAll();
    void Dispose();
    void* GetJobHandle() const;

private:
    friend class JsonRpcClient;

    // Default(), shared with the caller under the registry lock.
    std::shared_ptr<RpcLocalSrvConfig> SharedDefault() const;

    void* job_ = nullptr;
    std::map<std::wstring, std::shared_ptr<RpcLocalSrvConfig>> registry_;
    mutable std::recursive_mutex registryLock_;
    mutable std::recursive_mutex jobLock_;
};

}  // namespace RpcClient
