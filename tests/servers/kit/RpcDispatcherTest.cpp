// SPDX-License-Identifier: Apache-2.0
#include "RpcDispatcher.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>
#include <json/reader.h>
#include <wire/FastJsonWriter.h>

#include <memory>
#include <string>

namespace {

using ServerKit::RpcDispatcher;
using ServerKit::RpcFault;

using TestJson::ParseJson;

RpcDispatcher MakeDispatcher() {
    RpcDispatcher dispatcher;
    dispatcher.Add("Echo", [](const Json::Value& params) { return params; });
    dispatcher.Add("Add", [](const Json::Value& params) {
        return Json::Value(params[0].asInt() + params[1].asInt());
    });
    dispatcher.Add("Refuse", [](const Json::Value&) -> Json::Value {
        throw RpcFault{-32001, "refused"};
    });
    dispatcher.Add("Crash",
                   [](const Json::Value&) -> Json::Value { throw std::runtime_error("boom"); });
    return dispatcher;
}

// Judges a request from its text with the fast reader and as JsonCpp reads
// it: the answers must be the same bytes, or the fast reader must leave the
// text alone. Returns JsonCpp's answer.
Json::Value HandleBoth(RpcDispatcher& dispatcher, const std::string& text, bool fast) {
    const std::string buffer = text + std::string(RpcDispatcher::kTextSlack, ' ');
    std::string fastAnswer;
    EXPECT_EQ(dispatcher.HandleText(buffer.data(), text.size(), buffer.size(), fastAnswer), fast);
    const Json::Value answer = dispatcher.Handle(ParseJson(text));
    std::string expected;  // nothing for a notification or a refused text
    if (fast && !answer.isNull()) {
        RpcClient::AppendJson(expected, answer);
    }
    EXPECT_EQ(fastAnswer, expected);
    return answer;
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

TEST(RpcDispatcher, AnswersFaultsWithTheStandardCodeAndTheRightId) {
    const struct {
        const char* request;
        int code;
        const char* id;
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":4,"method":"Nope","params":[]})", -32601, "4"},
        {R"({"jsonrpc":"2.0","id":5,"method":"Add","params":["x",{}]})", -32602, "5"},
        {R"({"jsonrpc":"2.0","id":"s","method":"Refuse"})", -32001, "\"s\""},
        {R"({"jsonrpc":"2.0","id":6,"method":"Crash"})", -32603, "6"},
        {"42", -32600, "null"},
        {"null", -32600, "null"},
        {"[]", -32600, "null"},
        {R"({"jsonrpc":"1.0","id":7,"method":"Echo"})", -32600, "7"},
        {R"({"id":7,"method":"Echo"})", -32600, "7"},
        {R"({"jsonrpc":"2.0","id":8,"method":3})", -32600, "8"},
        {R"({"jsonrpc":"2.0","id":9,"method":"Echo","params":1})", -32600, "9"},
        {R"({"jsonrpc":"2.0","id":{},"method":"Echo"})", -32600, "null"},
    };
    RpcDispatcher dispatcher = MakeDispatcher();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        const Json::Value response = HandleBoth(dispatcher, c.request, c.request[0] == '{');
        ASSERT_TRUE(response.isObject());
        EXPECT_EQ(response["jsonrpc"], "2.0");
        EXPECT_FALSE(response.isMember("result"));
        EXPECT_EQ(response["error"]["code"].asInt(), c.code);
        EXPECT_TRUE(response["error"]["message"].isString());
        EXPECT_EQ(response["id"], ParseJson(c.id));
    }
}

// Whole answers: params passed as received, the id echoed, notifications
// (whatever their fault) and a batch's notifications never answered, Exit
// built in but replaceable.
TEST(RpcDispatcher, AnswersRequestsBatchesAndNotificationsExactly) {
    const struct {
        const char* request;
        const char* answer;  // "null": none
    } cases[] = {
        {R"({"jsonrpc":"2.0","id":12,"method":"Echo","params":[1,"a"]})",
         R"({"jsonrpc":"2.0","id":12,"result":[1,"a"]})"},
        {R"({"jsonrpc":"2.0","id":13,"method":"Echo"})",
         R"({"jsonrpc":"2.0","id":13,"result":null})"},
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
         R"([{"jsonrpc":"2.0","id":1,"result":3},
             {"jsonrpc":"2.0","id":2,"error":{"code":-32601,"message":"?"}},
             {"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"?"}}])"},
    };
    RpcDispatcher dispatcher = MakeDispatcher();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        Json::Value answer = c.request[0] == '{' ? HandleBoth(dispatcher, c.request, true)
                                                 : dispatcher.Handle(ParseJson(c.request));
        for (Json::ArrayIndex i = 0; answer.isArray() && i < answer.size(); ++i) {
            if (answer[i].isMember("error")) {
                answer[i]["error"]["message"] = "?";  // the fault table checks the codes alone
            }
        }
        EXPECT_EQ(answer, ParseJson(c.answer));
    }
    EXPECT_FALSE(dispatcher.ExitRequested());

    RpcDispatcher builtIn;
    EXPECT_TRUE(builtIn.Handle(ParseJson(R"({"jsonrpc":"2.0","method":"Exit"})")).isNull());
    EXPECT_TRUE(builtIn.ExitRequested());
    RpcDispatcher replaced;
    replaced.Add("Exit", [](const Json::Value&) { return Json::Value("staying"); });
    EXPECT_EQ(replaced.Handle(ParseJson(R"({"jsonrpc":"2.0","id":1,"method":"Exit"})"))["result"],
              "staying");
    EXPECT_FALSE(replaced.ExitRequested());
}

}  // namespace
