// SPDX-License-Identifier: Apache-2.0
// Stream buffers over C runtime streams opened on pipe handles.
//
// The handle becomes a C runtime descriptor in binary mode (no newline
// translation) and the descriptor a C stream; closing the C stream closes the
// descriptor, which closes the handle, so each is released exactly once.
//
// The C stream is unbuffered and this buffer holds the only copy of the bytes
// in transit, for two reasons:
// - Reading: a C stream's fread of N bytes waits on a pipe until all N have
//   arrived, and whatever a buffered stream has pulled in is invisible to
//   PeekNamedPipe. So the reader first asks the pipe how much it holds (waiting
//   on the server's process between looks while it holds nothing, which is
//   also what ends a read once the server is gone) and then takes exactly that
//   much. On an unbuffered stream the runtime hands an even count straight to
//   the descriptor; a lone byte would go through its two-byte refill, which
//   could pull in a byte arriving meanwhile and hide it, so an odd last byte
//   is read from the descriptor itself, where no stream buffer can hold
//   anything back.
// - Writing: output must collect until the caller flushes, and unflushed
//   output must be droppable when the connection goes (a server that no longer
//   reads would block a flush for good); the C runtime has no portable way to
//   drop its buffered output.

#include "platform/PipeBufferBase.h"
#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace RpcClient {
namespace Platform {

namespace {

// How long a reader waiting for bytes only yields between looks before it
// starts to sleep between them.
constexpr std::chrono::milliseconds kYieldingLook{2};

// Longest text the C runtime's error messages get.
constexpr std::size_t kErrorTextCapacity = 256;

std::string ErrnoText(int code) {
    char text[kErrorTextCapacity] = {};
    if (strerror_s(text, kErrorTextCapacity, code) != 0) {
        return std::string();
    }
    return text;
}

class StdioPipeBuf : public PipeBufferBase {
public:
    // Takes ownership of `file` and of `watchedProcess` (may be null).
    // `pipe` is the handle beneath `file`, borrowed for looks at the pipe.
    StdioPipeBuf(std::FILE* file, HANDLE pipe, PipeDirection direction, HANDLE watchedProcess)
        : PipeBufferBase(direction), file_(file), pipe_(pipe), watchedProcess_(watchedProcess) {}

    ~StdioPipeBuf() override {
        // Pending output is dropped (see above); the unbuffered C stream has
        // nothing of its own to write, so closing it cannot block.
        std::fclose(file_);
        if (watchedProcess_ != nullptr) {
            ::CloseHandle(watchedProcess_);
        }
    }

private:
    // Bytes the pipe holds now; waits (watching the process) while it holds
    // none. 0: end of stream (server gone and pipe drained, pipe broken), an
    // error, or the read deadline passed (then noted).
    DWORD WaitForBytes() {
        const auto lookUntil = std::chrono::steady_clock::now() + kYieldingLook;
        const ReadDeadline* deadline = Deadline();
        DWORD step = 0;
        for (;;) {
            DWORD available = 0;
            if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
                return 0;
            }
            if (available > 0) {
                return available;
            }
            if (watchedProcess_ == nullptr && deadline == nullptr) {
                // Nothing to watch: wait in the runtime as a plain pipe would;
                // the single byte it brings is read below without a stream
                // buffer in the way.
                return 1;
            }
            if (deadline != nullptr) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    *deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) {
                    NoteDeadlinePassed();
                    return 0;
                }
                step =
                    std::min<DWORD>(step, static_cast<DWORD>(std::min<long long>(left.count(), 8)));
            }
            if (watchedProcess_ == nullptr) {
                ::Sleep(step);
                step = std::min<DWORD>(step == 0 ? 1 : step * 2, 8);
                continue;
            }
            // Anonymous pipes cannot be waited on, so wait on the process
            // between looks: its end wakes the wait at once, new bytes are
            // seen within the wait step. A server answers a small call within
            // tens of microseconds, far below the timer's resolution (a wait
            // of 1 ms often lasts a whole timer tick, about 15 ms), so the
            // first stretch only yields between looks; the growing timed
            // steps start once the answer is clearly slow.
            if (step == 0 && std::chrono::steady_clock::now() < lookUntil) {
                if (::WaitForSingleObject(watchedProcess_, 0) == WAIT_TIMEOUT) {
                    ::SwitchToThread();
                    continue;
                }
            }
            const DWORD waited = ::WaitForSingleObject(watchedProcess_, step);
            if (waited == WAIT_OBJECT_0) {
                // Ended: whatever it wrote before is already in the pipe.
                if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
                    return 0;
                }
                return available;
            }
            if (waited != WAIT_TIMEOUT) {
                return 0;
            }
            step = std::min<DWORD>(step == 0 ? 1 : step * 2, 8);
        }
    }

protected:
    // Never more than the pipe holds.
    std::size_t ReadSome(char* destination, std::size_t size) override {
        if (size == 0) {
            return 0;
        }
        const std::size_t available = WaitForBytes();
        if (available == 0) {
            return 0;
        }
        // All of it: the framing looks at what is buffered (in_avail) to
        // skip the line breaks between frames.
        const std::size_t wanted = std::min<std::size_t>({size, available, 0x7FFFFFFE});
        const std::size_t even = wanted & ~static_cast<std::size_t>(1);
        std::size_t got = 0;
        if (even > 0) {
            got = std::fread(destination, 1, even, file_);
            if (got < even) {
                return got;
            }
        }
        if (got < wanted && _read(_fileno(file_), destination + got, 1) == 1) {
            ++got;
        }
        return got;
    }

    bool WriteAll(const char* data, std::size_t size) override {
        return std::fwrite(data, 1, size, file_) == size && std::fflush(file_) == 0;
    }

private:
    std::FILE* file_;
    HANDLE pipe_;
    HANDLE watchedProcess_;
};

}  // namespace

std::unique_ptr<std::streambuf> OpenPipeStreamBuffer(void* pipe, PipeDirection direction,
                                                     void* watchedProcess, std::string& error) {
    const bool reading = direction == PipeDirection::Read;
    const int flags = reading ? _O_BINARY : (_O_BINARY | _O_WRONLY);
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(pipe), flags);
    std::FILE* file = nullptr;
    if (descriptor > 0) {
        file = _fdopen(descriptor, reading ? "r" : "w");
    }
    if (file == nullptr) {
        error = ErrnoText(errno);
        if (descriptor < 0) {
            ::CloseHandle(pipe);
        } else {
            // The descriptor owns the handle now: closing it closes the
            // handle, once.
            _close(descriptor);
        }
        if (watchedProcess != nullptr) {
            ::CloseHandle(watchedProcess);
        }
        return nullptr;
    }
    // Failing only for invalid arguments, which these are not.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::make_unique<StdioPipeBuf>(file, static_cast<HANDLE>(pipe), direction,
                                          static_cast<HANDLE>(watchedProcess));
}

}  // namespace Platform
}  // namespace RpcClient
