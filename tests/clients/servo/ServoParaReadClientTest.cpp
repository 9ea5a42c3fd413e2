// SPDX-License-Identifier: Apache-2.0
#include "support/JsonText.h"
#include "support/ScriptedConnection.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using RpcClient::Tavrel::ServoParaReadClient;
namespace FailureCode = RpcClient::FailureCode;
using Client = Scripted<ServoParaReadClient>;

using TestJson::ParseJson;

enum class Outcome {
    Read,     // true, the record filled from the result, no entry
    Empty,    // true, an empty record and an invalid-data entry
    Refused,  // false, the record untouched, one entry with the code
    Throws,   // the reader's exception, the record untouched
};

TEST(GetServoPara, EachPushedMessageGivesItsRecordEntryOrException) {
    const long kVersion = FailureCode::VersionMismatch;
    const struct {
        const char* message;
        Outcome outcome;
        const char* ip = "";
        double r5276 = 0;
        double r5277 = 0;
        long code = 0;
    } cases[] = {
        // clang-format off
        {R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":1.5,"r5277":2}})", Outcome::Read, "x", 1.5, 2.0, 0},
        {R"({"jsonrpc":"2.0","id":9,"result":{"ip":7,"r5276":true,"r5277":-3}})", Outcome::Read, "7", 1.0, -3.0, 0},
        {R"({"jsonrpc":"2.0","result":{}})", Outcome::Read, "", 0.0, 0.0, 0},
        {R"({"jsonrpc":"2.0","result":{"ip":null,"r5276":null}})", Outcome::Read, "", 0.0, 0.0, 0},
        {R"([{"jsonrpc":"2.0","result":{"ip":"a","r5276":1,"r5277":1}}, {"jsonrpc":"2.0","result":{"ip":"b","r5276":2,"r5277":2}}])", Outcome::Read, "a", 1.0, 1.0, 0},
        {R"({"jsonrpc":"2.0","result":null})", Outcome::Empty, "", 0, 0, FailureCode::InvalidData},
        {R"({"jsonrpc":"2.0","result":[1,2]})", Outcome::Empty, "", 0, 0, FailureCode::InvalidData},
        {R"({"jsonrpc":"2.0","result":"text"})", Outcome::Empty, "", 0, 0, FailureCode::InvalidData},
        {R"({"jsonrpc":2,"result":{"ip":"x"}})", Outcome::Refused, "", 0, 0, kVersion},
        {R"({"result":{"ip":"x"}})", Outcome::Refused, "", 0, 0, kVersion},
        {R"(5)", Outcome::Refused, "", 0, 0, kVersion},
        {R"({"jsonrpc":"2.0","error":{"code":-32001,"message":"bad login"}})", Outcome::Refused, "", 0, 0, -32001},
        {R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"m"},"result":{}})", Outcome::Refused, "", 0, 0, -32601},
        {R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":"1.5","r5277":2}})", Outcome::Throws},
        {R"({"jsonrpc":"2.0","result":{"ip":["x"],"r5276":1,"r5277":2}})", Outcome::Throws},
        {R"({"jsonrpc":"2.0","result":{"ip":{},"r5276":1,"r5277":2}})", Outcome::Throws},
        {R"({"jsonrpc":"2.0","result":{"ip":"x","r5276":1,"r5277":[]}})", Outcome::Throws},
        {R"({"jsonrpc":"2.0"})", Outcome::Throws},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Client client;
        client.Reply(ParseJson(c.message));
        ServoParaReadClient::ServoPara para;
        para.ip = "unchanged";
        para.spare = 99;
        para.r5276 = para.r5277 = -1;
        bool read = false;
        try {
            read = client.GetServoPara(para);
            EXPECT_NE(c.outcome, Outcome::Throws);
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(c.outcome, Outcome::Throws);
            EXPECT_STREQ(e.what(), "GetRespResultValue: invalid result");
        }
        // Nothing is sent before a read; the connection goes back after it.
        EXPECT_TRUE(client.sent.empty());
        EXPECT_EQ(client.releases, 1);
        const bool filled = c.outcome == Outcome::Read || c.outcome == Outcome::Empty;
        EXPECT_EQ(read, filled);
        EXPECT_EQ(para.ip + "|" + std::to_string(para.spare),
                  filled ? std::string(c.ip) + "|0" : "unchanged|99");
        EXPECT_EQ(para.r5276, filled ? c.r5276 : -1);
        EXPECT_EQ(para.r5277, filled ? c.r5277 : -1);
        // The server's own message is not kept.
        const char* text = c.code == kVersion ? "Invalid response format"
                           : c.code == FailureCode::InvalidData
                               ? "Invalid data: RPC return null or invalid data."
                               : "";
        using Entries = RpcClient::JsonRpcClient::ErrorList;
        EXPECT_EQ(client.GetErrList(), (c.code == 0 ? Entries{} : Entries{{c.code, text}}));
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
