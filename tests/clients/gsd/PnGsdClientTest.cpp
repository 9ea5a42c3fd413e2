// SPDX-License-Identifier: Apache-2.0
// The catalogue client against a scripted server: what goes on the wire,
// which answers count as invalid data, and what comes back to the host.

#include "GsdTestSupport.h"
#include "support/ScriptedConnection.h"

#include <JsonRpcClient/clients/PnGsdClient.h>

#include <JsonRpcClient/rpc/FailureCodes.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using gsdtest::ParseJson;
using RpcClient::Tavrel::PnGsdClient;
namespace FailureCode = RpcClient::FailureCode;

namespace {

const char kInvalidData[] = "Invalid data: RPC return null or invalid data.";

// The real call cycle over a scripted exchange; each answer serves one call.
class ScriptedGsdClient : public Scripted<PnGsdClient> {
public:
    void AnswerResult(const Json::Value& result, int calls = 1) {
        for (int i = 0; i < calls; ++i) {
            ReplyResult(result);
        }
    }
    void AnswerNothing() { ReplyNothing(); }
    void AnswerError(int code, const std::string& message) {
        Json::Value reply = ParseJson(R"({"jsonrpc": "2.0"})");
        reply["error"]["code"] = code;
        reply["error"]["message"] = message;
        Reply(reply);
    }
    const Json::Value& LastRequest() const { return sent.back(); }
};

using Entry = std::pair<long, std::string>;

std::vector<Entry> Entries(const ScriptedGsdClient& client) {
    return {client.GetErrList().begin(), client.GetErrList().end()};
}

// Whether an operation insists on a shape of the whole result.
enum class Needs { Nothing, Shape };

struct Operation {
    const char* name;
    std::function<void(PnGsdClient&)> call;
    const char* wireMethod;
    const char* params;
    Needs needs;
};

const std::string a = "A", b = "B", c = "C", d = "D";

const std::vector<Operation>& AllOperations() {
    static const std::vector<Operation> ops = {
        {"TavrelImportGsdFile", [](PnGsdClient& g) { g.TavrelImportGsdFile("x.xml"); },
         "TavrelImportGsdFile", R"(["x.xml"])", Needs::Shape},
        {"TavrelRemoveGsdFile", [](PnGsdClient& g) { g.TavrelRemoveGsdFile(a); },
         "TavrelRemoveGsdFile", R"(["A"])", Needs::Shape},
        {"TavrelRefreshGsds", [](PnGsdClient& g) { g.TavrelRefreshGsds(); }, "TavrelRefreshGsds",
         "[]", Needs::Nothing},
        {"TavrelGetInstalledGsds", [](PnGsdClient& g) { g.TavrelGetInstalledGsds(); },
         "TavrelGetInstalledGsds", "[]", Needs::Nothing},
        {"GetInstalledGSDsNames", [](PnGsdClient& g) { g.GetInstalledGSDsNames(); },
         "GetInstalledGSDsNames", "[]", Needs::Nothing},
        {"GetGSDPath", [](PnGsdClient& g) { g.GetGSDPath(a); }, "GetGSDPath", R"(["A"])",
         Needs::Nothing},
        {"GetGsdDeviceInfo", [](PnGsdClient& g) { g.GetGsdDeviceInfo(a); }, "GetGsdDeviceInfo",
         R"(["A"])", Needs::Shape},
        {"GetDeviceCatalogs", [](PnGsdClient& g) { g.GetDeviceCatalogs(a); }, "GetDeviceCatalogs",
         R"(["A"])", Needs::Shape},
        {"GetGSDTemplateCatalogs", [](PnGsdClient& g) { g.GetGSDTemplateCatalogs(); },
         "GetGSDTemplateCatalogs", "[]", Needs::Nothing},
        {"GetPluggableModuleCatalog", [](PnGsdClient& g) { g.GetPluggableModuleCatalog(a, b); },
         "GetPluggableModuleCatalog", R"(["A", "B"])", Needs::Shape},
        {"GetPluggableSubModuleListCatalog",
         [](PnGsdClient& g) { g.GetPluggableSubModuleListCatalog(a, b, c); },
         "GetPluggableSubModuleListCatalog", R"(["A", "B", "C"])", Needs::Shape},
        {"GetPluggableSubModuleListCatalogByDevID",
         [](PnGsdClient& g) { g.GetPluggableSubModuleListCatalogByDevID(a, b); },
         "GetDeviceSubModuleListCatalog", R"(["A", "B"])", Needs::Shape},
        {"GetPluggableModuleSlotRelation",
         [](PnGsdClient& g) { g.GetPluggableModuleSlotRelation(a, b, c); },
         "GetPluggableModuleSlotRelation", R"(["A", "B", "C"])", Needs::Shape},
        {"GetPluggableSubModuleSlotRelation",
         [](PnGsdClient& g) { g.GetPluggableSubModuleSlotRelation(a, b, c); },
         "GetPluggableSubModuleSlotRelation", R"(["A", "B", "C"])", Needs::Shape},
        {"GetBuildInModuleData", [](PnGsdClient& g) { g.GetBuildInModuleData(a, b); },
         "GetBuildInModuleData", R"(["A", "B"])", Needs::Shape},
        {"GetDevicePhysicalSlots", [](PnGsdClient& g) { g.GetDevicePhysicalSlots(a, b); },
         "GetDevicePhysicalSlots", R"(["A", "B"])", Needs::Shape},
        {"GetModulePhysicalSubSlots", [](PnGsdClient& g) { g.GetModulePhysicalSubSlots(a, b, c); },
         "GetModulePhysicalSlots", R"(["A", "B", "C"])", Needs::Shape},
        {"GetDapModuleInfo", [](PnGsdClient& g) { g.GetDapModuleInfo(a, b); }, "GetDapModuleInfo",
         R"(["A", "B"])", Needs::Shape},
        {"GetModuleData", [](PnGsdClient& g) { g.GetModuleData(a, b, c); }, "GetModuleData",
         R"(["A", "B", "C"])", Needs::Shape},
        {"GetSubModuleData", [](PnGsdClient& g) { g.GetSubModuleData(a, b, c); },
         "GetSubModuleData", R"(["A", "B", "C"])", Needs::Shape},
        {"GetSubModuleParameter", [](PnGsdClient& g) { g.GetSubModuleParameter(a, b, c); },
         "GetSubMouleParameter", R"(["A", "B", "C"])", Needs::Shape},
        {"GetWriteableIMRecords", [](PnGsdClient& g) { g.GetWriteableIMRecords(a, b, c); },
         "GetWriteableIMRecords", R"(["A", "B", "C"])", Needs::Shape},
        {"GetPortSubModuleParameter",
         [](PnGsdClient& g) { g.GetPortSubModuleParameter(a, b, c, d); }, "GetPortParameter",
         R"(["A", "B", "C", "D"])", Needs::Shape},
        {"GetSubmoduleIRTsupportType", [](PnGsdClient& g) { g.GetSubmoduleIRTsupportType(a, b); },
         "GetSubmoduleIRTsupportType", R"(["A", "B"])", Needs::Shape},
        {"IsSubmodulePROFIsafeSupported",
         [](PnGsdClient& g) { g.IsSubmodulePROFIsafeSupported(a, b); },
         "IsSubmodulePROFIsafeSupported", R"(["A", "B"])", Needs::Shape},
        {"GetUnitDiagDescription",
         [](PnGsdClient& g) {
             g.GetUnitDiagDescription(a, b, {0x00, 0x7F, 0x80, 0xFF});
         },
         "GetUnitDiagDescription", R"(["A", "B", [0, 127, 128, 255]])", Needs::Shape},
        {"GetChannalDiagDescription",
         [](PnGsdClient& g) { g.GetChannalDiagDescription(a, 65535, true, 0, 32768, 4294967295u); },
         "GetChannalDiagDescription", R"(["A", 65535, true, 0, 32768, 4294967295])", Needs::Shape},
        {"CalcIoDeviceUpdateTime", [](PnGsdClient& g) { g.CalcIoDeviceUpdateTime(a, b, 0.5f); },
         "CalcIoDeviceUpdateTime", R"(["A", "B", 0.5])", Needs::Shape},
        {"GetSubMoudleIsoParam", [](PnGsdClient& g) { g.GetSubMoudleIsoParam(a, b, c); },
         "GetSubMoudleIsoParam", R"(["A", "B", "C"])", Needs::Shape},
        {"GetSubmoduleAPI", [](PnGsdClient& g) { g.GetSubmoduleAPI(a, b); }, "GetSubmoduleAPI",
         R"(["A", "B"])", Needs::Shape},
        {"GetModuleVirSubSlotAndAPI", [](PnGsdClient& g) { g.GetModuleVirSubSlotAndAPI(a, b, c); },
         "GetModuleVirSubSlotAndAPI", R"(["A", "B", "C"])", Needs::Shape},
        {"GetSubmoduleParamDisallowed", [](PnGsdClient& g) { g.GetSubmoduleParamDisallowed(a, b); },
         "GetSubmoduleParamDisallowed", R"(["A", "B"])", Needs::Shape},
        {"GetKeltoTemplateGSDNameForPNView",
         [](PnGsdClient& g) { g.GetKeltoTemplateGSDNameForPNView(a, false); },
         "GetKeltoTemplateGSDNameForPNView", R"(["A", false])", Needs::Nothing},
        {"GetKeltoTemplateGSDVersionForWizard",
         [](PnGsdClient& g) { g.GetKeltoTemplateGSDVersionForWizard(a); },
         "GetKeltoTemplateGSDVersionForWizard", R"(["A"])", Needs::Nothing},
        {"GetSubModuleBaseInfo", [](PnGsdClient& g) { g.GetSubModuleBaseInfo("", b, c, d); },
         "GetSubModuleBaseInfo", R"(["", "B", "C", "D"])", Needs::Shape},
    };
    return ops;
}

class PnGsdClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!locale_.Active()) {
            GTEST_SKIP()
                << "no legacy code page with a sample in force (POSIX: run scripts/setup-deps.sh)";
        }
    }
    gsdtest::LegacyLocale locale_;
    ScriptedGsdClient client_;
};

}  // namespace

TEST_F(PnGsdClientTest, EveryOperationSendsItsWireMethodAndPositionalParams) {
    ASSERT_EQ(AllOperations().size(), 35u);
    for (const Operation& op : AllOperations()) {
        op.call(client_);
        const Json::Value& sent = client_.LastRequest();
        EXPECT_EQ(sent["method"].asString(), op.wireMethod) << op.name;
        EXPECT_EQ(gsdtest::Compact(sent["params"]), gsdtest::Compact(ParseJson(op.params)))
            << op.name;
        EXPECT_TRUE(sent["id"].isIntegral()) << op.name;
    }
}

TEST_F(PnGsdClientTest, NumbersAreSentAsTheJsonTypesTheServiceReads) {
    client_.GetChannalDiagDescription(a, 65535, false, 1, 2, 4294967295u);
    const Json::Value& params = client_.LastRequest()["params"];
    EXPECT_EQ(params[1].type(), Json::intValue);
    EXPECT_EQ(params[1].asInt(), 65535);
    EXPECT_EQ(params[2].type(), Json::booleanValue);
    EXPECT_EQ(params[5].type(), Json::uintValue);

    client_.GetUnitDiagDescription(a, b, {});
    EXPECT_EQ(client_.LastRequest()["params"][2], Json::Value(Json::arrayValue));
    client_.GetUnitDiagDescription(a, b, {0xFF});
    EXPECT_EQ(client_.LastRequest()["params"][2][0].type(), Json::intValue);

    // The single-precision 0.1 widened, not the double nearest to 0.1.
    client_.CalcIoDeviceUpdateTime(a, b, 0.1f);
    const Json::Value& x = client_.LastRequest()["params"][2];
    EXPECT_EQ(x.type(), Json::realValue);
    EXPECT_EQ(x.asDouble(), static_cast<double>(0.1f));
    EXPECT_NE(x.asDouble(), 0.1);
}

TEST_F(PnGsdClientTest, OnlyTheImportPathIsConvertedToUtf8) {
    const std::string latinPath = std::string("C:/gsd/Ger") + locale_.EAcute() + "t.xml";
    const std::string utf8Path = std::string("C:/gsd/Ger") + gsdtest::kUtf8EAcute + "t.xml";
    client_.TavrelImportGsdFile(latinPath);
    EXPECT_EQ(client_.LastRequest()["params"][0].asString(), utf8Path);
    client_.TavrelRemoveGsdFile(latinPath);
    EXPECT_EQ(client_.LastRequest()["params"][0].asString(), latinPath);
    client_.GetGSDPath(latinPath);
    EXPECT_EQ(client_.LastRequest()["params"][0].asString(), latinPath);
}

// A null or missing result is invalid data exactly for the operations that
// need a shape; the others quietly return their default.
TEST_F(PnGsdClientTest, MissingOrNullResultIsInvalidDataOnlyWhereAShapeIsNeeded) {
    for (bool missing : {false, true}) {
        for (const Operation& op : AllOperations()) {
            if (missing) {
                client_.AnswerNothing();
            } else {
                client_.AnswerResult(Json::Value());
            }
            op.call(client_);
            if (op.needs == Needs::Shape) {
                EXPECT_THAT(Entries(client_),
                            ::testing::ElementsAre(Entry{FailureCode::InvalidData, kInvalidData}))
                    << op.name << (missing ? " (missing)" : " (null)");
                EXPECT_EQ(client_.GetLastErrCode(), FailureCode::InvalidData) << op.name;
            } else {
                EXPECT_TRUE(Entries(client_).empty()) << op.name;
            }
        }
    }
}

// Answers of the wrong shape, per operation. Each is reported once and gives
// the default; shapes beside the rule are read without an entry.
TEST_F(PnGsdClientTest, WrongShapesAreInvalidDataAndGiveDefaults) {
    struct ShapeCase {
        const char* what;
        std::function<bool(PnGsdClient&)> returnsDefault;
        const char* result;
        bool invalid;
    };
    const std::vector<ShapeCase> cases = {
        {"device catalogue from object",
         [](PnGsdClient& g) { return g.GetDeviceCatalogs(a).empty(); }, "{}", true},
        {"device catalogue from array",
         [](PnGsdClient& g) { return g.GetDeviceCatalogs(a).empty(); }, "[{}]", false},
        {"templates from object", [](PnGsdClient& g) { return g.GetGSDTemplateCatalogs().empty(); },
         "{}", false},
        {"device info from array",
         [](PnGsdClient& g) { return g.GetGsdDeviceInfo(a).VendorIdentNumber == 0; }, "[]", true},
        {"import result from string",
         [](PnGsdClient& g) { return !g.TavrelImportGsdFile("p").IsSuccess; }, R"("ok")", true},
        {"PROFIsafe from number",
         [](PnGsdClient& g) { return !g.IsSubmodulePROFIsafeSupported(a, b); }, "1", true},
        {"PROFIsafe from boolean",
         [](PnGsdClient& g) { return !g.IsSubmodulePROFIsafeSupported(a, b); }, "true", false},
        {"parameter disallowed from string",
         [](PnGsdClient& g) { return !g.GetSubmoduleParamDisallowed(a, b); }, R"("true")", true},
        {"built-in modules from object",
         [](PnGsdClient& g) { return g.GetBuildInModuleData(a, b).empty(); }, "{}", true},
        {"built-in modules from empty array",
         [](PnGsdClient& g) { return g.GetBuildInModuleData(a, b).empty(); }, "[]", false},
        {"parameters from object",
         [](PnGsdClient& g) { return g.GetSubModuleParameter(a, b, c).empty(); }, "{}", false},
        {"physical slots from object",
         [](PnGsdClient& g) { return g.GetDevicePhysicalSlots(a, b).empty(); }, R"({"a": 1})",
         true},
        {"physical slots from array",
         [](PnGsdClient& g) { return g.GetDevicePhysicalSlots(a, b).empty(); }, "[1, 2]", false},
        {"subslots from number",
         [](PnGsdClient& g) { return g.GetModulePhysicalSubSlots(a, b, c).empty(); }, "3", true},
        {"I&M records from object",
         [](PnGsdClient& g) { return g.GetWriteableIMRecords(a, b, c).empty(); }, "{}", true},
        {"module data from array",
         [](PnGsdClient& g) { return g.GetModuleData(a, b, c).Item.SlotNumber == 0; }, "[]", true},
        {"submodule data from string",
         [](PnGsdClient& g) { return g.GetSubModuleData(a, b, c).SlotNumber == 0; }, R"("x")",
         true},
        {"submodule data from its Item",
         [](PnGsdClient& g) { return g.GetSubModuleData(a, b, c).SlotNumber == 0; },
         R"({"Item": {"SlotNumber": 3}})", false},
        {"update times marked invalid",
         [](PnGsdClient& g) { return g.CalcIoDeviceUpdateTime(a, b, 1.0f).empty(); },
         R"({"IsValid": false, "Selector": [{"Value": 1}]})", true},
        {"isochronous mode from array",
         [](PnGsdClient& g) { return g.GetSubMoudleIsoParam(a, b, c).T_DC_Base == 0; }, "[]", true},
        {"virtual subslot from number",
         [](PnGsdClient& g) { return !g.GetModuleVirSubSlotAndAPI(a, b, c).isExist; }, "0", true},
        {"base info from array",
         [](PnGsdClient& g) { return g.GetSubModuleBaseInfo(a, b, c, d).Name.empty(); }, "[]",
         true},
        {"names from object", [](PnGsdClient& g) { return g.GetInstalledGSDsNames().empty(); },
         R"({"a": "x"})", false},
    };
    for (const ShapeCase& sc : cases) {
        client_.AnswerResult(ParseJson(sc.result));
        const bool isDefault = sc.returnsDefault(client_);
        if (sc.invalid) {
            EXPECT_TRUE(isDefault) << sc.what;
            EXPECT_THAT(Entries(client_),
                        ::testing::ElementsAre(Entry{FailureCode::InvalidData, kInvalidData}))
                << sc.what;
        } else {
            EXPECT_TRUE(Entries(client_).empty()) << sc.what;
        }
    }
}

TEST_F(PnGsdClientTest, ScalarResultsAreReadWithTheirOwnConversions) {
    client_.AnswerResult(Json::Value(4294967295u));
    EXPECT_EQ(client_.GetSubmoduleAPI(a, b), -1);
    client_.AnswerResult(Json::Value(0x8000u));
    EXPECT_EQ(client_.GetSubmoduleAPI(a, b), 0x8000);

    client_.AnswerResult(Json::Value(-7));
    EXPECT_EQ(client_.GetSubmoduleIRTsupportType(a, b),
              static_cast<Tavrel::Gsd::supportRTType>(-7));

    client_.AnswerResult(Json::Value(true), 2);
    EXPECT_TRUE(client_.GetSubmoduleParamDisallowed(a, b));
    EXPECT_TRUE(client_.IsSubmodulePROFIsafeSupported(a, b));

    client_.AnswerResult(Json::Value("tmpl.xml"), 2);
    EXPECT_EQ(client_.GetKeltoTemplateGSDNameForPNView(a, true), "tmpl.xml");
    EXPECT_EQ(client_.GetKeltoTemplateGSDVersionForWizard(a), "tmpl.xml");
    EXPECT_TRUE(Entries(client_).empty());
}

TEST_F(PnGsdClientTest, FileManagementTextsAreConvertedFieldByField) {
    const std::string utf8 = std::string("Ger") + gsdtest::kUtf8EAcute + "t";
    const std::string latin = std::string("Ger") + locale_.EAcute() + "t";

    Json::Value import(Json::objectValue);
    import["GsdName"] = utf8;
    import["GsdPath"] = utf8;
    import["IsSuccess"] = false;
    import["IsValid"] = true;
    import["ErrorMessages"].append(utf8);
    import["ErrorMessages"].append("second");
    client_.AnswerResult(import);
    const PnGsdClient::GsdImportResult imported = client_.TavrelImportGsdFile("p");
    EXPECT_EQ(imported.GsdName, utf8);
    EXPECT_EQ(imported.GsdPath, latin);
    EXPECT_FALSE(imported.IsSuccess);
    EXPECT_TRUE(imported.IsValid);
    EXPECT_THAT(imported.ErrorMessages, ::testing::ElementsAre(latin, "second"));

    import["ErrorMessages"] = "not a list";
    client_.AnswerResult(import);
    EXPECT_TRUE(client_.TavrelRemoveGsdFile("n").ErrorMessages.empty());
    EXPECT_TRUE(Entries(client_).empty());

    Json::Value installed(Json::arrayValue);
    installed[0]["GsdName"] = utf8;
    installed[0]["FilePath"] = utf8;
    installed[0]["InstallDateTime"] = "2026-01-02T03:04:05Z";
    installed[0]["HashValueString"] = "ab12";
    client_.AnswerResult(installed);
    const auto files = client_.TavrelGetInstalledGsds();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].GsdName, utf8);
    EXPECT_EQ(files[0].FilePath, latin);
    EXPECT_EQ(files[0].InstallDateTime, "2026-01-02T03:04:05Z");
    EXPECT_EQ(files[0].HashValueString, "ab12");

    Json::Value names(Json::arrayValue);
    names.append(utf8);
    client_.AnswerResult(names, 2);
    EXPECT_THAT(client_.TavrelRefreshGsds(), ::testing::ElementsAre(latin));
    EXPECT_THAT(client_.GetInstalledGSDsNames(), ::testing::ElementsAre(utf8));
}

TEST_F(PnGsdClientTest, FailedExchangesLeaveOnlyTheCallCyclesEntry) {
    client_.AnswerError(-32601, "no such method");
    EXPECT_TRUE(client_.GetDeviceCatalogs(a).empty());
    EXPECT_THAT(Entries(client_),
                ::testing::ElementsAre(Entry{FailureCode::InvalidMethod, "no such method"}));

    client_.AnswerError(-32050, "busy");
    EXPECT_EQ(client_.GetGSDPath(a), "");
    EXPECT_EQ(client_.GetLastErrCode(), -32050);
    EXPECT_EQ(Entries(client_).size(), 1u);

    // A client without a server sends nothing and records nothing.
    PnGsdClient detached(nullptr);
    EXPECT_TRUE(detached.GetDevicePhysicalSlots(a, b).empty());
    EXPECT_FALSE(detached.HasError());
}

TEST_F(PnGsdClientTest, UnreadableMembersRaiseTheJsonLibrarysException) {
    client_.AnswerResult(ParseJson(R"({"VendorIdentNumber": "many"})"));
    EXPECT_THROW(client_.GetGsdDeviceInfo(a), Json::Exception);
    client_.AnswerResult(ParseJson(R"({"a": 1})"));
    EXPECT_THROW(client_.GetGSDPath(a), Json::Exception);
    client_.AnswerResult(ParseJson(R"(["x", {"y": 1}])"));
    EXPECT_THROW(client_.GetInstalledGSDsNames(), Json::Exception);
}
