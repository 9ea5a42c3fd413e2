// SPDX-License-Identifier: Apache-2.0
// The configuration server (with its GSD catalogue) under Valgrind memcheck,
// driven through the library with good and bad arguments, then a clean exit:
// no memory error, no definite leak. Run by scripts/memcheck.sh.

#include <JsonRpcClient/JsonRpcClient.h>

#include "support/HostingTestSupport.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace RpcClient;
using TestJson::Params;

namespace {

TEST(ServersUnderValgrind, ConfigurationServerHasNoMemoryErrorsAndNoDefiniteLeaks) {
    const char valgrind[] = "/usr/bin/valgrind";
    if (!std::filesystem::exists(valgrind)) {
        GTEST_SKIP() << "Valgrind is not installed";
    }
    const std::string catalog = HostingTest::TempPath("catalog");
    const std::string log = HostingTest::TempPath("valgrind") + ".log";
    RpcLocalSrvConfig server(
        HostingTest::Widen(valgrind),
        HostingTest::Widen("--error-exitcode=99 --leak-check=full --show-leak-kinds=definite "
                           "--errors-for-leak-kinds=definite --log-file=" +
                           log + " " + JRC_CONFIG_SERVER + " --catalog=" + catalog));
    JsonRpcClient client(&server);
    client.SetRequestTimeout(100000);
    auto call = [&client](const std::string& method, const Json::Value& params) {
        JsonRequest request(method);
        request.SetParams(params);
        JsonResponse response;
        return client.Request(request, response);
    };
    const std::string samples[] = {"GSDML-V2.1-Samplevendor-Legacy-20080315.xml",
                                   "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml"};
    for (const std::string& name : samples) {
        EXPECT_EQ(call("TavrelImportGsdFile", Params({GSD_SAMPLES_DIR "/" + name})), 0);
    }
    std::istringstream methods(
        "GetVersion GetLanguage GetAssemblyInfo RunTest TestStructArray "
        "TavrelRefreshGsds TavrelGetInstalledGsds GetInstalledGSDsNames GetGSDPath "
        "GetGsdDeviceInfo GetDeviceCatalogs GetGSDTemplateCatalogs GetPluggableModuleCatalog "
        "GetPluggableSubModuleListCatalog GetDeviceSubModuleListCatalog "
        "GetPluggableModuleSlotRelation GetPluggableSubModuleSlotRelation GetBuildInModuleData "
        "GetDevicePhysicalSlots GetModulePhysicalSlots GetDapModuleInfo GetModuleData "
        "GetSubModuleData GetSubMouleParameter GetWriteableIMRecords GetPortParameter "
        "GetSubmoduleIRTsupportType IsSubmodulePROFIsafeSupported GetSubmoduleAPI "
        "GetModuleVirSubSlotAndAPI GetSubmoduleParamDisallowed GetSubMoudleIsoParam "
        "GetKeltoTemplateGSDNameForPNView GetKeltoTemplateGSDVersionForWizard "
        "GetSubModuleBaseInfo CalcIoDeviceUpdateTime GetUnitDiagDescription "
        "GetChannalDiagDescription TavrelRemoveGsdFile");
    const Json::Value record = TestJson::ParseJson(R"({"TestInt": 1, "TestString": "s"})");
    const std::vector<Json::Value> argumentSets = {
        Params({}),
        Params({samples[0], "DAP1", "MOD_TLG", "SM_TLG"}),
        Params({samples[1], "DAP1", "PORT1", "1"}),
        Params({"not-installed.xml", "x", "y", "z"}),
        Params({samples[0], 5, Json::Value(Json::arrayValue), true, 1, 2, 3}),
        Params({7, "text", true, 1.5, 2.5}),
        Params({record, 3}),
    };
    for (std::string method; methods >> method;) {
        for (const Json::Value& arguments : argumentSets) {
            // Answers or refusals both do; only a broken exchange is wrong.
            EXPECT_NE(call(method, arguments), FailureCode::ServerFault)
                << method << " " << client.GetLastErrMsg();
        }
    }
    EXPECT_EQ(call("NoSuchMethod", Params({})), FailureCode::InvalidMethod);
    EXPECT_EQ(client.Notify("Exit"), 0);
    ASSERT_EQ(server.WaitForExit(60000), 0u) << "the server did not exit";

    std::stringstream report;
    report << std::ifstream(log).rdbuf();
    EXPECT_NE(report.str().find("ERROR SUMMARY: 0 errors"), std::string::npos) << report.str();
    EXPECT_EQ(report.str().find("definitely lost in"), std::string::npos) << report.str();
    std::remove(log.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(catalog, ignored);
}

}  // namespace
