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

TEST(Serializer, RecordsRoundTripWithFloatsWidenedExactlyAndStringBytesUnchanged) {
    const std::string bytes("caf\xE9 \xFF", 6);
    const Outer record{true, 1.25, 4000000000u, {3, 1, 2}, {5, bytes, 0.1f}};
    const Json::Value json = JsonSerialzer<std::vector<Outer>>{}({record, {}})[0];
    Json::Value expected = ParseJson(R"({"Enabled": true, "Scale": 1.25, "Values": [3, 1, 2],
                      "Nested": {"Count": 5, "Ratio": 0.10000000149011612}})");
    expected["Mask"] = 4000000000u;
    expected["Nested"]["Name"] = bytes;
    EXPECT_EQ(json, expected);
    const std::vector<Outer> back =
        JsonDeserialzer<std::vector<Outer>>{}(JsonSerialzer<std::vector<Outer>>{}({record, {}}));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(JsonSerialzer<Outer>{}(back[0]), expected);
    EXPECT_EQ(back[1].Nested.Name, "");
}

TEST(Deserializer, StringsAreStrictAtTopLevelAndNumbersUseTheJsonConversionsWithNullAsZero) {
    for (const char* text : {"5", "null", "[\"a\"]", "{}"}) {
        try {
            JsonDeserialzer<std::string>{}(ParseJson(text));
            ADD_FAILURE() << text << " was accepted as a string";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "JsonDeserialzer: invalid type") << text;
        }
    }
    EXPECT_EQ(JsonDeserialzer<unsigned int>{}(Json::Value()), 0u);
    EXPECT_EQ(JsonDeserialzer<bool>{}(Json::Value()), false);
    EXPECT_EQ(JsonDeserialzer<float>{}(Json::Value()), 0.0f);
    EXPECT_EQ(JsonDeserialzer<int>{}(Json::Value(7.0)), 7);
    EXPECT_EQ(JsonDeserialzer<bool>{}(Json::Value(1)), true);
    // Inconvertible values raise JsonCpp's exception, which is not a
    // std::runtime_error: typed calls must let it pass.
    EXPECT_THROW(JsonDeserialzer<int>{}(Json::Value("7")), Json::LogicError);
    EXPECT_THROW(JsonDeserialzer<unsigned int>{}(Json::Value(-1)), Json::LogicError);
    EXPECT_THROW(JsonDeserialzer<double>{}(ParseJson("{}")), Json::LogicError);
}

TEST(Deserializer, ListsAndRecordsAreReadLeniently) {
    // A non-array is an empty list, but a bad element still fails.
    EXPECT_TRUE(JsonDeserialzer<std::vector<int>>{}(ParseJson(R"({"0": 1})")).empty());
    EXPECT_TRUE(JsonDeserialzer<std::vector<std::string>>{}(Json::Value("a")).empty());
    EXPECT_THROW(JsonDeserialzer<std::vector<std::string>>{}(ParseJson(R"(["a", 1])")),
                 std::runtime_error);
    // Strings inside records are read without a type test, missing members
    // read as null, and a null record is all zeros.
    const Outer partial = JsonDeserialzer<Outer>{}(
        ParseJson(R"({"Scale": 2, "Nested": {"Name": 42, "Count": null}, "Extra": 1})"));
    EXPECT_EQ(
        TestJson::Compact(JsonSerialzer<Outer>{}(partial)),
        TestJson::Compact(ParseJson(R"({"Enabled": false, "Scale": 2.0, "Mask": 0, "Values": [],
                "Nested": {"Count": 0, "Name": "42", "Ratio": 0.0}})")));
    EXPECT_EQ(JsonDeserialzer<Outer>{}(Json::Value()).Nested.Name, "");
    EXPECT_THROW(JsonDeserialzer<Outer>{}(Json::Value("not an object")), Json::LogicError);
    EXPECT_THROW(JsonDeserialzer<std::vector<Inner>>{}(ParseJson("[{}, 3]")), Json::LogicError);
}

}  // namespace
