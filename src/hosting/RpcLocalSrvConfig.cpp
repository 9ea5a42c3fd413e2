// SPDX-License-Identifier: Apache-2.0
// Starting, restarting and stopping one local server, and handing out its
// connection.
//
// Restart safety: a restart runs Dispose under the start lock only, while
// another thread may be in the middle of an exchange on the connection.
// Dispose therefore never destroys a connection whose lock is held: it moves
// it to a retired list. The holder keeps working on it (its duplicates of the
// pipe ends and of the process handle are its own, so nothing it uses is
// closed under it; its reads end once the old process is gone) and its
// ReleaseConnection, which finds the connection among the retired ones,
// gives the lock back and destroys every retired connection once the lock
// is free. A small slot mutex guards the connection pointer, the retired
// list and the hold count; it is always the innermost lock.

#include <JsonRpcClient/hosting/JobInstance.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/Platform.h"

namespace RpcClient {

namespace {

// The thread checker does not follow the clock-based wait behind a timed
// lock, and a lock it cannot see makes every check of the exchange useless.
// Under it the lock is taken in short try steps; everywhere else the timed
// lock itself waits, so a waiting thread gets the lock the moment it is
// given back instead of up to a millisecond later.
#if defined(__SANITIZE_THREAD__)
#define JRC_CONNECTION_LOCK_BY_TRYING 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define JRC_CONNECTION_LOCK_BY_TRYING 1
#endif
#endif

// Takes the connection lock within `milliseconds` (steady clock).
bool LockWithin(std::recursive_timed_mutex& lock, unsigned long milliseconds) {
    if (lock.try_lock()) {
        return true;
    }
#if defined(JRC_CONNECTION_LOCK_BY_TRYING)
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::chrono::microseconds step(20);
    while (true) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(step, deadline - now));
        if (lock.try_lock()) {
            return true;
        }
        step = std::min(step * 2, std::chrono::microseconds(1000));
    }
#else
    return lock.try_lock_for(std::chrono::milliseconds(milliseconds));
#endif
}

}  // namespace

IRpcServerStatusObserver::~IRpcServerStatusObserver() = default;

RpcLocalSrvConfig::RpcLocalSrvConfig(const std::wstring& srvUri, const std::wstring& args)
    : srvUri_(srvUri), args_(args) {}

RpcLocalSrvConfig::~RpcLocalSrvConfig() {
    observer_ = nullptr;
    Dispose();
    std::lock_guard<std::mutex> slot(slotMutex_);
    retired_.clear();
}

int RpcLocalSrvConfig::StartupRpcServer() {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    if (IsRpcServerRunning() == 1) {
        return 1;
    }
    if (observer_ != nullptr && process_ != nullptr) {
        unsigned long code = 0;
        if (Platform::GetExitCodeProcess(process_, code) && code != Platform::kStillActive) {
            observer_->OnRpcServerExited(this, static_cast<int>(code));
        }
    }
    Dispose();

    void* outputRead = nullptr;
    void* outputWrite = nullptr;
    void* inputRead = nullptr;
    void* inputWrite = nullptr;
    if (!Platform::CreatePipe(outputRead, outputWrite)) {
        return 0;
    }
    if (!Platform::CreatePipe(inputRead, inputWrite)) {
        SafeCloseHandle(outputRead);
        SafeCloseHandle(outputWrite);
        return 0;
    }

    Platform::ProcessStart start;
    start.application = srvUri_;
    start.arguments = args_;
    start.breakawayFromJob =
        JobInstance::IsMainInJob() && JobInstance::IsChildProcessCanBreakawayFromMainJob();
    start.workingDirectory = Platform::GetCurrentDirectory();
    if (start.workingDirectory.empty()) {
        start.workingDirectory = Platform::GetExecutableDirectory();
    }
    start.standardInput = inputRead;
    start.standardOutput = outputWrite;
    void* process = Platform::StartProcess(start);
    if (process == nullptr) {
        const unsigned long error = Platform::GetLastError();
        SafeCloseHandle(outputRead);
        SafeCloseHandle(outputWrite);
        SafeCloseHandle(inputRead);
        SafeCloseHandle(inputWrite);
        Platform::SetLastError(error);
        return 0;
    }

    process_ = process;
    readStream_ = outputRead;
    writeStream_ = inputWrite;
    childOutput_ = outputWrite;
    childInput_ = inputRead;
    if (observer_ != nullptr) {
        observer_->OnRpcServerReStarted(this);
    }
    return 1;
}

int RpcLocalSrvConfig::ShutdownRpcServer() {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    Dispose();
    return 1;
}

int RpcLocalSrvConfig::IsRpcServerRunning() const {
    // The start lock keeps a concurrent restart from closing the handle
    // while it is asked.
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    if (process_ == nullptr) {
        return 0;
    }
    unsigned long code = 0;
    return Platform::GetExitCodeProcess(process_, code) && code == Platform::kStillActive ? 1 : 0;
}

int RpcLocalSrvConfig::IsValid() const {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    return process_ != nullptr && readStream_ != nullptr && writeStream_ != nullptr ? 1 : 0;
}

void* RpcLocalSrvConfig::GetSrvProcessHandle() const {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    return process_;
}

unsigned long RpcLocalSrvConfig::WaitForExit(unsigned long milliseconds) const {
    void* process = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(startLock_);
        if (process_ == nullptr) {
            return 0;
        }
        // Wait on a handle of our own: a restart may close the record's.
        process = Platform::DuplicateHandle(process_);
    }
    if (process == nullptr) {
        return Platform::kWaitFailed;
    }
    const unsigned long result = Platform::WaitForProcess(process, milliseconds);
    Platform::CloseHandle(process);
    return result;
}

IRpcServerStatusObserver* RpcLocalSrvConfig::SetStatusObserver(IRpcServerStatusObserver* observer) {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    std::swap(observer_, observer);
    return observer;
}

void RpcLocalSrvConfig::SafeCloseHandle(void*& handle) {
    if (handle != nullptr) {
        Platform::CloseHandle(handle);
        handle = nullptr;
    }
}

void RpcLocalSrvConfig::Dispose() {
    {
        std::unique_ptr<RpcLocalConnection> doomed;
        std::lock_guard<std::mutex> slot(slotMutex_);
        if (connection_) {
            if (holdDepth_ > 0) {
                retired_.push_back(std::move(connection_));
            } else {
                doomed = std::move(connection_);
            }
        }
    }
    SafeCloseHandle(readStream_);
    SafeCloseHandle(writeStream_);
    SafeCloseHandle(childOutput_);
    SafeCloseHandle(childInput_);
    if (process_ != nullptr) {
        unsigned long code = 0;
        if (Platform::GetExitCodeProcess(process_, code) && code == Platform::kStillActive) {
            Platform::TerminateProcess(process_, 0);
            Platform::WaitForProcess(process_, 1000);
        }
        SafeCloseHandle(process_);
    }
}

RpcLocalConnection* RpcLocalSrvConfig::QueryConnection(unsigned long timeoutMs) {
    if (StartupRpcServer() == 0) {
        return nullptr;
    }
    if (!LockWithin(connectionLock_, timeoutMs)) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> slot(slotMutex_);
        ++holdDepth_;
        if (connection_) {
            return connection_.get();
        }
    }
    // Build the connection from the record's current handles, which only a
    // start or Dispose (under the start lock) change.
    std::lock_guard<std::recursive_mutex> start(startLock_);
    void* read = nullptr;
    void* write = nullptr;
    void* watched = nullptr;
    if (process_ != nullptr && readStream_ != nullptr && writeStream_ != nullptr) {
        read = Platform::DuplicateHandle(readStream_);
        write = read != nullptr ? Platform::DuplicateHandle(writeStream_) : nullptr;
        watched = write != nullptr ? Platform::DuplicateHandle(process_) : nullptr;
    }
    if (watched == nullptr) {
        SafeCloseHandle(read);
        SafeCloseHandle(write);
        ReleaseHeld();
        return nullptr;
    }
    auto connection = std::unique_ptr<RpcLocalConnection>(
        new RpcLocalConnection(connectionLock_, process_, read, write, 1));
    connection->watchedProcess_ = watched;
    std::lock_guard<std::mutex> slot(slotMutex_);
    connection_ = std::move(connection);
    return connection_.get();
}

void RpcLocalSrvConfig::ReleaseHeld() {
    std::vector<std::unique_ptr<RpcLocalConnection>> done;
    {
        std::lock_guard<std::mutex> slot(slotMutex_);
        if (holdDepth_ == 0) {
            return;
        }
        if (--holdDepth_ == 0) {
            done.swap(retired_);
        }
    }
    done.clear();
    connectionLock_.unlock();
}

void RpcLocalSrvConfig::ReleaseConnection(RpcLocalConnection* connection) {
    if (connection == nullptr) {
        return;
    }
    bool known = false;
    {
        std::lock_guard<std::mutex> slot(slotMutex_);
        known = connection == connection_.get();
        for (const auto& retired : retired_) {
            known = known || retired.get() == connection;
        }
    }
    if (known) {
        ReleaseHeld();
    }
}

std::string GetLastErrorAsString() {
    const unsigned long code = Platform::GetLastError();
    if (code == 0) {
        return std::string();
    }
    return Platform::FormatSystemMessage(code);
}

std::string GetHResultErrorAsString(long hresult) {
    if (hresult >= 0) {
        return std::string();
    }
    std::string text = Platform::FormatHResultMessage(hresult);
    if (text.size() > 1 && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
    }
    return text;
}

}  // namespace RpcClient
