// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"
#include "RpcDispatcher.h"
#include "support/JsonText.h"
#include "support/TestFraming.h"

#include <gtest/gtest.h>
#include <json/reader.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ServerKit::RpcDispatcher;

using TestFraming::Frame;

// Splits what a server wrote into frame bodies, checking that every byte
// belongs to a well-formed frame whose length is exact.
std::vector<Json::Value> SplitFrames(const std::string& output) {
    std::vector<Json::Value> bodies;
    std::size_t pos = 0;
    const std::string prefix = "Content-Length: ";
    while (pos < output.size()) {
        EXPECT_EQ(output.compare(pos, prefix.size(), prefix), 0) << output.substr(pos);
        const std::size_t end = output.find("\r\n\r\n", pos);
        if (end == std::string::npos) {
            ADD_FAILURE() << "no header end in " << output.substr(pos);
            break;
        }
        const std::size_t length = std::stoul(output.substr(pos + prefix.size()));
        const std::string body = output.substr(end + 4, length);
        EXPECT_EQ(body.size(), length);
        EXPECT_EQ(body.back(), '\n');
        bodies.push_back(TestJson::ParseJson(body));
        pos = end + 4 + length;
    }
    return bodies;
}

struct LoopRun {
    int exitCode;
    std::vector<Json::Value> answers;
    std::string unread;
};

LoopRun RunLoop(const std::string& input) {
    RpcDispatcher dispatcher;
    dispatcher.Add("Echo", [](const Json::Value& params) { return params; });
    std::istringstream in(input);
    std::ostringstream out;
    LoopRun run;
    run.exitCode = ServerKit::RunFrameLoop(dispatcher, in, out);
    run.answers = SplitFrames(out.str());
    std::getline(in, run.unread, '\0');
    return run;
}

TEST(FrameLoop, AnswersEachRequestAndEndsCleanlyAtEndOfInput) {
    const LoopRun run =
        RunLoop(Frame(R"({"jsonrpc":"2.0","id":1,"method":"Echo","params":[1]})"
                      "\n") +
                Frame(R"({"jsonrpc":"2.0","method":"Echo","params":[]})") +
                Frame(R"({"jsonrpc":"2.0","id":2,"method":"Echo","params":["x"]})"));
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.answers.size(), 2u);
    EXPECT_EQ(run.answers[0]["id"].asInt(), 1);
    EXPECT_EQ(run.answers[0]["result"][0].asInt(), 1);
    EXPECT_EQ(run.answers[1]["id"].asInt(), 2);
}

TEST(FrameLoop, MalformedFramesAreAnsweredWithNullIdAndTheLoopGoesOn) {
    const std::string good = Frame(R"({"jsonrpc":"2.0","id":9,"method":"Echo"})");
    struct Case {
        const char* name;
        std::string bad;
        int code;
    };
    const Case cases[] = {
        {"BodyNotJson", Frame("{not json"), -32700},
        {"BrokenLiteral", Frame(R"({"jsonrpc":"2.0","id":1,"method":"Echo","params":[nul]})"),
         -32700},
        {"BadHeaderLine", "Content-Type: text/plain\r\n", -32700},
        {"LowerCaseHeader", "content-length: 2\r\n", -32700},
        {"LongBlankRunBeforeLength", "Content-Length:" + std::string(5000, ' ') + "3\r\n\r\n[1]",
         -32600},
        {"EndlessHeaderLine", "Content-Length: 1" + std::string(100000, '0') + "x\n", -32700},
        {"NotARequest", Frame("[1]"), -32600},
        {"NullBody", Frame("null"), -32600},
    };
    for (const Case& c : cases) {
        const LoopRun run = RunLoop(c.bad + good);
        ASSERT_EQ(run.answers.size(), 2u) << c.name;
        const Json::Value& error = run.answers[0].isArray() ? run.answers[0][0] : run.answers[0];
        EXPECT_EQ(error["error"]["code"].asInt(), c.code) << c.name;
        EXPECT_TRUE(error["id"].isNull()) << c.name;
        EXPECT_EQ(run.answers[1]["id"].asInt(), 9) << c.name;
    }
}

TEST(FrameLoop, ExitNotificationStopsReadingWithCodeZero) {
    const LoopRun run = RunLoop(Frame(R"({"jsonrpc":"2.0","method":"Exit","params":[]})") +
                                Frame(R"({"jsonrpc":"2.0","id":3,"method":"Echo"})"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.answers.empty());
    EXPECT_NE(run.unread.find("\"id\":3"), std::string::npos);
}

// A stated length is honoured even beyond what the server accepts: what
// follows the header is body, not the next frame.
TEST(FrameLoop, InputEndingWithinTheStatedLengthEndsQuietly) {
    for (const std::string& input : {std::string("Content-Length: 50\r\n\r\n{\"jsonrpc\":"),
                                     "Content-Length: 99999999999999999999999\r\n\r\n" +
                                         Frame(R"({"jsonrpc":"2.0","id":9,"method":"Echo"})")}) {
        const LoopRun run = RunLoop(input);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.answers.empty()) << input;
    }
}

}  // namespace
