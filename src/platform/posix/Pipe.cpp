// SPDX-License-Identifier: Apache-2.0
// POSIX backend: anonymous pipes, and reads and writes on them that never
// outlive the server on the other end.
//
// Writes never raise SIGPIPE in the host; a broken pipe is an error value.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <thread>

#include "platform/Platform.h"
#include "platform/SpinWindow.h"
#include "platform/posix/PosixObjects.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {

// At most this many threads of the host look again at once; the others
// block at once. Many threads waiting on their servers would otherwise keep
// every processor busy looking while the servers need them to answer.
int MaxSpinningThreads() {
    static const int limit = [] {
        const unsigned int processors = std::thread::hardware_concurrency();
        return processors > 2 ? static_cast<int>(processors) - 1 : 1;
    }();
    return limit;
}

std::atomic<int> g_spinningThreads{0};

// Polls `fds` without blocking until one is ready, an error occurs or the
// spin window has passed. Returns poll's result of the last look (0: nothing
// ready yet, the caller blocks next).
int PollBriefly(pollfd* fds, nfds_t count) {
    if (g_spinningThreads.fetch_add(1, std::memory_order_relaxed) >= MaxSpinningThreads()) {
        g_spinningThreads.fetch_sub(1, std::memory_order_relaxed);
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + kSpinWindow;
    int ready = 0;
    for (;;) {
        ready = poll(fds, count, 0);
        if (ready != 0 || Clock::now() >= until) {
            break;
        }
        sched_yield();
    }
    g_spinningThreads.fetch_sub(1, std::memory_order_relaxed);
    return ready < 0 && errno == EINTR ? 0 : ready;
}

}  // namespace

}  // namespace Posix

using namespace Posix;

void PipeTraits::Close(PipeEnd& end) noexcept {
    const int error = errno;
    close(end.fd);
    errno = error;
}

PipeEnd PipeTraits::Duplicate(const PipeEnd& end) {
    return PipeEnd{fcntl(end.fd, F_DUPFD_CLOEXEC, 0)};
}

void* PublicHandle(const Pipe& pipe) {
    // Descriptor 0 must not read as "no handle".
    return pipe ? reinterpret_cast<void*>(static_cast<std::intptr_t>(pipe.Get().fd) + 1) : nullptr;
}

int Posix::PollTimeout(const ReadDeadline* deadline) {
    if (deadline == nullptr) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), INT_MAX));
}

bool CreatePipe(Pipe& readEnd, Pipe& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd = Pipe(PipeEnd{fds[0]});
    writeEnd = Pipe(PipeEnd{fds[1]});
    return true;
}

long ReadPipe(const Pipe& readEnd, char* buffer, std::size_t size, const Process* watchedProcess,
              const ReadDeadline* deadline) {
    const PipeEnd* pipe = &readEnd.Get();
    const ProcessState* watched = watchedProcess != nullptr ? watchedProcess->Get().get() : nullptr;
    bool spun = false;
    while (true) {
        if (watched != nullptr || deadline != nullptr) {
            pollfd fds[2] = {{pipe->fd, POLLIN, 0}, {-1, POLLIN, 0}};
            const nfds_t count = watched != nullptr ? 2 : 1;
            if (watched != nullptr) {
                fds[1].fd = watched->pidfd;
            }
            int ready = spun || watched == nullptr ? 0 : PollBriefly(fds, count);
            spun = true;
            if (ready == 0) {
                const int wait = PollTimeout(deadline);
                ready = poll(fds, count, wait);
                if (ready == 0) {
                    if (wait == 0) {
                        return kReadTimedOut;
                    }
                    continue;
                }
            }
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return -1;
            }
            if (fds[0].revents == 0 && fds[1].revents != 0) {
                // The server has ended. Everything it wrote is in the pipe
                // by now; with nothing left there the stream is over, even
                // though our own copy of its write end keeps the pipe open.
                pollfd again{pipe->fd, POLLIN, 0};
                if (poll(&again, 1, 0) <= 0) {
                    return 0;
                }
            }
        }
        const ssize_t got = read(pipe->fd, buffer, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<long>(got);
    }
}

bool WritePipe(const Pipe& writeEnd, const char* data, std::size_t size,
               const Process* watchedProcess, bool* endedBeforeWait) {
    if (endedBeforeWait != nullptr) {
        *endedBeforeWait = false;
    }
    const PipeEnd* pipe = &writeEnd.Get();
    const ProcessState* watched = watchedProcess != nullptr ? watchedProcess->Get().get() : nullptr;
    if (watched == nullptr) {
        return WriteAll(pipe->fd, data, size);
    }
    // We hold the read end of the server's input ourselves, so a full pipe
    // never breaks when the server dies: a blocking write would wait for
    // good. The write therefore goes out non-blocking, as much as the pipe
    // takes at once, and only a full pipe makes it wait, for room or for the
    // server's end. A small call finds room, so it costs one write; waiting
    // for room before every write was one poll more per call. A descriptor
    // made non-blocking here is put back as it was; a stream buffer keeps
    // its own one non-blocking for as long as it lives.
    int flags = -1;
    if (!pipe->nonBlocking) {
        flags = fcntl(pipe->fd, F_GETFL);
        if (flags < 0 ||
            ((flags & O_NONBLOCK) == 0 && fcntl(pipe->fd, F_SETFL, flags | O_NONBLOCK) != 0)) {
            return false;
        }
    }
    const bool written = WriteAll(pipe->fd, data, size, watched->pidfd, endedBeforeWait);
    if (flags >= 0 && (flags & O_NONBLOCK) == 0) {
        const int error = errno;
        fcntl(pipe->fd, F_SETFL, flags);
        errno = error;
    }
    return written;
}

bool PipeBytesUnread(const Pipe& readEnd, std::size_t& count) {
    int unread = 0;
    if (!readEnd || ioctl(readEnd.Get().fd, FIONREAD, &unread) != 0 || unread < 0) {
        return false;
    }
    count = static_cast<std::size_t>(unread);
    return true;
}

namespace Posix {

bool WriteUntilFull(int fd, const char* data, std::size_t size, std::size_t& written) {
    // SIGPIPE is blocked on the calling thread before its first write and
    // stays blocked, so a broken pipe is an error value, never a signal that
    // ends the host. Blocking and restoring it around every write cost two
    // system calls per write. (Threads the host starts from this thread
    // later inherit the block; servers start with an empty mask.) If a write
    // breaks the pipe, the signal it queued is taken back. A SIGPIPE the host
    // had pending and blocked already would merge with ours; that rare loss
    // is cheaper than asking for the pending set on every write.
    static thread_local bool pipeSignalBlocked = false;
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    if (!pipeSignalBlocked) {
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        pipeSignalBlocked = true;
    }
    int error = 0;
    written = 0;
    while (written < size) {
        const ssize_t count = write(fd, data + written, size - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN) {
                error = errno;
            }
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    if (error == EPIPE) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    errno = error;
    return error == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size, int serverPidfd, bool* endedBeforeWait) {
    // The first stall on a server looks without waiting: a server that has
    // ended by then ended before this write, which it took nothing more of.
    bool waited = serverPidfd < 0;
    for (;;) {
        std::size_t written = 0;
        if (!WriteUntilFull(fd, data, size, written)) {
            return false;
        }
        data += written;
        size -= written;
        if (size == 0) {
            return true;
        }
        // The pipe is full: wait for room, or for the server's end.
        pollfd fds[2] = {{fd, POLLOUT, 0}, {serverPidfd, POLLIN, 0}};
        const int ready = poll(fds, serverPidfd >= 0 ? 2 : 1, waited ? -1 : 0);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if ((fds[0].revents & (POLLOUT | POLLERR)) == 0 && fds[1].revents != 0) {
            if (endedBeforeWait != nullptr) {
                *endedBeforeWait = !waited;
            }
            errno = EPIPE;
            return false;
        }
        waited = waited || ready == 0;
    }
}

}  // namespace Posix

}  // namespace Platform
}  // namespace RpcClient
