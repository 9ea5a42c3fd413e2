// SPDX-License-Identifier: Apache-2.0
// The catalogue client over a scripted exchange: requests, invalid data, results.

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
using ::testing::ElementsAre;
namespace FailureCode = RpcClient::FailureCode;

namespace {

using Entry = std::pair<long, std::string>;
const Entry kInvalidData{FailureCode::InvalidData,
                         "Invalid data: RPC return null or invalid data."};

struct ScriptedGsdClient : Scripted<PnGsdClient> {
    std::vector<Entry> Entries() const { return {GetErrList().begin(), GetErrList().end()}; }
    const Json::Value& LastParams() const { return sent.back()["params"]; }
};

const std::string a = "A", b = "B", c = "C", d = "D";

struct PnGsdClientTest : gsdtest::CodePageTest {
    ScriptedGsdClient client_;
};

}  // namespace

// The single-precision 0.1 widened, not the double nearest to 0.1 (the
// facade's test shows the other numbers); only the import path made UTF-8.
TEST_F(PnGsdClientTest, RequestsCarryTheServicesNumberTypesAndOnlyTheImportPathInUtf8) {
    client_.CalcIoDeviceUpdateTime(a, b, 0.1f);
    EXPECT_EQ(client_.LastParams()[2].type(), Json::realValue);
    EXPECT_EQ(client_.LastParams()[2].asDouble(), static_cast<double>(0.1f));
    const std::string latin = "C:/Ger" + EAcute() + "t.xml";
    client_.TavrelImportGsdFile(latin);
    EXPECT_EQ(client_.sent.back()["method"], "TavrelImportGsdFile");
    EXPECT_EQ(client_.LastParams()[0].asString(), std::string("C:/Ger\xC3\xA9t.xml"));
    client_.TavrelRemoveGsdFile(latin);
    EXPECT_EQ(client_.sent.back()["method"], "TavrelRemoveGsdFile");
    EXPECT_EQ(client_.LastParams()[0].asString(), latin);
    client_.GetGSDPath(latin);
    EXPECT_EQ(client_.LastParams()[0].asString(), latin);
}

// Each answer is read (no entry) or refused as invalid data once, the operation
// then giving its default; the facade's tests cover null and missing results.
TEST_F(PnGsdClientTest, ResultsAreReadOrRefusedByTheirShape) {
    struct Case {
        const char* what;
        const char* result;
        bool invalid;
        std::function<bool(PnGsdClient&)> holds;
    };
    // clang-format off
#define CASE(result, invalid, ...) Case{#__VA_ARGS__, result, invalid, [](PnGsdClient& g) { return __VA_ARGS__; }}
    const Case cases[] = {
        CASE("null", true, !g.TavrelImportGsdFile("p").IsSuccess),
        CASE("null", true, !g.TavrelRemoveGsdFile("p").IsSuccess),
        CASE("null", false, g.TavrelGetInstalledGsds().empty()),
        CASE("null", false, g.TavrelRefreshGsds().empty()),
        CASE("null", false, g.GetGSDPath(a).empty()),
        CASE("{}", true, g.GetDeviceCatalogs(a).empty()),
        CASE("[{}]", false, g.GetDeviceCatalogs(a).size() == 1),
        CASE("{}", false, g.GetGSDTemplateCatalogs().empty()),
        CASE("[]", true, g.GetGsdDeviceInfo(a).VendorIdentNumber == 0),
        CASE(R"("ok")", true, !g.TavrelImportGsdFile("p").IsSuccess),
        CASE("1", true, !g.IsSubmodulePROFIsafeSupported(a, b)),
        CASE("true", false, g.IsSubmodulePROFIsafeSupported(a, b)),
        CASE(R"("true")", true, !g.GetSubmoduleParamDisallowed(a, b)),
        CASE("true", false, g.GetSubmoduleParamDisallowed(a, b)),
        CASE("{}", true, g.GetBuildInModuleData(a, b).empty()),
        CASE("[]", false, g.GetBuildInModuleData(a, b).empty()),
        CASE("{}", false, g.GetSubModuleParameter(a, b, c).empty()),
        CASE(R"({"a": 1})", true, g.GetDevicePhysicalSlots(a, b).empty()),
        CASE("[1, 2]", false, g.GetDevicePhysicalSlots(a, b) == std::vector<int>{1, 2}),
        CASE("3", true, g.GetModulePhysicalSubSlots(a, b, c).empty()),
        CASE("{}", true, g.GetWriteableIMRecords(a, b, c).empty()),
        CASE("[]", true, g.GetModuleData(a, b, c).Item.SlotNumber == 0),
        CASE(R"("x")", true, g.GetSubModuleData(a, b, c).SlotNumber == 0),
        CASE(R"({"Item": {"SlotNumber": 3}})", false, g.GetSubModuleData(a, b, c).SlotNumber == 3),
        CASE(R"({"IsValid": false, "Selector": [{"Value": 1}]})", true, g.CalcIoDeviceUpdateTime(a, b, 1.0f).empty()),
        CASE("[]", true, g.GetSubMoudleIsoParam(a, b, c).T_DC_Base == 0),
        CASE("0", true, !g.GetModuleVirSubSlotAndAPI(a, b, c).isExist),
        CASE("[]", true, g.GetSubModuleBaseInfo(a, b, c, d).Name.empty()),
        CASE(R"({"a": "x"})", false, g.GetInstalledGSDsNames().empty()),
        CASE("4294967295", false, g.GetSubmoduleAPI(a, b) == -1),
        CASE("32768", false, g.GetSubmoduleAPI(a, b) == 0x8000),
        CASE("-7", false, g.GetSubmoduleIRTsupportType(a, b) == static_cast<Tavrel::Gsd::supportRTType>(-7)),
        CASE(R"("t.xml")", false, g.GetKeltoTemplateGSDNameForPNView(a, true) == "t.xml"),
        CASE(R"("t.xml")", false, g.GetKeltoTemplateGSDVersionForWizard(a) == "t.xml"),
    };
    // clang-format on
#undef CASE
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.what) + " from " + row.result);
        client_.ReplyResult(ParseJson(row.result));
        EXPECT_TRUE(row.holds(client_));
        EXPECT_EQ(client_.Entries(),
                  row.invalid ? std::vector<Entry>{kInvalidData} : std::vector<Entry>{});
    }
    // Members of the wrong type are the JSON library's exception.
    client_.ReplyResult(ParseJson(R"({"VendorIdentNumber": "many"})"));
    EXPECT_THROW(client_.GetGsdDeviceInfo(a), Json::Exception);
    client_.ReplyResult(ParseJson(R"({"a": 1})"));
    EXPECT_THROW(client_.GetGSDPath(a), Json::Exception);
    client_.ReplyResult(ParseJson(R"(["x", {"y": 1}])"));
    EXPECT_THROW(client_.GetInstalledGSDsNames(), Json::Exception);
}

TEST_F(PnGsdClientTest, FileManagementTextsAreConvertedFieldByField) {
    const std::string utf8 = std::string("Ger") + gsdtest::kUtf8EAcute + "t";
    const std::string latin = "Ger" + EAcute() + "t";
    const std::string u = "\"" + utf8 + "\"";
    Json::Value import = ParseJson(R"({"GsdName": )" + u + R"(, "GsdPath": )" + u +
                                   R"(, "IsSuccess": false, "IsValid": true, "ErrorMessages": [)" +
                                   u + R"(, "second"]})");
    client_.ReplyResult(import);
    const PnGsdClient::GsdImportResult imported = client_.TavrelImportGsdFile("p");
    EXPECT_EQ(imported.GsdName + "|" + imported.GsdPath, utf8 + "|" + latin);
    EXPECT_TRUE(!imported.IsSuccess && imported.IsValid);
    EXPECT_THAT(imported.ErrorMessages, ElementsAre(latin, "second"));
    import["ErrorMessages"] = "not a list";
    client_.ReplyResult(import);
    EXPECT_TRUE(client_.TavrelRemoveGsdFile("n").ErrorMessages.empty());

    client_.ReplyResult(
        ParseJson(R"([{"GsdName": )" + u + R"(, "FilePath": )" + u +
                  R"(, "InstallDateTime": "2026-01-02", "HashValueString": "ab"}])"));
    const auto file = client_.TavrelGetInstalledGsds().at(0);
    EXPECT_EQ(client_.sent.back()["method"], "TavrelGetInstalledGsds");
    EXPECT_EQ(file.GsdName + "|" + file.FilePath + "|" + file.InstallDateTime + "|" +
                  file.HashValueString,
              utf8 + "|" + latin + "|2026-01-02|ab");
    client_.ReplyResult(ParseJson("[" + u + "]"));
    client_.ReplyResult(ParseJson("[" + u + "]"));
    EXPECT_THAT(client_.TavrelRefreshGsds(), ElementsAre(latin));
    EXPECT_THAT(client_.GetInstalledGSDsNames(), ElementsAre(utf8));
    EXPECT_TRUE(client_.Entries().empty());
}
