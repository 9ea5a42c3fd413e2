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
    void AnswerError(const std::string& error) {
        Reply(ParseJson(R"({"jsonrpc": "2.0", "error": )" + error + "}"));
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

// One operation: its name, the call with the arguments given, the method and
// parameters on the wire, and whether it needs a shape of the whole result.
// clang-format off
#define OP(needs, wire, params, ...) \
    Operation{#__VA_ARGS__, [](PnGsdClient& g) { g.__VA_ARGS__; }, wire, params, Needs::needs}
// clang-format on

const std::vector<Operation>& AllOperations() {
    static const std::vector<Operation> ops = {
        OP(Shape, "TavrelImportGsdFile", R"(["x.xml"])", TavrelImportGsdFile("x.xml")),
        OP(Shape, "TavrelRemoveGsdFile", R"(["A"])", TavrelRemoveGsdFile(a)),
        OP(Nothing, "TavrelRefreshGsds", "[]", TavrelRefreshGsds()),
        OP(Nothing, "TavrelGetInstalledGsds", "[]", TavrelGetInstalledGsds()),
        OP(Nothing, "GetInstalledGSDsNames", "[]", GetInstalledGSDsNames()),
        OP(Nothing, "GetGSDPath", R"(["A"])", GetGSDPath(a)),
        OP(Shape, "GetGsdDeviceInfo", R"(["A"])", GetGsdDeviceInfo(a)),
        OP(Shape, "GetDeviceCatalogs", R"(["A"])", GetDeviceCatalogs(a)),
        OP(Nothing, "GetGSDTemplateCatalogs", "[]", GetGSDTemplateCatalogs()),
        OP(Shape, "GetPluggableModuleCatalog", R"(["A", "B"])", GetPluggableModuleCatalog(a, b)),
        OP(Shape, "GetPluggableSubModuleListCatalog", R"(["A", "B", "C"])",
           GetPluggableSubModuleListCatalog(a, b, c)),
        OP(Shape, "GetDeviceSubModuleListCatalog", R"(["A", "B"])",
           GetPluggableSubModuleListCatalogByDevID(a, b)),
        OP(Shape, "GetPluggableModuleSlotRelation", R"(["A", "B", "C"])",
           GetPluggableModuleSlotRelation(a, b, c)),
        OP(Shape, "GetPluggableSubModuleSlotRelation", R"(["A", "B", "C"])",
           GetPluggableSubModuleSlotRelation(a, b, c)),
        OP(Shape, "GetBuildInModuleData", R"(["A", "B"])", GetBuildInModuleData(a, b)),
        OP(Shape, "GetDevicePhysicalSlots", R"(["A", "B"])", GetDevicePhysicalSlots(a, b)),
        OP(Shape, "GetModulePhysicalSlots", R"(["A", "B", "C"])",
           GetModulePhysicalSubSlots(a, b, c)),
        OP(Shape, "GetDapModuleInfo", R"(["A", "B"])", GetDapModuleInfo(a, b)),
        OP(Shape, "GetModuleData", R"(["A", "B", "C"])", GetModuleData(a, b, c)),
        OP(Shape, "GetSubModuleData", R"(["A", "B", "C"])", GetSubModuleData(a, b, c)),
        OP(Shape, "GetSubMouleParameter", R"(["A", "B", "C"])", GetSubModuleParameter(a, b, c)),
        OP(Shape, "GetWriteableIMRecords", R"(["A", "B", "C"])", GetWriteableIMRecords(a, b, c)),
        OP(Shape, "GetPortParameter", R"(["A", "B", "C", "D"])",
           GetPortSubModuleParameter(a, b, c, d)),
        OP(Shape, "GetSubmoduleIRTsupportType", R"(["A", "B"])", GetSubmoduleIRTsupportType(a, b)),
        OP(Shape, "IsSubmodulePROFIsafeSupported", R"(["A", "B"])",
           IsSubmodulePROFIsafeSupported(a, b)),
        OP(Shape, "GetUnitDiagDescription", R"(["A", "B", [0, 127, 128, 255]])",
           GetUnitDiagDescription(a, b, {0x00, 0x7F, 0x80, 0xFF})),
        OP(Shape, "GetChannalDiagDescription", R"(["A", 65535, true, 0, 32768, 4294967295])",
           GetChannalDiagDescription(a, 65535, true, 0, 32768, 4294967295u)),
        OP(Shape, "CalcIoDeviceUpdateTime", R"(["A", "B", 0.5])",
           CalcIoDeviceUpdateTime(a, b, 0.5f)),
        OP(Shape, "GetSubMoudleIsoParam", R"(["A", "B", "C"])", GetSubMoudleIsoParam(a, b, c)),
        OP(Shape, "GetSubmoduleAPI", R"(["A", "B"])", GetSubmoduleAPI(a, b)),
        OP(Shape, "GetModuleVirSubSlotAndAPI", R"(["A", "B", "C"])",
           GetModuleVirSubSlotAndAPI(a, b, c)),
        OP(Shape, "GetSubmoduleParamDisallowed", R"(["A", "B"])",
           GetSubmoduleParamDisallowed(a, b)),
        OP(Nothing, "GetKeltoTemplateGSDNameForPNView", R"(["A", false])",
           GetKeltoTemplateGSDNameForPNView(a, false)),
        OP(Nothing, "GetKeltoTemplateGSDVersionForWizard", R"(["A"])",
           GetKeltoTemplateGSDVersionForWizard(a)),
        OP(Shape, "GetSubModuleBaseInfo", R"(["", "B", "C", "D"])",
           GetSubModuleBaseInfo("", b, c, d)),
    };
    return ops;
}
#undef OP

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
            missing ? client_.ReplyNothing() : client_.AnswerResult(Json::Value());
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
    // clang-format off
#define SHAPE(what, result, invalid, returnsDefault) \
    ShapeCase{what, [](PnGsdClient& g) { return returnsDefault; }, result, invalid}
    // clang-format on
    const std::vector<ShapeCase> cases = {
        SHAPE("device catalogue from object", "{}", true, g.GetDeviceCatalogs(a).empty()),
        SHAPE("device catalogue from array", "[{}]", false, g.GetDeviceCatalogs(a).empty()),
        SHAPE("templates from object", "{}", false, g.GetGSDTemplateCatalogs().empty()),
        SHAPE("device info from array", "[]", true, g.GetGsdDeviceInfo(a).VendorIdentNumber == 0),
        SHAPE("import result from string", R"("ok")", true, !g.TavrelImportGsdFile("p").IsSuccess),
        SHAPE("PROFIsafe from number", "1", true, !g.IsSubmodulePROFIsafeSupported(a, b)),
        SHAPE("PROFIsafe from boolean", "true", false, !g.IsSubmodulePROFIsafeSupported(a, b)),
        SHAPE("parameter disallowed from string", R"("true")", true,
              !g.GetSubmoduleParamDisallowed(a, b)),
        SHAPE("built-in modules from object", "{}", true, g.GetBuildInModuleData(a, b).empty()),
        SHAPE("built-in modules from empty array", "[]", false,
              g.GetBuildInModuleData(a, b).empty()),
        SHAPE("parameters from object", "{}", false, g.GetSubModuleParameter(a, b, c).empty()),
        SHAPE("physical slots from object", R"({"a": 1})", true,
              g.GetDevicePhysicalSlots(a, b).empty()),
        SHAPE("physical slots from array", "[1, 2]", false, g.GetDevicePhysicalSlots(a, b).empty()),
        SHAPE("subslots from number", "3", true, g.GetModulePhysicalSubSlots(a, b, c).empty()),
        SHAPE("I&M records from object", "{}", true, g.GetWriteableIMRecords(a, b, c).empty()),
        SHAPE("module data from array", "[]", true, g.GetModuleData(a, b, c).Item.SlotNumber == 0),
        SHAPE("submodule data from string", R"("x")", true,
              g.GetSubModuleData(a, b, c).SlotNumber == 0),
        SHAPE("submodule data from its Item", R"({"Item": {"SlotNumber": 3}})", false,
              g.GetSubModuleData(a, b, c).SlotNumber == 0),
        SHAPE("update times marked invalid", R"({"IsValid": false, "Selector": [{"Value": 1}]})",
              true, g.CalcIoDeviceUpdateTime(a, b, 1.0f).empty()),
        SHAPE("isochronous mode from array", "[]", true,
              g.GetSubMoudleIsoParam(a, b, c).T_DC_Base == 0),
        SHAPE("virtual subslot from number", "0", true,
              !g.GetModuleVirSubSlotAndAPI(a, b, c).isExist),
        SHAPE("base info from array", "[]", true, g.GetSubModuleBaseInfo(a, b, c, d).Name.empty()),
        SHAPE("names from object", R"({"a": "x"})", false, g.GetInstalledGSDsNames().empty()),
    };
#undef SHAPE
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
    const std::string u = "\"" + utf8 + "\"";
    Json::Value import = ParseJson(R"({"GsdName": )" + u + R"(, "GsdPath": )" + u +
                                   R"(, "IsSuccess": false, "IsValid": true, "ErrorMessages": [)" +
                                   u + R"(, "second"]})");
    client_.AnswerResult(import);
    const PnGsdClient::GsdImportResult imported = client_.TavrelImportGsdFile("p");
    EXPECT_EQ(imported.GsdName + "|" + imported.GsdPath, utf8 + "|" + latin);
    EXPECT_FALSE(imported.IsSuccess);
    EXPECT_TRUE(imported.IsValid);
    EXPECT_THAT(imported.ErrorMessages, ::testing::ElementsAre(latin, "second"));
    import["ErrorMessages"] = "not a list";
    client_.AnswerResult(import);
    EXPECT_TRUE(client_.TavrelRemoveGsdFile("n").ErrorMessages.empty());
    EXPECT_TRUE(Entries(client_).empty());

    client_.AnswerResult(ParseJson(R"([{"GsdName": )" + u + R"(, "FilePath": )" + u +
                                   R"(, "InstallDateTime": "2026-01-02T03:04:05Z",
                                   "HashValueString": "ab12"}])"));
    const auto files = client_.TavrelGetInstalledGsds();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].GsdName + "|" + files[0].FilePath + "|" + files[0].InstallDateTime + "|" +
                  files[0].HashValueString,
              utf8 + "|" + latin + "|2026-01-02T03:04:05Z|ab12");

    client_.AnswerResult(ParseJson("[" + u + "]"), 2);
    EXPECT_THAT(client_.TavrelRefreshGsds(), ::testing::ElementsAre(latin));
    EXPECT_THAT(client_.GetInstalledGSDsNames(), ::testing::ElementsAre(utf8));
}

TEST_F(PnGsdClientTest, FailedExchangesLeaveOnlyTheCallCyclesEntry) {
    client_.AnswerError(R"({"code": -32601, "message": "no such method"})");
    EXPECT_TRUE(client_.GetDeviceCatalogs(a).empty());
    EXPECT_THAT(Entries(client_),
                ::testing::ElementsAre(Entry{FailureCode::InvalidMethod, "no such method"}));

    client_.AnswerError(R"({"code": -32050, "message": "busy"})");
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
