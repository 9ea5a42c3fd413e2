// SPDX-License-Identifier: Apache-2.0
// POSIX backend: jobs.
//
// A job must end its servers, and whatever they start, when (1) it is
// terminated or its last handle is closed, (2) the host process ends by any
// means, SIGKILL included, and (3) never merely because the host thread that
// started them ended. PR_SET_PDEATHSIG fails (3) (it follows the thread) and
// cannot cover the servers' own children.
//
// Design: every server leads its own process group (Process.cpp). A job owns
// a tiny guard process (the system shell running a three-line script) whose
// standard input is a close-on-exec pipe; the host holds the only write end.
// Assigning a server writes its group id into that pipe; the guard collects
// the ids. When the pipe reaches end of file, because the job's last handle
// was closed or because the host died and the kernel closed its descriptors,
// the guard kills every collected group. The guard survives terminal signals
// and sits in a group of its own, so nothing but that end of file moves it.
//
// Closing or terminating a job from the host also kills the members at once
// from here, through their pidfds, so that (1) does not wait for the guard.
// A group is only signalled while its leader is unreaped, which keeps the
// group id reserved; a reaped leader's group is left to the guard.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

extern char** environ;

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {

const char* const kGuardScript =
    "trap '' HUP INT QUIT TERM PIPE USR1 USR2 ALRM\n"
    "groups=\n"
    "while read -r g; do groups=\"$groups $g\"; done\n"
    "for g in $groups; do kill -9 -\"$g\"; done 2>/dev/null\n";

PublicNames<JobState>& JobNames() {
    static auto* names = new PublicNames<JobState>;
    return *names;
}

}  // namespace

struct JobState {
    ~JobState();
    void KillMembers(unsigned int exitCode);

    std::mutex mutex;
    Pipe guardInput;  // write end of the guard's standard input
    int guardPidfd = -1;
    std::vector<std::weak_ptr<ProcessState>> members;
};

void JobState::KillMembers(unsigned int exitCode) {
    for (const std::weak_ptr<ProcessState>& member : members) {
        if (std::shared_ptr<ProcessState> process = member.lock()) {
            KillProcessAndGroup(*process, exitCode);
        }
    }
}

JobState::~JobState() {
    JobNames().Remove(this);
    KillMembers(0);
    guardInput.Reset();
    if (guardPidfd >= 0) {
        // The guard ends as soon as it has done its killing.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        AwaitExit(guardPidfd, &deadline);
        ReleaseChild(guardPidfd);
    }
}

}  // namespace Posix

using namespace Posix;

Job CreateJob() {
    auto state = std::make_shared<JobState>();
    Pipe guardReadEnd;
    if (!CreatePipe(guardReadEnd, state->guardInput)) {
        return Job();
    }
    const pid_t pid =
        Spawn({"/bin/sh", "-c", kGuardScript}, guardReadEnd.Get().fd, -1, "/", state->guardPidfd);
    if (pid < 0 || state->guardPidfd < 0) {
        return Job();  // a guard that ended at once guards nothing (errno: ESRCH)
    }
    JobNames().Add(state);
    return Job(std::move(state));
}

void* PublicHandle(const Job& job) {
    return job.Get().get();
}

Job OpenPublicJob(void* job) {
    return Job(job != nullptr ? JobNames().Find(job) : nullptr);
}

bool AssignProcessToJob(const Job& job, const Process& process) {
    if (!job || !process) {
        errno = EINVAL;
        return false;
    }
    JobState& state = *job.Get();
    const std::shared_ptr<ProcessState>& member = process.Get();
    std::lock_guard<std::mutex> lock(state.mutex);
    bool ended = false;
    unsigned long code = 0;
    if (!member->PeekExit(ended, code)) {
        return false;
    }
    if (ended) {
        // Nothing left to end. The process counts as a member (its exit code
        // stays readable) but the guard need not know its group.
        std::lock_guard<std::mutex> memberLock(member->mutex);
        member->inJob = true;
        return true;
    }
    // Forget members that have gone, so a long-lived job does not grow.
    state.members.erase(std::remove_if(state.members.begin(), state.members.end(),
                                       [](const std::weak_ptr<ProcessState>& m) {
                                           std::shared_ptr<ProcessState> p = m.lock();
                                           bool gone = false;
                                           unsigned long c = 0;
                                           return !p || !p->PeekExit(gone, c) || gone;
                                       }),
                        state.members.end());
    for (const std::weak_ptr<ProcessState>& m : state.members) {
        if (m.lock() == member) {
            return true;
        }
    }
    const std::string line = std::to_string(member->pid) + "\n";
    if (!WriteAll(state.guardInput.Get().fd, line.data(), line.size())) {
        return false;
    }
    state.members.push_back(member);
    std::lock_guard<std::mutex> memberLock(member->mutex);
    member->inJob = true;
    return true;
}

bool TerminateJob(const Job& job, unsigned int exitCode) {
    if (!job) {
        errno = EINVAL;
        return false;
    }
    std::lock_guard<std::mutex> lock(job.Get()->mutex);
    job.Get()->KillMembers(exitCode);
    return true;
}

bool IsProcessInJob(const Process& process, const Job* job, bool& inJob) {
    inJob = false;
    if (!process || (job != nullptr && !*job)) {
        errno = EINVAL;
        return false;
    }
    if (job == nullptr) {
        std::lock_guard<std::mutex> lock(process.Get()->mutex);
        inJob = process.Get()->inJob;
        return true;
    }
    std::lock_guard<std::mutex> lock(job->Get()->mutex);
    for (const std::weak_ptr<ProcessState>& m : job->Get()->members) {
        inJob = inJob || m.lock() == process.Get();
    }
    return true;
}

bool IsCurrentProcessInJob(bool& inJob) {
    // The host never runs inside one of these jobs.
    inJob = false;
    return true;
}

bool IsCurrentProcessListedInOwnJob() {
    return false;
}

bool QueryOwnJobBreakawayAllowed(bool& allowed) {
    allowed = false;
    errno = EINVAL;  // the host runs in no job of ours
    return false;
}

}  // namespace Platform
}  // namespace RpcClient
