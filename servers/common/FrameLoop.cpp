// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"

#include "RpcDispatcher.h"

#include <JsonRpcClient/rpc/Framing.h>
#include <json/reader.h>
#include <rpc/HeaderMatcher.h>

#include <rpc/FastJsonWriter.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

namespace ServerKit {

namespace {

void SkipLineBreaks(std::istream& in) {
    for (;;) {
        const auto next = in.peek();
        if (next != '\r' && next != '\n') {
            return;
        }
        in.get();
    }
}

// Reads up to the next LF (dropped) and matches the line on the way without
// keeping it: a header may have any number of blanks before its digits, and
// garbage without line breaks costs time but no memory.
bool ReadHeaderLine(std::istream& in, RpcClient::HeaderMatcher& header) {
    bool any = false;
    char c = 0;
    while (in.get(c)) {
        any = true;
        if (c == '\n') {
            return true;
        }
        header.Feed(c);
    }
    return any;
}

// Drops `count` bytes; false when the input ends first.
bool SkipBytes(std::istream& in, std::uint64_t count) {
    constexpr std::uint64_t kChunk = std::uint64_t{1} << 30;
    while (count > 0) {
        const std::uint64_t chunk = std::min(count, kChunk);
        in.ignore(static_cast<std::streamsize>(chunk));
        if (static_cast<std::uint64_t>(in.gcount()) != chunk) {
            return false;
        }
        count -= chunk;
    }
    return true;
}

}  // namespace

namespace {

// Reads one frame's body into `body`, whose storage keeps the spare bytes
// behind the text that RpcDispatcher::HandleText needs. On anything but Ok,
// `error` says what was wrong.
FrameStatus ReadFrameBody(std::istream& in, std::string& body, std::size_t& length,
                          std::string& error) {
    SkipLineBreaks(in);
    RpcClient::HeaderMatcher header;
    if (!ReadHeaderLine(in, header)) {
        return FrameStatus::End;
    }
    // The library's own header matcher, so both ends agree on what a header is.
    if (!header.Matched()) {
        error = "invalid frame header";
        return FrameStatus::BadHeader;
    }
    SkipLineBreaks(in);
    if (header.Length() > kMaxFrameBody) {
        // The body is dropped unread, so the next frame is read from where
        // it starts and this one gets exactly one answer.
        error = "frame body too large";
        return SkipBytes(in, header.Length()) ? FrameStatus::TooLarge : FrameStatus::End;
    }
    length = static_cast<std::size_t>(header.Length());
    // The spare bytes belong to the string, so they are always initialized:
    // the fast reader's block loads must not branch on indeterminate memory.
    body.resize(length + RpcDispatcher::kTextSlack);
    in.read(&body[0], static_cast<std::streamsize>(length));
    return static_cast<std::size_t>(in.gcount()) == length ? FrameStatus::Ok : FrameStatus::End;
}

// One body buffer per thread, kept for the next frame unless a large one
// made it big.
std::string& BodyBuffer() {
    thread_local std::string body;
    return body;
}

// Where an answer is written: its text behind room for the header, which is
// put in front once the length is known, so the frame goes out in one write.
std::string& FrameBuffer() {
    thread_local std::string frame;
    return frame;
}
constexpr std::size_t kHeaderRoom = 48;

void ReleaseLargeBody(std::string& body) {
    constexpr std::size_t kRetainedBody = 64u * 1024u;
    if (body.capacity() > kRetainedBody) {
        std::string().swap(body);
    }
}

void SendFrame(std::ostream& out, std::string& frame) {
    frame.push_back('\n');
    static const char kName[] = "Content-Length: ";
    constexpr std::size_t kNameLength = sizeof(kName) - 1;
    char digits[24];
    const std::to_chars_result converted =
        std::to_chars(digits, digits + sizeof(digits), frame.size() - kHeaderRoom);
    const auto digitCount = static_cast<std::size_t>(converted.ptr - digits);
    const std::size_t start = kHeaderRoom - (kNameLength + digitCount + 4);
    char* header = &frame[start];
    std::memcpy(header, kName, kNameLength);
    std::memcpy(header + kNameLength, digits, digitCount);
    std::memcpy(header + kNameLength + digitCount, "\r\n\r\n", 4);
    out.write(frame.data() + start, static_cast<std::streamsize>(frame.size() - start));
    out.flush();
}

// JsonCpp's reading of a body, the reference for what a request means.
bool ParseBody(const char* text, std::size_t length, Json::Value& value, std::string& errors) {
    // Building a reader costs more than parsing a small request, so each
    // thread builds one once.
    thread_local const std::unique_ptr<Json::CharReader> reader(
        Json::CharReaderBuilder().newCharReader());
    if (reader->parse(text, text + length, &value, &errors)) {
        return true;
    }
    value = Json::Value();
    return false;
}

}  // namespace

IncomingFrame ReadRequestFrame(std::istream& in) {
    IncomingFrame frame;
    std::string& body = BodyBuffer();
    std::size_t length = 0;
    frame.status = ReadFrameBody(in, body, length, frame.error);
    if (frame.status == FrameStatus::Ok &&
        !ParseBody(body.data(), length, frame.body, frame.error)) {
        frame.status = FrameStatus::BadBody;
    }
    ReleaseLargeBody(body);
    return frame;
}

bool ServeRequestFrame(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out) {
    std::string& body = BodyBuffer();
    std::string error;
    std::size_t length = 0;
    FrameStatus status = ReadFrameBody(in, body, length, error);
    std::string& frame = FrameBuffer();
    frame.assign(kHeaderRoom, ' ');
    Json::Value response;
    // Most requests are read by the fast reader straight from the body and
    // answered straight into the frame; what it leaves goes the slow way,
    // which answers exactly as before.
    if (status == FrameStatus::Ok &&
        !dispatcher.HandleText(body.data(), length, body.size(), frame)) {
        Json::Value request;
        if (ParseBody(body.data(), length, request, error)) {
            response = dispatcher.Handle(request);
        } else {
            status = FrameStatus::BadBody;
        }
    }
    ReleaseLargeBody(body);
    switch (status) {
        case FrameStatus::End:
            return false;
        case FrameStatus::BadHeader:
        case FrameStatus::TooLarge:
        case FrameStatus::BadBody:
            response = MakeErrorResponse(Json::Value(), kParseError, "Parse error: " + error);
            break;
        case FrameStatus::Ok:
            break;
    }
    if (!response.isNull()) {
        RpcClient::AppendJson(frame, response);
    }
    if (frame.size() > kHeaderRoom) {
        SendFrame(out, frame);
    }
    ReleaseLargeBody(frame);
    return status != FrameStatus::Ok || !dispatcher.ExitRequested();
}

void WriteMessageFrame(std::ostream& out, const Json::Value& message) {
    RpcClient::WriteFrame(out, message);
}

int RunFrameLoop(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out) {
    // Stops too when nobody reads our answers any more.
    while (ServeRequestFrame(dispatcher, in, out) && out) {
    }
    return 0;
}

}  // namespace ServerKit
