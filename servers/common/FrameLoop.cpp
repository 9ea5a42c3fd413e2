// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"

#include "RpcDispatcher.h"

#include <JsonRpcClient/rpc/Framing.h>
#include <json/reader.h>

#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
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

// Reads up to the next LF (dropped). Garbage without line breaks must not make
// the server buffer it all, so only the first kMaxHeaderLine bytes are kept.
bool ReadHeaderLine(std::istream& in, std::string& line, bool& tooLong) {
    constexpr std::size_t kMaxHeaderLine = 256;
    line.clear();
    tooLong = false;
    bool any = false;
    char c = 0;
    while (in.get(c)) {
        any = true;
        if (c == '\n') {
            return true;
        }
        if (line.size() < kMaxHeaderLine) {
            line.push_back(c);
        } else {
            tooLong = true;
        }
    }
    return any;
}

}  // namespace

IncomingFrame ReadRequestFrame(std::istream& in) {
    IncomingFrame frame;
    SkipLineBreaks(in);
    std::string line;
    bool tooLong = false;
    if (!ReadHeaderLine(in, line, tooLong)) {
        frame.status = FrameStatus::End;
        return frame;
    }
    if (tooLong) {
        frame.status = FrameStatus::BadHeader;
        frame.error = "frame header line too long";
        return frame;
    }
    // The library's own header check, so both ends agree on what a header is.
    int stated = 0;
    bool matched = false;
    try {
        matched = RpcClient::ParseContentLength(line, stated);
    } catch (const std::out_of_range&) {
        matched = true;
        stated = -1;
    }
    if (!matched) {
        frame.status = FrameStatus::BadHeader;
        frame.error = "invalid frame header";
        return frame;
    }
    if (stated < 0 || static_cast<std::size_t>(stated) > kMaxFrameBody) {
        frame.status = FrameStatus::TooLarge;
        frame.error = "frame body too large";
        return frame;
    }
    const auto length = static_cast<std::size_t>(stated);
    SkipLineBreaks(in);
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
