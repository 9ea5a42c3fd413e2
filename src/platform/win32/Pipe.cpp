// SPDX-License-Identifier: Apache-2.0
// Win32 backend: anonymous pipes.
//
// Pipe ends are created inheritable and stay so: CreateProcessW hands the
// child the ends named in its startup information, and the host keeps its
// own copies of the child's ends open until the server record disposes of
// them. Reads on such a pipe never see end of stream while the host holds the
// child's write end, so a read that must not outlive its server polls the
// pipe and the process instead of blocking in ReadFile.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <algorithm>
#include <chrono>

namespace RpcClient {
namespace Platform {

namespace {

// Smallest command-line buffer handed to CreateProcessW, which may write into
// the buffer; a longer command line gets a buffer of its own length.
constexpr std::size_t kCommandLineCapacity = 1024;

// How long a reader waiting for bytes only yields between looks before it
// starts to sleep between them.
constexpr std::chrono::milliseconds kYieldingLook{2};

// Bytes written to a pipe per WriteFile call.
constexpr DWORD kMaxWriteChunk = 1u << 20;

DWORD ClampToDword(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, 0xFFFFFFFFu));
}

}  // namespace
bool CreatePipe(Pipe& readEnd, Pipe& writeEnd) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!::CreatePipe(&read, &write, &attributes, 0)) {
        return false;
    }
    readEnd = Pipe(read);
    writeEnd = Pipe(write);
    return true;
}
long ReadPipe(const Pipe& readPipe, char* buffer, std::size_t size, const Process* watched,
              const ReadDeadline* deadline) {
    const HANDLE readEnd = readPipe.Get();
    const HANDLE watchedProcess = watched != nullptr ? watched->Get() : nullptr;
    if (size == 0) {
        return 0;
    }
    DWORD wanted = ClampToDword(std::min<std::size_t>(size, 0x7FFFFFFF));
    if (watchedProcess != nullptr || deadline != nullptr) {
        // Anonymous pipes cannot be waited on, so wait on the process (or,
        // with none to watch, just sleep) between looks at the pipe: its end
        // wakes the wait at once, new bytes are seen within the (short,
        // growing) wait step, and no step runs past the deadline.
        const auto lookUntil = std::chrono::steady_clock::now() + kYieldingLook;
        DWORD step = 0;
        for (;;) {
            DWORD available = 0;
            if (!::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) {
                return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
            }
            if (available > 0) {
                wanted = std::min(wanted, available);
                break;
            }
            if (deadline != nullptr) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    *deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) {
                    return kReadTimedOut;
                }
                step =
                    std::min<DWORD>(step, static_cast<DWORD>(std::min<long long>(left.count(), 8)));
            }
            if (watchedProcess == nullptr) {
                ::Sleep(step);
                step = std::min<DWORD>(step == 0 ? 1 : step * 2, 8);
                continue;
            }
            // A server answers a small call within tens of microseconds, far
            // below the timer's resolution (a wait of 1 ms often lasts a
            // whole timer tick, about 15 ms), so the first stretch only
            // yields between looks; the growing timed steps start once the
            // answer is clearly slow.
            if (step == 0 && std::chrono::steady_clock::now() < lookUntil) {
                if (::WaitForSingleObject(watchedProcess, 0) == WAIT_TIMEOUT) {
                    ::SwitchToThread();
                    continue;
                }
            }
            const DWORD waited = ::WaitForSingleObject(watchedProcess, step);
            if (waited == WAIT_OBJECT_0) {
                // Ended: whatever it wrote before is already in the pipe.
                if (!::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) {
                    return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
                }
                if (available == 0) {
                    return 0;
                }
                wanted = std::min(wanted, available);
                break;
            }
            if (waited != WAIT_TIMEOUT) {
                return -1;
            }
            step = std::min<DWORD>(step == 0 ? 1 : step * 2, 8);
        }
    }
    DWORD got = 0;
    if (!::ReadFile(readEnd, buffer, wanted, &got, nullptr)) {
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

bool WritePipe(const Pipe& writePipe, const char* data, std::size_t size,
               const Process* watchedProcess, bool* endedBeforeWait) {
    if (endedBeforeWait != nullptr) {
        *endedBeforeWait = false;
    }
    const HANDLE writeEnd = writePipe.Get();
    bool first = true;
    while (size > 0) {
        // We hold the read end of the server's input ourselves, so a write
        // into a full pipe would wait for good once the server has ended;
        // an ended server fails the write instead, before it can block.
        if (watchedProcess != nullptr && *watchedProcess &&
            ::WaitForSingleObject(watchedProcess->Get(), 0) == WAIT_OBJECT_0) {
            if (endedBeforeWait != nullptr) {
                *endedBeforeWait = first;
            }
            ::SetLastError(ERROR_BROKEN_PIPE);
            return false;
        }
        first = false;
        DWORD written = 0;
        const DWORD chunk = std::min(ClampToDword(size), kMaxWriteChunk);
        if (!::WriteFile(writeEnd, data, chunk, &written, nullptr)) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool PipeBytesUnread(const Pipe& readEnd, std::size_t& count) {
    DWORD available = 0;
    if (!::PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr)) {
        return false;
    }
    count = available;
    return true;
}

}  // namespace Platform
}  // namespace RpcClient
