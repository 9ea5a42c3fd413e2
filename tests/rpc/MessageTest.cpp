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
using RpcClient::ResponseError;

using TestJson::ParseJson;

namespace {

TEST(RequestIdDeathTest, FreshProcessHandsOutThreeThenFour) {
    // The threadsafe style re-runs this test in a new process, so the counter
    // is in its load-time state whatever ran before here.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            JsonRequest first("a");
            JsonRequest second("b");
            first.FixRequestId();
            second.FixRequestId();
            std::exit(first.GetRequestId() == 3 && second.GetRequestId() == 4 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(RequestId, WrapsFromIntMaxToIntMin) {
    // The process-wide counter is put back afterwards.
    const int saved = RpcClient::detail::RequestIdCounter().exchange(INT_MAX - 1);
    JsonRequest request("m");
    EXPECT_EQ(request.FixRequestId().GetRequestId(), INT_MAX);
    EXPECT_EQ(request.FixRequestId().GetRequestId(), INT_MIN);
    EXPECT_EQ(request.FixRequestId().GetRequestId(), INT_MIN + 1);
    RpcClient::detail::RequestIdCounter().store(saved);
}

TEST(RequestId, EveryFixTakesAFreshIdButNotificationsKeepTheirs) {
    JsonRequest request("m");
    const int first = request.FixRequestId().GetRequestId();
    const int second = request.FixRequestId().GetRequestId();
    EXPECT_EQ(second, first + 1);

    JsonRequest notification("n", true);
    notification.FixRequestId();
    EXPECT_EQ(notification.GetRequestId(), 0);
    // The notification did not consume an id.
    EXPECT_EQ(request.FixRequestId().GetRequestId(), second + 1);
}

TEST(RequestBody, RequestCarriesIdAndNotificationDoesNot) {
    JsonRequest request("GetVersion");
    request.FixRequestId();
    Json::Value expected = ParseJson(R"({"jsonrpc": "2.0", "method": "GetVersion", "params": []})");
    expected["id"] = request.GetRequestId();
    EXPECT_EQ(request.BuildBody(), expected);

    const JsonRequest notification("Exit", true);
    EXPECT_EQ(notification.BuildBody(),
              ParseJson(R"({"jsonrpc": "2.0", "method": "Exit", "params": []})"));
}

TEST(RequestParams, PositionalListReplacesEarlierParamsInArgumentOrder) {
    JsonRequest request("m");
    request.SetParams(ParseJson(R"({"old": true})"));
    request.SetRequestParamsList(7, std::string("text"), true, 2.5, Json::Value("raw"));
    EXPECT_EQ(request.GetParams(), ParseJson(R"([7, "text", true, 2.5, "raw"])"));

    request.SetRequestParamsList();
    EXPECT_EQ(request.GetParams().size(), 5u) << "the empty form must leave params alone";

    request.AppendParam(ParseJson(R"({"k": [1]})"));
    EXPECT_EQ(request.GetParams()[5], ParseJson(R"({"k": [1]})"));
}

class UpperCaseRequest : public JsonRequest {
public:
    using JsonRequest::JsonRequest;
    using JsonRequest::operator=;

protected:
    Json::Value OnBuildBody() const override {
        Json::Value body = JsonRequest::OnBuildBody();
        body["METHOD"] = GetMethod();
        return body;
    }
    int OnFixRequestId() override { return -5; }
};

TEST(RequestCopy, AssignmentCopiesFieldsAndKeepsTheTargetsHooks) {
    JsonRequest source("Source", false);
    source.SetRequestParamsList(1, 2);
    source.FixRequestId();

    UpperCaseRequest target("Target", true);
    JsonRequest& asBase = target;
    asBase = source;

    EXPECT_EQ(target.GetMethod(), "Source");
    EXPECT_FALSE(target.IsNotify());
    EXPECT_EQ(target.GetRequestId(), source.GetRequestId());
    EXPECT_EQ(target.GetParams(), source.GetParams());
    EXPECT_EQ(target.BuildBody()["METHOD"], Json::Value("Source"));
    EXPECT_EQ(target.FixRequestId().GetRequestId(), -5);

    const JsonRequest copy(source);
    EXPECT_EQ(copy.BuildBody(), source.BuildBody());
}

struct IdCase {
    const char* document;
    bool valid;  // only the string "2.0" counts
    bool hasId;
    bool hasRequestId;
    int requestId;  // non-integral or missing ids read as INT_MIN
};

TEST(ResponseFields, VersionAndIdAreReadStrictly) {
    const IdCase cases[] = {
        {R"({"jsonrpc": "2.0", "id": 7})", true, true, true, 7},
        {R"({"jsonrpc": "2.0"})", true, false, false, INT_MIN},
        {R"({"jsonrpc": 2.0, "id": -3})", false, true, true, -3},
        {R"({"jsonrpc": "1.0", "id": 7.0})", false, true, true, 7},
        {R"({"id": "7"})", false, true, false, INT_MIN},
        {R"({"id": null})", false, true, false, INT_MIN},
        {R"({"id": 7.5})", false, true, false, INT_MIN},
        {R"({"id": 5000000000})", false, true, true, INT_MIN},
        {R"({"result": 1})", false, false, false, INT_MIN},
        {R"(null)", false, false, false, INT_MIN},
    };
    for (const IdCase& c : cases) {
        const Json::Value document = ParseJson(c.document);
        const JsonResponse response(document);
        EXPECT_EQ(response.IsValid(), c.valid) << c.document;
        EXPECT_EQ(JsonResponse::HasId(document), c.hasId) << c.document;
        EXPECT_EQ(response.HasRequestId(), c.hasRequestId) << c.document;
        EXPECT_EQ(response.GetRequestId(), c.requestId) << c.document;
    }
}

struct ErrorCase {
    const char* document;
    bool hasError;
    int code;
    const char* message;  // nullptr: any non-empty text (JsonCpp's own wording)
};

TEST(ResponseError, ReadsCodeAndMessageAndTurnsMalformedErrorsIntoParseErrors) {
    const ErrorCase cases[] = {
        {R"({"result": 1})", false, 0, ""},
        {R"({"error": null})", true, 0, ""},
        {R"({"error": {"code": -32601, "message": "x"}})", true, -32601, "x"},
        {R"({"error": {"code": -32601}})", true, -32601, ""},
        {R"({"error": {"message": "only text"}})", true, 0, "only text"},
        {R"({"error": {"code": 1, "message": 5}})", true, 1, "5"},
        {R"({"error": "plain string"})", true, -32700, nullptr},
        {R"({"error": {"code": "x", "message": "m"}})", true, -32700, nullptr},
        {R"({"error": {"code": 1, "message": [1]}})", true, -32700, nullptr},
    };
    for (const ErrorCase& c : cases) {
        const JsonResponse response(ParseJson(c.document));
        EXPECT_EQ(response.HasError(), c.hasError) << c.document;
        const ResponseError error = response.GetError();
        EXPECT_EQ(error.GetCode(), c.code) << c.document;
        EXPECT_EQ(error.IsError(), c.code != 0) << c.document;
        if (c.message != nullptr) {
            EXPECT_EQ(error.GetErrorMessage(), c.message) << c.document;
        } else {
            EXPECT_FALSE(error.GetErrorMessage().empty()) << c.document;
        }
    }
}

TEST(ResponseMemberTests, NonObjectDocumentsRaiseTheJsonLibrarysException) {
    // With JsonCpp's own text: the call cycle reports it as the error.
    for (const char* document : {"[1, 2]", "5", "\"text\"", "true"}) {
        const Json::Value value = ParseJson(document);
        std::string expected;
        try {
            static_cast<void>(value.isMember("id"));
        } catch (const Json::LogicError& e) {
            expected = e.what();
        }
        ASSERT_FALSE(expected.empty()) << document;
        const JsonResponse response(value);
        for (bool (JsonResponse::*query)() const :
             {&JsonResponse::IsValid, &JsonResponse::HasResult, &JsonResponse::HasRequestId,
              &JsonResponse::HasError}) {
            try {
                static_cast<void>((response.*query)());
                ADD_FAILURE() << document << ": no exception";
            } catch (const Json::LogicError& e) {
                EXPECT_EQ(std::string(e.what()), expected) << document;
            }
        }
        EXPECT_THROW(static_cast<void>(response.GetRequestId()), Json::LogicError) << document;
        // GetError never throws.
        EXPECT_EQ(response.GetError().GetCode(), -32700) << document;
    }
}

}  // namespace
