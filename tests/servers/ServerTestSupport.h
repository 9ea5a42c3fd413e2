// SPDX-License-Identifier: Apache-2.0
#pragma once

// Requests put to a dispatcher both ways a server reads them: the fast reader and JsonCpp.
#include "support/JsonText.h"

#include <RpcDispatcher.h>
#include <wire/FastJsonWriter.h>

#include <gtest/gtest.h>

#include <string>

namespace ServerTest {

// JsonCpp's answer to `text`; the fast reader answers the same bytes or, unless `fast`, declines.
inline Json::Value HandleBoth(ServerKit::RpcDispatcher& dispatcher, const std::string& text,
                              bool fast = true) {
    const std::string buffer = text + std::string(ServerKit::RpcDispatcher::kTextSlack, ' ');
    std::string fastAnswer;
    EXPECT_EQ(dispatcher.HandleText(buffer.data(), text.size(), buffer.size(), fastAnswer), fast);
    const Json::Value answer = dispatcher.Handle(TestJson::ParseJson(text));
    std::string expected;  // nothing for a notification or a refused text
    if (fast && !answer.isNull()) {
        RpcClient::AppendJson(expected, answer);
    }
    EXPECT_EQ(fastAnswer, expected) << text;
    return answer;
}

// The whole answer to one call; one that changes state (`once`) is handled once, by JsonCpp.
inline Json::Value Call(ServerKit::RpcDispatcher& dispatcher, const std::string& method,
                        const Json::Value& params, bool once = false) {
    Json::Value request(Json::objectValue);
    request["jsonrpc"] = "2.0";
    request["id"] = 7;
    request["method"] = method;
    request["params"] = params;
    if (once) {
        return dispatcher.Handle(request);
    }
    std::string text;
    RpcClient::AppendJson(text, request);
    return HandleBoth(dispatcher, text);
}

}  // namespace ServerTest
