// SPDX-License-Identifier: Apache-2.0
// The formatting pnctl's output depends on: failure codes in their 32-bit
// form, slot lists as ranges, one-line reasons.

#include "CatalogTree.h"
#include "Common.h"

#include <gtest/gtest.h>
#include <json/json.h>

namespace Pnctl {
namespace {

Json::Value Numbers(std::initializer_list<int> values) {
    Json::Value array(Json::arrayValue);
    for (int value : values) {
        array.append(value);
    }
    return array;
}

TEST(PnctlFormat, CodesShowTheir32BitFormWhateverTheWidthOfLong) {
    EXPECT_EQ(HexCode(0), "0x00000000");
    EXPECT_EQ(HexCode(RpcClient::FailureCode::Timeout), "0x8001011F");
    EXPECT_EQ(HexCode(RpcClient::FailureCode::InvalidArg), "0x80070057");
    // A server's own JSON-RPC code is passed on unchanged, as a negative number.
    EXPECT_EQ(HexCode(-32001), "0xFFFF82FF");
    EXPECT_EQ(FormatCode(-32001), "0xFFFF82FF (-32001)");
    EXPECT_EQ(FormatCode(-32768), "0xFFFF8000 (-32768)");
    EXPECT_EQ(FormatCode(RpcClient::FailureCode::ServerFault), "0x80010105");
}

TEST(PnctlFormat, SlotListsCollapseIntoRanges) {
    const struct {
        Json::Value slots;
        const char* text;
    } cases[] = {
        {Numbers({}), "-"},
        {Numbers({0}), "0"},
        {Numbers({1, 2, 3, 4}), "1-4"},
        {Numbers({1, 2, 4}), "1-2, 4"},
        {Numbers({1, 3, 5}), "1, 3, 5"},
        {Numbers({2, 3, 4, 8, 9, 32769}), "2-4, 8-9, 32769"},
        {Numbers({5, 4}), "5, 4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSlots(c.slots), c.text) << c.slots;
    }
}

TEST(PnctlFormat, FailureReasonIsTheNewestEntryOnOneLine) {
    const RpcClient::JsonRpcClient::ErrorList errors = {
        {RpcClient::FailureCode::ServerFault, "Call response invalid"},
        {RpcClient::FailureCode::ServerFault, "RPC server has shutdown"}};
    EXPECT_EQ(DescribeFailure(RpcClient::FailureCode::ServerFault, errors),
              "0x80010105 Call response invalid");
    // Without an entry (a client without a server) the code's own text is used.
    const std::string bare = DescribeFailure(RpcClient::FailureCode::Unexpected, {});
    EXPECT_EQ(bare.rfind("0x8001FFFF", 0), 0u);
    EXPECT_EQ(bare.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace Pnctl
