// SPDX-License-Identifier: Apache-2.0
// Header-line matcher against a hand-written reading of the same grammar:
//   "Content-Length:" blanks* digits+ (CR|LF)*
// where blanks are the C locale's white space. Any disagreement, and any
// exception other than the documented out-of-range one, aborts.

#include "FuzzSupport.h"

#include <JsonRpcClient/rpc/Framing.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

using fuzzsupport::Fail;

namespace {

enum class Expected { NoMatch, Length, OutOfRange };

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The digits run must be the last run of digits, preceded only by blanks
// and followed only by line-break bytes. Blanks and line breaks overlap
// (CR, LF), which the reference handles by scanning from both ends.
Expected Reference(const std::string& line, long long& value) {
    static const std::string prefix = "Content-Length:";
    if (line.compare(0, prefix.size(), prefix) != 0) {
        return Expected::NoMatch;
    }
    std::size_t end = line.size();
    while (end > prefix.size() && (line[end - 1] == '\r' || line[end - 1] == '\n')) {
        --end;
    }
    std::size_t begin = end;
    while (begin > prefix.size() && IsDigit(line[begin - 1])) {
        --begin;
    }
    if (begin == end) {
        return Expected::NoMatch;
    }
    for (std::size_t i = prefix.size(); i < begin; ++i) {
        if (!IsBlank(line[i])) {
            return Expected::NoMatch;
        }
    }
    value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        value = value * 10 + (line[i] - '0');
        if (value > INT_MAX) {
            return Expected::OutOfRange;
        }
    }
    return Expected::Length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    long long expectedValue = 0;
    const Expected expected = Reference(line, expectedValue);

    int length = -1;
    bool matched = false;
    try {
        matched = RpcClient::ParseContentLength(line, length);
    } catch (const std::out_of_range& e) {
        if (expected != Expected::OutOfRange) {
            Fail("out_of_range for a line the reference accepts or rejects");
        }
        if (std::strcmp(e.what(), "stoi argument out of range") != 0) {
            Fail("out_of_range with an unexpected text");
        }
        return 0;
    }
    switch (expected) {
        case Expected::NoMatch:
            if (matched) {
                Fail("matched a line the reference rejects");
            }
            break;
        case Expected::Length:
            if (!matched || length != expectedValue) {
                Fail("missed or misread a line the reference accepts");
            }
            break;
        case Expected::OutOfRange:
            Fail("no out_of_range for a length beyond int");
    }
    return 0;
}
