// SPDX-License-Identifier: Apache-2.0
// The call cycle against the scripted server.

#include <gtest/gtest.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/HostingTestSupport.h"
#include "support/JsonText.h"

using namespace RpcClient;
using namespace std::chrono_literals;
using Entries = std::vector<std::pair<long, std::string>>;
using TestJson::Params;

namespace {

class TestClient : public JsonRpcClient {
public:
    using JsonRpcClient::JsonRpcClient;

    long Call(const std::string& method, const Json::Value& params, JsonResponse& response) {
        JsonRequest request(method);
        request.SetParams(params);
        const long result = Request(request, response);
        lastId = request.GetRequestId();
        EXPECT_EQ(request.GetParams(), params) << "the request keeps its params";
        return result;
    }
    long Call(const std::string& method, const Json::Value& params = Json::arrayValue) {
        JsonResponse response;
        return Call(method, params, response);
    }
    Entries Errors() const { return Entries(GetErrList().begin(), GetErrList().end()); }
    using JsonRpcClient::PushError;

    int lastId = 0;
};

class CallCycle : public testing::Test {
protected:
    RpcLocalSrvConfig server{HostingTest::ScriptedServer(), L""};
    TestClient client{&server};
};

const long kServerFault = FailureCode::ServerFault;

struct Row {
    const char* method;
    Json::Value params;
    long result;
    Entries entries;  // newest first, as the list holds them
};

// An error response: mapped to `result`, keeping the server's message.
Row Mapped(int code, long result) {
    return {"error", Params({code, "server says"}), result, {{result, "server says"}}};
}

// Every row on one server: each call must describe only itself, whatever the
// call before it left behind. An entry text "?" is the parser's own words.
TEST_F(CallCycle, FailureTableRecordsTheEntriesAndReturnsTheCode) {
    const long rejected = FailureCode::CallRejected;
    const long version = FailureCode::VersionMismatch;
    const long unexpected = FailureCode::Unexpected;
    const Json::Value none = Json::arrayValue;
    const std::pair<long, std::string> invalid{kServerFault, "Call response invalid"};
    // clang-format off
    const Row rows[] = {
        {"echo", Params({1}), 0, {}},
        {"wrongId", none, FailureCode::NoSync, {}},
        {"stringId", none, FailureCode::NoSync, {}},
        {"noId", none, FailureCode::NoSync, {}},
        {"wrongVersion", none, version, {{version, "Invalid response format"}}},
        {"echo", Params({"x"}), 0, {}},
        {"batch", none, unexpected, {{rejected, "Invalid response"}}},
        {"batchMixed", none, unexpected, {{rejected, "Invalid response"}, {version, "Invalid response format"}, {FailureCode::InvalidParameter, "bad params"}}},
        {"null", none, kServerFault, {invalid, {rejected, "No response"}}},
        {"emptyArray", none, kServerFault, {invalid, {rejected, "No response"}}},
        {"numberElement", none, unexpected, {{unexpected, "?"}}},
        {"garbage", none, kServerFault, {invalid, {kServerFault, "?"}}},
        {"badHeader", none, kServerFault, {invalid, {kServerFault, "Invalid header"}}},
        {"exit", Params({4}), kServerFault, {invalid, {kServerFault, "RPC server has shutdown"}}},
        {"echo", Params({1}), 0, {}},
        Mapped(-32700, FailureCode::InvalidData), Mapped(-32600, FailureCode::InvalidData),
        Mapped(-32601, FailureCode::InvalidMethod), Mapped(-32602, FailureCode::InvalidParameter),
        Mapped(-32603, FailureCode::Unexpected), Mapped(-32000, -32000), Mapped(-32001, -32001),
        Mapped(-32050, -32050), Mapped(-32099, -32099), Mapped(-32100, kServerFault),
        Mapped(-31999, kServerFault), Mapped(123, kServerFault),
    };
    // clang-format on
    int previousId = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.method + (" " + TestJson::Compact(row.params)));
        JsonResponse response(Json::Value("previous"));
        EXPECT_EQ(client.Call(row.method, row.params, response), row.result);
        Entries errors = client.Errors();
        for (std::size_t i = 0; i < errors.size() && i < row.entries.size(); ++i) {
            if (row.entries[i].second == "?" && !errors[i].second.empty()) {
                errors[i].second = "?";
            }
        }
        EXPECT_EQ(errors, row.entries);
        EXPECT_EQ(client.HasError(), !row.entries.empty());
        EXPECT_EQ(client.GetLastErrCode(), row.entries.empty() ? 0 : row.entries[0].first);
        if (row.entries.empty() || row.entries[0].second != "?") {
            EXPECT_EQ(client.GetLastErrMsg(), row.entries.empty() ? "" : row.entries[0].second);
        }
        EXPECT_GT(client.lastId, previousId) << "every request takes a fresh id";
        previousId = client.lastId;
        // The response object is filled only for exactly one response.
        if (row.result == 0) {
            EXPECT_EQ(response.GetResult(), row.params);
            EXPECT_EQ(response.GetRequestId(), client.lastId);
        } else if (std::string(row.method) == "error") {
            EXPECT_EQ(response.GetError().GetCode(), row.params[0].asInt());
        } else if (std::string(row.method).compare(0, 5, "batch") == 0) {
            EXPECT_EQ(response.GetResponse(), Json::Value("previous"));
        }
    }
}

TEST_F(CallCycle, NotifyReadsNothingAndAnUnaskedAnswerSpoilsTheNextCall) {
    EXPECT_EQ(client.Notify("Anything"), 0);
    EXPECT_EQ(client.Call("echo"), 0) << "nothing was left in the pipe";
    EXPECT_EQ(client.Notify("ReplyAnyway"), 0);
    EXPECT_EQ(client.Call("echo"), FailureCode::NoSync);
    EXPECT_TRUE(client.Errors().empty());
}

TEST(CallCycleWithoutServer, NoRecordIsUnexpectedAServerThatCannotStartATimeoutClampedToLimits) {
    TestClient none{static_cast<RpcLocalSrvConfig*>(nullptr)};
    EXPECT_EQ(none.GetRequestTimeout(), 10000u);
    const unsigned long table[][2] = {
        {0, 10}, {9, 10}, {10, 10}, {100000, 100000}, {5000000, 100000}};
    for (const auto& row : table) {
        EXPECT_EQ(none.SetRequestTimeout(row[0]).GetRequestTimeout(), row[1]) << row[0];
    }
    EXPECT_EQ(none.Call("echo"), FailureCode::Unexpected);
    EXPECT_TRUE(none.Errors().empty());
    EXPECT_EQ(none.IsRpcServerRunning(), 0);
    none.PushError(0, "");  // a code-0 entry is a failure only when it says something
    EXPECT_EQ(none.GetLastErrCode(), 0);
    none.PushError(0, "said");
    EXPECT_EQ(none.GetLastErrCode(), FailureCode::Unexpected);
    RpcLocalSrvConfig missing(L"/nonexistent/server", L"");
    TestClient client(&missing);
    EXPECT_EQ(client.Call("echo"), FailureCode::Timeout);
    EXPECT_EQ(client.Errors(), (Entries{{FailureCode::Timeout, "Query connection timeout"}}));
}

class StopOnFirstError : public TestClient {
public:
    using TestClient::TestClient;
    int calls = 0;

protected:
    bool OnProcessResponseError(const JsonResponse&) override {
        ++calls;
        return false;
    }
};

TEST_F(CallCycle, ResponseErrorHookReturningFalseStopsExaminingButKeepsTheEntry) {
    StopOnFirstError hooked(&server);
    // One error response whose id matches: the id check decides.
    EXPECT_EQ(hooked.Call("error", Params({-32601, "x"})), 0);
    EXPECT_EQ(hooked.Errors(), (Entries{{FailureCode::InvalidMethod, "x"}}));
    // A batch: the examination stops at the first failed response.
    EXPECT_EQ(hooked.Call("errorTwice"), FailureCode::Unexpected);
    EXPECT_EQ(hooked.Errors(), (Entries{{FailureCode::CallRejected, "Invalid response"},
                                        {FailureCode::InvalidMethod, "first"}}));
    EXPECT_EQ(hooked.calls, 2);
}

TEST_F(CallCycle, StoppingTheServerWhileACallWaitsEndsTheCallAndTheNextCallRestarts) {
    // Started first: under Wine a start can outlast the pause below.
    ASSERT_EQ(server.StartupRpcServer(), 1);
    long result = 0;
    Entries entries;
    std::thread caller([&] {
        TestClient own(&server);
        result = own.Call("closeOutput");  // the server stops writing but stays alive
        entries = own.Errors();
    });
    std::this_thread::sleep_for(300ms);
    server.ShutdownRpcServer();
    caller.join();
    EXPECT_EQ(result, kServerFault);
    EXPECT_EQ(entries, (Entries{{kServerFault, "Call response invalid"},
                                {kServerFault, "RPC server has shutdown"}}));
    EXPECT_EQ(client.Call("echo"), 0);
}

// Whatever throws during a call, the connection goes back first, then a
// standard exception's text is recorded; others pass after the hand-back.
class ThrowingClient : public TestClient, public IRpcServerStatusObserver {
public:
    ThrowingClient(RpcLocalSrvConfig* server, std::string where)
        : TestClient(server), where_(std::move(where)) {}
    std::vector<std::size_t> entriesAtHandBack;

    void OnRpcServerExited(void*, int) override {}
    void OnRpcServerReStarted(void*) override { Throw("observer"); }

protected:
    bool OnSendRequest(RpcLocalConnection* connection, const Json::Value& body) override {
        Throw("send");
        if (where_ == "send, non-standard") {
            throw 7;
        }
        return TestClient::OnSendRequest(connection, body);
    }
    void ReleaseConnection(RpcLocalConnection* connection) override {
        entriesAtHandBack.push_back(GetErrList().size());
        TestClient::ReleaseConnection(connection);
        Throw("release");
    }

private:
    void Throw(const std::string& where) {
        if (where_ == where) {
            throw std::runtime_error(where);
        }
    }
    std::string where_;
};

TEST(CallCycleExceptions, AreRecordedAfterTheConnectionIsHandedBack) {
    const struct {
        const char* where;
        long result;
    } rows[] = {{"send", FailureCode::Unexpected},
                {"release", 0},  // the result as it stood
                {"observer", FailureCode::Unexpected}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"");
        ThrowingClient client(&server, row.where);
        server.SetStatusObserver(&client);
        EXPECT_EQ(client.Call("echo"), row.result);
        EXPECT_EQ(client.Errors(), (Entries{{FailureCode::Unexpected, row.where}}));
        const bool connected = std::string(row.where) != "observer";
        EXPECT_EQ(client.entriesAtHandBack, std::vector<std::size_t>(connected ? 1 : 0, 0));
        // The lock was given back: another client gets the connection at once.
        TestClient other(&server);
        other.SetRequestTimeout(10);
        EXPECT_EQ(other.Call("echo"), 0);
    }
    RpcLocalSrvConfig server(HostingTest::ScriptedServer(), L"");
    ThrowingClient client(&server, "send, non-standard");
    EXPECT_THROW(client.Call("echo"), int);
    EXPECT_EQ(client.entriesAtHandBack, std::vector<std::size_t>{0});
}

// The opt-in bound on the wait for an answer; a fresh server comes next.
TEST_F(CallCycle, ResponseTimeoutEndsTheWaitAndRestartsTheServer) {
    EXPECT_EQ(client.GetResponseTimeout(), 0u) << "off by default";
    JsonResponse response;
    ASSERT_EQ(client.Call("pid", Json::arrayValue, response), 0);
    const int firstPid = response.GetResult().asInt();
    client.SetResponseTimeout(300);
    EXPECT_EQ(client.Call("sleep", Params({50})), 0) << "an answer within the bound";
    EXPECT_EQ(TestClient(&server).Call("sleep", Params({400})), 0) << "the bound was that call's";
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Call("sleep", Params({20000})), FailureCode::Timeout);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);
    EXPECT_EQ(client.Errors(),
              (Entries{{FailureCode::Timeout,
                        "Response timeout: no answer to \"sleep\" within 300 ms"}}));
    EXPECT_TRUE(HostingTest::WaitGone(firstPid, 1s)) << "the server out of step was stopped";
    // Unbounded again: a fresh server's first answer may be slow here.
    client.SetResponseTimeout(0);
    ASSERT_EQ(client.Call("pid", Json::arrayValue, response), 0);
    EXPECT_NE(response.GetResult().asInt(), firstPid);
}

}  // namespace
