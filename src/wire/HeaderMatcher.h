// SPDX-License-Identifier: Apache-2.0
#pragma once

// The frame header shape
//     Content-Length:\s*(\d+)[\r\n]*
// matched against a whole line, one character at a time. A reader feeds the
// line as it reads it and never holds it: a header with thousands of blanks
// before its digits is as valid as a short one, and a hostile line without
// end costs time but no memory. \s is the classic white-space set; the digit
// and line-break classes are ASCII. The engine of std::regex took about 2% of
// a small call's instructions and recursed once per character on long lines.

#include <cstddef>
#include <cstdint>
#include <string>

namespace RpcClient {

class HeaderMatcher {
public:
    // Takes the next character of the line (the line's LF is not fed).
    void Feed(char c);

    // True when the characters fed so far match the shape as a whole.
    bool Matched() const { return state_ == State::Digits || state_ == State::Tail; }

    // The stated number: exact for up to 18 significant digits, kSaturated
    // for more, so any run of leading zeros or digits reads without overflow.
    std::uint64_t Length() const { return length_; }

    static constexpr std::uint64_t kSaturated = std::uint64_t{1} << 62;

private:
    enum class State { Name, Space, Digits, Tail, Failed };

    State state_ = State::Name;
    std::size_t nameMatched_ = 0;
    std::uint64_t length_ = 0;
};

// Matches a whole line.
HeaderMatcher MatchHeaderLine(const std::string& line);

}  // namespace RpcClient
