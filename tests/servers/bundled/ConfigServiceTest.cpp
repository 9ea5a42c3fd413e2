// SPDX-License-Identifier: Apache-2.0
#include "ConfigService.h"
#include "servers/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TestJson::ParseJson;

TEST(ConfigServiceArguments, LanguageComesFromTheLOptionWhicheverWayItWasSplit) {
    const struct {
        std::vector<std::string> arguments;
        std::string language;
    } cases[] = {
        {{}, "en"},         {{"-l", "de"}, "de"},
        {{"-l de"}, "de"},  {{"-l", "pt", "BR"}, "pt BR"},
        {{"-l", ""}, "en"}, {{"-l"}, "en"},
        {{"-lde"}, "en"},   {{"--verbose", "-l", "2"}, "2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TavrelPN::ParseConfigServiceArguments(c.arguments).language, c.language)
            << testing::PrintToString(c.arguments);
    }
}

// Each call's whole result, or the code it is refused with.
TEST(ConfigService, AnswersOrRefusesEachCallExactly) {
    ServerKit::RpcDispatcher dispatcher;
    TavrelPN::AddConfigService(dispatcher, {});
    const std::string record = R"({"TestInt":3,"TestString":"t","TestBool":true,"TestDouble":0.25,
        "TestFloat":1.5,"InnerStruct":{"InnerInt":-4,"InnerString":"i","InnerBool":false,
        "InnerDouble":8.5,"InnerFloat":-2.0}})";
    const struct {
        const char* method;
        std::string params;
        const char* expected;  // the result, or the error code
    } cases[] = {
        // RunTest answers with its params twice, the float in single precision.
        {"RunTest", R"([-2147483648,"\u00e9\"\n",false,0.1,0.1])",
         R"({"InnerStruct": {"InnerBool": false, "InnerDouble": 0.1,
             "InnerFloat": 0.10000000149011612, "InnerInt": -2147483648, "InnerString": "\u00e9\"\n"},
             "TestBool": false, "TestDouble": 0.1, "TestFloat": 0.10000000149011612,
             "TestInt": -2147483648, "TestString": "\u00e9\"\n"})"},
        {"RunTest", R"([0,"",true,-0.0,3.4e38])",
         R"({"InnerStruct": {"InnerBool": true, "InnerDouble": -0.0,
             "InnerFloat": 3.3999999521443642e+38, "InnerInt": 0, "InnerString": ""},
             "TestBool": true, "TestDouble": -0.0, "TestFloat": 3.3999999521443642e+38,
             "TestInt": 0, "TestString": ""})"},
        {"RunTest", R"([7, "x", true, 1.5])", "-32602"},
        {"RunTest", R"([7, "x", true, 1.5, 2.5, 0])", "-32602"},
        {"RunTest", R"(["7", "x", true, 1.5, 2.5])", "-32602"},
        {"RunTest", R"([7, 8, true, 1.5, 2.5])", "-32602"},
        {"RunTest", R"([7, "x", 1, 1.5, 2.5])", "-32602"},
        {"RunTest", R"([7, "x", true, "1.5", 2.5])", "-32602"},
        {"RunTest", R"([1.5, "x", true, 1.5, 2.5])", "-32602"},
        {"RunTest", R"([4294967296, "x", true, 1.5, 2.5])", "-32602"},
        {"RunTest", R"({"a": 1})", "-32602"},
        {"TestStructArray", "[" + record + ",0]", "[]"},
        {"TestStructArray", "[" + record + ",-1]", "-32602"},
        {"TestStructArray",
         "[" + record + "," + std::to_string(TavrelPN::kMaxTestStructCount + 1) + "]", "-32602"},
        {"TestStructArray", "[3, 1]", "-32602"},
        {"TestStructArray", R"([{"TestInt":1}, 1])", "-32602"},
        {"TestStructArray",
         R"([{"TestInt":1,"TestString":"","TestBool":true,"TestDouble":0,"TestFloat":0}, 1])",
         "-32602"},
        {"TestStructArray", R"([{"TestInt":1,"TestString":"","TestBool":true,"TestDouble":0,
            "TestFloat":0,"InnerStruct":[]}, 1])",
         "-32602"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.params);
        const Json::Value response = ServerTest::Call(dispatcher, c.method, ParseJson(c.params));
        const Json::Value expected = ParseJson(c.expected);
        EXPECT_EQ(expected.isInt() ? response["error"]["code"] : response["result"], expected);
    }
    // The record comes back as often as asked, up to the limit.
    for (int count : {1, 3, TavrelPN::kMaxTestStructCount}) {
        const Json::Value result =
            ServerTest::Call(dispatcher, "TestStructArray",
                             ParseJson("[" + record + "," + std::to_string(count) + "]"))["result"];
        ASSERT_EQ(result.size(), static_cast<Json::ArrayIndex>(count));
        for (const Json::Value& element : result) {
            EXPECT_EQ(element, ParseJson(record));
        }
    }
}

}  // namespace
