// SPDX-License-Identifier: Apache-2.0
#include "ConfigService.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>
#include <json/reader.h>
#include <wire/FastJsonWriter.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using TestJson::ParseJson;

class ConfigService : public testing::Test {
protected:
    ConfigService() { TavrelPN::AddConfigService(dispatcher_, {}); }

    Json::Value Call(const std::string& method, const std::string& params) {
        Json::Value request(Json::objectValue);
        request["jsonrpc"] = "2.0";
        request["id"] = 1;
        request["method"] = method;
        request["params"] = ParseJson(params);
        const Json::Value response = dispatcher_.Handle(request);
        // Read from its text, the request must get the same bytes.
        std::string text;
        std::string answer;
        std::string expected;
        RpcClient::AppendJson(text, request);
        const std::size_t size = text.size();
        text.resize(size + ServerKit::RpcDispatcher::kTextSlack);
        EXPECT_TRUE(dispatcher_.HandleText(text.data(), size, text.size(), answer));
        RpcClient::AppendJson(expected, response);
        EXPECT_EQ(answer, expected);
        return response;
    }

    ServerKit::RpcDispatcher dispatcher_;
};

const char* const kRecord = R"({"TestInt":3,"TestString":"t","TestBool":true,"TestDouble":0.25,
    "TestFloat":1.5,"InnerStruct":{"InnerInt":-4,"InnerString":"i","InnerBool":false,
    "InnerDouble":8.5,"InnerFloat":-2.0}})";

TEST(ConfigServiceArguments, LanguageComesFromTheLOptionWhicheverWayItWasSplit) {
    struct Case {
        std::vector<std::string> arguments;
        std::string language;
    };
    const Case cases[] = {
        {{}, "en"},         {{"-l", "de"}, "de"},
        {{"-l de"}, "de"},  {{"-l", "pt", "BR"}, "pt BR"},
        {{"-l", ""}, "en"}, {{"-l"}, "en"},
        {{"-lde"}, "en"},   {{"--verbose", "-l", "2"}, "2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TavrelPN::ParseConfigServiceArguments(c.arguments).language, c.language)
            << testing::PrintToString(c.arguments);
    }
}

TEST_F(ConfigService, WrongParamsAreRefusedWithInvalidParams) {
    const struct {
        const char* method;
        const char* params;
    } cases[] = {
        {"RunTest", R"([7, "x", true, 1.5])"},
        {"RunTest", R"([7, "x", true, 1.5, 2.5, 0])"},
        {"RunTest", R"(["7", "x", true, 1.5, 2.5])"},
        {"RunTest", R"([7, 8, true, 1.5, 2.5])"},
        {"RunTest", R"([7, "x", 1, 1.5, 2.5])"},
        {"RunTest", R"([7, "x", true, "1.5", 2.5])"},
        {"RunTest", R"([1.5, "x", true, 1.5, 2.5])"},
        {"RunTest", R"([4294967296, "x", true, 1.5, 2.5])"},
        {"RunTest", R"({"a": 1})"},
        {"RunTest", "null"},
        {"TestStructArray", "[3, 1]"},
        {"TestStructArray", R"([{"TestInt":1}, 1])"},
        {"TestStructArray", R"([{"TestInt":1,"TestString":"","TestBool":true,"TestDouble":0,
            "TestFloat":0}, 1])"},
        {"TestStructArray", R"([{"TestInt":1,"TestString":"","TestBool":true,"TestDouble":0,
            "TestFloat":0,"InnerStruct":[]}, 1])"},
    };
    for (const auto& c : cases) {
        const Json::Value response = Call(c.method, c.params);
        EXPECT_EQ(response["error"]["code"].asInt(), -32602) << c.method << " " << c.params;
    }
}

TEST_F(ConfigService, RunTestAnswersWithItsParamsTwice) {
    for (const char* params :
         {R"([7,"abc",true,1.5,2.25])", R"([-2147483648,"\u00e9\"\n",false,0.1,0.1])",
          R"([0,"",true,-0.0,3.4e38])"}) {
        const Json::Value result = Call("RunTest", params)["result"];
        EXPECT_EQ(result["TestFloat"], result["InnerStruct"]["InnerFloat"]) << params;
    }
}

TEST_F(ConfigService, TestStructArrayRepeatsTheRecordWithinTheCountLimit) {
    const Json::Value record = ParseJson(kRecord);
    const int limit = TavrelPN::kMaxTestStructCount;
    for (int count : {0, 1, 3, limit}) {
        const Json::Value result =
            Call("TestStructArray",
                 "[" + std::string(kRecord) + "," + std::to_string(count) + "]")["result"];
        ASSERT_TRUE(result.isArray()) << count;
        ASSERT_EQ(result.size(), static_cast<Json::ArrayIndex>(count));
        for (const Json::Value& element : result) {
            EXPECT_EQ(element, record) << element.toStyledString();
        }
    }
    for (long long count : {-1LL, static_cast<long long>(limit) + 1, -2147483648LL}) {
        const Json::Value response =
            Call("TestStructArray", "[" + std::string(kRecord) + "," + std::to_string(count) + "]");
        EXPECT_EQ(response["error"]["code"].asInt(), -32602) << count;
    }
}

}  // namespace
