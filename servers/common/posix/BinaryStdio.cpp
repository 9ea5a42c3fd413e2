// SPDX-License-Identifier: Apache-2.0
#include "../BinaryStdio.h"
#include "../FrameLoop.h"

#include <platform/SpinWindow.h>

#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace ServerKit {

// POSIX streams never translate line endings.
void UseBinaryStdio() {}

// glibc returns a freed block above its mapping threshold, and the top of
// the heap beyond its trim threshold, to the system. Raised to what a
// server's frames come to, a large frame's buffers are reused instead.
void KeepFreedMemory() {
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

// A server that has answered looks again for the next request for the spin
// window before it blocks in read.
std::size_t ReadStandardInput(char* into, std::size_t size) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + RpcClient::Platform::kSpinWindow;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (poll(&input, 1, 0) == 0 && Clock::now() < until) {
        sched_yield();
    }
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, into, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

}  // namespace ServerKit
