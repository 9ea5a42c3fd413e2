// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/JsonRequest.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include "rpc/RequestIdCounter.h"

#include "support/JsonText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

using RpcClient::JsonRequest;
using RpcClient::JsonResponse;
using TestJson::ParseJson;

namespace {

TEST(RequestIdDeathTest, FreshProcessHandsOutThreeFirst) {
    // Re-run in a new process: the counter is in its load-time state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(JsonRequest("a").FixRequestId().GetRequestId()),
                ::testing::ExitedWithCode(3), "");
}

TEST(RequestId, EveryFixTakesTheNextIdWrappingToIntMinAndNotificationsTakeNone) {
    const int saved = RpcClient::detail::RequestIdCounter().exchange(INT_MAX - 1);
    JsonRequest request("m");
    EXPECT_EQ(request.FixRequestId().GetRequestId(), INT_MAX);
    EXPECT_EQ(request.FixRequestId().GetRequestId(), INT_MIN);
    JsonRequest notification("n", true);
    EXPECT_EQ(notification.FixRequestId().GetRequestId(), 0);
    EXPECT_EQ(request.FixRequestId().GetRequestId(), INT_MIN + 1);
    RpcClient::detail::RequestIdCounter().store(saved);
}

// The body's envelope and id are left to the client and call-cycle tests,
// whose scripted and real servers read them.
TEST(RequestBody, ParamsGoInArgumentOrder) {
    JsonRequest request("GetVersion");
    request.SetParams(ParseJson(R"({"old": true})"));
    request.SetRequestParamsList(7, std::string("text"), true, 2.5, Json::Value("raw"));
    request.SetRequestParamsList();  // the empty form leaves params alone
    request.AppendParam(ParseJson(R"({"k": [1]})"));
    EXPECT_EQ(request.GetParams(), ParseJson(R"([7, "text", true, 2.5, "raw", {"k": [1]}])"));
}

TEST(ResponseFields, VersionIdAndResultAreReadStrictly) {
    const struct {
        const char* document;
        bool valid;  // only the string "2.0" counts
        bool hasId;
        bool hasRequestId;
        int requestId;  // non-integral, out-of-range or missing ids read as INT_MIN
        bool hasResult;
    } cases[] = {
        {R"({"jsonrpc": "2.0", "id": 7, "result": null})", true, true, true, 7, true},
        {R"({"jsonrpc": "2.0"})", true, false, false, INT_MIN, false},
        {R"({"jsonrpc": 2.0, "id": -3})", false, true, true, -3, false},
        {R"({"jsonrpc": "1.0", "id": 7.0})", false, true, true, 7, false},
        {R"({"id": "7"})", false, true, false, INT_MIN, false},
        {R"({"id": 7.5})", false, true, false, INT_MIN, false},
        {R"({"id": 5000000000})", false, true, true, INT_MIN, false},
        {R"({"result": 1})", false, false, false, INT_MIN, true},
        {R"(null)", false, false, false, INT_MIN, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        const Json::Value document = ParseJson(c.document);
        JsonResponse response(document);
        EXPECT_EQ(response.IsValid(), c.valid);
        EXPECT_EQ(JsonResponse::HasId(document), c.hasId);
        EXPECT_EQ(response.HasRequestId(), c.hasRequestId);
        EXPECT_EQ(response.GetRequestId(), c.requestId);
        EXPECT_EQ(response.HasResult(), c.hasResult);
        EXPECT_EQ(response.GetResult(), document.get("result", Json::Value()));
        EXPECT_EQ(response.TakeResult(), document.get("result", Json::Value()));
    }
}

TEST(ResponseError, ReadsCodeAndMessageAndTurnsMalformedErrorsIntoParseErrors) {
    const struct {
        const char* document;
        bool hasError;
        int code;
        const char* message;  // nullptr: any non-empty text (JsonCpp's own wording)
    } cases[] = {
        {R"({"result": 1})", false, 0, ""},
        {R"({"error": null})", true, 0, ""},
        {R"({"error": {"code": -32601, "message": "x"}})", true, -32601, "x"},
        {R"({"error": {"code": -32601}})", true, -32601, ""},
        {R"({"error": {"message": "only text"}})", true, 0, "only text"},
        {R"({"error": "plain string"})", true, -32700, nullptr},
        {R"({"error": {"code": 1, "message": [1]}})", true, -32700, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        const JsonResponse response(ParseJson(c.document));
        EXPECT_EQ(response.HasError(), c.hasError);
        const RpcClient::ResponseError error = response.GetError();
        EXPECT_EQ(error.GetCode(), c.code);
        EXPECT_EQ(error.IsError(), c.code != 0);
        EXPECT_EQ(c.message ? error.GetErrorMessage() : "?", c.message ? c.message : "?");
        EXPECT_FALSE(c.message == nullptr && error.GetErrorMessage().empty());
    }
}

}  // namespace
