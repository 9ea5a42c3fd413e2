// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/rpc/JsonRpcClient.h>
#include <JsonRpcClient/rpc/JsonSerialzer.h>

#include <string>
#include <tuple>
#include <vector>

namespace RpcClient {

class RpcLocalSrvConfig;

namespace Tavrel {

// Typed client of the PROFINET configuration server (started by
// JobInstanceMgr::StartupPNConfig): its version, language, assembly
// information, two echo-style test calls and the request to quit.
//
// Failure model of every call except Exit: the value on failure is returned
// (empty string, empty record, empty vector) and the cause stays in the
// error list (GetErrList). A failed exchange leaves the entries of the call
// cycle; a result that cannot be converted adds (0x8001000B, text), e.g.
// "JsonDeserialzer: invalid type" when GetVersion/GetLanguage get no JSON
// string. A result whose shape JsonCpp cannot read (a string where an object
// is expected, a non-object array element) throws JsonCpp's exception
// (Json::LogicError) to the caller.
class JSONRPCCLIENT_API PnConfigClient : public JsonRpcClient {
public:
    struct AssemblyInfo {
        std::string Version;
        std::string Company;
        std::string Copyright;
        std::string Description;
        std::string Author;

        static constexpr auto JsonFields() {
            return std::make_tuple(JsonField("Version", &AssemblyInfo::Version),
                                   JsonField("Company", &AssemblyInfo::Company),
                                   JsonField("Copyright", &AssemblyInfo::Copyright),
                                   JsonField("Description", &AssemblyInfo::Description),
                                   JsonField("Author", &AssemblyInfo::Author));
        }
    };

    struct TestInnerStruct {
        int InnerInt = 0;
        std::string InnerString;
        bool InnerBool = false;
        double InnerDouble = 0.0;
        float InnerFloat = 0.0f;

        static constexpr auto JsonFields() {
            return std::make_tuple(JsonField("InnerInt", &TestInnerStruct::InnerInt),
                                   JsonField("InnerString", &TestInnerStruct::InnerString),
                                   JsonField("InnerBool", &TestInnerStruct::InnerBool),
                                   JsonField("InnerDouble", &TestInnerStruct::InnerDouble),
                                   JsonField("InnerFloat", &TestInnerStruct::InnerFloat));
        }
    };

    struct TestStruct {
        int TestInt = 0;
        std::string TestString;
        bool TestBool = false;
        double TestDouble = 0.0;
        float TestFloat = 0.0f;
        TestInnerStruct InnerStruct;

        static constexpr auto JsonFields() {
            return std::make_tuple(JsonField("TestInt", &TestStruct::TestInt),
                                   JsonField("TestString", &TestStruct::TestString),
                                   JsonField("TestBool", &TestStruct::TestBool),
                                   JsonField("TestDouble", &TestStruct::TestDouble),
                                   JsonField("TestFloat", &TestStruct::TestFloat),
                                   JsonField("InnerStruct", &TestStruct::InnerStruct));
        }
    };

    // Bound to the registry's default server (null when none is filed).
    PnConfigClient();
    // Bound to the given server (may be null: every call then fails with
    // 0x8001FFFF and records nothing).
    PnConfigClient(RpcLocalSrvConfig* server);

    // "GetVersion": the server's version; "" on failure.
    std::string GetVersion();
    // "GetLanguage": the value the server was started with ("-l "); "" on failure.
    std::string GetLanguage();
    // "GetAssemblyInfo": missing members (or a null result) give empty fields.
    AssemblyInfo GetAssemblyInfo();
    // "RunTest" with the five values as positional params; the server answers a
    // record built from them. A default record on failure.
    TestStruct RunTest(int testInt, std::string testString, bool testBool, double testDouble,
                       float testFloat);
    // Second entry point, same wire method and behaviour as RunTest.
    TestStruct RunTest2(int testInt, std::string testString, bool testBool, double testDouble,
                        float testFloat);
    // "TestStructArray" with the record and the count; the server repeats the
    // record. A null or non-array result gives an empty vector, no entry.
    std::vector<TestStruct> TestStructArray(const TestStruct& record, int count);
    // Second entry point, same wire method and behaviour as TestStructArray.
    std::vector<TestStruct> TestStructArray2(const TestStruct& record, int count);
    // Sends the notification "Exit" and returns at once; nothing is read. A
    // failure to send is visible only in the error list.
    void Exit();

    // ---- Additions beyond the original operations --------------------------
    // The configuration documents (PnConfiguration, PnListOfNodes and
    // PnTopology, as their ToJson() writes them) checked by the server against
    // each other and its installed GSD catalogue; see docs/config-service.md.
    // Same failure model as above: on a failed exchange the result is a
    // default ConfigCheckResult (Accepted false, no findings) and the cause is
    // in the error list, so check HasError() before reading Accepted.

    // One problem the server found.
    struct ConfigFinding {
        std::string Severity;  // "error" or "warning"
        std::string Document;  // "configuration", "listOfNodes" or "topology"
        std::string Path;      // JSON pointer into that document
        std::string Message;

        static constexpr auto JsonFields() {
            return std::make_tuple(JsonField("Severity", &ConfigFinding::Severity),
                                   JsonField("Document", &ConfigFinding::Document),
                                   JsonField("Path", &ConfigFinding::Path),
                                   JsonField("Message", &ConfigFinding::Message));
        }
    };

    struct ConfigCheckResult {
        bool Accepted = false;  // true when no finding is an error
        std::vector<ConfigFinding> Findings;

        static constexpr auto JsonFields() {
            return std::make_tuple(JsonField("Accepted", &ConfigCheckResult::Accepted),
                                   JsonField("Findings", &ConfigCheckResult::Findings));
        }
    };

    // The documents the server accepted last; all null when none was.
    struct LoadedConfiguration {
        Json::Value Configuration;
        Json::Value ListOfNodes;
        Json::Value Topology;

        static constexpr auto JsonFields() {
            return std::make_tuple(JsonField("Configuration", &LoadedConfiguration::Configuration),
                                   JsonField("ListOfNodes", &LoadedConfiguration::ListOfNodes),
                                   JsonField("Topology", &LoadedConfiguration::Topology));
        }
    };

    // "TavrelCheckConfiguration": checks the three documents and keeps
    // nothing. The list of nodes and the topology may be null (none).
    ConfigCheckResult CheckConfiguration(const Json::Value& configuration,
                                         const Json::Value& listOfNodes,
                                         const Json::Value& topology);
    // "TavrelLoadConfiguration": checks as CheckConfiguration and, when the
    // documents are accepted, keeps them as the server's configuration.
    ConfigCheckResult LoadConfiguration(const Json::Value& configuration,
                                        const Json::Value& listOfNodes,
                                        const Json::Value& topology);
    // "TavrelGetLoadedConfiguration": the documents last accepted by
    // LoadConfiguration (the server forgets them when it restarts).
    LoadedConfiguration GetLoadedConfiguration();
};

}  // namespace Tavrel
}  // namespace RpcClient
