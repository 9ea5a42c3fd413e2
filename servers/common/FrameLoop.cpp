// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"

#include "BinaryStdio.h"
#include "RpcDispatcher.h"

#include <platform/PipeBufferBase.h>
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

// Standard input through the buffer the library's pipe streams share: what
// is there is handed out at once, and a large body goes straight into the
// caller's memory.
class RequestInputBuf : public RpcClient::Platform::PipeBufferBase {
public:
    RequestInputBuf() : PipeBufferBase(RpcClient::Platform::PipeDirection::Read) {}

protected:
    std::size_t ReadSome(char* into, std::size_t size) override {
        return ReadStandardInput(into, size);
    }
    bool WriteAll(const char* /*data*/, std::size_t /*size*/) override { return false; }
};

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
    const Wire::FrameRead read =
        Wire::ReadFrameText(in, scratch->text, kMaxFrameBody, Wire::LineBreaks::Await);
    switch (read.status) {
        case Wire::FrameStatus::End:
        case Wire::FrameStatus::Short:
            frame.status = FrameStatus::End;
            break;
        case Wire::FrameStatus::BadHeader:
            frame.status = FrameStatus::BadHeader;
            frame.error = "invalid frame header";
            break;
        case Wire::FrameStatus::TooLarge:
            // The body is dropped unread, so the next frame is read from where
            // it starts and this one gets exactly one answer.
            frame.status = SkipBytes(in, read.length) ? FrameStatus::TooLarge : FrameStatus::End;
            frame.error = "frame body too large";
            break;
        case Wire::FrameStatus::Ok:
            if (Wire::ParseFrameText(*scratch, frame.body, frame.error)) {
                frame.status = FrameStatus::Ok;
            } else {
                frame.status = FrameStatus::BadBody;
                frame.body = Json::Value();
            }
            break;
    }
    return frame;
}

void WriteMessageFrame(std::ostream& out, const Json::Value& message) {
    Wire::WriteFrame(out, message);
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
