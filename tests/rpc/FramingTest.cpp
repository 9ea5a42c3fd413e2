// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>

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
using TestFraming::Frame;

namespace {

// What a default-configured JsonCpp stream parse says about these bytes.
std::string ReferenceParseError(const std::string& bytes) {
    std::istringstream in(bytes);
    Json::Value ignored;
    std::string errors;
    EXPECT_FALSE(Json::parseFromStream(Json::CharReaderBuilder(), in, &ignored, &errors));
    return errors;
}

// Counts the writes a frame takes: a pipe should see one write per frame.
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
        const char byte = traits_type::to_char_type(c);
        xsputn(&byte, 1);
        return c;
    }
};

TEST(WriteFrame, EveryBodySizeGetsItsExactLengthInOneWriteAndReadsBack) {
    // Around each change of header digits and of kept buffer size.
    Json::StreamWriterBuilder compact;
    compact["indentation"] = "";
    std::stringstream stream;
    std::vector<Json::Value> bodies;
    for (const std::size_t size :
         {0u, 5u, 6u, 95u, 96u, 995u, 996u, 65530u, 70000u, 3u, 3u << 20, 9994u, 9995u}) {
        bodies.emplace_back(Json::objectValue);
        bodies.back()["t"] = std::string(size, 'q');
        const std::string text = Json::writeString(compact, bodies.back()) + "\n";
        CountingBuffer buffer;
        std::ostream out(&buffer);
        WriteFrame(out, bodies.back());
        EXPECT_EQ(buffer.writes, 1);
        EXPECT_TRUE(buffer.bytes ==
                    "Content-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text)
            << size;
        stream << buffer.bytes;
    }
    for (const Json::Value& body : bodies) {
        std::string error;
        EXPECT_TRUE(ReadFrame(stream, error) == body) << "the reader must stop at the length";
        EXPECT_EQ(error, "");
    }
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
    // Every tail of up to four characters from each part of the pattern.
    const std::string alphabet = " \t\r\n\v\f059a+-:";
    std::vector<std::string> tails = {""};
    for (std::size_t i = 0; i < tails.size(); ++i) {
        for (char c : alphabet) {
            if (tails[i].size() < 4) {
                tails.push_back(tails[i] + c);
            }
        }
        lines.push_back("Content-Length:" + tails[i]);
        lines.push_back("Content-Length: 1" + tails[i]);
    }
    // "" (no header), the length, or one fixed text for a number beyond int.
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

TEST(ReadResponses, ReportsEachKindOfBadFrame) {
    // Long runs of blanks or zeros once overflowed a regex engine's stack. A
    // short body reads as if zero-padded to the stated length.
    const std::string many(1'000'000, ' ');
    const std::string sent = R"({"a":)";
    const std::size_t large = std::size_t{3} << 20;
    const struct {
        const char* name;
        std::string input;
        std::string error;  // "" for success
        std::size_t responses;
    } cases[] = {
        {"tab and CR", "Content-Length:\t2\r\n{}", "", 1},
        {"LF only separators", "Content-Length: 2\n\n{}", "", 1},
        {"other header first", "Content-Type: x\r\nContent-Length: 2\r\n\r\n{}", "Invalid header",
         0},
        {"eleven digits", "Content-Length: 12345678901\r\n\r\n{}", "stoi argument out of range", 0},
        {"long blanks", "Content-Length:" + many + "2\r\n\r\n{}", "", 1},
        {"long zeros", "Content-Length: " + std::string(many.size(), '0') + "2\r\n\r\n{}", "", 1},
        {"null body", Frame("null"), "", 0},
        {"empty array body", Frame("[]"), "", 0},
        {"empty body", Frame(""), ReferenceParseError(""), 0},
        {"short body", "Content-Length: 10\r\n\r\n" + sent,
         ReferenceParseError(sent + std::string(10 - sent.size(), '\0')), 0},
        {"short large body", "Content-Length: " + std::to_string(large) + "\r\n\r\n" + sent,
         ReferenceParseError(sent + std::string(large - sent.size(), '\0')), 0},
        {"header cut off", "Content-Length: 2", ReferenceParseError(std::string(2, '\0')), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.input);
        std::string error = "stale text from an earlier call";
        EXPECT_EQ(ReadResponses(in, error).size(), c.responses);
        EXPECT_EQ(error, c.error);
    }
}

TEST(ReadResponses, FramesInTurnThenEndOfStreamThenAFailedServer) {
    // Leftover line breaks are skipped; a batch keeps its order, its elements
    // unjudged; an error or abandoned parse does not leak into the next frame.
    const std::string tooDeep = std::string(5000, '[') + std::string(5000, ']');
    std::istringstream in("\r\n\n" + Frame(R"({"id": 1})") + "\r\n\r\n\n" + Frame("{\"a\":") +
                          Frame(R"([{"id": 2}, "not an object", {"id": 3}])") + "\n" +
                          Frame(tooDeep) + Frame(R"({"id": 4, "result": [1, {"k": "v"}]})"));
    const struct {
        const char* responses;
        std::string error;  // "?": any text
    } reads[] = {
        {R"([{"id": 1}])", ""},
        {"[]", ReferenceParseError("{\"a\":")},
        {R"([{"id": 2}, "not an object", {"id": 3}])", ""},
        {"[]", "?"},
        {R"([{"id": 4, "result": [1, {"k": "v"}]}])", ""},
        {"[]", "RPC server has shutdown"},
        {"[]", "RPC Server falied."},
    };
    for (const auto& read : reads) {
        SCOPED_TRACE(read.responses);
        std::string error = "stale text from an earlier call";
        Json::Value responses(Json::arrayValue);
        for (const JsonResponse& response : ReadResponses(in, error)) {
            responses.append(response.GetResponse());
        }
        EXPECT_EQ(responses, TestJson::ParseJson(read.responses));
        EXPECT_TRUE(read.error == "?" ? !error.empty() && error != "stale text from an earlier call"
                                      : error == read.error)
            << error;
    }
}

// Hands out input in the chunks a pipe would and counts the reader's waits.
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

TEST(ReadFrame, CompleteFramesNeverWaitAndPiecesAreWaitedFor) {
    // On a pipe, waiting after a complete frame would hang until the server
    // writes again. A buffered line break after a frame is skipped; one
    // arriving later is an empty header, and the stream stays usable.
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

}  // namespace
