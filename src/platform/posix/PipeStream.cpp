// SPDX-License-Identifier: Apache-2.0
// POSIX backend: a stream buffer straight over one pipe end, reading and
// writing through the backend's own pipe calls, which read what is there and
// watch the server's process. It owns its handles.

#include <fcntl.h>

#include "platform/PipeBufferBase.h"
#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {

class PipeStreamBuf : public PipeBufferBase {
public:
    // Takes ownership of `pipe` and of `watchedProcess` (may be null): a
    // read ends once that process has ended and the pipe is drained.
    PipeStreamBuf(void* pipe, PipeDirection direction, void* watchedProcess);
    ~PipeStreamBuf() override;

protected:
    std::size_t ReadSome(char* into, std::size_t size) override;
    bool WriteAll(const char* data, std::size_t size) override;

private:
    void* pipe_;
    void* watchedProcess_;
    int restoreFlags_ = -1;
};

}  // namespace

PipeStreamBuf::PipeStreamBuf(void* pipe, PipeDirection direction, void* watchedProcess)
    : PipeBufferBase(direction), pipe_(pipe), watchedProcess_(watchedProcess) {
    // Writes to a watched server go out non-blocking; switching once here
    // saves switching around every write.
    PipeEnd* end = AsPipe(pipe_);
    if (direction == PipeDirection::Write && watchedProcess_ != nullptr && end != nullptr) {
        const int flags = fcntl(end->fd, F_GETFL);
        if (flags >= 0 && fcntl(end->fd, F_SETFL, flags | O_NONBLOCK) == 0) {
            end->nonBlocking = true;
            restoreFlags_ = flags;
        }
    }
}

PipeStreamBuf::~PipeStreamBuf() {
    // The pipe's other duplicates share the switch; put it back.
    if (restoreFlags_ >= 0) {
        fcntl(AsPipe(pipe_)->fd, F_SETFL, restoreFlags_);
    }
    CloseHandle(pipe_);
    if (watchedProcess_ != nullptr) {
        CloseHandle(watchedProcess_);
    }
}

std::size_t PipeStreamBuf::ReadSome(char* into, std::size_t size) {
    const long got = ReadPipe(pipe_, into, size, watchedProcess_, Deadline());
    if (got == kReadTimedOut) {
        NoteDeadlinePassed();
    }
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool PipeStreamBuf::WriteAll(const char* data, std::size_t size) {
    return WritePipe(pipe_, data, size, watchedProcess_);
}

}  // namespace Posix

// Straight over the pipe: the backend's own pipe calls already read what is
// there and watch the process, so nothing can fail here.
std::unique_ptr<std::streambuf> OpenPipeStreamBuffer(void* pipe, PipeDirection direction,
                                                     void* watchedProcess, std::string& /*error*/) {
    return std::make_unique<Posix::PipeStreamBuf>(pipe, direction, watchedProcess);
}

}  // namespace Platform
}  // namespace RpcClient
