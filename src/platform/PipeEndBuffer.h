// SPDX-License-Identifier: Apache-2.0
#pragma once

// The stream buffer both backends build over a pipe end: the bytes travel
// through the backend's own ReadPipe and WritePipe, which watch the process
// on the other end, so the hosting code and the streams share one wait loop.
// A backend adds only what its system needs around the handle.

#include <utility>

#include "platform/PipeBufferBase.h"
#include "platform/Platform.h"

namespace RpcClient {
namespace Platform {

class PipeEndBuffer : public PipeBufferBase {
public:
    // `watched` may be empty: the buffer then waits as a plain pipe would.
    PipeEndBuffer(Pipe pipe, PipeDirection direction, Process watched)
        : PipeBufferBase(direction), pipe_(std::move(pipe)), watched_(std::move(watched)) {}

protected:
    Pipe& OwnPipe() { return pipe_; }
    const Process& Watched() const { return watched_; }

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
};

}  // namespace Platform
}  // namespace RpcClient
