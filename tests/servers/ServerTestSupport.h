// SPDX-License-Identifier: Apache-2.0
#pragma once

// Requests put to a server's dispatcher in-process, both ways a server reads
// them: from the text with the fast reader, and as JsonCpp parsed it.

#include "support/JsonText.h"

#include <RpcDispatcher.h>
#include <wire/FastJsonWriter.h>

#include <gtest/gtest.h>

#include <string>

namespace ServerTest {

// JsonCpp's answer to `text`. The fast reader must answer with the same
// bytes, or, where `fast` is false, leave the text to JsonCpp.
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

// The whole answer to one call. A call that changes the server's state
// (`once`) is handled a single time, by JsonCpp's reading.
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
