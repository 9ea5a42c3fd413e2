// SPDX-License-Identifier: Apache-2.0
// POSIX backend: a stream buffer straight over one pipe end, reading and
// writing through the backend's own pipe calls, which read what is there and
// watch the server's process. It owns its handles.

#include <fcntl.h>

#include <utility>

#include "platform/PipeEndBuffer.h"
#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {

class PipeStreamBuf : public PipeEndBuffer {
public:
    // A read ends once `watchedProcess` (may be empty) has ended and the
    // pipe is drained.
    PipeStreamBuf(Pipe pipe, PipeDirection direction, Process watchedProcess)
        : PipeEndBuffer(std::move(pipe), direction, std::move(watchedProcess)) {
        // Writes to a watched server go out non-blocking; switching once
        // here saves switching around every write.
        PipeEnd& end = OwnPipe().Get();
        if (direction == PipeDirection::Write && Watched()) {
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
            fcntl(OwnPipe().Get().fd, F_SETFL, restoreFlags_);
        }
    }

private:
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
