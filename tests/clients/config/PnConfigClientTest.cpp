// SPDX-License-Identifier: Apache-2.0
#include "support/JsonText.h"
#include "support/ScriptedConnection.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>
#include <json/reader.h>

#include <sstream>
#include <string>

namespace {

using RpcClient::Tavrel::PnConfigClient;
namespace FailureCode = RpcClient::FailureCode;
using Client = Scripted<PnConfigClient>;

Json::Value Parse(const std::string& text) {
    Json::Value value;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &value, nullptr)) << text;
    return value;
}

PnConfigClient::TestStruct SampleRecord() {
    PnConfigClient::TestStruct record;
    record.TestInt = 3;
    record.TestString = "s";
    record.TestBool = true;
    record.TestDouble = 2.0;  // a whole number must still go out as a real
    record.TestFloat = 0.5f;
    record.InnerStruct.InnerInt = -1;
    record.InnerStruct.InnerString = "i";
    record.InnerStruct.InnerBool = false;
    record.InnerStruct.InnerDouble = 4.0;
    record.InnerStruct.InnerFloat = 1.0f;
    return record;
}

// The record as the service reads it; the compact text shows the JSON types
// too (2.0 is a real, 3 an integer).
const char kRecordJson[] =
    R"({"InnerStruct":{"InnerBool":false,"InnerDouble":4.0,"InnerFloat":1.0,"InnerInt":-1,)"
    R"("InnerString":"i"},"TestBool":true,"TestDouble":2.0,"TestFloat":0.5,"TestInt":3,)"
    R"("TestString":"s"})";

TEST(PnConfigClientWire, GettersSendEmptyPositionalParams) {
    Client client;
    client.ReplyResult("x");
    client.ReplyResult("x");
    client.GetVersion();
    client.GetLanguage();
    client.ReplyResult(Json::Value(Json::objectValue));
    client.GetAssemblyInfo();
    ASSERT_EQ(client.sent.size(), 3u);
    const char* methods[] = {"GetVersion", "GetLanguage", "GetAssemblyInfo"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(client.sent[i]["method"], methods[i]);
        EXPECT_EQ(client.sent[i]["params"], Json::Value(Json::arrayValue));
        EXPECT_TRUE(client.sent[i]["id"].isInt());
    }
    EXPECT_EQ(client.releases, 3);
}

TEST(PnConfigClientWire, RunTestAndRunTest2SendTheSameFiveValuesInOrder) {
    Client client;
    client.ReplyResult(Json::Value());
    client.ReplyResult(Json::Value());
    client.RunTest(7, "a", true, 1.5, 2.5f);
    client.RunTest2(7, "a", true, 1.5, 2.5f);
    ASSERT_EQ(client.sent.size(), 2u);
    EXPECT_EQ(TestJson::Compact(client.sent[0]["params"]), R"([7,"a",true,1.5,2.5])");

    Json::Value first = client.sent[0];
    Json::Value second = client.sent[1];
    EXPECT_NE(first["id"], second["id"]);
    first.removeMember("id");
    second.removeMember("id");
    EXPECT_EQ(first, second);
}

TEST(PnConfigClientWire, TestStructArraySendsTheRecordObjectAndTheCount) {
    Client client;
    client.ReplyResult(Json::Value(Json::arrayValue));
    client.ReplyResult(Json::Value(Json::arrayValue));
    client.TestStructArray(SampleRecord(), 4);
    client.TestStructArray2(SampleRecord(), 4);
    ASSERT_EQ(client.sent.size(), 2u);
    for (const Json::Value& body : client.sent) {
        EXPECT_EQ(body["method"], "TestStructArray");
        EXPECT_EQ(TestJson::Compact(body["params"]), std::string("[") + kRecordJson + ",4]");
    }
}

TEST(PnConfigClientWire, ExitIsANotificationAndReadsNothing) {
    Client client;
    client.Exit();
    ASSERT_EQ(client.sent.size(), 1u);
    EXPECT_EQ(client.sent[0]["method"], "Exit");
    EXPECT_FALSE(client.sent[0].isMember("id"));
    EXPECT_EQ(client.receives, 0);
    EXPECT_FALSE(client.HasError());
}

TEST(PnConfigClientResults, StringGettersRecordAnythingButAStringAsInvalidType) {
    const Json::Value results[] = {Json::Value(3), Json::Value(), Json::Value(Json::objectValue)};
    for (const Json::Value& result : results) {
        for (auto getter : {&PnConfigClient::GetVersion, &PnConfigClient::GetLanguage}) {
            Client client;
            client.ReplyResult(result);
            EXPECT_EQ((client.*getter)(), "") << result.toStyledString();
            EXPECT_EQ(client.GetLastErrCode(), FailureCode::CantMarshalData);
            EXPECT_EQ(client.GetLastErrMsg(), "JsonDeserialzer: invalid type");
            EXPECT_EQ(client.GetErrList().size(), 1u);
        }
    }
    Client missing;
    missing.ReplyNothing();
    EXPECT_EQ(missing.GetVersion(), "");
    EXPECT_EQ(missing.GetLastErrMsg(), "JsonDeserialzer: invalid type");
}

TEST(PnConfigClientResults, RecordsToleratesMissingMembersAndNullResults) {
    Client client;
    Json::Value info(Json::objectValue);
    info["Version"] = "1";
    info["Company"] = "c";
    info["Copyright"] = "(c)";
    info["Description"] = "d";
    client.ReplyResult(info);
    const PnConfigClient::AssemblyInfo read = client.GetAssemblyInfo();
    EXPECT_EQ(read.Version, "1");
    EXPECT_EQ(read.Company, "c");
    EXPECT_EQ(read.Copyright, "(c)");
    EXPECT_EQ(read.Description, "d");
    EXPECT_EQ(read.Author, "");
    EXPECT_FALSE(client.HasError());

    client.ReplyNothing();
    const PnConfigClient::TestStruct empty = client.RunTest(1, "x", true, 1, 1);
    EXPECT_EQ(empty.TestInt, 0);
    EXPECT_EQ(empty.TestString, "");
    EXPECT_FALSE(empty.InnerStruct.InnerBool);
    EXPECT_FALSE(client.HasError());

    for (const Json::Value& result : {Json::Value(), Json::Value(Json::arrayValue),
                                      Json::Value(Json::objectValue), Json::Value("text")}) {
        client.ReplyResult(result);
        EXPECT_TRUE(client.TestStructArray(SampleRecord(), 1).empty());
        EXPECT_FALSE(client.HasError());
    }
}

TEST(PnConfigClientWire, DocumentCallsSendTheThreeDocumentsAndReadFindings) {
    Client client;
    const Json::Value configuration = Parse(R"({"ControllerConf": {}})");
    const Json::Value nodes = Parse(R"({"DeviceNodeList": [{}]})");
    const Json::Value answer = Parse(R"({"Accepted": false, "Findings": [{"Severity": "error",
        "Document": "topology", "Path": "/PortInterconnectionList/0", "Message": "m"}]})");
    for (const bool load : {false, true}) {
        client.ReplyResult(answer);
        const PnConfigClient::ConfigCheckResult result =
            load ? client.LoadConfiguration(configuration, nodes, Json::Value())
                 : client.CheckConfiguration(configuration, nodes, Json::Value());
        EXPECT_EQ(client.sent.back()["method"],
                  load ? "TavrelLoadConfiguration" : "TavrelCheckConfiguration");
        EXPECT_EQ(client.sent.back()["params"], Parse(R"([{"ControllerConf": {}},
            {"DeviceNodeList": [{}]}, null])"));
        EXPECT_FALSE(result.Accepted);
        ASSERT_EQ(result.Findings.size(), 1u);
        const PnConfigClient::ConfigFinding& finding = result.Findings[0];
        EXPECT_EQ(finding.Severity + finding.Document + finding.Path + finding.Message,
                  "errortopology/PortInterconnectionList/0m");
    }
    client.ReplyResult(Parse(R"({"Configuration": {"a": 1}, "ListOfNodes": 2})"));
    const PnConfigClient::LoadedConfiguration loaded = client.GetLoadedConfiguration();
    EXPECT_EQ(client.sent.back()["method"], "TavrelGetLoadedConfiguration");
    EXPECT_EQ(loaded.Configuration, Parse(R"({"a": 1})"));
    EXPECT_EQ(loaded.ListOfNodes, 2);
    EXPECT_TRUE(loaded.Topology.isNull());
    EXPECT_FALSE(client.HasError());
}

TEST(PnConfigClientResults, UnreadableShapesReachTheCaller) {
    Client client;
    client.ReplyResult("not an object");
    EXPECT_THROW(client.GetAssemblyInfo(), std::exception);
    Json::Value array(Json::arrayValue);
    array.append(1);
    client.ReplyResult(array);
    EXPECT_THROW(client.TestStructArray(SampleRecord(), 1), std::exception);
    EXPECT_EQ(client.releases, 2) << "the connection goes back even when a decode throws";
}

}  // namespace
