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
#include <optional>
#include <thread>
#include <utility>

#include "hosting/ConnectionHandles.h"
#include "platform/Platform.h"

namespace RpcClient {

namespace {

// The process owner behind a copy of CurrentProcess().
const Platform::Process& ProcessOf(const std::shared_ptr<void>& process) {
    return *static_cast<const Platform::Process*>(process.get());
}

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

// The process and pipe handles of one start. The pipe ends are closed by
// Dispose at once (their lock keeps a QueryConnection from duplicating one
// that is being closed); the process handle is shared, so a status query
// that copied it keeps it open until it has finished with it.
struct RpcLocalSrvConfig::Running {
    std::shared_ptr<Platform::Process> process;
    std::mutex pipesLock;
    Platform::Pipe readStream;
    Platform::Pipe writeStream;
    Platform::Pipe childOutput;
    Platform::Pipe childInput;

    void ClosePipes() {
        std::lock_guard<std::mutex> lock(pipesLock);
        readStream.Reset();
        writeStream.Reset();
        childOutput.Reset();
        childInput.Reset();
    }
};

RpcLocalSrvConfig::RpcLocalSrvConfig(const std::wstring& srvUri, const std::wstring& args)
    : srvUri_(srvUri), args_(args) {}

RpcLocalSrvConfig::~RpcLocalSrvConfig() {
    observer_ = nullptr;
    Dispose();
    std::lock_guard<std::mutex> slot(slotMutex_);
    retiredConnections_.clear();
}

std::shared_ptr<RpcLocalSrvConfig::Running> RpcLocalSrvConfig::Current() const {
    return std::atomic_load(&running_);
}

std::shared_ptr<void> RpcLocalSrvConfig::CurrentProcess() const {
    const std::shared_ptr<Running> running = Current();
    return running ? running->process : nullptr;
}

int RpcLocalSrvConfig::StartupRpcServer() {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    if (retired_) {
        return 0;
    }
    if (IsRpcServerRunning() == 1) {
        return 1;
    }
    IRpcServerStatusObserver* observer = observer_;
    if (const std::shared_ptr<void> process = CurrentProcess()) {
        Platform::ExitStatus status;
        if (observer != nullptr && Platform::QueryExit(ProcessOf(process), status) &&
            !status.running) {
            observer->OnRpcServerExited(this, static_cast<int>(status.code));
        }
    }
    Dispose();

    // Made before anything is opened, so that nothing opened can leak when
    // it cannot be made.
    auto running = std::make_shared<Running>();
    if (!Platform::CreatePipe(running->readStream, running->childOutput) ||
        !Platform::CreatePipe(running->childInput, running->writeStream)) {
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
    start.standardInput = &running->childInput;
    start.standardOutput = &running->childOutput;
    Platform::Process started = Platform::StartProcess(start);
    if (!started) {
        return 0;
    }
    // Shared by the start and every status query that copies it. Should the
    // allocation fail, `started` still closes the handle.
    running->process = std::make_shared<Platform::Process>(std::move(started));
    std::atomic_store(&running_, std::move(running));
    observer = observer_;
    if (observer != nullptr) {
        observer->OnRpcServerReStarted(this);
    }
    return 1;
}

int RpcLocalSrvConfig::ShutdownRpcServer() {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    Dispose();
    return 1;
}

void RpcLocalSrvConfig::Retire() {
    std::lock_guard<std::recursive_mutex> lock(startLock_);
    retired_ = true;
    observer_ = nullptr;
    Dispose();
}

int RpcLocalSrvConfig::IsRpcServerRunning() const {
    const std::shared_ptr<void> process = CurrentProcess();
    Platform::ExitStatus status;
    return process && Platform::QueryExit(ProcessOf(process), status) && status.running ? 1 : 0;
}

int RpcLocalSrvConfig::IsValid() const {
    // A published start always has its process and both stream handles.
    return Current() ? 1 : 0;
}

void* RpcLocalSrvConfig::GetSrvProcessHandle() const {
    const std::shared_ptr<void> process = CurrentProcess();
    return process ? Platform::PublicHandle(ProcessOf(process)) : nullptr;
}

unsigned long RpcLocalSrvConfig::WaitForExit(unsigned long milliseconds) const {
    // Our copy keeps the handle open however long the wait, even when a stop
    // lets go of the record's meanwhile.
    const std::shared_ptr<void> process = CurrentProcess();
    if (!process) {
        return 0;
    }
    // The Win32 shapes of the answer: WAIT_OBJECT_0, WAIT_TIMEOUT,
    // WAIT_FAILED, and INFINITE for "no limit".
    constexpr unsigned long kInfinite = 0xFFFFFFFFul;
    const auto timeout = milliseconds == kInfinite
                             ? std::nullopt
                             : std::optional<std::chrono::milliseconds>(milliseconds);
    switch (Platform::WaitForProcess(ProcessOf(process), timeout)) {
        case Platform::WaitResult::Ended:
            return 0;
        case Platform::WaitResult::TimedOut:
            return 258;
        case Platform::WaitResult::Failed:
            break;
    }
    return 0xFFFFFFFFul;
}

IRpcServerStatusObserver* RpcLocalSrvConfig::SetStatusObserver(IRpcServerStatusObserver* observer) {
    return observer_.exchange(observer);
}

void RpcLocalSrvConfig::SafeCloseHandle(void*& handle) {
    // Public, for hosts; the library's own handles close themselves.
    if (handle != nullptr) {
        Platform::ClosePublicHandle(handle);
        handle = nullptr;
    }
}

void RpcLocalSrvConfig::Dispose() {
    // Unpublished first: from here on no query sees this start.
    std::shared_ptr<Running> running = std::atomic_exchange(&running_, std::shared_ptr<Running>());
    {
        std::unique_ptr<RpcLocalConnection> doomed;
        std::lock_guard<std::mutex> slot(slotMutex_);
        if (connection_) {
            if (holdDepth_ > 0) {
                retiredConnections_.push_back(std::move(connection_));
            } else {
                doomed = std::move(connection_);
            }
        }
    }
    if (!running) {
        return;
    }
    running->ClosePipes();
    const Platform::Process& process = *running->process;
    Platform::ExitStatus status;
    if (Platform::QueryExit(process, status) && status.running) {
        Platform::TerminateProcess(process, 0);
        Platform::WaitForProcess(process, std::chrono::milliseconds(1000));
    }
    // The handle closes with the last copy: now, or when a status query
    // that holds one has finished.
}

RpcLocalConnection* RpcLocalSrvConfig::QueryConnection(unsigned long timeoutMs) {
    return HoldConnection(timeoutMs, true);
}

RpcLocalConnection* RpcLocalSrvConfig::HoldConnection(unsigned long timeoutMs, bool lookFirst) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if ((lookFirst || !Current()) && StartupRpcServer() == 0) {
            return nullptr;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(deadline - Clock::now(), Clock::duration::zero()));
        if (!LockWithin(connectionLock_, static_cast<unsigned long>(left.count()))) {
            return nullptr;
        }
        bool ended = false;
        {
            std::lock_guard<std::mutex> slot(slotMutex_);
            ++holdDepth_;
            if (connection_) {
                if (!connection_->ServerEndSeen()) {
                    return connection_.get();
                }
                ended = true;
            }
        }
        if (ended) {
            // An exchange on it found the server ended: start it again, with
            // the lock given back, as a query that looks first would.
            ReleaseHeld();
            lookFirst = true;
            continue;
        }
        // Build the connection from the published start, without the start
        // lock: the copy keeps the start's handles from being freed, and its
        // pipe lock keeps a concurrent stop from closing them mid-copy.
        RpcLocalConnection* made = nullptr;
        bool stopped = false;
        try {
            const std::shared_ptr<Running> running = Current();
            // No start, or its pipes already closed: a stop got in between.
            stopped = true;
            Platform::Pipe read;
            Platform::Pipe write;
            Platform::Process watched;
            Platform::Pipe serverInput;
            if (running) {
                std::lock_guard<std::mutex> pipes(running->pipesLock);
                if (running->readStream && running->writeStream) {
                    stopped = false;
                    read = running->readStream.Duplicate();
                    if (read) {
                        write = running->writeStream.Duplicate();
                    }
                    if (write) {
                        serverInput = running->childInput.Duplicate();
                    }
                    if (serverInput) {
                        watched = running->process->Duplicate();
                    }
                }
            }
            if (watched) {
                // The allocation comes before the arguments are evaluated, so
                // a failed one leaves the duplicates with their owners here.
                auto connection = std::unique_ptr<RpcLocalConnection>(new RpcLocalConnection(
                    connectionLock_, Platform::PublicHandle(*running->process),
                    Platform::PublicHandle(read), Platform::PublicHandle(write), 1));
                connection->watchedProcess_ = new ConnectionHandles{
                    std::move(read), std::move(write), std::move(watched), std::move(serverInput)};
                std::lock_guard<std::mutex> slot(slotMutex_);
                // A stop between the copy and now made the copy stale.
                if (std::atomic_load(&running_) == running) {
                    connection_ = std::move(connection);
                    made = connection_.get();
                } else {
                    stopped = true;
                }
            }
        } catch (...) {
            ReleaseHeld();
            throw;
        }
        if (made != nullptr) {
            return made;
        }
        ReleaseHeld();
        // A stop on another thread got in between the start and the lock:
        // start again while there is time left.
        if (!stopped || Clock::now() >= deadline) {
            return nullptr;
        }
    }
}

void RpcLocalSrvConfig::ReleaseHeld() {
    std::vector<std::unique_ptr<RpcLocalConnection>> done;
    {
        std::lock_guard<std::mutex> slot(slotMutex_);
        if (holdDepth_ == 0) {
            return;
        }
        if (--holdDepth_ == 0) {
            done.swap(retiredConnections_);
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
        for (const auto& retired : retiredConnections_) {
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
