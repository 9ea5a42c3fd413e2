// SPDX-License-Identifier: Apache-2.0
#pragma once

// Frames written and read the plain way, apart from the library and the
// server kit, so that a framing fault there cannot hide behind a matching
// fault in a test or a test server.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace TestFraming {

inline std::string Frame(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One line of `in` without its line end; false at the end of input.
inline bool ReadLine(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') {
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

enum class Read { Body, NotAHeader, End };

// The next frame's body from `in`, after any empty lines. A first line that
// is not a header is consumed and reported; a length over 64 MiB ends the
// input.
inline Read ReadFrame(std::FILE* in, std::string& body) {
    body.clear();
    std::string line;
    do {
        if (!ReadLine(in, line)) {
            return Read::End;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    } while (line.empty());
    const std::string prefix = "Content-Length:";
    if (line.compare(0, prefix.size(), prefix) != 0) {
        return Read::NotAHeader;
    }
    const long length = std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    if (length < 0 || length > (64L << 20) || !ReadLine(in, line)) {  // the empty line
        return Read::End;
    }
    body.assign(static_cast<std::size_t>(length), '\0');
    return std::fread(&body[0], 1, body.size(), in) == body.size() ? Read::Body : Read::End;
}

}  // namespace TestFraming
