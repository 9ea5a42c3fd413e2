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

TEST(RpcDispatcher, PassesParamsAsReceivedAndEchoesTheId) {
    RpcDispatcher dispatcher = MakeDispatcher();
    const Json::Value response = dispatcher.Handle(
        ParseJson(R"({"jsonrpc":"2.0","id":12,"method":"Echo","params":[1,"a"]})"));
    EXPECT_EQ(response, ParseJson(R"({"jsonrpc":"2.0","id":12,"result":[1,"a"]})"));

    const Json::Value noParams =
        dispatcher.Handle(ParseJson(R"({"jsonrpc":"2.0","id":13,"method":"Echo"})"));
    EXPECT_TRUE(noParams.isMember("result"));
    EXPECT_TRUE(noParams["result"].isNull());
}

TEST(RpcDispatcher, NotificationsAreNeverAnswered) {
    RpcDispatcher dispatcher = MakeDispatcher();
    for (const char* text :
         {R"({"jsonrpc":"2.0","method":"Echo","params":[]})",
          R"({"jsonrpc":"2.0","method":"Nope"})", R"({"jsonrpc":"2.0","method":"Crash"})",
          R"({"jsonrpc":"1.0","method":"Echo"})", R"({"method":"Exit"})",
          R"({"jsonrpc":"2.0","method":3})", R"({"jsonrpc":"2.0","method":"Echo","params":1})"}) {
        EXPECT_TRUE(HandleBoth(dispatcher, text, true).isNull()) << text;
    }
    EXPECT_FALSE(dispatcher.ExitRequested());
}

TEST(RpcDispatcher, BatchIsAnsweredAsBatchWithoutItsNotifications) {
    RpcDispatcher dispatcher = MakeDispatcher();
    const Json::Value response = dispatcher.Handle(ParseJson(R"([
        {"jsonrpc":"2.0","id":1,"method":"Add","params":[1,2]},
        {"jsonrpc":"2.0","method":"Echo","params":[]},
        {"jsonrpc":"2.0","id":2,"method":"Nope"},
        7])"));
    ASSERT_TRUE(response.isArray());
    ASSERT_EQ(response.size(), 3u);
    EXPECT_EQ(response[0]["result"].asInt(), 3);
    EXPECT_EQ(response[1]["error"]["code"].asInt(), -32601);
    EXPECT_EQ(response[2]["error"]["code"].asInt(), -32600);

    EXPECT_TRUE(dispatcher.Handle(ParseJson(R"([{"jsonrpc":"2.0","method":"Echo"}])")).isNull());
}

TEST(RpcDispatcher, ExitIsBuiltInButCanBeReplaced) {
    RpcDispatcher builtIn;
    EXPECT_TRUE(builtIn.Handle(ParseJson(R"({"jsonrpc":"2.0","method":"Exit"})")).isNull());
    EXPECT_TRUE(builtIn.ExitRequested());

    RpcDispatcher replaced;
    replaced.Add("Exit", [](const Json::Value&) { return Json::Value("staying"); });
    const Json::Value response =
        replaced.Handle(ParseJson(R"({"jsonrpc":"2.0","id":1,"method":"Exit"})"));
    EXPECT_EQ(response["result"], "staying");
    EXPECT_FALSE(replaced.ExitRequested());
}

}  // namespace
