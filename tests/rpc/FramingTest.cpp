// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonRequest.h>

#include "support/JsonText.h"
#include "support/TestFraming.h"

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/writer.h>

#include <regex>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

using RpcClient::JsonResponse;
using RpcClient::ParseContentLength;
using RpcClient::ReadFrame;
using RpcClient::ReadResponses;
using RpcClient::WriteFrame;

namespace {

// What a default-configured JsonCpp stream parse says about these bytes.
std::string ReferenceParseError(const std::string& bytes) {
    std::istringstream in(bytes);
    Json::Value ignored;
    std::string errors;
    EXPECT_FALSE(Json::parseFromStream(Json::CharReaderBuilder(), in, &ignored, &errors));
    return errors;
}

using TestFraming::Frame;

// A stream buffer that hands out its input in the chunks a pipe would
// deliver: bytes of the next chunk are not "already buffered" until the
// reader asks for more. It counts how often the reader had to wait.
class ChunkedBuffer : public std::streambuf {
public:
    explicit ChunkedBuffer(std::vector<std::string> chunks) : chunks_(std::move(chunks)) {}
    int Waits() const { return waits_; }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        ++waits_;
        if (next_ == chunks_.size()) {
            return traits_type::eof();
        }
        std::string& chunk = chunks_[next_++];
        setg(&chunk[0], &chunk[0], &chunk[0] + chunk.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    std::vector<std::string> chunks_;
    std::size_t next_ = 0;
    int waits_ = 0;
};

TEST(WriteFrame, EveryBodySizeGetsItsExactLengthAndTheWritersOwnText) {
    // Lengths around each change in the number of header digits, and around
    // the size up to which the frame buffer is kept between frames, in an
    // order that shrinks after growing: each frame must stand on its own.
    Json::StreamWriterBuilder compact;
    compact["indentation"] = "";
    for (const std::size_t size :
         {0u, 5u, 6u, 95u, 96u, 995u, 996u, 65530u, 70000u, 3u, 200000u, 9994u, 9995u}) {
        Json::Value body(Json::objectValue);
        body["t"] = std::string(size, 'q');
        const std::string text = Json::writeString(compact, body) + "\n";
        std::ostringstream out;
        WriteFrame(out, body);
        EXPECT_TRUE(out.str() ==
                    "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text)
            << size;
    }
}

TEST(WriteFrame, AFrameIsHandedToTheStreamInOneWriteEndingInOneCountedLineFeed) {
    // Header and body in one piece: a pipe then sees one write per frame.
    class CountingBuffer : public std::streambuf {
    public:
        int writes = 0;
        std::string bytes;

    protected:
        std::streamsize xsputn(const char* s, std::streamsize count) override {
            ++writes;
            bytes.append(s, static_cast<std::size_t>(count));
            return count;
        }
        int_type overflow(int_type c) override {
            ++writes;
            bytes.push_back(traits_type::to_char_type(c));
            return c;
        }
    } buffer;
    std::ostream out(&buffer);
    RpcClient::JsonRequest request("GetVersion");
    request.SetRequestParamsList();
    Json::Value body = request.BuildBody();
    body["id"] = 3;
    WriteFrame(out, body);
    EXPECT_EQ(buffer.writes, 1);
    EXPECT_EQ(buffer.bytes,
              "Content-Length: 59\r\n\r\n"
              "{\"id\":3,\"jsonrpc\":\"2.0\",\"method\":\"GetVersion\",\"params\":[]}\n");
}

// The header is matched by hand for speed; it must accept exactly the lines
// the regular expression it replaces accepted, and read the same number.
TEST(ParseContentLength, AcceptsExactlyWhatTheHeaderPatternAccepts) {
    const std::regex pattern("Content-Length:\\s*(\\d+)[\\r\\n]*", std::regex::ECMAScript);
    // Lines the generated tails below do not reach, '|' between them.
    const char listed[] =
        "|Content-Length|Content-Length:\v\f 5\n\r|Content-Length: \xd9\xa3|Content-Length: 5\0|"
        "Content-Length:\0 5|Content-Length: \xa0"
        "5|Content-Length: 5\xa0|CONTENT-LENGTH: 5|content-length: 12|Content-Length : 12|"
        " Content-Length: 12|X-Content-Length: 12|Content-Type: application/json|"
        "Content-Length: 5Content-Length: 5|Content-Length: \t 12\r\r\n|Content-Length: 99999999|"
        "Content-Length: 2147483647|Content-Length: 2147483648|Content-Length: 12345678901";
    std::istringstream split(std::string(listed, sizeof listed - 1));
    std::vector<std::string> lines;
    for (std::string line; std::getline(split, line, '|');) {
        lines.push_back(line);
    }
    // Every tail of up to four characters from an alphabet that exercises
    // each part of the pattern.
    const std::string alphabet = " \t\r\n\v\f059a+-:";
    std::vector<std::string> tails = {""};
    for (int depth = 0; depth < 4; ++depth) {
        const std::size_t end = tails.size();
        for (std::size_t i = 0; i < end; ++i) {
            if (tails[i].size() != static_cast<std::size_t>(depth)) {
                continue;
            }
            for (char c : alphabet) {
                tails.push_back(tails[i] + c);
            }
        }
    }
    for (const std::string& tail : tails) {
        lines.push_back("Content-Length:" + tail);
        lines.push_back("Content-Length: 1" + tail);
    }
    // What a line reads as: "" (no header), the length, or, for a number
    // beyond int range, the text of the exception (one fixed text, whatever
    // the standard library's own wording).
    int accepted = 0;
    for (const std::string& line : lines) {
        std::smatch match;
        const bool matched = std::regex_match(line, match, pattern);
        accepted += matched ? 1 : 0;
        std::string expected;
        std::string actual;
        try {
            expected = matched ? std::to_string(std::stoi(match.str(1))) : "";
        } catch (const std::out_of_range&) {
            expected = "stoi argument out of range";
        }
        try {
            int length = -1;
            actual = ParseContentLength(line, length) ? std::to_string(length) : "";
        } catch (const std::out_of_range& e) {
            actual = e.what();
        }
        EXPECT_EQ(actual, expected) << '"' << line << '"';
    }
    // The table is only worth something if both outcomes occur often.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(static_cast<int>(lines.size()) - accepted, 100);
}

// A long run of blanks (or of leading zeros) between the colon and the
// digits once made a regex engine recurse per character and overflow the
// stack; the matcher must cope however long the line.
TEST(ParseContentLength, VeryLongLinesAreJudgedWithoutExhaustingTheStack) {
    for (const std::string& line : {"Content-Length:" + std::string(1'000'000, ' ') + "12",
                                    "Content-Length: " + std::string(1'000'000, '0') + "12"}) {
        int length = 0;
        EXPECT_TRUE(ParseContentLength(line, length));
        EXPECT_EQ(length, 12);
    }
}

struct ReadCase {
    const char* name;
    std::string input;
    std::string error;  // "" for success
    std::size_t responses;
};

TEST(ReadResponses, ReportsEachKindOfBadFrame) {
    const ReadCase cases[] = {
        {"single object", Frame(R"({"jsonrpc":"2.0","id":1,"result":2})"), "", 1},
        {"no blank after colon", "Content-Length:2\r\n\r\n{}", "", 1},
        {"tab and CR", "Content-Length:\t2\r\n{}", "", 1},
        {"LF only separators", "Content-Length: 2\n\n{}", "", 1},
        {"scalar body is one response", Frame("5"), "", 1},
        {"empty stream", "", "RPC server has shutdown", 0},
        {"lower-case header", "content-length: 2\r\n\r\n{}", "Invalid header", 0},
        {"blank after digits", "Content-Length: 2 \r\n\r\n{}", "Invalid header", 0},
        {"other header first", "Content-Type: x\r\nContent-Length: 2\r\n\r\n{}", "Invalid header",
         0},
        {"eleven digits", "Content-Length: 12345678901\r\n\r\n{}", "stoi argument out of range", 0},
        {"int max plus one", "Content-Length: 2147483648\r\n\r\n{}", "stoi argument out of range",
         0},
        {"long zeros", "Content-Length: " + std::string(1'000'000, '0') + "2\r\n\r\n{}", "", 1},
        {"null body", Frame("null"), "", 0},
        {"empty array body", Frame("[]"), "", 0},
    };
    for (const ReadCase& c : cases) {
        std::istringstream in(c.input);
        std::string error = "stale text from an earlier call";
        const std::vector<JsonResponse> responses = ReadResponses(in, error);
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(responses.size(), c.responses) << c.name;
    }
}

TEST(ReadResponses, InvalidBodiesGiveTheJsonParsersOwnText) {
    for (const std::string body : {"{", "[1 2]", "nul", "{\"a\" 1}", "", "\x01"}) {
        std::istringstream in(Frame(body));
        std::string error;
        EXPECT_TRUE(ReadResponses(in, error).empty()) << body;
        EXPECT_EQ(error, ReferenceParseError(body)) << body;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ReadResponses, AFrameTheParserGaveUpOnLeavesTheNextOneIntact) {
    // The parser is kept between frames; neither an error nor a parse
    // abandoned by an exception (nesting beyond JsonCpp's limit) may leak
    // into the next frame.
    const std::string tooDeep = std::string(5000, '[') + std::string(5000, ']');
    const std::string good = R"({"jsonrpc":"2.0","id":4,"result":[1,{"k":"v"}]})";
    for (const std::string& bad : {std::string("{\"a\":"), tooDeep, std::string("[1 2]")}) {
        std::istringstream in(Frame(bad) + Frame(good));
        std::string error;
        EXPECT_TRUE(ReadResponses(in, error).empty());
        EXPECT_FALSE(error.empty());
        const std::vector<JsonResponse> next = ReadResponses(in, error);
        EXPECT_EQ(error, "") << bad.substr(0, 10);
        ASSERT_EQ(next.size(), 1u) << bad.substr(0, 10);
        EXPECT_EQ(next[0].GetRequestId(), 4);
        EXPECT_EQ(next[0].GetResult()[1]["k"], Json::Value("v"));
    }
}

TEST(ReadResponses, ShortBodyIsParsedAsIfZeroPaddedToTheStatedLength) {
    // Both below and above the size where the buffer is no longer allocated
    // up front: the reported text must not depend on that choice.
    for (const std::size_t stated : {std::size_t{10}, std::size_t{3} << 20}) {
        const std::string sent = R"({"a":)";
        std::istringstream in("Content-Length: " + std::to_string(stated) + "\r\n\r\n" + sent);
        std::string error;
        EXPECT_TRUE(ReadResponses(in, error).empty());
        std::string padded = sent;
        padded.resize(stated, '\0');
        EXPECT_EQ(error, ReferenceParseError(padded)) << stated;
    }

    // A header cut off by the end of the stream still counts; the body is
    // then all zeros.
    std::istringstream in("Content-Length: 2");
    std::string error;
    EXPECT_TRUE(ReadResponses(in, error).empty());
    EXPECT_EQ(error, ReferenceParseError(std::string(2, '\0')));
}

TEST(ReadResponses, FramesInTurnThenEndOfStreamThenAFailedServer) {
    // Leftover line breaks around frames are skipped; a batch keeps its order
    // and its elements are not judged.
    const char* const frames[] = {R"([{"id": 1}])", R"([{"id": 2}, "not an object", {"id": 3}])",
                                  R"([{"id": 4}])"};
    std::istringstream in("\r\n\n" + Frame(R"({"id": 1})") + "\r\n\r\n\n" + Frame(frames[1]) +
                          "\n" + Frame(R"({"id": 4})"));
    std::string error;
    for (const char* expected : frames) {
        error = "stale text from an earlier call";
        Json::Value read(Json::arrayValue);
        for (const JsonResponse& response : ReadResponses(in, error)) {
            read.append(response.GetResponse());
        }
        EXPECT_EQ(read, TestJson::ParseJson(expected));
        EXPECT_EQ(error, "");
    }
    EXPECT_TRUE(ReadResponses(in, error).empty());
    EXPECT_EQ(error, "RPC server has shutdown");
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(ReadResponses(in, error).empty());
        EXPECT_EQ(error, "RPC Server falied.");
    }
}

TEST(ReadResponses, FailedStreamIsNotReadAtAll) {
    std::istringstream in(Frame("{}"));
    in.setstate(std::ios_base::failbit);
    std::string error;
    EXPECT_TRUE(ReadResponses(in, error).empty());
    EXPECT_EQ(error, "RPC Server falied.");
    in.clear();
    EXPECT_EQ(ReadResponses(in, error).size(), 1u) << "the frame must still be unread";
}

TEST(ReadFrame, CompleteFramesNeverWaitAndPiecesAreWaitedFor) {
    // On a pipe, waiting for bytes after a complete frame would hang until
    // the server writes again. The line break left after the first frame is
    // buffered, so the second read skips it; one arriving after the buffer
    // emptied is an empty header, and the stream stays usable.
    const std::string body = R"({"id": 7, "result": "abcdefghij"})";
    ChunkedBuffer buffer({Frame(R"({"id": 1})") + "\r\n", Frame(R"({"id": 2})"), "\n",
                          "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n",
                          body.substr(0, 5), body.substr(5, 10), body.substr(15)});
    std::istream in(&buffer);
    std::string error;
    EXPECT_EQ(ReadFrame(in, error)["id"], Json::Value(1));
    EXPECT_EQ(buffer.Waits(), 1);
    EXPECT_EQ(ReadFrame(in, error)["id"], Json::Value(2));
    EXPECT_EQ(buffer.Waits(), 2);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(ReadFrame(in, error).isNull());
    EXPECT_EQ(error, "RPC server has shutdown");
    EXPECT_EQ(ReadFrame(in, error)["result"], Json::Value("abcdefghij"));
    EXPECT_EQ(error, "");
}

TEST(ReadFrame, LargeBodyAboveThePreallocationLimitRoundTrips) {
    Json::Value body;
    body["result"] = std::string(3u << 20, 'x');
    std::stringstream stream;
    WriteFrame(stream, body);
    WriteFrame(stream, Json::Value(1));
    std::string error;
    EXPECT_EQ(ReadFrame(stream, error), body);
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadFrame(stream, error), Json::Value(1)) << "the reader must stop at the length";
}

}  // namespace
