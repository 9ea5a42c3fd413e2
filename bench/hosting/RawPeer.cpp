// SPDX-License-Identifier: Apache-2.0
// Reads blocks of IN bytes and answers each with OUT bytes (the first and
// second argument; OUT defaults to IN): the raw pipe ping-pong the
// round-trip benchmarks measure themselves against. No JSON, no framing.
//
// It waits for each block the way the library and its servers wait for the
// other side: a short look-again before blocking, so that the floor does not
// pay the cost of waking an idle processor that the subject avoids. Without
// it the floor swung between about 3 and 60 microseconds from run to run,
// depending on whether the two processes happened to share a processor.

#include "platform/SpinWindow.h"

#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

bool ReadBlock(char* into, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point until = Clock::now() + RpcClient::Platform::kSpinWindow;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (poll(&input, 1, 0) == 0 && Clock::now() < until) {
            sched_yield();
        }
        const ssize_t n = read(STDIN_FILENO, into + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteBlock(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(STDOUT_FILENO, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::size_t in = std::strtoul(argv[1], nullptr, 10);
    const std::size_t out = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : in;
    std::vector<char> request(in);
    std::vector<char> answer(out, ' ');
    while (ReadBlock(request.data(), in) && WriteBlock(answer.data(), out)) {
    }
    return 0;
}
