// SPDX-License-Identifier: Apache-2.0
#include "support/JsonText.h"
#include "support/ScriptedConnection.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>
#include <json/reader.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

using RpcClient::Tavrel::ServoParaReadClient;
namespace FailureCode = RpcClient::FailureCode;
using Client = Scripted<ServoParaReadClient>;

using TestJson::ParseJson;

ServoParaReadClient::ServoPara Marked() {
    ServoParaReadClient::ServoPara para;
    para.ip = "unchanged";
    para.spare = 99;
    para.r5276 = -1;
    para.r5277 = -1;
    return para;
}

TEST(GetServoPara, ReadsPushedResults) {
    struct Case {
        const char* message;
        const char* ip;
        double r5276;
        double r5277;
    };
    const Case cases[] = {
        {R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":1.5,"r5277":2}})", "x", 1.5, 2.0},
        {R"({"jsonrpc":"2.0","id":9,"result":{"ip":7,"r5276":true,"r5277":-3}})", "7", 1.0, -3.0},
        {R"({"jsonrpc":"2.0","result":{}})", "", 0.0, 0.0},
        {R"({"jsonrpc":"2.0","result":{"ip":null,"r5276":null}})", "", 0.0, 0.0},
        {R"([{"jsonrpc":"2.0","result":{"ip":"a","r5276":1,"r5277":1}},
             {"jsonrpc":"2.0","result":{"ip":"b","r5276":2,"r5277":2}}])",
         "a", 1.0, 1.0},
    };
    for (const Case& c : cases) {
        Client client;
        client.Reply(ParseJson(c.message));
        ServoParaReadClient::ServoPara para = Marked();
        EXPECT_TRUE(client.GetServoPara(para)) << c.message;
        EXPECT_EQ(para.ip, c.ip) << c.message;
        EXPECT_EQ(para.spare, 0) << c.message;
        EXPECT_EQ(para.r5276, c.r5276) << c.message;
        EXPECT_EQ(para.r5277, c.r5277) << c.message;
        EXPECT_FALSE(client.HasError()) << c.message;
        EXPECT_TRUE(client.sent.empty()) << "nothing is sent before a read";
    }
}

TEST(GetServoPara, RefusedMessagesLeaveTheRecordAndExplainWhy) {
    struct Case {
        const char* message;
        long code;
    };
    const Case cases[] = {
        {R"({"jsonrpc":2,"result":{"ip":"x"}})", FailureCode::VersionMismatch},
        {R"({"result":{"ip":"x"}})", FailureCode::VersionMismatch},
        {R"(5)", FailureCode::VersionMismatch},
        {R"({"jsonrpc":"2.0","error":{"code":-32001,"message":"bad login"}})", -32001},
        {R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"m"},"result":{}})", -32601},
    };
    for (const Case& c : cases) {
        Client client;
        client.Reply(ParseJson(c.message));
        ServoParaReadClient::ServoPara para = Marked();
        EXPECT_FALSE(client.GetServoPara(para)) << c.message;
        EXPECT_EQ(para.ip, "unchanged") << c.message;
        EXPECT_EQ(client.GetErrList().size(), 1u) << c.message;
        EXPECT_EQ(client.GetErrList().front().first, c.code) << c.message;
        if (c.code != FailureCode::VersionMismatch) {
            EXPECT_EQ(client.GetLastErrMsg(), "") << "the server's message is not kept";
        } else {
            EXPECT_EQ(client.GetLastErrMsg(), "Invalid response format");
        }
    }
}

TEST(GetServoPara, UnusableResultsThrowAndLeaveTheRecord) {
    for (const char* message : {
             R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":"1.5","r5277":2}})",
             R"({"jsonrpc":"2.0","result":{"ip":["x"],"r5276":1,"r5277":2}})",
             R"({"jsonrpc":"2.0","result":{"ip":{},"r5276":1,"r5277":2}})",
             R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":1,"r5277":[]}})",
             R"({"jsonrpc":"2.0"})",
         }) {
        Client client;
        client.Reply(ParseJson(message));
        ServoParaReadClient::ServoPara para = Marked();
        try {
            client.GetServoPara(para);
            ADD_FAILURE() << "no exception for " << message;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "GetRespResultValue: invalid result") << message;
        }
        EXPECT_EQ(para.ip, "unchanged") << message;
        EXPECT_EQ(para.spare, 99) << message;
        EXPECT_EQ(client.releases, 1) << "the connection is given back before the throw";
    }
}

TEST(GetServoPara, NullOrNonObjectResultGivesAnEmptyRecordAndInvalidData) {
    for (const char* message :
         {R"({"jsonrpc":"2.0","result":null})", R"({"jsonrpc":"2.0","result":[1,2]})",
          R"({"jsonrpc":"2.0","result":"text"})"}) {
        Client client;
        client.Reply(ParseJson(message));
        ServoParaReadClient::ServoPara para = Marked();
        EXPECT_TRUE(client.GetServoPara(para)) << message;
        EXPECT_EQ(para.ip, "");
        EXPECT_EQ(para.spare, 0);
        EXPECT_EQ(para.r5276, 0.0);
        EXPECT_EQ(para.r5277, 0.0);
        EXPECT_EQ(client.GetLastErrCode(), FailureCode::InvalidData);
        EXPECT_EQ(client.GetLastErrMsg(), "Invalid data: RPC return null or invalid data.");
    }
}

TEST(GetServoPara, KeepsEarlierEntriesAndReleasesAfterEveryRead) {
    Client client;
    client.Reply(ParseJson(R"({"jsonrpc":"2.0","error":{"code":-32002,"message":""}})"));
    client.Reply(ParseJson(R"({"jsonrpc":"1.0"})"));
    ServoParaReadClient::ServoPara para;
    EXPECT_FALSE(client.GetServoPara(para));
    EXPECT_FALSE(client.GetServoPara(para));
    EXPECT_FALSE(client.GetServoPara(para)) << "no message to read";
    ASSERT_GE(client.GetErrList().size(), 2u);
    EXPECT_EQ(client.GetErrList().back().first, -32002) << "oldest entry stays at the back";
    EXPECT_EQ(client.releases, 3);
}

}  // namespace
