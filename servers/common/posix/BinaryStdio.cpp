// SPDX-License-Identifier: Apache-2.0
#include "../FrameLoop.h"

#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <istream>
#include <streambuf>
#include <vector>

namespace ServerKit {

namespace {

// How long a server that has answered keeps looking for the next request
// before it blocks. A host sends its next call within some tens of
// microseconds; blocking at once lets the processor go idle, and on a quiet
// (virtual) machine waking it costs about as much again. Bounded, and the
// processor is given away between looks, so an idle server soon sleeps and
// busy neighbours still run.
constexpr std::chrono::microseconds kSpinWindow{60};

// Standard input straight from descriptor 0, with the short look-again
// before a blocking read.
class RequestInputBuf : public std::streambuf {
public:
    RequestInputBuf() : buffer_(64 * 1024) { setg(buffer_.data(), buffer_.data(), buffer_.data()); }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        const long got = Read(buffer_.data(), buffer_.size());
        if (got <= 0) {
            setg(buffer_.data(), buffer_.data(), buffer_.data());
            return traits_type::eof();
        }
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return traits_type::to_int_type(*gptr());
    }

    // Large bodies go straight into the caller's buffer.
    std::streamsize xsgetn(char_type* s, std::streamsize count) override {
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
                const long got = Read(s + done, static_cast<std::size_t>(left));
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

private:
    static long Read(char* into, std::size_t size) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point until = Clock::now() + kSpinWindow;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (poll(&input, 1, 0) == 0 && Clock::now() < until) {
            sched_yield();
        }
        for (;;) {
            const ssize_t got = read(STDIN_FILENO, into, size);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            return static_cast<long>(got);
        }
    }

    std::vector<char> buffer_;
};

}  // namespace

// POSIX streams never translate line endings.
void UseBinaryStdio() {}

std::istream& RequestInput() {
    static RequestInputBuf buffer;
    static std::istream input(&buffer);
    return input;
}

}  // namespace ServerKit
