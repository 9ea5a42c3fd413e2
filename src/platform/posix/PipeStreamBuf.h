// SPDX-License-Identifier: Apache-2.0
#pragma once

// A stream buffer straight over one pipe end of the platform layer, reading
// and writing through the backend's own pipe calls, which read what is there
// and watch the server's process. It owns its handles.

#include "platform/PipeBufferBase.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

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
};

}  // namespace Posix
}  // namespace Platform
}  // namespace RpcClient
