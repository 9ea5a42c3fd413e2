// SPDX-License-Identifier: Apache-2.0
#include "wire/HeaderMatcher.h"

namespace RpcClient {
namespace {

constexpr char kName[] = "Content-Length:";
constexpr std::size_t kNameLength = sizeof(kName) - 1;

bool IsHeaderSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

void HeaderMatcher::Feed(char c) {
    switch (state_) {
        case State::Name:
            if (c != kName[nameMatched_]) {
                state_ = State::Failed;
            } else if (++nameMatched_ == kNameLength) {
                state_ = State::Space;
            }
            return;
        case State::Space:
            if (IsDigit(c)) {
                state_ = State::Digits;
                length_ = static_cast<std::uint64_t>(c - '0');
            } else if (!IsHeaderSpace(c)) {
                state_ = State::Failed;
            }
            return;
        case State::Digits:
            if (IsDigit(c)) {
                const auto digit = static_cast<std::uint64_t>(c - '0');
                length_ = length_ >= kSaturated / 10 ? kSaturated : length_ * 10 + digit;
            } else {
                state_ = IsLineBreak(c) ? State::Tail : State::Failed;
            }
            return;
        case State::Tail:
            if (!IsLineBreak(c)) {
                state_ = State::Failed;
            }
            return;
        case State::Failed:
            return;
    }
}

HeaderMatcher MatchHeaderLine(const std::string& line) {
    HeaderMatcher matcher;
    for (char c : line) {
        matcher.Feed(c);
    }
    return matcher;
}

}  // namespace RpcClient
