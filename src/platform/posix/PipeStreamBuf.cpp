#include "platform/posix/PipeStreamBuf.h"

#include <algorithm>
#include <cstring>

namespace RpcClient {
namespace Platform {
namespace Posix {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

PipeStreamBuf::PipeStreamBuf(void* pipe, PipeDirection direction, void* watchedProcess)
    : pipe_(pipe), watchedProcess_(watchedProcess), buffer_(kBufferSize) {
    if (direction == PipeDirection::Read) {
        setg(buffer_.data(), buffer_.data(), buffer_.data());
    } else {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
}

PipeStreamBuf::~PipeStreamBuf() {
    // Unflushed output is dropped: a server that no longer reads could
    // otherwise block the destruction for good.
    CloseHandle(pipe_);
    if (watchedProcess_ != nullptr) {
        CloseHandle(watchedProcess_);
    }
}

PipeStreamBuf::int_type PipeStreamBuf::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    const long got = ReadPipe(pipe_, buffer_.data(), buffer_.size(), watchedProcess_);
    if (got <= 0) {
        setg(buffer_.data(), buffer_.data(), buffer_.data());
        return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
}

std::streamsize PipeStreamBuf::xsgetn(char_type* s, std::streamsize count) {
    // Large bodies go straight from the pipe into the caller's buffer.
    std::streamsize done = 0;
    while (done < count) {
        const std::streamsize buffered = egptr() - gptr();
        if (buffered > 0) {
            const std::streamsize take = std::min(buffered, count - done);
            std::memcpy(s + done, gptr(), static_cast<std::size_t>(take));
            gbump(static_cast<int>(take));
            done += take;
            continue;
        }
        const std::streamsize left = count - done;
        if (left >= static_cast<std::streamsize>(buffer_.size())) {
            const long got =
                ReadPipe(pipe_, s + done, static_cast<std::size_t>(left), watchedProcess_);
            if (got <= 0) {
                break;
            }
            done += got;
        } else if (traits_type::eq_int_type(underflow(), traits_type::eof())) {
            break;
        }
    }
    return done;
}

bool PipeStreamBuf::FlushOut() {
    const std::ptrdiff_t pending = pptr() - pbase();
    if (pending <= 0) {
        return true;
    }
    const bool written =
        WritePipe(pipe_, pbase(), static_cast<std::size_t>(pending), watchedProcess_);
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return written;
}

std::streamsize PipeStreamBuf::xsputn(const char_type* s, std::streamsize count) {
    // A frame that does not fit the buffer goes to the pipe as it is, after
    // what is already buffered, instead of being copied through the buffer.
    if (count < static_cast<std::streamsize>(buffer_.size()) || pbase() == nullptr) {
        return std::streambuf::xsputn(s, count);
    }
    if (!FlushOut() ||
        !Platform::WritePipe(pipe_, s, static_cast<std::size_t>(count), watchedProcess_)) {
        return 0;
    }
    return count;
}

PipeStreamBuf::int_type PipeStreamBuf::overflow(int_type c) {
    if (!FlushOut()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int PipeStreamBuf::sync() {
    if (pbase() == nullptr) {
        return 0;
    }
    return FlushOut() ? 0 : -1;
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
