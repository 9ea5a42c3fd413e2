// SPDX-License-Identifier: Apache-2.0
#pragma once

// Content-Length frames on a byte stream, for both ends of the pipe: the
// library reading a server's answers and the bundled servers reading their
// requests. Each end keeps its own words for what went wrong; the reading
// itself, and how far a stated length is believed, is the same on both.

#include <json/reader.h>
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

namespace RpcClient::Wire {

// What reading one frame's text came to.
enum class FrameStatus {
    Ok,         // the whole body arrived
    End,        // no header: the input ended, or the line before the body was empty
    BadHeader,  // a line that is not a Content-Length header (it was consumed)
    TooLarge,   // the stated length is above the reader's limit; the body is still unread
    Short,      // the input ended inside the body; the text holds what arrived
};

// How the line breaks around a header are passed over. The host looks only at
// what is already buffered: waiting there would block on a server that has
// finished writing. A server waits for them as for any other input.
enum class LineBreaks { Buffered, Await };

struct FrameRead {
    FrameStatus status = FrameStatus::End;
    std::uint64_t length = 0;  // as stated by the header (saturated, see HeaderMatcher)
};

// What writing or reading one frame needs besides the stream: JsonCpp's
// reader, which holds per-document state and takes whatever the direct
// reader declines, and a text buffer kept for the next frame. Building the
// reader from its settings took more instructions and allocations than
// parsing a small message, so finished sets go back to a pool. A pool rather
// than one set per thread: a thread-local object with a destructor inside a
// DLL can outlive the C runtime's per-thread storage with MinGW, and threads
// crashed on their way out.
struct FrameScratch {
    std::unique_ptr<Json::CharReader> reader;
    std::string text;
};

// One set from the pool, held for the length of one frame.
class ScratchLease {
public:
    ScratchLease();
    ~ScratchLease();
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;
    FrameScratch* operator->() const { return scratch_.get(); }
    FrameScratch& operator*() const { return *scratch_; }

private:
    std::unique_ptr<FrameScratch> scratch_;
};

// Reads one frame's header and then its body into `text`, which is replaced.
// A stated length above `maxLength` is not read (TooLarge). A stated length is
// only believed as far as bytes arrive: a broken or hostile header
// ("Content-Length: 2000000000" and nothing after it) cannot make the reader
// commit more than a few MiB. The stream's state is set as by the standard
// extractions (eofbit, failbit at a short read). `spare` bytes of capacity
// are kept beyond a body up to the preallocation limit, for a caller that
// appends to it.
FrameRead ReadFrameText(std::istream& in, std::string& text, std::uint64_t maxLength,
                        LineBreaks lineBreaks, std::size_t spare = 0);

// Parses the frame text held in `scratch` into `message`; false with the
// parser's messages in `errors`. Text a NUL byte cuts short parses as if it
// ended there.
bool ParseFrameText(FrameScratch& scratch, Json::Value& message, std::string& errors);

// Room to leave in front of a body that SendFrameText is to send:
// "Content-Length: " + 20 digits + "\r\n\r\n".
constexpr std::size_t kFrameHeaderRoom = 16 + 20 + 4;

// Sends `frame`, a body written behind kFrameHeaderRoom bytes of room, as one
// frame: a trailing LF is added, the header put in front of the body in that
// room, and the whole goes out in one write, then a flush. No copy of the
// text is made.
void SendFrameText(std::ostream& out, std::string& frame);

// Writes `message` as one frame of its compact JSON text with a trailing LF,
// in one write, and flushes.
void WriteFrame(std::ostream& out, const Json::Value& message);

}  // namespace RpcClient::Wire
