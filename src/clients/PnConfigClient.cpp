// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/clients/PnConfigClient.h>

#include <utility>

namespace RpcClient {
namespace Tavrel {

PnConfigClient::PnConfigClient() = default;

PnConfigClient::PnConfigClient(RpcLocalSrvConfig* server) : JsonRpcClient(server) {}

std::string PnConfigClient::GetVersion() {
    return TypedCall<std::string>("GetVersion");
}

std::string PnConfigClient::GetLanguage() {
    return TypedCall<std::string>("GetLanguage");
}

PnConfigClient::AssemblyInfo PnConfigClient::GetAssemblyInfo() {
    return TypedCall<AssemblyInfo>("GetAssemblyInfo");
}

PnConfigClient::TestStruct PnConfigClient::RunTest(int testInt, std::string testString,
                                                   bool testBool, double testDouble,
                                                   float testFloat) {
    return TypedCall<TestStruct>("RunTest", testInt, testString, testBool, testDouble, testFloat);
}

PnConfigClient::TestStruct PnConfigClient::RunTest2(int testInt, std::string testString,
                                                    bool testBool, double testDouble,
                                                    float testFloat) {
    return RunTest(testInt, std::move(testString), testBool, testDouble, testFloat);
}

std::vector<PnConfigClient::TestStruct> PnConfigClient::TestStructArray(const TestStruct& record,
                                                                        int count) {
    return TypedCall<std::vector<TestStruct>>("TestStructArray", record, count);
}

std::vector<PnConfigClient::TestStruct> PnConfigClient::TestStructArray2(const TestStruct& record,
                                                                         int count) {
    return TestStructArray(record, count);
}

void PnConfigClient::Exit() {
    Notify("Exit");
}

PnConfigClient::ConfigCheckResult PnConfigClient::CheckConfiguration(
    const Json::Value& configuration, const Json::Value& listOfNodes, const Json::Value& topology) {
    return TypedCall<ConfigCheckResult>("TavrelCheckConfiguration", configuration, listOfNodes,
                                        topology);
}

PnConfigClient::ConfigCheckResult PnConfigClient::LoadConfiguration(
    const Json::Value& configuration, const Json::Value& listOfNodes, const Json::Value& topology) {
    return TypedCall<ConfigCheckResult>("TavrelLoadConfiguration", configuration, listOfNodes,
                                        topology);
}

PnConfigClient::LoadedConfiguration PnConfigClient::GetLoadedConfiguration() {
    return TypedCall<LoadedConfiguration>("TavrelGetLoadedConfiguration");
}

}  // namespace Tavrel
}  // namespace RpcClient
