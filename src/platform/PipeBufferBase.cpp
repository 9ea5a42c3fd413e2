// SPDX-License-Identifier: Apache-2.0
#include "platform/PipeBufferBase.h"

#include <algorithm>
#include <cstring>

namespace RpcClient {
namespace Platform {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

PipeBufferBase::PipeBufferBase(PipeDirection direction) : buffer_(kBufferSize) {
    if (direction == PipeDirection::Read) {
        setg(buffer_.data(), buffer_.data(), buffer_.data());
    } else {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
}

void PipeBufferBase::SetDeadline(const ReadDeadline* deadline) {
    limited_ = deadline != nullptr;
    deadline_ = limited_ ? *deadline : ReadDeadline{};
    deadlinePassed_ = false;
}

void SetReadDeadline(std::streambuf& buffer, const ReadDeadline* deadline) {
    if (auto* pipe = dynamic_cast<PipeBufferBase*>(&buffer)) {
        pipe->SetDeadline(deadline);
    }
}

bool ReadDeadlinePassed(const std::streambuf& buffer) {
    const auto* pipe = dynamic_cast<const PipeBufferBase*>(&buffer);
    return pipe != nullptr && pipe->DeadlinePassed();
}

bool WriteFoundProcessEnded(const std::streambuf& buffer) {
    const auto* pipe = dynamic_cast<const PipeBufferBase*>(&buffer);
    return pipe != nullptr && pipe->WriteFoundEnded();
}

PipeBufferBase::int_type PipeBufferBase::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    const std::size_t got = ReadSome(buffer_.data(), buffer_.size());
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize PipeBufferBase::xsgetn(char_type* s, std::streamsize count) {
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
            const std::size_t got = ReadSome(s + done, static_cast<std::size_t>(left));
            if (got == 0) {
                break;
            }
            done += static_cast<std::streamsize>(got);
        } else if (traits_type::eq_int_type(underflow(), traits_type::eof())) {
            break;
        }
    }
    return done;
}

bool PipeBufferBase::FlushOut() {
    const std::ptrdiff_t pending = pptr() - pbase();
    bool written = true;
    if (pending > 0) {
        written = WriteAll(pbase(), static_cast<std::size_t>(pending));
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return written;
}

std::streamsize PipeBufferBase::xsputn(const char_type* s, std::streamsize count) {
    if (count < static_cast<std::streamsize>(buffer_.size()) || pbase() == nullptr) {
        return std::streambuf::xsputn(s, count);
    }
    if (!FlushOut() || !WriteAll(s, static_cast<std::size_t>(count))) {
        return 0;
    }
    return count;
}

PipeBufferBase::int_type PipeBufferBase::overflow(int_type c) {
    if (!FlushOut()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int PipeBufferBase::sync() {
    if (pbase() == nullptr) {
        return 0;
    }
    return FlushOut() ? 0 : -1;
}

}  // namespace Platform
}  // namespace RpcClient
