// SPDX-License-Identifier: Apache-2.0
// POSIX backend: child processes.
//
// What it guarantees, and why:
// - Starting a server costs the same whatever the host's size: posix_spawn
//   (a vfork-style clone in glibc) never copies the host's page tables, as a
//   plain fork would.
// - A server receives exactly three descriptors: stdin, and one pipe end as
//   both stdout and stderr. Everything this backend creates is close-on-exec,
//   and the spawn additionally closes every descriptor from 3 up, so neither
//   the host's own descriptors nor another server's pipe ends can leak.
// - argv[0] is the server path; the other words come from the argument string
//   split by the Windows rules, so one argument string means the same argv on
//   both systems.
// - A process handle holds a pidfd: no recycled process id is ever mistaken
//   for a server. The exit state is peeked with waitid(WNOWAIT), so asking
//   does not reap; the child is reaped when its last handle closes. A child
//   still running at that moment is kept on an orphan list and reaped at a
//   later call, so no zombie accumulates.
// - A process ended by a signal reports 128 + the signal number, except that
//   a kill this backend sent on TerminateProcess reports the code asked for.
// - Each server leads its own process group, so a job can end the server and
//   whatever it started (see Job.cpp).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/CommandLine.h"
#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

extern char** environ;

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {

// glibc of this generation has no P_PIDFD in <sys/wait.h>; the kernel value
// is fixed.
const idtype_t kIdPidfd = static_cast<idtype_t>(3);

// These live until the process ends and are never destroyed: the process-wide
// registry's destructor, which runs among the static destructors at exit,
// still closes process owners and so still needs them.
PublicNames<ProcessState>& ProcessNames() {
    static auto* names = new PublicNames<ProcessState>;
    return *names;
}

std::mutex& OrphanMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::vector<int>& Orphans() {
    static std::vector<int>* list = new std::vector<int>;
    return *list;
}

// waitid on the child named by `pidfd`, never blocking, retried when
// interrupted. 1: it has ended (`info` says how), 0: still running, -1:
// waitid failed (errno says why; ECHILD: not ours to wait for any more).
int WaitidNow(int pidfd, int flags, siginfo_t& info) {
    info = siginfo_t{};
    while (waitid(kIdPidfd, static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG | flags) != 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return info.si_pid != 0 ? 1 : 0;
}

// True when the child named by pidfd is gone from the process table (reaped
// now, or by someone else before).
bool TryReap(int pidfd) {
    siginfo_t info;
    return WaitidNow(pidfd, 0, info) != 0;
}

void ReapOrphans() {
    std::lock_guard<std::mutex> lock(OrphanMutex());
    auto& list = Orphans();
    for (auto it = list.begin(); it != list.end();) {
        if (TryReap(*it)) {
            close(*it);
            it = list.erase(it);
        } else {
            ++it;
        }
    }
}

unsigned long ExitCodeFrom(const siginfo_t& info, const ProcessState& state) {
    if (info.si_code == CLD_EXITED) {
        return static_cast<unsigned long>(info.si_status & 0xFF);
    }
    if (state.terminateRequested && info.si_status == SIGKILL) {
        return state.terminateCode;
    }
    return 128ul + static_cast<unsigned long>(info.si_status);
}

// A descriptor moved above the standard range (close-on-exec), so that the
// spawn's dup2 sequence onto 0, 1 and 2 cannot overwrite a source it still
// needs when the host has closed its own standard descriptors.
int LiftDescriptor(int fd) {
    return fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

}  // namespace

// True once waitid reports the child's exit (or it is no longer ours to
// wait for). A pidfd turns readable as the process exits, a moment before
// its exit is ready for waitid; callers that saw it readable wait here for
// that moment, so "ended" means the same to every query.
bool ExitIsWaitable(int pidfd) {
    siginfo_t info;
    return WaitidNow(pidfd, WNOWAIT, info) != 0;
}

// Waits until the child's exit is ready for waitid, at most until
// `deadline` (none: no limit). True when it is.
bool AwaitExit(int pidfd, const std::chrono::steady_clock::time_point* deadline) {
    using Clock = std::chrono::steady_clock;
    if (pidfd < 0) {
        return true;  // reaped by the system before it could be named
    }
    while (true) {
        const int timeout = PollTimeout(deadline);
        pollfd p{pidfd, POLLIN, 0};
        const int rc = poll(&p, 1, timeout);
        if (rc < 0 && errno != EINTR) {
            return false;
        }
        if (rc > 0) {
            while (!ExitIsWaitable(pidfd)) {
                if (deadline != nullptr && Clock::now() >= *deadline) {
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            return true;
        }
        if (rc == 0 && timeout == 0) {
            return false;
        }
    }
}

int PidfdOpen(pid_t pid, unsigned int flags) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, flags));
}

int PidfdSendSignal(int pidfd, int signal) {
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0u));
}

void ReleaseChild(int pidfd) {
    if (pidfd < 0) {
        return;  // started and reaped by the system before we could name it
    }
    if (TryReap(pidfd)) {
        close(pidfd);
        return;
    }
    std::lock_guard<std::mutex> lock(OrphanMutex());
    Orphans().push_back(pidfd);
}

ProcessState::~ProcessState() {
    ProcessNames().Remove(this);
    if (terminateRequested && !exited) {
        // We sent SIGKILL, so death is certain, though tearing down a large
        // process on a busy machine can take seconds. Wait for it (bounded)
        // and reap now rather than leave a zombie for a later call.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        AwaitExit(pidfd, &deadline);
    }
    ReleaseChild(pidfd);
}

bool ProcessState::PeekExit(bool& hasExited, unsigned long& code) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!exited) {
        siginfo_t info;
        const int rc = WaitidNow(pidfd, WNOWAIT, info);
        if (rc == 1) {
            exited = true;
            exitCode = ExitCodeFrom(info, *this);
        } else if (rc < 0 && errno == ECHILD) {
            // Reaped behind our back (a host that ignores SIGCHLD): the pidfd
            // still tells whether the process has ended, though not its code.
            pollfd p{pidfd, POLLIN, 0};
            if (poll(&p, 1, 0) < 0) {
                return false;
            }
            if (p.revents != 0) {
                exited = true;
                exitCode = terminateRequested ? terminateCode : 0;
                reapedElsewhere = true;
            }
        } else if (rc < 0) {
            return false;
        }
    }
    hasExited = exited;
    code = exitCode;
    return true;
}

bool ProcessState::Kill(unsigned int code) {
    bool ended = false;
    unsigned long ignored = 0;
    if (!PeekExit(ended, ignored)) {
        return false;
    }
    if (ended) {
        errno = ESRCH;
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    terminateRequested = true;
    terminateCode = code;
    return PidfdSendSignal(pidfd, SIGKILL) == 0;
}

void KillProcessAndGroup(ProcessState& process, unsigned int code) {
    // Unreaped (we hold the pidfd and reap only on close), so the process id
    // and the group id it leads are still reserved: no stranger can own them.
    // A leader the system reaped reserves nothing; its group is the guard's.
    const bool signalled = process.Kill(code);
    const bool ended = !signalled && errno == ESRCH;
    std::lock_guard<std::mutex> lock(process.mutex);
    if (signalled || (ended && !process.reapedElsewhere)) {
        kill(-process.pid, SIGKILL);
    }
}

}  // namespace Posix

using namespace Posix;

unsigned long CurrentProcessId() {
    return static_cast<unsigned long>(getpid());
}

unsigned long GetProcessId(const Process& process) {
    return process ? static_cast<unsigned long>(process.Get()->pid) : 0;
}

void* PublicHandle(const Process& process) {
    return process.Get().get();
}

Process OpenPublicProcess(void* process) {
    return Process(process != nullptr ? ProcessNames().Find(process) : nullptr);
}

bool ClosePublicHandle(void* /*handle*/) {
    errno = EBADF;
    return false;
}

pid_t Posix::Spawn(const std::vector<std::string>& words, int stdinFd, int outputFd,
                   const std::string& directory, int& pidfd) {
    std::vector<std::string> copy = words;
    std::vector<char*> argv;
    argv.reserve(copy.size() + 1);
    for (std::string& word : copy) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);

    // Owned, so that every way out closes them.
    const Pipe in(PipeEnd{LiftDescriptor(stdinFd)});
    const Pipe out(PipeEnd{in && outputFd >= 0 ? LiftDescriptor(outputFd) : -1});
    if (!in || (outputFd >= 0 && !out)) {
        return -1;
    }
    const int inFd = in.Get().fd;
    const int outFd = out.Get().fd;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    int rc = posix_spawn_file_actions_adddup2(&actions, inFd, 0);
    if (rc == 0) {
        rc = outFd >= 0 ? posix_spawn_file_actions_adddup2(&actions, outFd, 1)
                        : posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (rc == 0)
        rc = posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (rc == 0)
        rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (rc == 0 && !directory.empty()) {
        rc = posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    }
    sigset_t noSignals;
    sigset_t allSignals;
    sigemptyset(&noSignals);
    sigfillset(&allSignals);
    if (rc == 0)
        rc = posix_spawnattr_setsigmask(&attributes, &noSignals);
    if (rc == 0)
        rc = posix_spawnattr_setsigdefault(&attributes, &allSignals);
    if (rc == 0)
        rc = posix_spawnattr_setpgroup(&attributes, 0);
    if (rc == 0) {
        rc = posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    pid_t pid = -1;
    if (rc == 0) {
        rc = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        errno = rc;
        return -1;
    }

    pidfd = PidfdOpen(pid, 0);
    if (pidfd < 0 && errno == ESRCH) {
        // A host that ignores SIGCHLD lets the system reap a child that ends
        // at once, before it can be named. It did start, and it has ended.
        return pid;
    }
    if (pidfd < 0) {
        const int error = errno;
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        errno = error;
        return -1;
    }
    return pid;
}

Process StartProcess(const ProcessStart& start) {
    ReapOrphans();
    if (start.standardInput == nullptr || start.standardOutput == nullptr ||
        !*start.standardInput || !*start.standardOutput || start.application.empty()) {
        errno = EINVAL;
        return Process();
    }

    std::vector<std::string> words;
    words.push_back(ToUtf8(start.application));
    for (const std::wstring& word : SplitCommandLine(start.arguments)) {
        words.push_back(ToUtf8(word));
    }
    int pidfd = -1;
    const pid_t pid = Spawn(words, start.standardInput->Get().fd, start.standardOutput->Get().fd,
                            ToUtf8(start.workingDirectory), pidfd);
    if (pid < 0) {
        return Process();
    }
    auto state = std::make_shared<ProcessState>(pid, pidfd);
    ProcessNames().Add(state);
    return Process(std::move(state));
}

ProcessState* Posix::StateOf(const Process& process) {
    if (!process) {
        errno = EBADF;
    }
    return process.Get().get();
}

bool QueryExit(const Process& process, ExitStatus& status) {
    ProcessState* state = StateOf(process);
    bool ended = false;
    unsigned long code = 0;
    if (state == nullptr || !state->PeekExit(ended, code)) {
        return false;
    }
    status = ExitStatus{!ended, ended ? code : 0};
    return true;
}

bool TerminateProcess(const Process& process, unsigned int exitCode) {
    ProcessState* state = StateOf(process);
    return state != nullptr && state->Kill(exitCode);
}

WaitResult WaitForProcess(const Process& process,
                          std::optional<std::chrono::milliseconds> timeout) {
    ProcessState* state = StateOf(process);
    if (state == nullptr) {
        return WaitResult::Failed;
    }
    const std::chrono::steady_clock::time_point deadline =
        std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    errno = 0;
    if (AwaitExit(state->pidfd, timeout ? &deadline : nullptr)) {
        return WaitResult::Ended;
    }
    return errno == 0 || errno == EINTR ? WaitResult::TimedOut : WaitResult::Failed;
}

}  // namespace Platform
}  // namespace RpcClient
