// SPDX-License-Identifier: Apache-2.0
// Connections: exclusive use through the recursive timed lock, identity and
// streams, moves, and restarts that must not pull a connection away from
// the thread using it.

#include <gtest/gtest.h>

#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/Framing.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

using namespace RpcClient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Query from another thread; returns whether it got the connection (and
// releases it again) and how long it took.
std::pair<bool, Clock::duration> QueryElsewhere(RpcLocalSrvConfig& server, unsigned long timeout) {
    return std::async(std::launch::async,
                      [&server, timeout] {
                          const auto start = Clock::now();
                          RpcLocalConnection* connection = server.QueryConnection(timeout);
                          const auto took = Clock::now() - start;
                          server.ReleaseConnection(connection);
                          return std::make_pair(connection != nullptr, took);
                      })
        .get();
}

int AskPid(RpcLocalConnection& connection) {
    Json::Value body;
    body["jsonrpc"] = "2.0";
    body["id"] = 1;
    body["method"] = "pid";
    body["params"] = Json::arrayValue;
    try {
        WriteFrame(connection.OStream(), body);
        std::string error;
        const auto responses = ReadResponses(connection.IStream(), error);
        return responses.size() == 1 ? responses[0].GetResult().asInt() : -1;
    } catch (const std::exception&) {
        return -1;  // the write failed: the server is gone
    }
}

class Connection : public testing::Test {
protected:
    RpcLocalSrvConfig server{HostingTest::ScriptedServer(), L""};
};

TEST_F(Connection, NestedQueriesShareTheObjectAndOtherThreadsWaitForTheLastRelease) {
    RpcLocalConnection* first = server.QueryConnection(1000);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->IsValid());
    EXPECT_EQ(first->GetProcessHandle(), server.GetSrvProcessHandle());
    RpcLocalConnection* second = server.QueryConnection(1000);
    EXPECT_EQ(second, first);

    server.ReleaseConnection(second);
    const auto [got, took] = QueryElsewhere(server, 200);
    EXPECT_FALSE(got) << "one release of two leaves the lock held";
    EXPECT_GE(took, 190ms);
    EXPECT_LT(took, 2s) << "the wait is bounded by the timeout";
    const auto zero = QueryElsewhere(server, 0);
    EXPECT_FALSE(zero.first);
    EXPECT_LT(zero.second, 500ms) << "a zero timeout fails at once";

    server.ReleaseConnection(first);
    EXPECT_TRUE(QueryElsewhere(server, 200).first);
}

TEST_F(Connection, ReleasingNullOrAForeignConnectionChangesNothing) {
    RpcLocalSrvConfig other(HostingTest::ScriptedServer(), L"");
    RpcLocalConnection* foreign = other.QueryConnection(1000);
    RpcLocalConnection* held = server.QueryConnection(1000);
    ASSERT_NE(held, nullptr);
    server.ReleaseConnection(nullptr);
    server.ReleaseConnection(foreign);
    EXPECT_FALSE(QueryElsewhere(server, 50).first);
    server.ReleaseConnection(held);
    other.ReleaseConnection(foreign);
}

TEST_F(Connection, StreamsAreBuiltOnceAndCarryAnExchange) {
    RpcLocalConnection* connection = server.QueryConnection(1000);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(&connection->IStream(), &connection->IStream());
    EXPECT_EQ(&connection->OStream(), &connection->OStream());
    EXPECT_GT(AskPid(*connection), 0);
    server.ReleaseConnection(connection);
    // Same object and streams on the next query while the server lives.
    RpcLocalConnection* again = server.QueryConnection(1000);
    EXPECT_EQ(again, connection);
    EXPECT_GT(AskPid(*again), 0);
    server.ReleaseConnection(again);
}

TEST_F(Connection, MovingTakesTheHandlesButNotTheStreams) {
    RpcLocalConnection* connection = server.QueryConnection(1000);
    ASSERT_NE(connection, nullptr);
    connection->IStream();
    void* read = connection->GetReadStreamHandle();
    void* write = connection->GetWriteStreamHandle();
    {
        RpcLocalConnection moved(std::move(*connection));
        EXPECT_EQ(moved.GetReadStreamHandle(), read);
        EXPECT_EQ(moved.GetWriteStreamHandle(), write);
        EXPECT_TRUE(moved.IsValid());
        EXPECT_FALSE(connection->IsValid());
        EXPECT_EQ(connection->GetReadStreamHandle(), nullptr);
        // The moved-to object builds its own streams over the old handles.
        EXPECT_GT(AskPid(moved), 0);
        // Assignment exchanges: the source gets the target's (empty) state.
        *connection = std::move(moved);
        EXPECT_EQ(connection->GetReadStreamHandle(), read);
        EXPECT_FALSE(moved.IsValid());
    }
    server.ReleaseConnection(connection);
}

TEST_F(Connection, RestartWhileAnotherThreadHoldsTheConnectionKeepsItAlive) {
    RpcLocalConnection* held = server.QueryConnection(1000);
    ASSERT_NE(held, nullptr);
    const int firstPid = AskPid(*held);
    ASSERT_TRUE(HostingTest::Kill(firstPid));
    ASSERT_EQ(server.WaitForExit(5000), 0u);

    // Another thread restarts the server (inside its query) but cannot have
    // the lock; the restart must not destroy the connection in use.
    EXPECT_FALSE(QueryElsewhere(server, 100).first);
    EXPECT_EQ(server.IsRpcServerRunning(), 1);
    EXPECT_EQ(AskPid(*held), -1) << "the old connection is still safe to use; its server is gone";
    server.ReleaseConnection(held);

    RpcLocalConnection* fresh = server.QueryConnection(1000);
    ASSERT_NE(fresh, nullptr);
    EXPECT_GT(AskPid(*fresh), 0);
    server.ReleaseConnection(fresh);
    EXPECT_TRUE(QueryElsewhere(server, 100).first) << "the lock is free again";
}

}  // namespace
