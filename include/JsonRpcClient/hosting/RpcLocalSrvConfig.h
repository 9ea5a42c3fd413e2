// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/hosting/IRpcServerStatusObserver.h>
#include <JsonRpcClient/hosting/RpcLocalConnection.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace RpcClient {

// One local RPC server: an executable started as a hidden child process
// whose standard input, output and error are pipes held by the library. The
// server is started on demand, restarted when it has ended, and stopped on
// Dispose or destruction. All int results are 1 for success, 0 for failure;
// failures give no further reason.
//
// Threads: StartupRpcServer, ShutdownRpcServer and the observer calls run
// under the record's recursive start lock. QueryConnection/ReleaseConnection
// hold a separate recursive timed connection lock for one exchange. A
// restart never destroys a connection another thread holds: it is retired
// and destroyed when its holder releases it. IsRpcServerRunning, IsValid,
// GetSrvProcessHandle, WaitForExit and SetStatusObserver take neither lock,
// so they answer at once even while a start or a stop is under way.
//
// A record the registry closed is retired: stopped for good (it never
// starts again, so calls through it fail) but kept alive while a client
// still holds it.
class JSONRPCCLIENT_API RpcLocalSrvConfig {
public:
    static constexpr unsigned long STREAM_BUFFER_SIZE = 0x1000;

    // Server path (the executable; first word of the command line) and the
    // rest of the command line. Nothing is started yet.
    RpcLocalSrvConfig(const std::wstring& srvUri, const std::wstring& args);
    RpcLocalSrvConfig(const RpcLocalSrvConfig&) = delete;
    RpcLocalSrvConfig& operator=(const RpcLocalSrvConfig&) = delete;

    // Stops the server (terminating it if it still runs) without telling the
    // observer.
    virtual ~RpcLocalSrvConfig();

    // Makes sure a server process runs: 1 when one runs afterwards. An ended
    // process is reported to the observer (OnRpcServerExited), replaced by a
    // new one with new pipes, and the observer told (OnRpcServerReStarted).
    // 0 when the pipes or the process cannot be created (missing executable
    // included); nothing is left open then.
    int StartupRpcServer();

    // Stops the server (Dispose under the start lock). Always 1.
    int ShutdownRpcServer();

    // 1 while the process runs (its exit code reads 259). A process handle
    // being closed by a concurrent stop is never used.
    int IsRpcServerRunning() const;

    // 1 when process and both stream handles are set (a start succeeded and
    // no Dispose followed).
    int IsValid() const;

    // The process handle, null when none was started since the last
    // Dispose. A stop closes it: use it only while no stop can run.
    void* GetSrvProcessHandle() const;

    // 0 without a process; otherwise 0 once the process has ended, 258 on
    // timeout, 0xFFFFFFFF on failure.
    unsigned long WaitForExit(unsigned long milliseconds) const;

    // Stores the observer (null allowed) and returns the previous one.
    IRpcServerStatusObserver* SetStatusObserver(IRpcServerStatusObserver* observer);

    // Closes a non-null handle and nulls it.
    static void SafeCloseHandle(void*& handle);

    // Starts the server if needed, then waits up to `timeoutMs` for the
    // connection lock. Returns the server's connection with the lock held by
    // the calling thread (recursively: the same thread gets the same object
    // at once), or null when the server cannot be started, the lock is not
    // had in time, or the pipe handles cannot be duplicated. Null holds no
    // lock.
    RpcLocalConnection* QueryConnection(unsigned long timeoutMs);

    // Gives the lock back once for a connection this record handed out
    // (current or retired by a restart); anything else is ignored. Only the
    // thread holding the lock may call it.
    void ReleaseConnection(RpcLocalConnection* connection);

protected:
    // Destroys (or, while held, retires) the connection, closes the pipes,
    // terminates a still running process (waiting up to 1 s) and closes its
    // handle. Takes no lock: callers hold the start lock.
    void Dispose();
    const std::wstring& GetSrvUri() const { return srvUri_; }
    const std::wstring& GetArgs() const { return args_; }

private:
    friend class JobInstance;
    friend class JsonRpcClient;

    // The handles of one started process, published as a whole.
    struct Running;

    void ReleaseHeld();
    // QueryConnection; with `lookFirst` false a published start is taken as
    // it is, without asking whether its process still runs (the client finds
    // that out when an exchange fails, and only then).
    RpcLocalConnection* HoldConnection(unsigned long timeoutMs, bool lookFirst);
    std::shared_ptr<Running> Current() const;
    std::shared_ptr<void> CurrentProcess() const;
    // Stops the record for good; only the registry does this.
    void Retire();

    std::wstring srvUri_;
    std::wstring args_;
    // Replaced only under the start lock, read by anyone through atomic
    // loads; a reader's copy keeps the process handle open until it lets go.
    std::shared_ptr<Running> running_;
    std::recursive_timed_mutex connectionLock_;
    mutable std::recursive_mutex startLock_;
    std::unique_ptr<RpcLocalConnection> connection_;
    std::atomic<IRpcServerStatusObserver*> observer_{nullptr};
    std::atomic<bool> retired_{false};
    // Set by the registry that owns the record, so clients can keep it alive.
    std::weak_ptr<RpcLocalSrvConfig> owner_;

    // Bookkeeping of who holds the connection lock, and the connections a
    // restart retired while they were held.
    std::mutex slotMutex_;
    unsigned long holdDepth_ = 0;
    std::vector<std::unique_ptr<RpcLocalConnection>> retiredConnections_;
};

// The system's text for the calling thread's last error (errno on POSIX),
// with its trailing line end; empty when the last error is 0 or has no text.
JSONRPCCLIENT_API std::string GetLastErrorAsString();

// The text for a failure code the library uses (negative), without trailing
// line end; empty for 0, positive values and codes without a text.
JSONRPCCLIENT_API std::string GetHResultErrorAsString(long hresult);

}  // namespace RpcClient
