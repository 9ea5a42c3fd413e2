// SPDX-License-Identifier: Apache-2.0
#include "wire/Frames.h"

#include "wire/FastJsonReader.h"
#include "wire/FastJsonWriter.h"
#include "wire/HeaderMatcher.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <istream>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <utility>
#include <vector>

namespace RpcClient::Wire {
namespace {

// Bodies up to this size get their whole buffer at once. A larger stated
// length is only believed as far as bytes arrive.
constexpr std::size_t kPreallocatedBodyLimit = std::size_t{2} << 20;

// A text buffer up to this capacity is kept in the pool for the next frame.
// A fresh heap block per frame made the many small allocations of the JSON
// parse that follows measurably slower (about 10% for a 10 KB body).
constexpr std::size_t kRetainedBodyCapacity = std::size_t{64} << 10;

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

void ReleaseLargeText(std::string& text) {
    if (text.capacity() > kRetainedBodyCapacity) {
        std::string().swap(text);
    }
}

void SkipLineBreaks(std::istream& in, LineBreaks lineBreaks) {
    if (lineBreaks == LineBreaks::Await) {
        for (int next = in.peek(); next == '\r' || next == '\n'; next = in.peek()) {
            in.get();
        }
        return;
    }
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

// Reads up to `length` bytes into `text`. Up to the preallocation limit the
// buffer is sized at once; beyond it, it grows by doubling as bytes arrive.
// It ends cut to what was received. Reads at least once, so a stream already
// at its end fails as a read of the body would.
bool ReadBody(std::istream& in, std::size_t length, std::size_t spare, std::string& text) {
    text.clear();
    text.reserve(std::min(length, kPreallocatedBodyLimit) + spare);
    std::size_t received = 0;
    std::size_t target = 0;
    do {
        target = std::min(length, std::max(kPreallocatedBodyLimit, received * 2));
        text.resize(target);
        in.read(&text[0] + received, static_cast<std::streamsize>(target - received));
        received += static_cast<std::size_t>(in.gcount());
    } while (received == target && received < length);
    text.resize(received);
    return received == length;
}

}  // namespace

ScratchLease::ScratchLease() : scratch_(Scratches().Take()) {}

ScratchLease::~ScratchLease() {
    Scratches().Give(std::move(scratch_));
}

FrameRead ReadFrameText(std::istream& in, std::string& text, std::uint64_t maxLength,
                        LineBreaks lineBreaks, std::size_t spare) {
    FrameRead frame;
    SkipLineBreaks(in, lineBreaks);
    bool emptyLine = true;
    const HeaderMatcher header = ReadHeaderLine(in, emptyLine);
    if (emptyLine) {
        frame.status = FrameStatus::End;
        return frame;
    }
    if (!header.Matched()) {
        frame.status = FrameStatus::BadHeader;
        return frame;
    }
    frame.length = header.Length();
    SkipLineBreaks(in, lineBreaks);
    if (frame.length > maxLength) {
        frame.status = FrameStatus::TooLarge;
        return frame;
    }
    const bool complete = ReadBody(in, static_cast<std::size_t>(frame.length), spare, text);
    frame.status = complete ? FrameStatus::Ok : FrameStatus::Short;
    return frame;
}

bool ParseFrameText(FrameScratch& scratch, Json::Value& message, std::string& errors) {
    const std::string& text = scratch.text;
    const bool parsed =
        ParseJson(*scratch.reader, text.data(), text.data() + text.size(), message, errors);
    ReleaseLargeText(scratch.text);
    return parsed;
}

void SendFrameText(std::ostream& out, std::string& frame) {
    frame.push_back('\n');
    const std::size_t bodySize = frame.size() - kFrameHeaderRoom;
    // to_chars, not operator<<: an imbued locale could group digits.
    static const char kName[] = "Content-Length: ";
    constexpr std::size_t kNameLength = sizeof(kName) - 1;
    char digits[24];
    const std::to_chars_result converted = std::to_chars(digits, digits + sizeof(digits), bodySize);
    const auto digitCount = static_cast<std::size_t>(converted.ptr - digits);
    const std::size_t start = kFrameHeaderRoom - (kNameLength + digitCount + 4);
    char* header = &frame[start];
    std::memcpy(header, kName, kNameLength);
    std::memcpy(header + kNameLength, digits, digitCount);
    std::memcpy(header + kNameLength + digitCount, "\r\n\r\n", 4);
    out.write(frame.data() + start, static_cast<std::streamsize>(frame.size() - start));
    out.flush();
}

void WriteFrame(std::ostream& out, const Json::Value& message) {
    // The body is written behind room for the header, the header put in
    // front of it once its length is known, and the frame goes out in one
    // write: one pooled buffer, no copy of the text.
    ScratchLease scratch;
    std::string& frame = scratch->text;
    frame.assign(kFrameHeaderRoom, ' ');
    AppendJson(frame, message);
    SendFrameText(out, frame);
    ReleaseLargeText(frame);
}

}  // namespace RpcClient::Wire
