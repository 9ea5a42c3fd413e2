// SPDX-License-Identifier: Apache-2.0
// Stream buffers over C runtime streams opened on pipe handles.
//
// The handle becomes a C runtime descriptor in binary mode (no newline
// translation) and the descriptor a C stream; closing the C stream closes the
// descriptor, which closes the handle, so each is released exactly once.
//
// The C stream owns the handle and nothing else: it is unbuffered, and the
// bytes travel through ReadPipe and WritePipe on the handle beneath it, the
// calls the rest of the library uses, so there is one wait loop for pipes.
// - Reading: a C stream's fread of N bytes waits on a pipe until all N have
//   arrived, and whatever a buffered stream has pulled in is invisible to
//   PeekNamedPipe; ReadPipe takes exactly what the pipe holds, and ends once
//   the server is gone.
// - Writing: output must collect until the caller flushes, and unflushed
//   output must be droppable when the connection goes (a server that no longer
//   reads would block a flush for good); the C runtime has no portable way to
//   drop its buffered output, so this buffer holds it.

#include "platform/PipeEndBuffer.h"
#include "platform/Platform.h"
#include "platform/win32/Win32.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace RpcClient {
namespace Platform {

namespace {

// Longest text the C runtime's error messages get.
constexpr std::size_t kErrorTextCapacity = 256;

std::string ErrnoText(int code) {
    char text[kErrorTextCapacity] = {};
    if (strerror_s(text, kErrorTextCapacity, code) != 0) {
        return std::string();
    }
    return text;
}

class StdioPipeBuf : public PipeEndBuffer {
public:
    // Takes ownership of `file`; `watchedProcess` may be empty.
    // `pipe` is the handle beneath `file`, which closes it: the bytes travel
    // through the backend's own pipe calls, never through the C stream.
    StdioPipeBuf(std::FILE* file, Pipe pipe, PipeDirection direction, Process watchedProcess)
        : PipeEndBuffer(std::move(pipe), direction, std::move(watchedProcess)), file_(file) {}

    ~StdioPipeBuf() override {
        // Pending output is dropped (see above); the unbuffered C stream has
        // nothing of its own to write, so closing it cannot block. Closing it
        // closes the handle, once.
        OwnPipe().Release();
        std::fclose(file_);
    }

private:
    std::FILE* file_;
};

}  // namespace

std::unique_ptr<std::streambuf> OpenPipeStreamBuffer(Pipe pipe, PipeDirection direction,
                                                     Process watchedProcess, std::string& error) {
    const bool reading = direction == PipeDirection::Read;
    const int flags = reading ? _O_BINARY : (_O_BINARY | _O_WRONLY);
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(pipe.Get()), flags);
    std::FILE* file = nullptr;
    if (descriptor > 0) {
        // The descriptor owns the handle now: closing it closes the handle,
        // once.
        file = _fdopen(descriptor, reading ? "r" : "w");
    }
    if (file == nullptr) {
        error = ErrnoText(errno);
        if (descriptor >= 0) {
            pipe.Release();
            _close(descriptor);
        }
        return nullptr;
    }
    // Failing only for invalid arguments, which these are not.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::make_unique<StdioPipeBuf>(file, std::move(pipe), direction,
                                          std::move(watchedProcess));
}

}  // namespace Platform
}  // namespace RpcClient
