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

// One answer as "<id> <error code, else result>"; a batch's in brackets.
std::string Summary(const Json::Value& answer) {
    if (answer.isArray()) {
        return "[" + Summary(answer[0]) + "]";
    }
    return TestJson::Compact(answer["id"]) + " " +
           TestJson::Compact(answer.isMember("error") ? answer["error"]["code"] : answer["result"]);
}

// Every input ends the loop with code zero: at its end, at Exit (leaving the
// rest unread), or within a stated length, which is honoured even beyond
// what the server accepts: what follows the header is body, not the next
// frame. A malformed frame is answered with a null id and the loop goes on.
TEST(FrameLoop, AnswersEachFrameInTurnAndEndsWithCodeZero) {
    const std::string good = Frame(R"({"jsonrpc":"2.0","id":9,"method":"Echo"})");
    const struct {
        const char* name;
        std::string input;
        std::vector<std::string> answers;
    } cases[] = {
        {"Requests",
         Frame(R"({"jsonrpc":"2.0","id":1,"method":"Echo","params":[1]})"
               "\n") +
             Frame(R"({"jsonrpc":"2.0","method":"Echo","params":[]})") +
             Frame(R"({"jsonrpc":"2.0","id":2,"method":"Echo","params":["x"]})"),
         {"1 [1]", "2 [\"x\"]"}},
        {"BodyNotJson", Frame("{not json") + good, {"null -32700", "9 null"}},
        {"BrokenLiteral",
         Frame(R"({"jsonrpc":"2.0","id":1,"method":"Echo","params":[nul]})") + good,
         {"null -32700", "9 null"}},
        {"BadHeaderLine", "Content-Type: text/plain\r\n" + good, {"null -32700", "9 null"}},
        {"LowerCaseHeader", "content-length: 2\r\n" + good, {"null -32700", "9 null"}},
        {"LongBlankRunBeforeLength",
         "Content-Length:" + std::string(5000, ' ') + "3\r\n\r\n[1]" + good,
         {"[null -32600]", "9 null"}},
        {"EndlessHeaderLine",
         "Content-Length: 1" + std::string(100000, '0') + "x\n" + good,
         {"null -32700", "9 null"}},
        {"NotARequest", Frame("[1]") + good, {"[null -32600]", "9 null"}},
        {"NullBody", Frame("null") + good, {"null -32600", "9 null"}},
        {"Exit", Frame(R"({"jsonrpc":"2.0","method":"Exit","params":[]})") + good, {}},
        {"EndWithinLength", "Content-Length: 50\r\n\r\n{\"jsonrpc\":", {}},
        {"LengthBeyondAnyLimit", "Content-Length: 99999999999999999999999\r\n\r\n" + good, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoopRun run = RunLoop(c.input);
        EXPECT_EQ(run.exitCode, 0);
        std::vector<std::string> answers;
        for (const Json::Value& answer : run.answers) {
            answers.push_back(Summary(answer));
        }
        EXPECT_EQ(answers, c.answers);
    }
    EXPECT_NE(RunLoop(cases[9].input).unread.find("\"id\":9"), std::string::npos);
}

}  // namespace
