// SPDX-License-Identifier: Apache-2.0
// POSIX backend: a stream buffer straight over one pipe end, reading and
// writing through the backend's own pipe calls, which read what is there and
// watch the server's process. It owns its handles.

#include <fcntl.h>

#include <utility>

#include "platform/PipeBufferBase.h"
#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {

class PipeStreamBuf : public PipeBufferBase {
public:
    // A read ends once `watchedProcess` (may be empty) has ended and the
    // pipe is drained.
    PipeStreamBuf(Pipe pipe, PipeDirection direction, Process watchedProcess)
        : PipeBufferBase(direction), pipe_(std::move(pipe)), watched_(std::move(watchedProcess)) {
        // Writes to a watched server go out non-blocking; switching once
        // here saves switching around every write.
        PipeEnd& end = pipe_.Get();
        if (direction == PipeDirection::Write && watched_) {
            const int flags = fcntl(end.fd, F_GETFL);
            if (flags >= 0 && fcntl(end.fd, F_SETFL, flags | O_NONBLOCK) == 0) {
                end.nonBlocking = true;
                restoreFlags_ = flags;
            }
        }
    }

    ~PipeStreamBuf() override {
        // The pipe's other duplicates share the switch; put it back.
        if (restoreFlags_ >= 0) {
            fcntl(pipe_.Get().fd, F_SETFL, restoreFlags_);
        }
    }

protected:
    std::size_t ReadSome(char* into, std::size_t size) override {
        const long got = ReadPipe(pipe_, into, size, &watched_, Deadline());
        if (got == kReadTimedOut) {
            NoteDeadlinePassed();
        }
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

    bool WriteAll(const char* data, std::size_t size) override {
        return WritePipe(pipe_, data, size, &watched_, &writeFoundEnded_);
    }

private:
    Pipe pipe_;
    Process watched_;
    int restoreFlags_ = -1;
};

}  // namespace
}  // namespace Posix

// Straight over the pipe: the backend's own pipe calls already read what is
// there and watch the process, so nothing can fail here.
std::unique_ptr<std::streambuf> OpenPipeStreamBuffer(Pipe pipe, PipeDirection direction,
                                                     Process watchedProcess,
                                                     std::string& /*error*/) {
    return std::make_unique<Posix::PipeStreamBuf>(std::move(pipe), direction,
                                                  std::move(watchedProcess));
}

}  // namespace Platform
}  // namespace RpcClient
