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

// The next frame's body from `in`, after any empty lines; false at the end of
// input, after a first line that is not a header, or at a length over 64 MiB.
inline bool ReadFrame(std::FILE* in, std::string& body) {
    body.clear();
    std::string line;
    do {
        if (!ReadLine(in, line)) {
            return false;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    } while (line.empty());
    const std::string prefix = "Content-Length:";
    if (line.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const long length = std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    if (length < 0 || length > (64L << 20) || !ReadLine(in, line)) {  // the empty line
        return false;
    }
    body.assign(static_cast<std::size_t>(length), '\0');
    return std::fread(&body[0], 1, body.size(), in) == body.size();
}

}  // namespace TestFraming
