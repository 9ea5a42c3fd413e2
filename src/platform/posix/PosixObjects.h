// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the POSIX backend's opaque handles point at. Every handle is a heap
// object derived from HandleObject; CloseHandle deletes it. Duplicates of a
// process or job handle share one state object, the way several Win32
// handles name one kernel object.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RpcClient {
namespace Platform {
namespace Posix {

struct HandleObject {
    enum class Kind { PipeEnd, Process, Job, CurrentProcess };
    static constexpr std::uint32_t kMagic = 0x4A524348u;

    explicit HandleObject(Kind k) : kind(k) {}
    virtual ~HandleObject() = default;
    HandleObject(const HandleObject&) = delete;
    HandleObject& operator=(const HandleObject&) = delete;

    std::uint32_t magic = kMagic;
    const Kind kind;
};

// One end of a pipe: a close-on-exec descriptor.
struct PipeEnd : HandleObject {
    explicit PipeEnd(int descriptor) : HandleObject(Kind::PipeEnd), fd(descriptor) {}
    ~PipeEnd() override;
    int fd;
    // Made non-blocking by its owner for good (a stream buffer's own
    // duplicate): writes need not switch it.
    bool nonBlocking = false;
};

// A child process, named by a pidfd so that a recycled process id can never
// be mistaken for it.
struct ProcessState {
    ProcessState(pid_t p, int f) : pid(p), pidfd(f) {}
    ~ProcessState();  // reaps the child if it has ended; otherwise leaves it to the orphan list

    // Exit state without reaping; false when it cannot be queried.
    bool PeekExit(bool& exited, unsigned long& exitCode);

    const pid_t pid;
    const int pidfd;
    std::mutex mutex;
    bool exited = false;         // guarded by mutex
    unsigned long exitCode = 0;  // valid once exited
    bool terminateRequested = false;
    unsigned int terminateCode = 0;  // reported for a SIGKILL we sent ourselves
    bool inJob = false;
};

struct ProcessHandle : HandleObject {
    explicit ProcessHandle(std::shared_ptr<ProcessState> s)
        : HandleObject(Kind::Process), state(std::move(s)) {}
    std::shared_ptr<ProcessState> state;
};

struct JobState;

struct JobHandle : HandleObject {
    explicit JobHandle(std::shared_ptr<JobState> s)
        : HandleObject(Kind::Job), state(std::move(s)) {}
    std::shared_ptr<JobState> state;
};

// Checked downcasts; null when the handle is null or of another kind.
HandleObject* AsObject(void* handle);
PipeEnd* AsPipe(void* handle);
ProcessHandle* AsProcess(void* handle);
JobHandle* AsJob(void* handle);
bool IsCurrentProcessHandle(void* handle);

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
// set; nothing is left behind on failure.
pid_t Spawn(const std::vector<std::string>& words, int stdinFd, int outputFd,
            const std::string& directory, int& pidfd);

// True once the child's exit is ready for waitid (or it is not ours to wait
// for), waiting at most until `deadline` (null: no limit).
bool ExitIsWaitable(int pidfd);
bool AwaitExit(int pidfd, const std::chrono::steady_clock::time_point* deadline);

// Writes every byte to a descriptor; a broken pipe is an error, never a
// SIGPIPE in the host. A non-blocking descriptor is waited on when full.
bool WriteAll(int fd, const char* data, std::size_t size);

// Writes every byte to a server's input through a non-blocking descriptor,
// waiting only while the pipe is full; fails with EPIPE once the server
// (named by its pidfd) has ended while the pipe is full, telling through
// `endedBeforeWait` (may be null) whether it had ended before the first wait.
bool WriteToServer(int fd, const char* data, std::size_t size, int serverPidfd,
                   bool* endedBeforeWait);

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
