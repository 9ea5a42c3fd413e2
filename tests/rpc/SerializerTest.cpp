// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/JsonSerialzer.h>

#include "support/JsonText.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using RpcClient::JsonDeserialzer;
using RpcClient::JsonField;
using RpcClient::JsonSerialzer;

using TestJson::ParseJson;

namespace {

struct Inner {
    int Count = 0;
    std::string Name;
    float Ratio = 0;

    static constexpr auto JsonFields() {
        return std::make_tuple(JsonField("Count", &Inner::Count), JsonField("Name", &Inner::Name),
                               JsonField("Ratio", &Inner::Ratio));
    }
};

struct Outer {
    bool Enabled = false;
    double Scale = 0;
    unsigned int Mask = 0;
    std::vector<int> Values;
    Inner Nested;

    static constexpr auto JsonFields() {
        return std::make_tuple(JsonField("Enabled", &Outer::Enabled),
                               JsonField("Scale", &Outer::Scale), JsonField("Mask", &Outer::Mask),
                               JsonField("Values", &Outer::Values),
                               JsonField("Nested", &Outer::Nested));
    }
};

static_assert(RpcClient::IsJsonRecordV<Outer>);
static_assert(!RpcClient::IsJsonRecordV<std::string>);

TEST(Serializer, FloatIsWidenedAndStringBytesPassUnchanged) {
    // Widened exactly, not rounded to a short decimal first.
    EXPECT_EQ(JsonSerialzer<float>{}(0.1f).asDouble(), static_cast<double>(0.1f));
    EXPECT_EQ(JsonSerialzer<unsigned int>{}(4000000000u).asUInt(), 4000000000u);
    const std::string bytes("caf\xE9 \xD6\xD0 \xFF", 9);
    EXPECT_EQ(JsonSerialzer<std::string>{}(bytes).asString(), bytes);
    EXPECT_EQ(JsonDeserialzer<std::string>{}(Json::Value(bytes)), bytes);
}

TEST(Serializer, RecordBecomesObjectWithNestedObjectAndRoundTrips) {
    Outer record;
    record.Enabled = true;
    record.Scale = 1.25;
    record.Mask = 7;
    record.Values = {3, 1, 2};
    record.Nested = {5, "five", 0.5f};

    const Json::Value json = JsonSerialzer<Outer>{}(record);
    Json::Value expected = ParseJson(R"({"Enabled": true, "Scale": 1.25, "Values": [3, 1, 2],
                      "Nested": {"Count": 5, "Name": "five", "Ratio": 0.5}})");
    expected["Mask"] = 7u;  // an unsigned member stays unsigned
    EXPECT_EQ(json, expected);

    // Reading it back gives every member again, the float unchanged.
    EXPECT_EQ(JsonSerialzer<Outer>{}(JsonDeserialzer<Outer>{}(json)), expected);

    const std::vector<Outer> list =
        JsonDeserialzer<std::vector<Outer>>{}(JsonSerialzer<std::vector<Outer>>{}({record, {}}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Nested.Name, "five");
    EXPECT_EQ(list[1].Nested.Name, "");
}

TEST(Deserializer, TopLevelStringMustBeAJsonString) {
    for (const char* text : {"5", "null", "true", "[\"a\"]", "{}"}) {
        try {
            JsonDeserialzer<std::string>{}(ParseJson(text));
            ADD_FAILURE() << text << " was accepted as a string";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "JsonDeserialzer: invalid type") << text;
        }
    }
}

TEST(Deserializer, NumbersAndBoolsUseTheJsonConversionsWithNullAsZero) {
    EXPECT_EQ(JsonDeserialzer<int>{}(Json::Value()), 0);
    EXPECT_EQ(JsonDeserialzer<unsigned int>{}(Json::Value()), 0u);
    EXPECT_EQ(JsonDeserialzer<bool>{}(Json::Value()), false);
    EXPECT_EQ(JsonDeserialzer<double>{}(Json::Value()), 0.0);
    EXPECT_EQ(JsonDeserialzer<float>{}(Json::Value()), 0.0f);
    EXPECT_EQ(JsonDeserialzer<int>{}(Json::Value(7.0)), 7);
    EXPECT_EQ(JsonDeserialzer<bool>{}(Json::Value(1)), true);
    EXPECT_EQ(JsonDeserialzer<double>{}(Json::Value(3)), 3.0);
    // Inconvertible values raise JsonCpp's exception, which is not a
    // std::runtime_error: typed calls must let it pass.
    EXPECT_THROW(JsonDeserialzer<int>{}(Json::Value("7")), Json::LogicError);
    EXPECT_THROW(JsonDeserialzer<unsigned int>{}(Json::Value(-1)), Json::LogicError);
    EXPECT_THROW(JsonDeserialzer<double>{}(ParseJson("{}")), Json::LogicError);
}

TEST(Deserializer, NonArrayGivesEmptyVectorButBadElementsStillFail) {
    EXPECT_TRUE(JsonDeserialzer<std::vector<int>>{}(Json::Value()).empty());
    EXPECT_TRUE(JsonDeserialzer<std::vector<int>>{}(ParseJson(R"({"0": 1})")).empty());
    EXPECT_TRUE(JsonDeserialzer<std::vector<std::string>>{}(Json::Value("a")).empty());
    EXPECT_EQ(JsonDeserialzer<std::vector<std::string>>{}(ParseJson(R"(["a", "b"])")),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(JsonDeserialzer<std::vector<std::string>>{}(ParseJson(R"(["a", 1])")),
                 std::runtime_error);
}

TEST(Deserializer, RecordMembersAreReadLeniently) {
    // Strings inside records are read without a type test, missing members
    // read as null, and a null record is all zeros.
    const Outer partial = JsonDeserialzer<Outer>{}(
        ParseJson(R"({"Scale": 2, "Nested": {"Name": 42, "Count": null}, "Extra": 1})"));
    EXPECT_EQ(partial.Scale, 2.0);
    EXPECT_FALSE(partial.Enabled);
    EXPECT_TRUE(partial.Values.empty());
    EXPECT_EQ(partial.Nested.Name, "42");
    EXPECT_EQ(partial.Nested.Count, 0);

    const Outer zero = JsonDeserialzer<Outer>{}(Json::Value());
    EXPECT_EQ(zero.Scale, 0.0);
    EXPECT_EQ(zero.Nested.Name, "");

    EXPECT_THROW(JsonDeserialzer<Outer>{}(Json::Value("not an object")), Json::LogicError);
    EXPECT_THROW(JsonDeserialzer<std::vector<Inner>>{}(ParseJson("[{}, 3]")), Json::LogicError);
}

}  // namespace
