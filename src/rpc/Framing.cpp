// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>

#include "rpc/FastJsonReader.h"
#include "rpc/FastJsonWriter.h"
#include "rpc/HeaderMatcher.h"

#include <json/reader.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <utility>
#include <vector>

namespace RpcClient {
namespace {

// Bodies up to this size get their whole buffer at once. A larger stated
// length is only believed as far as bytes arrive, so a broken or hostile
// header ("Content-Length: 2000000000" and nothing after it) cannot make the
// host commit gigabytes.
constexpr std::size_t kPreallocatedBodyLimit = std::size_t{2} << 20;

// What writing or reading one frame needs besides the stream: JsonCpp's
// reader, which holds per-document state, and a text buffer kept for the
// next frame. Building the reader from its settings took more instructions
// and allocations than parsing a small message, so finished sets go back to
// a pool. A pool rather than one set per thread: a thread-local object with
// a destructor inside a DLL can outlive the C runtime's per-thread storage
// with MinGW, and threads crashed on their way out.
struct FrameScratch {
    std::unique_ptr<Json::CharReader> reader;
    std::string text;
};

class ScratchPool {
public:
    std::unique_ptr<FrameScratch> Take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!idle_.empty()) {
                std::unique_ptr<FrameScratch> scratch = std::move(idle_.back());
                idle_.pop_back();
                return scratch;
            }
        }
        auto scratch = std::make_unique<FrameScratch>();
        scratch->reader.reset(Json::CharReaderBuilder().newCharReader());
        return scratch;
    }

    // Sets beyond the few kept idle (as many as threads were framing at
    // once, up to a bound) are freed.
    void Give(std::unique_ptr<FrameScratch> scratch) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (idle_.size() < kMaxIdle) {
            idle_.push_back(std::move(scratch));
        }
    }

private:
    static constexpr std::size_t kMaxIdle = 16;
    std::mutex mutex_;
    std::vector<std::unique_ptr<FrameScratch>> idle_;
};

ScratchPool& Scratches() {
    static ScratchPool pool;
    return pool;
}

// One set, held for the length of one frame.
class ScratchLease {
public:
    ScratchLease() : scratch_(Scratches().Take()) {}
    ~ScratchLease() { Scratches().Give(std::move(scratch_)); }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;
    FrameScratch* operator->() const { return scratch_.get(); }

private:
    std::unique_ptr<FrameScratch> scratch_;
};

// Room left in front of the body for the longest header:
// "Content-Length: " + 20 digits + "\r\n\r\n".
constexpr std::size_t kHeaderRoom = 16 + 20 + 4;

// Drops CR and LF bytes that are already buffered. Never waits for input:
// on a pipe, waiting here would block on a server that has finished writing.
void SkipBufferedLineBreaks(std::istream& in) {
    std::streambuf* buffer = in.rdbuf();
    while (buffer->in_avail() > 0) {
        const int next = buffer->sgetc();
        if (next != '\r' && next != '\n') {
            break;
        }
        buffer->sbumpc();
    }
}

// Reads one line up to its LF (consumed, dropped) the way std::getline would
// set the stream's state, and matches it on the way without keeping it.
// `empty` tells whether no character came before the LF or the end.
HeaderMatcher ReadHeaderLine(std::istream& in, bool& empty) {
    HeaderMatcher matcher;
    empty = true;
    const std::istream::sentry ready(in, true);
    if (!ready) {
        return matcher;
    }
    std::streambuf* buffer = in.rdbuf();
    bool extracted = false;
    for (;;) {
        const int next = buffer->sbumpc();
        if (next == std::char_traits<char>::eof()) {
            in.setstate(extracted ? std::ios_base::eofbit
                                  : std::ios_base::eofbit | std::ios_base::failbit);
            return matcher;
        }
        extracted = true;
        if (next == '\n') {
            return matcher;
        }
        empty = false;
        matcher.Feed(static_cast<char>(next));
    }
}

// A text buffer up to this capacity is kept in the pool for the next frame.
// A fresh heap block per frame made the many small allocations of the JSON
// parse that follows measurably slower (about 10% for a 10 KB body).
constexpr std::size_t kRetainedBodyCapacity = std::size_t{64} << 10;

// Reads up to `length` bytes into `body`. A short read (end of stream)
// leaves the rest of a preallocated buffer zero. Above the preallocation
// limit the buffer grows by doubling as bytes arrive and is cut to what was
// received: JsonCpp treats a NUL byte like the end of input, so parsing the
// received bytes gives the same result and error text as parsing them
// zero-padded to `length`.
void ReadBody(std::istream& in, std::size_t length, std::string& body) {
    if (length <= kPreallocatedBodyLimit) {
        body.assign(length, '\0');
        in.read(&body[0], static_cast<std::streamsize>(length));
        return;
    }
    body.clear();
    std::size_t received = 0;
    while (received < length) {
        const std::size_t target = std::min(length, std::max(kPreallocatedBodyLimit, received * 2));
        body.resize(target);
        in.read(&body[received], static_cast<std::streamsize>(target - received));
        received += static_cast<std::size_t>(in.gcount());
        if (received < target) {
            break;
        }
    }
    body.resize(received);
}

}  // namespace

void WriteFrame(std::ostream& out, const Json::Value& body) {
    // The body is written behind room for the header, the header put in
    // front of it once its length is known, and the frame goes out in one
    // write: one pooled buffer, no copy of the text.
    ScratchLease scratch;
    std::string& frame = scratch->text;
    frame.assign(kHeaderRoom, ' ');
    AppendJson(frame, body);
    frame.push_back('\n');
    const std::size_t bodySize = frame.size() - kHeaderRoom;
    // to_chars, not operator<<: an imbued locale could group digits.
    static const char kName[] = "Content-Length: ";
    constexpr std::size_t kNameLength = sizeof(kName) - 1;
    char digits[24];
    const std::to_chars_result converted = std::to_chars(digits, digits + sizeof(digits), bodySize);
    const auto digitCount = static_cast<std::size_t>(converted.ptr - digits);
    const std::size_t start = kHeaderRoom - (kNameLength + digitCount + 4);
    char* header = &frame[start];
    std::memcpy(header, kName, kNameLength);
    std::memcpy(header + kNameLength, digits, digitCount);
    std::memcpy(header + kNameLength + digitCount, "\r\n\r\n", 4);
    out.write(frame.data() + start, static_cast<std::streamsize>(frame.size() - start));
    if (frame.capacity() > kRetainedBodyCapacity) {
        std::string().swap(frame);
    }
    out.flush();
}

namespace {

// The stated length as an int. A number beyond the int range is reported
// with std::stoi's exception, in one text on every standard library.
int StatedLength(const HeaderMatcher& matcher) {
    if (matcher.Length() > static_cast<std::uint64_t>(INT_MAX)) {
        throw std::out_of_range("stoi argument out of range");
    }
    return static_cast<int>(matcher.Length());
}

}  // namespace

bool ParseContentLength(const std::string& line, int& length) {
    const HeaderMatcher matcher = MatchHeaderLine(line);
    if (!matcher.Matched()) {
        return false;
    }
    length = StatedLength(matcher);
    return true;
}

Json::Value ReadFrame(std::istream& in, std::string& error) {
    error.clear();
    SkipBufferedLineBreaks(in);

    bool emptyLine = true;
    const HeaderMatcher header = ReadHeaderLine(in, emptyLine);
    if (emptyLine) {
        error = "RPC server has shutdown";
        return {};
    }
    if (!header.Matched()) {
        error = "Invalid header";
        return {};
    }
    const int length = StatedLength(header);

    SkipBufferedLineBreaks(in);
    ScratchLease scratch;
    std::string& body = scratch->text;
    ReadBody(in, static_cast<std::size_t>(length), body);

    Json::Value root;
    std::string parseErrors;
    const bool parsed =
        ParseJson(*scratch->reader, body.data(), body.data() + body.size(), root, parseErrors);
    if (body.capacity() > kRetainedBodyCapacity) {
        std::string().swap(body);
    }
    if (!parsed) {
        error = std::move(parseErrors);
        return {};
    }
    return root;
}

std::vector<JsonResponse> ReadResponses(std::istream& in, std::string& error) {
    error.clear();
    std::vector<JsonResponse> responses;
    if (in.fail()) {
        error = "RPC Server falied.";
        return responses;
    }
    try {
        Json::Value value = ReadFrame(in, error);
        if (value.isNull() || !error.empty()) {
            return responses;
        }
        if (value.isArray()) {
            responses.reserve(value.size());
            for (Json::Value& element : value) {
                responses.emplace_back(std::move(element));
            }
        } else {
            responses.emplace_back(std::move(value));
        }
    } catch (const std::exception& e) {
        error = e.what();
        responses.clear();
    }
    return responses;
}

}  // namespace RpcClient
