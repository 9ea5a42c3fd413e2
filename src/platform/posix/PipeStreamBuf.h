#pragma once

// A stream buffer straight over one pipe end of the platform layer. It reads
// what the pipe has (never waiting for a full buffer, which a C stream's
// fread would) and writes whole buffers on flush. It owns its handle.

#include <streambuf>
#include <vector>

#include "platform/Platform.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

class PipeStreamBuf : public std::streambuf {
public:
    // Takes ownership of `pipe` and of `watchedProcess` (may be null): a
    // read ends once that process has ended and the pipe is drained.
    PipeStreamBuf(void* pipe, PipeDirection direction, void* watchedProcess);
    ~PipeStreamBuf() override;
    PipeStreamBuf(const PipeStreamBuf&) = delete;
    PipeStreamBuf& operator=(const PipeStreamBuf&) = delete;

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char_type* s, std::streamsize count) override;
    std::streamsize xsputn(const char_type* s, std::streamsize count) override;
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool FlushOut();

    void* pipe_;
    void* watchedProcess_;
    std::vector<char> buffer_;
};

}  // namespace Posix
}  // namespace Platform
}  // namespace RpcClient
