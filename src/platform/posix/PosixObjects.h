// SPDX-License-Identifier: Apache-2.0
#pragma once

// The POSIX backend's own objects and helpers, shared by its files.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Platform.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

// A child process, named by a pidfd so that a recycled process id can never
// be mistaken for it.
struct ProcessState {
    // A pidfd of -1 names a child the system reaped before it could be
    // named: it has ended, and its code is gone with it.
    ProcessState(pid_t p, int f) : pid(p), pidfd(f), exited(f < 0), reapedElsewhere(f < 0) {}
    ~ProcessState();  // reaps the child if it has ended; otherwise leaves it to the orphan list
    ProcessState(const ProcessState&) = delete;
    ProcessState& operator=(const ProcessState&) = delete;

    // Exit state without reaping; false when it cannot be queried.
    bool PeekExit(bool& exited, unsigned long& exitCode);
    // SIGKILL, unless it has ended (false, ESRCH); later queries report
    // `code` for it.
    bool Kill(unsigned int code);

    const pid_t pid;
    const int pidfd;
    std::mutex mutex;
    bool exited = false;         // guarded by mutex
    unsigned long exitCode = 0;  // valid once exited
    bool terminateRequested = false;
    unsigned int terminateCode = 0;  // reported for a SIGKILL we sent ourselves
    bool inJob = false;
    // Reaped by the system, not by us (a host that ignores SIGCHLD): its
    // process and group ids may already name a stranger. Guarded by mutex.
    bool reapedElsewhere = false;
};

// The tokens the public API hands out for shared state: the state's address,
// believed only while that state lives, so a stale or made-up value finds
// nothing. Instances live until the process ends (they are asked from static
// destructors at exit).
template <class State>
class PublicNames {
public:
    void* Add(const std::shared_ptr<State>& state) {
        std::lock_guard<std::mutex> lock(mutex_);
        names_[state.get()] = state;
        return state.get();
    }
    void Remove(const State* state) {
        std::lock_guard<std::mutex> lock(mutex_);
        names_.erase(state);
    }
    std::shared_ptr<State> Find(const void* name) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = names_.find(name);
        return found == names_.end() ? nullptr : found->second.lock();
    }

private:
    std::mutex mutex_;
    std::unordered_map<const void*, std::weak_ptr<State>> names_;
};

// The state behind an owner; null, with errno EBADF, for an empty one.
ProcessState* StateOf(const Process& process);

// Kills a member process and the process group it leads (the job's part of
// closing or terminating). Safe against id reuse: it checks the pidfd first.
void KillProcessAndGroup(ProcessState& process, unsigned int exitCode);

// Gives up a child named by its pidfd: reaps it now if it has ended,
// otherwise keeps it on the orphan list, reaped by a later call.
void ReleaseChild(int pidfd);

// Spawns `words` (words[0] is the program's path) with `stdinFd` as its
// standard input and `outputFd` as both standard output and standard error
// (-1: /dev/null), no other descriptor, in `directory` (empty: ours), leading
// a process group of its own, with default signal dispositions and an empty
// signal mask. Returns the pid (and its pidfd in `pidfd`), or -1 with errno
// set; nothing is left behind on failure. A child the system reaped before it
// could be named (SIGCHLD ignored) is returned with `pidfd` -1: it has ended.
pid_t Spawn(const std::vector<std::string>& words, int stdinFd, int outputFd,
            const std::string& directory, int& pidfd);

// How long a poll may wait before `deadline` (-1: no deadline), rounded up so
// that it never wakes just short of it.
int PollTimeout(const ReadDeadline* deadline);

// True once the child's exit is ready for waitid (or it is not ours to wait
// for), waiting at most until `deadline` (null: no limit).
bool ExitIsWaitable(int pidfd);
bool AwaitExit(int pidfd, const std::chrono::steady_clock::time_point* deadline);

// Writes every byte to a descriptor; a broken pipe is an error, never a
// SIGPIPE in the host. A non-blocking descriptor is waited on while the pipe
// is full, and, given a server's pidfd, the write fails with EPIPE once that
// server has ended while the pipe is full, telling through `endedBeforeWait`
// (may be null) whether it had ended before the first wait.
bool WriteAll(int fd, const char* data, std::size_t size, int serverPidfd = -1,
              bool* endedBeforeWait = nullptr);

// Writes what the descriptor takes: all of it on a blocking descriptor, on
// a non-blocking one until the pipe is full. `written` tells how many bytes
// went out; false on an error (a broken pipe included, without SIGPIPE).
bool WriteUntilFull(int fd, const char* data, std::size_t size, std::size_t& written);

// The pidfd system calls, called directly: this glibc generation declares
// the wrappers without C linkage for C++.
int PidfdOpen(pid_t pid, unsigned int flags);
int PidfdSendSignal(int pidfd, int signal);

// UTF-32 wide text and the UTF-8 the system uses for paths and arguments.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace Posix
}  // namespace Platform
}  // namespace RpcClient
