// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"

#include "RpcDispatcher.h"

#include <JsonRpcClient/rpc/Framing.h>
#include <json/reader.h>
#include <rpc/HeaderMatcher.h>

#include <algorithm>
#include <cstdint>
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

IncomingFrame ReadRequestFrame(std::istream& in) {
    IncomingFrame frame;
    SkipLineBreaks(in);
    RpcClient::HeaderMatcher header;
    if (!ReadHeaderLine(in, header)) {
        frame.status = FrameStatus::End;
        return frame;
    }
    // The library's own header matcher, so both ends agree on what a header is.
    if (!header.Matched()) {
        frame.status = FrameStatus::BadHeader;
        frame.error = "invalid frame header";
        return frame;
    }
    SkipLineBreaks(in);
    if (header.Length() > kMaxFrameBody) {
        // The body is dropped unread, so the next frame is read from where
        // it starts and this one gets exactly one answer.
        frame.status = SkipBytes(in, header.Length()) ? FrameStatus::TooLarge : FrameStatus::End;
        frame.error = "frame body too large";
        return frame;
    }
    const auto length = static_cast<std::size_t>(header.Length());
    // One body buffer per thread, kept for the next frame unless a large one
    // made it big.
    constexpr std::size_t kRetainedBody = 64u * 1024u;
    thread_local std::string body;
    body.resize(length);
    in.read(&body[0], static_cast<std::streamsize>(length));
    const bool complete = static_cast<std::size_t>(in.gcount()) == length;
    // Building a reader costs more than parsing a small request, so each
    // thread builds one once.
    thread_local const std::unique_ptr<Json::CharReader> reader(
        Json::CharReaderBuilder().newCharReader());
    std::string errors;
    if (!complete) {
        frame.status = FrameStatus::End;
    } else if (!reader->parse(body.data(), body.data() + body.size(), &frame.body, &errors)) {
        frame.status = FrameStatus::BadBody;
        frame.error = errors;
        frame.body = Json::Value();
    } else {
        frame.status = FrameStatus::Ok;
    }
    if (body.capacity() > kRetainedBody) {
        std::string().swap(body);
    }
    return frame;
}

void WriteMessageFrame(std::ostream& out, const Json::Value& message) {
    RpcClient::WriteFrame(out, message);
}

int RunFrameLoop(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out) {
    for (;;) {
        IncomingFrame frame = ReadRequestFrame(in);
        switch (frame.status) {
            case FrameStatus::End:
                return 0;
            case FrameStatus::BadHeader:
            case FrameStatus::TooLarge:
            case FrameStatus::BadBody:
                WriteMessageFrame(out, MakeErrorResponse(Json::Value(), kParseError,
                                                         "Parse error: " + frame.error));
                break;
            case FrameStatus::Ok: {
                const Json::Value response = dispatcher.Handle(frame.body);
                if (!response.isNull()) {
                    WriteMessageFrame(out, response);
                }
                if (dispatcher.ExitRequested()) {
                    return 0;
                }
                break;
            }
        }
        if (!out) {
            // Nobody reads our answers any more; there is no point going on.
            return 0;
        }
    }
}

}  // namespace ServerKit
