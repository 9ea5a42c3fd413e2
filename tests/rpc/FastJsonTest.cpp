// SPDX-License-Identifier: Apache-2.0
// The direct writer and reader against JsonCpp on random trees and texts
// edited at random: the same bytes out, the same tree, result and error in.
#include "wire/FastJsonReader.h"
#include "wire/FastJsonWriter.h"

#include <json/json.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

std::mt19937_64 rng(19);
std::uint64_t Pick(std::uint64_t count) {
    return rng() % count;
}

std::string RandomText() {
    static const char kBytes[] =
        "aZ/\\\"\b\f\n\r\t\x01\x1f\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xed\xa0\x80\xff";
    std::string text;
    // Now and then long enough for eight-byte scans, with letters around.
    const bool longText = Pick(4) == 0;
    for (auto length = longText ? Pick(40) : Pick(6); length > 0; --length) {
        text.push_back(longText && Pick(2) == 0 ? 'Z' : kBytes[Pick(sizeof(kBytes))]);
    }
    return text;
}

Json::Value RandomTree(int depth) {
    static const double kDoubles[] = {0.1, -0.0, 1e300, 5e-324, 1e16, 1e17, 2.5, 1e-310};
    const std::uint64_t bits = rng();
    double random = 0;
    std::memcpy(&random, &bits, sizeof(random));
    const Json::Value scalars[] = {
        Json::Value(static_cast<Json::Int64>(rng()) >> Pick(64)),
        Json::Value(static_cast<Json::UInt64>(rng() >> Pick(64))),
        Json::Value(Pick(2) == 0 ? random : kDoubles[Pick(8)]),
        Json::Value(RandomText()),
        Pick(2) == 0 ? Json::Value(Pick(2) == 0) : Json::Value(),
        Json::Value(Pick(2) == 0 ? Json::arrayValue : Json::objectValue)};
    const std::uint64_t kind = Pick(depth > 3 ? 6 : 8);
    if (kind < 6) {
        return scalars[kind];
    }
    Json::Value tree(kind == 6 ? Json::arrayValue : Json::objectValue);
    for (auto count = Pick(4); count > 0; --count) {
        Json::Value& child =
            kind == 6 ? tree[static_cast<Json::ArrayIndex>(Pick(5))] : tree[RandomText()];
        child = RandomTree(depth + 1);
    }
    if (kind == 7 && Pick(40) == 0) {
        tree.setComment(std::string("// note"), Json::commentBefore);
    }
    return tree;
}

// Whether the fast path must take the text: no comment, infinity, subnormal.
bool Plain(const Json::Value& value) {
    const double number = value.isDouble() ? value.asDouble() : 0;
    bool plain = !value.hasComment(Json::commentBefore) && !std::isinf(number) &&
                 std::fpclassify(number) != FP_SUBNORMAL;
    for (const Json::Value& child : value) {
        plain = plain && Plain(child);
    }
    return plain;
}

// Typing, double bits, offsets and comments included.
void ExpectSame(const Json::Value& fast, const Json::Value& slow) {
    ASSERT_EQ(fast.type(), slow.type());
    ASSERT_EQ(fast.getOffsetStart(), slow.getOffsetStart());
    ASSERT_EQ(fast.getOffsetLimit(), slow.getOffsetLimit());
    for (const auto at : {Json::commentBefore, Json::commentAfterOnSameLine, Json::commentAfter}) {
        ASSERT_EQ(fast.getComment(at), slow.getComment(at));
    }
    const double a = fast.isDouble() ? fast.asDouble() : 0;
    const double b = slow.isDouble() ? slow.asDouble() : 0;
    ASSERT_EQ(std::memcmp(&a, &b, sizeof(a)), 0);
    if (fast.isObject()) {
        ASSERT_EQ(fast.getMemberNames(), slow.getMemberNames());
    } else if (!fast.isArray() && !fast.isDouble()) {
        ASSERT_EQ(fast, slow);
    }
    ASSERT_EQ(fast.size(), slow.size());
    for (auto x = fast.begin(), y = slow.begin(); x != fast.end(); ++x, ++y) {
        ExpectSame(*x, *y);
    }
}

TEST(FastJson, WritesAndReadsExactlyAsJsonCpp) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    Json::StreamWriterBuilder styled;  // white space as another writer lays it out
    styled["indentation"] = "\t";
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    static const char kEdits[] = "{}[],:\"\\/ -+.eE0129tfnu\x01\n\r\t\xef\xbb\xbf*";
    for (int round = 0; round < 100000; ++round) {
        const Json::Value tree = RandomTree(0);
        std::string text;
        RpcClient::AppendJson(text, tree);
        ASSERT_EQ(text, Json::writeString(builder, tree));
        for (int edit = 0; edit < 4; ++edit) {
            SCOPED_TRACE(text);
            Json::Value fastRoot, slowRoot;
            std::string fastErrors = "x", slowErrors;
            bool slowParsed = false;
            try {
                slowParsed =
                    reader->parse(text.data(), text.data() + text.size(), &slowRoot, &slowErrors);
            } catch (const std::exception&) {
                continue;
            }
            if (edit < 2) {
                ASSERT_EQ(
                    RpcClient::ParseJsonFast(text.data(), text.data() + text.size(), fastRoot),
                    Plain(tree));
            }
            fastRoot = Json::Value();
            ASSERT_EQ(RpcClient::ParseJson(*reader, text.data(), text.data() + text.size(),
                                           fastRoot, fastErrors),
                      slowParsed);
            ASSERT_EQ(fastErrors, slowErrors);
            ExpectSame(fastRoot, slowRoot);
            if (edit == 0) {
                text = Json::writeString(styled, tree);
                continue;
            }
            const std::size_t at = text.empty() ? 0 : Pick(text.size());
            const char byte = kEdits[Pick(sizeof(kEdits) - 1)];
            const std::uint64_t how = Pick(3);  // insert, erase or replace
            text.replace(at, how == 0 ? 0 : 1, how == 1 ? 0 : 1, byte);
        }
    }
}

}  // namespace
