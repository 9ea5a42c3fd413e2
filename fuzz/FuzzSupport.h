// SPDX-License-Identifier: Apache-2.0
#pragma once

// Helpers shared by the fuzz targets.

#include <json/value.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <streambuf>
#include <string>

namespace fuzzsupport {

[[noreturn]] inline void Fail(const char* what) {
    std::fputs(what, stderr);
    std::fputc('\n', stderr);
    std::abort();
}

// Serves a byte string in fixed-size chunks, the way a pipe delivers what a
// server wrote in several writes: the next chunk is not "already buffered"
// (in_avail() is 0) until the reader asks for more. Chunk size 0 serves
// everything at once.
class ChunkedStreamBuf : public std::streambuf {
public:
    ChunkedStreamBuf(std::string bytes, std::size_t chunk)
        : bytes_(std::move(bytes)), chunk_(chunk == 0 ? bytes_.size() : chunk) {}

protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        if (next_ >= bytes_.size()) {
            return traits_type::eof();
        }
        const std::size_t count = std::min(chunk_, bytes_.size() - next_);
        char* begin = &bytes_[next_];
        next_ += count;
        setg(begin, begin, begin + count);
        return traits_type::to_int_type(*gptr());
    }

private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t next_ = 0;
};

// Whether two trees are the same down to what a host could observe: type,
// integer kind, the bits of each double, member order, offsets, comments.
inline bool SameTree(const Json::Value& a, const Json::Value& b) {
    if (a.type() != b.type() || a.getOffsetStart() != b.getOffsetStart() ||
        a.getOffsetLimit() != b.getOffsetLimit()) {
        return false;
    }
    for (const auto placement :
         {Json::commentBefore, Json::commentAfterOnSameLine, Json::commentAfter}) {
        if (a.getComment(placement) != b.getComment(placement)) {
            return false;
        }
    }
    if (a.isDouble()) {
        const double x = a.asDouble();
        const double y = b.asDouble();
        return std::memcmp(&x, &y, sizeof(x)) == 0;
    }
    if (!a.isArray() && !a.isObject()) {
        return a == b;
    }
    if (a.size() != b.size() || (a.isObject() && a.getMemberNames() != b.getMemberNames())) {
        return false;
    }
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
        if (!SameTree(*x, *y)) {
            return false;
        }
    }
    return true;
}

}  // namespace fuzzsupport
