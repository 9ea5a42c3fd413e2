// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"

#include "BinaryStdio.h"
#include "RpcDispatcher.h"

#include <platform/PipeBufferBase.h>
#include <wire/FastJsonWriter.h>
#include <wire/Frames.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

namespace ServerKit {

namespace {

namespace Wire = RpcClient::Wire;

// Drops `count` bytes; false when the input ends first. Read, not ignore():
// ignore() peeks at the byte after the last one it drops, so the answer to
// an oversized request would wait for the host's next request.
bool SkipBytes(std::istream& in, std::uint64_t count) {
    char scrap[16384];
    while (count > 0) {
        const auto chunk =
            static_cast<std::streamsize>(std::min<std::uint64_t>(count, sizeof scrap));
        in.read(scrap, chunk);
        if (in.gcount() != chunk) {
            return false;
        }
        count -= static_cast<std::uint64_t>(chunk);
    }
    return true;
}

// Standard input through the buffer the library's pipe streams share: what
// is there is handed out at once, and a large body goes straight into the
// caller's memory.
class RequestInputBuf : public RpcClient::Platform::PipeBufferBase {
public:
    RequestInputBuf() : PipeBufferBase(RpcClient::Platform::PipeDirection::Read) {
        KeepFreedMemory();
    }

protected:
    std::size_t ReadSome(char* into, std::size_t size) override {
        return ReadStandardInput(into, size);
    }
    bool WriteAll(const char* /*data*/, std::size_t /*size*/) override { return false; }
};

// Reads one frame through the wire layer's reader into `text`, followed by
// the spare bytes RpcDispatcher::HandleText needs; `length` is the body's.
// On anything but Ok, `error` says what was wrong.
FrameStatus ReadFrameBody(std::istream& in, std::string& text, std::size_t& length,
                          std::string& error) {
    const Wire::FrameRead read = Wire::ReadFrameText(
        in, text, kMaxFrameBody, Wire::LineBreaks::Await, RpcDispatcher::kTextSlack);
    switch (read.status) {
        case Wire::FrameStatus::End:
        case Wire::FrameStatus::Short:
            return FrameStatus::End;
        case Wire::FrameStatus::BadHeader:
            error = "invalid frame header";
            return FrameStatus::BadHeader;
        case Wire::FrameStatus::TooLarge:
            // The body is dropped unread, so the next frame is read from where
            // it starts and this one gets exactly one answer.
            error = "frame body too large";
            return SkipBytes(in, read.length) ? FrameStatus::TooLarge : FrameStatus::End;
        case Wire::FrameStatus::Ok:
            break;
    }
    length = text.size();
    // The spare bytes belong to the string, so they are always initialized:
    // the fast reader's block loads must not branch on indeterminate memory.
    text.append(RpcDispatcher::kTextSlack, '\0');
    return FrameStatus::Ok;
}

// JsonCpp's reading of a body (the text without its spare bytes), the
// reference for what a request means.
bool ParseBody(Wire::FrameScratch& scratch, std::size_t length, Json::Value& value,
               std::string& errors) {
    scratch.text.resize(length);
    if (Wire::ParseFrameText(scratch, value, errors)) {
        return true;
    }
    value = Json::Value();
    return false;
}

// Where an answer is written: its text behind room for the header, which is
// put in front once the length is known, so the frame goes out in one write.
std::string& FrameBuffer() {
    thread_local std::string frame;
    return frame;
}

void ReleaseLargeBody(std::string& body) {
    constexpr std::size_t kRetainedBody = 64u * 1024u;
    if (body.capacity() > kRetainedBody) {
        std::string().swap(body);
    }
}

}  // namespace

std::istream& RequestInput() {
    static RequestInputBuf buffer;
    static std::istream input(&buffer);
    return input;
}

IncomingFrame ReadRequestFrame(std::istream& in) {
    IncomingFrame frame;
    // The library's own frame reader, so both ends agree on what a frame is
    // and believe a stated length only as far as bytes arrive.
    Wire::ScratchLease scratch;
    std::size_t length = 0;
    frame.status = ReadFrameBody(in, scratch->text, length, frame.error);
    if (frame.status == FrameStatus::Ok && !ParseBody(*scratch, length, frame.body, frame.error)) {
        frame.status = FrameStatus::BadBody;
    }
    return frame;
}

bool ServeRequestFrame(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out) {
    Wire::ScratchLease scratch;
    std::string& body = scratch->text;
    std::string error;
    std::size_t length = 0;
    FrameStatus status = ReadFrameBody(in, body, length, error);
    std::string& frame = FrameBuffer();
    frame.assign(Wire::kFrameHeaderRoom, ' ');
    Json::Value response;
    // Most requests are read by the fast reader straight from the body and
    // answered straight into the frame; what it leaves goes the slow way,
    // which answers exactly as before.
    if (status == FrameStatus::Ok &&
        !dispatcher.HandleText(body.data(), length, body.size(), frame)) {
        Json::Value request;
        if (ParseBody(*scratch, length, request, error)) {
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
    if (frame.size() > Wire::kFrameHeaderRoom) {
        Wire::SendFrameText(out, frame);
    }
    ReleaseLargeBody(frame);
    return status != FrameStatus::Ok || !dispatcher.ExitRequested();
}

void WriteMessageFrame(std::ostream& out, const Json::Value& message) {
    Wire::WriteFrame(out, message);
}

int RunFrameLoop(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out) {
    // Stops too when nobody reads our answers any more.
    while (ServeRequestFrame(dispatcher, in, out) && out) {
    }
    return 0;
}

}  // namespace ServerKit
