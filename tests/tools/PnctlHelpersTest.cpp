// SPDX-License-Identifier: Apache-2.0
// The formatting pnctl's output depends on: failure codes in their 32-bit
// form, slot lists as ranges, one-line reasons.

#include "CatalogTree.h"
#include "Common.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>

namespace Pnctl {
namespace {

TEST(PnctlFormat, CodesShowTheir32BitFormWhateverTheWidthOfLong) {
    namespace Code = RpcClient::FailureCode;
    EXPECT_EQ(HexCode(0) + HexCode(Code::Timeout) + HexCode(Code::InvalidArg),
              "0x000000000x8001011F0x80070057");
    // A server's own JSON-RPC code is passed on unchanged, as a negative number.
    EXPECT_EQ(FormatCode(-32001), "0xFFFF82FF (-32001)");
    EXPECT_EQ(FormatCode(-32768), "0xFFFF8000 (-32768)");
    EXPECT_EQ(FormatCode(Code::ServerFault), "0x80010105");
    // The newest entry is the reason on one line; without one, the code's text.
    EXPECT_EQ(
        DescribeFailure(Code::ServerFault, {{Code::ServerFault, "invalid"}, {Code::Fail, "x"}}),
        "0x80010105 invalid");
    EXPECT_EQ(DescribeFailure(Code::Unexpected, {}).rfind("0x8001FFFF ", 0), 0u);
}

TEST(PnctlFormat, SlotListsCollapseIntoRanges) {
    const struct {
        const char* slots;
        const char* text;
    } cases[] = {{"[]", "-"},
                 {"[0]", "0"},
                 {"[1,2,3,4]", "1-4"},
                 {"[1,2,4]", "1-2, 4"},
                 {"[1,3,5]", "1, 3, 5"},
                 {"[5,4]", "5, 4"},
                 {"[2,3,4,8,9,32769]", "2-4, 8-9, 32769"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSlots(TestJson::ParseJson(c.slots)), c.text) << c.slots;
    }
}

}  // namespace
}  // namespace Pnctl
