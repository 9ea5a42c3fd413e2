// SPDX-License-Identifier: Apache-2.0
// The bundled configuration server (with its GSD catalogue) run under
// Valgrind memcheck and driven through the library: every method, good and
// bad arguments, malformed frames, then a clean exit. The server must end
// with no memory error and no definite leak. Run by scripts/memcheck.sh
// (label "memcheck"); skipped where Valgrind is not installed.

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
namespace fs = std::filesystem;

namespace {

const char kValgrind[] = "/usr/bin/valgrind";

using HostingTest::Widen;

class RawClient : public JsonRpcClient {
public:
    using JsonRpcClient::JsonRpcClient;
    long Call(const std::string& method, const Json::Value& params, Json::Value& result) {
        JsonRequest request(method);
        request.SetParams(params);
        JsonResponse response;
        const long code = Request(request, response);
        result = response.GetResult();
        return code;
    }
};

using TestJson::Params;

TEST(ServersUnderValgrind, ConfigurationServerHasNoMemoryErrorsAndNoDefiniteLeaks) {
    if (!fs::exists(kValgrind)) {
        GTEST_SKIP() << "Valgrind is not installed";
    }
    const fs::path catalog = HostingTest::TempPath("catalog");
    const std::string log = HostingTest::TempPath("valgrind") + ".log";
    const std::string args =
        "--error-exitcode=99 --leak-check=full --show-leak-kinds=definite "
        "--errors-for-leak-kinds=definite --log-file=" +
        log + " " + JRC_CONFIG_SERVER + " --catalog=" + catalog.string();
    RpcLocalSrvConfig server(Widen(kValgrind), Widen(args));
    RawClient client(&server);
    client.SetRequestTimeout(100000);
    Json::Value result;

    // The configuration methods.
    EXPECT_EQ(client.Call("GetVersion", Params({}), result), 0);
    EXPECT_EQ(client.Call("GetLanguage", Params({}), result), 0);
    EXPECT_EQ(client.Call("GetAssemblyInfo", Params({}), result), 0);
    EXPECT_EQ(client.Call("RunTest", Params({7, "text", true, 1.5, 2.5}), result), 0);
    Json::Value record;
    record["TestInt"] = 1;
    record["TestString"] = "s";
    EXPECT_NE(client.Call("TestStructArray", Params({record, 3}), result),
              FailureCode::ServerFault);

    // The catalogue: import both samples, then ask every query about them.
    const std::vector<std::string> samples = {"GSDML-V2.1-Samplevendor-Legacy-20080315.xml",
                                              "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml"};
    for (const std::string& name : samples) {
        EXPECT_EQ(client.Call("TavrelImportGsdFile",
                              Params({std::string(GSD_SAMPLES_DIR) + "/" + name}), result),
                  0);
        EXPECT_TRUE(result["IsSuccess"].asBool()) << result.toStyledString();
    }
    std::istringstream queries(
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
        "GetChannalDiagDescription");
    const std::vector<Json::Value> argumentSets = {
        Params({samples[0], "DAP1", "MOD_TLG", "SM_TLG"}),
        Params({samples[1], "DAP1", "PORT1", "1"}),
        Params({"not-installed.xml", "x", "y", "z"}),
        Params({samples[0], 5, Json::Value(Json::arrayValue), true, 1, 2, 3}),
        Params({}),
    };
    for (std::string method; queries >> method;) {
        for (const Json::Value& arguments : argumentSets) {
            const long code = client.Call(method, arguments, result);
            // Answers or refusals both do; only a broken exchange is wrong.
            EXPECT_NE(code, FailureCode::ServerFault) << method << " " << client.GetLastErrMsg();
        }
    }
    EXPECT_EQ(client.Call("TavrelRemoveGsdFile", Params({samples[0]}), result), 0);
    EXPECT_EQ(client.Call("NoSuchMethod", Params({}), result), FailureCode::InvalidMethod);

    // Malformed frames straight onto the pipe: the server answers each with
    // a parse error and keeps going.
    for (const char* bytes : {"Content-Length: 9\r\n\r\n{\"broken\"", "no header at all\r\n"}) {
        RpcLocalConnection* connection = server.QueryConnection(10000);
        ASSERT_NE(connection, nullptr);
        connection->OStream() << bytes << std::flush;
        std::string error;
        const std::vector<JsonResponse> answers = ReadResponses(connection->IStream(), error);
        server.ReleaseConnection(connection);
        EXPECT_EQ(error, "");
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].GetError().GetCode(), -32700);
    }
    EXPECT_EQ(client.Call("GetVersion", Params({}), result), 0);

    EXPECT_EQ(client.Notify("Exit"), 0);
    ASSERT_EQ(server.WaitForExit(60000), 0u) << "the server did not exit";

    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    const std::string report = text.str();
    EXPECT_NE(report.find("ERROR SUMMARY: 0 errors"), std::string::npos) << report;
    EXPECT_EQ(report.find("definitely lost in"), std::string::npos) << report;
    std::remove(log.c_str());
    std::error_code ignored;
    fs::remove_all(catalog, ignored);
}

}  // namespace
