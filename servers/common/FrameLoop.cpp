#include "FrameLoop.h"

#include "RpcDispatcher.h"

#include <json/reader.h>
#include <json/writer.h>

#include <cctype>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
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

// Accepts "Content-Length:", optional blanks, digits, optional CRs: the same
// shape the library's reader accepts, so both ends agree on what a header is.
bool ParseHeader(const std::string& line, std::size_t& length, bool& tooLarge) {
    static const std::string kName = "Content-Length:";
    if (line.compare(0, kName.size(), kName) != 0) {
        return false;
    }
    std::size_t pos = kName.size();
    while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos]))) {
        ++pos;
    }
    std::size_t end = line.size();
    while (end > pos && line[end - 1] == '\r') {
        --end;
    }
    if (pos == end) {
        return false;
    }
    length = 0;
    tooLarge = false;
    for (std::size_t i = pos; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) {
            return false;
        }
        if (!tooLarge) {
            length = length * 10 + static_cast<std::size_t>(line[i] - '0');
            tooLarge = length > kMaxFrameBody;
        }
    }
    return true;
}

}  // namespace

IncomingFrame ReadRequestFrame(std::istream& in) {
    IncomingFrame frame;
    SkipLineBreaks(in);
    std::string line;
    if (!std::getline(in, line)) {
        frame.status = FrameStatus::End;
        return frame;
    }
    std::size_t length = 0;
    bool tooLarge = false;
    if (!ParseHeader(line, length, tooLarge)) {
        frame.status = FrameStatus::BadHeader;
        frame.error = "invalid frame header";
        return frame;
    }
    if (tooLarge) {
        frame.status = FrameStatus::TooLarge;
        frame.error = "frame body too large";
        return frame;
    }
    SkipLineBreaks(in);
    std::string body(length, '\0');
    in.read(body.data(), static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(in.gcount()) != length) {
        frame.status = FrameStatus::End;
        return frame;
    }
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(body.data(), body.data() + body.size(), &frame.body, &errors)) {
        frame.status = FrameStatus::BadBody;
        frame.error = errors;
        frame.body = Json::Value();
        return frame;
    }
    frame.status = FrameStatus::Ok;
    return frame;
}

void WriteMessageFrame(std::ostream& out, const Json::Value& message) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    std::string text = Json::writeString(builder, message);
    text += '\n';
    out << "Content-Length: " << text.size() << "\r\n\r\n" << text;
    out.flush();
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
