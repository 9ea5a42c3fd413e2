// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the POSIX backend's owners hold. A pipe end is a descriptor; a process
// and a job are shared state, so that duplicates see one exit state and one
// member list, the way several Win32 handles name one kernel object.

#include <cerrno>
#include <memory>

namespace RpcClient {
namespace Platform {

namespace Posix {
struct ProcessState;
struct JobState;
}  // namespace Posix

// One end of a pipe: a close-on-exec descriptor.
struct PipeEnd {
    int fd = -1;
    // Made non-blocking by its owner for good (a stream buffer's own
    // duplicate): writes need not switch it.
    bool nonBlocking = false;
};

struct PipeTraits {
    using Native = PipeEnd;
    static bool IsEmpty(const Native& end) noexcept { return end.fd < 0; }
    static void Close(Native& end) noexcept;
    static Native Duplicate(const Native& end);
};

// Shared state: a duplicate is one more reference, closing drops one, and the
// last one out reaps the child or ends the job.
template <class State>
struct SharedTraits {
    using Native = std::shared_ptr<State>;
    static bool IsEmpty(const Native& state) noexcept { return !state; }
    static void Close(Native& state) noexcept {
        const int error = errno;
        state.reset();
        errno = error;
    }
    static Native Duplicate(const Native& state) { return state; }
};

struct ProcessTraits : SharedTraits<Posix::ProcessState> {};
struct JobTraits : SharedTraits<Posix::JobState> {};

}  // namespace Platform
}  // namespace RpcClient
