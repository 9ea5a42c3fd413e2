// SPDX-License-Identifier: Apache-2.0
#include "FrameLoop.h"
#include "servers/ServerTestSupport.h"
#include "support/TestFraming.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using ServerKit::RpcDispatcher;
using ServerTest::HandleBoth;
using TestFraming::Frame;
using TestJson::ParseJson;

RpcDispatcher MakeDispatcher() {
    RpcDispatcher dispatcher;
    dispatcher.Add("Echo", [](const Json::Value& params) { return params; });
    dispatcher.Add("Add", [](const Json::Value& params) {
        return Json::Value(params[0].asInt() + params[1].asInt());
    });
    dispatcher.Add("Refuse", [](const Json::Value&) -> Json::Value {
        throw ServerKit::RpcFault{-32001, "refused"};
    });
    dispatcher.Add("Crash",
                   [](const Json::Value&) -> Json::Value { throw std::runtime_error("boom"); });
    return dispatcher;
}

TEST(RpcDispatcher, ReadsTextAsJsonCppDoes) {
    const struct {
        std::string params;
        bool fast;
    } cases[] = {
        {"[5,-0,2147483648,9223372036854775807,9223372036854775808,18446744073709551615,"
         "-9223372036854775808]",
         true},
        {"[1e2,0e270,-0.0,0.1,5e-324,1e-400,17976931348623157e+292,2.2250738585072011e-308]", true},
        {R"(["a\u0000\"\\\/\b\f\n\r\t\u00e9","\uD83D\uDE00",{"k":1,"k":[2]},true,null,{}])", true},
        {"[18446744073709551616]", false},                       // beyond 64 bits: a double
        {"[-9223372036854775809]", false},                       // likewise
        {R"(["\uDC00","\uD800\u0041"])", false},                 // broken surrogates
        {"[\"\xff\xc0\"]", false},                               // invalid UTF-8
        {"[\"\x01\"]", false},                                   // a raw control character
        {"[01,1 /* note */]", false},                            // JsonCpp's leniencies
        {"[1]} trailing", false},                                // text after the request
        {R"({"params":[1],"params":{"a":0}})", true},            // nesting; last repeat counts
        {std::string(300, '[') + std::string(300, ']'), false},  // deep nesting
    };
    RpcDispatcher dispatcher = MakeDispatcher();
    // The written text does not tell an int from a uint; the handler does.
    dispatcher.Add("Types", [](const Json::Value& params) {
        std::string types;
        for (const Json::Value& param : params) {
            types += std::to_string(param.type());
        }
        return Json::Value(types);
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params);
        for (const std::string method : {"Echo", "Types"}) {
            HandleBoth(dispatcher,
                       R"({"jsonrpc":"2.0","id":1,"method":")" + method + R"(","params":)" +
                           c.params + "}",
                       c.fast);
        }
    }
}

// Whole answers: params passed as received, the id echoed where it can be,
// notifications (whatever their fault) and a batch's notifications never
// answered. Error messages are left out; the codes are checked.
TEST(RpcDispatcher, AnswersRequestsFaultsBatchesAndNotificationsExactly) {
    const struct {
        const char* request;
        const char* answer;  // "null": none; an error as {"id":…,"error":code}
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":12,"method":"Echo","params":[1,"a"]})",
         R"({"jsonrpc":"2.0","id":12,"result":[1,"a"]})"},
        {R"({"jsonrpc":"2.0","id":13,"method":"Echo"})",
         R"({"jsonrpc":"2.0","id":13,"result":null})"},
        {R"({"jsonrpc":"2.0","id":4,"method":"Nope","params":[]})", R"({"id":4,"error":-32601})"},
        {R"({"jsonrpc":"2.0","id":5,"method":"Add","params":["x",{}]})",
         R"({"id":5,"error":-32602})"},
        {R"({"jsonrpc":"2.0","id":"s","method":"Refuse"})", R"({"id":"s","error":-32001})"},
        {R"({"jsonrpc":"2.0","id":6,"method":"Crash"})", R"({"id":6,"error":-32603})"},
        {"42", R"({"id":null,"error":-32600})"},
        {"null", R"({"id":null,"error":-32600})"},
        {"[]", R"({"id":null,"error":-32600})"},
        {R"({"jsonrpc":"1.0","id":7,"method":"Echo"})", R"({"id":7,"error":-32600})"},
        {R"({"id":7,"method":"Echo"})", R"({"id":7,"error":-32600})"},
        {R"({"jsonrpc":"2.0","id":8,"method":3})", R"({"id":8,"error":-32600})"},
        {R"({"jsonrpc":"2.0","id":9,"method":"Echo","params":1})", R"({"id":9,"error":-32600})"},
        {R"({"jsonrpc":"2.0","id":{},"method":"Echo"})", R"({"id":null,"error":-32600})"},
        {R"({"jsonrpc":"2.0","method":"Echo","params":[]})", "null"},
        {R"({"jsonrpc":"2.0","method":"Nope"})", "null"},
        {R"({"jsonrpc":"2.0","method":"Crash"})", "null"},
        {R"({"jsonrpc":"1.0","method":"Echo"})", "null"},
        {R"({"method":"Exit"})", "null"},
        {R"({"jsonrpc":"2.0","method":3})", "null"},
        {R"({"jsonrpc":"2.0","method":"Echo","params":1})", "null"},
        {R"([{"jsonrpc":"2.0","method":"Echo"}])", "null"},
        {R"([{"jsonrpc":"2.0","id":1,"method":"Add","params":[1,2]},
             {"jsonrpc":"2.0","method":"Echo","params":[]},
             {"jsonrpc":"2.0","id":2,"method":"Nope"}, 7])",
         R"([{"jsonrpc":"2.0","id":1,"result":3}, {"id":2,"error":-32601},
             {"id":null,"error":-32600}])"},
    };
    RpcDispatcher dispatcher = MakeDispatcher();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        Json::Value answer = HandleBoth(dispatcher, c.request, c.request[0] == '{');
        const auto shorten = [](Json::Value& one) {
            if (one.isMember("error")) {
                EXPECT_EQ(one["jsonrpc"], "2.0");
                one.removeMember("jsonrpc");
                EXPECT_TRUE(one["error"]["message"].isString());
                one["error"] = one["error"]["code"];
            }
        };
        for (Json::ArrayIndex i = 0; answer.isArray() && i < answer.size(); ++i) {
            shorten(answer[i]);
        }
        if (answer.isObject()) {
            shorten(answer);
        }
        EXPECT_EQ(answer, ParseJson(c.answer));
    }
    EXPECT_FALSE(dispatcher.ExitRequested());

    // Exit is built in (the frame loop's test ends on it) but replaceable.
    RpcDispatcher replaced;
    replaced.Add("Exit", [](const Json::Value&) { return Json::Value("staying"); });
    EXPECT_EQ(replaced.Handle(ParseJson(R"({"jsonrpc":"2.0","id":1,"method":"Exit"})"))["result"],
              "staying");
    EXPECT_FALSE(replaced.ExitRequested());
}

// What the loop does with each kind of frame read (the grammar is the wire
// reader's): a malformed frame is answered with a null id and the loop goes
// on; the input's end, even within a stated length (honoured beyond what the
// server accepts), and Exit (leaving the rest unread) end it with code zero.
TEST(FrameLoop, AnswersEachFrameInTurnAndEndsWithCodeZero) {
    const std::string good = Frame(R"({"jsonrpc":"2.0","id":9,"method":"Echo"})");
    const struct {
        const char* name;
        std::string input;
        std::vector<std::string> answers;  // "<id> <error code, else result>"
    } cases[] = {
        {"Requests",
         Frame(R"({"jsonrpc":"2.0","id":1,"method":"Echo","params":[1]})"
               "\n") +
             Frame(R"({"jsonrpc":"2.0","method":"Echo","params":[]})") +
             Frame(R"({"jsonrpc":"2.0","id":2,"method":"Echo","params":["x"]})"),
         {"1 [1]", "2 [\"x\"]"}},
        {"BodyNotJson", Frame("{not json") + good, {"null -32700", "9 null"}},
        {"BadHeaderLine", "Content-Type: text/plain\r\n" + good, {"null -32700", "9 null"}},
        {"Exit", Frame(R"({"jsonrpc":"2.0","method":"Exit","params":[]})") + good, {}},
        {"EndWithinLength", "Content-Length: 50\r\n\r\n{\"jsonrpc\":", {}},
        {"LengthBeyondAnyLimit", "Content-Length: 99999999999999999999999\r\n\r\n" + good, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RpcDispatcher dispatcher = MakeDispatcher();
        std::istringstream in(c.input);
        std::ostringstream out;
        EXPECT_EQ(ServerKit::RunFrameLoop(dispatcher, in, out), 0);
        // Every byte written belongs to a frame whose length is exact.
        const std::string output = out.str();
        std::vector<std::string> answers;
        for (std::size_t pos = 0, end; pos < output.size(); pos = end + 4) {
            ASSERT_EQ(output.compare(pos, 16, "Content-Length: "), 0) << output.substr(pos);
            end = output.find("\r\n\r\n", pos);
            ASSERT_NE(end, std::string::npos);
            const std::size_t length = std::stoul(output.substr(pos + 16));
            const std::string body = output.substr(end + 4, length);
            ASSERT_EQ(body.size(), length);
            ASSERT_EQ(body.back(), '\n');
            end += body.size();
            Json::Value answer = ParseJson(body);
            const bool batch = answer.isArray();
            answer = batch ? answer[0] : answer;
            const std::string text =
                TestJson::Compact(answer["id"]) + " " +
                TestJson::Compact(answer.isMember("error") ? answer["error"]["code"]
                                                           : answer["result"]);
            answers.push_back(batch ? "[" + text + "]" : text);
        }
        EXPECT_EQ(answers, c.answers);
        if (std::string(c.name) == "Exit") {
            std::string unread;
            std::getline(in, unread, '\0');
            EXPECT_NE(unread.find("\"id\":9"), std::string::npos);
        }
    }
}

}  // namespace
