// SPDX-License-Identifier: Apache-2.0
#include "wire/FastJsonReader.h"

#include "wire/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <locale>
#include <system_error>

namespace RpcClient {
namespace {

// Containers nested deeper than this go to JsonCpp, which applies its own
// limit (and throws beyond it). Also bounds this parser's recursion.
constexpr int kMaxDepth = 256;

// JsonCpp refuses longer member names with an exception.
constexpr std::size_t kMaxKeyLength = std::size_t{1} << 30;

class FastReader {
public:
    FastReader(const char* begin, const char* end) : begin_(begin), at_(begin), end_(end) {}

    bool Document(Json::Value& root) {
        SkipSpace();
        if (!Value(root, 0)) {
            return false;
        }
        SkipSpace();
        return at_ == end_;
    }

private:
    // The white space JsonCpp skips between tokens.
    void SkipSpace() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) {
            ++at_;
        }
    }

    std::ptrdiff_t Offset(const char* at) const { return at - begin_; }

    // Stores `decoded` in `slot` the way JsonCpp does: the payload is
    // swapped in (a duplicate key overwrites the earlier value) and the
    // token's extent recorded.
    void Store(Json::Value& slot, Json::Value&& decoded, const char* start) {
        slot.swapPayload(decoded);
        slot.setOffsetStart(Offset(start));
        slot.setOffsetLimit(Offset(at_));
    }

    bool Value(Json::Value& slot, int depth) {
        if (at_ == end_) {
            return false;
        }
        const char* start = at_;
        switch (*at_) {
            case '{':
                return Object(slot, depth + 1);
            case '[':
                return Array(slot, depth + 1);
            case '"': {
                if (!String()) {
                    return false;
                }
                Store(slot, Json::Value(textBegin_, textEnd_), start);
                return true;
            }
            case 't':
                return Literal("true", slot, Json::Value(true));
            case 'f':
                return Literal("false", slot, Json::Value(false));
            case 'n':
                return Literal("null", slot, Json::Value());
            default:
                return Number(slot);
        }
    }

    bool Literal(const char* word, Json::Value& slot, Json::Value&& decoded) {
        const char* start = at_;
        for (; *word != '\0'; ++word, ++at_) {
            if (at_ == end_ || *at_ != *word) {
                return false;
            }
        }
        Store(slot, std::move(decoded), start);
        return true;
    }

    enum class Step { Next, Closed, Broken };

    // At the opening bracket of an object or array: the slot becomes an empty
    // one of `type` whose extent starts here, complete at once (Closed) when
    // the closing bracket `close` follows.
    Step Open(Json::Value& slot, Json::ValueType type, char close, int depth) {
        if (depth > kMaxDepth) {
            return Step::Broken;
        }
        Json::Value init(type);
        slot.swapPayload(init);
        slot.setOffsetStart(Offset(at_));
        ++at_;
        SkipSpace();
        if (at_ != end_ && *at_ == close) {
            ++at_;
            slot.setOffsetLimit(Offset(at_));
            return Step::Closed;
        }
        return Step::Next;
    }

    // After an element of an object or array: a separator (then the next
    // element follows), the closing bracket `close` (then the container's
    // extent is complete), or anything else, which this reader declines.
    Step AfterElement(char close, Json::Value& slot) {
        SkipSpace();
        if (at_ == end_) {
            return Step::Broken;
        }
        if (*at_ == close) {
            ++at_;
            slot.setOffsetLimit(Offset(at_));
            return Step::Closed;
        }
        if (*at_ != ',') {
            return Step::Broken;
        }
        ++at_;
        SkipSpace();
        return Step::Next;
    }

    bool Object(Json::Value& slot, int depth) {
        Step step = Open(slot, Json::objectValue, '}', depth);
        while (step == Step::Next) {
            if (at_ == end_ || *at_ != '"' || !String() ||
                static_cast<std::size_t>(textEnd_ - textBegin_) >= kMaxKeyLength) {
                return false;
            }
            Json::Value& member = *slot.demand(textBegin_, textEnd_);
            SkipSpace();
            if (at_ == end_ || *at_ != ':') {
                return false;
            }
            ++at_;
            SkipSpace();
            if (!Value(member, depth)) {
                return false;
            }
            step = AfterElement('}', slot);
        }
        return step == Step::Closed;
    }

    bool Array(Json::Value& slot, int depth) {
        Step step = Open(slot, Json::arrayValue, ']', depth);
        while (step == Step::Next) {
            // append() moves a null in; operator[] copies one with its key.
            if (!Value(slot.append(Json::Value()), depth)) {
                return false;
            }
            step = AfterElement(']', slot);
        }
        return step == Step::Closed;
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    // Four hex digits after "\u"; -1 when they are not there.
    long Unit() {
        if (end_ - at_ < 6 || at_[0] != '\\' || at_[1] != 'u') {
            return -1;
        }
        long unit = 0;
        for (int i = 2; i < 6; ++i) {
            const int digit = HexDigit(at_[i]);
            if (digit < 0) {
                return -1;
            }
            unit = unit * 16 + digit;
        }
        at_ += 6;
        return unit;
    }

    void AppendUtf8(unsigned long point) {
        Wire::AppendUtf8(text_, static_cast<std::uint32_t>(point));
    }

    bool Escape() {
        if (end_ - at_ < 2) {
            return false;
        }
        char plain = 0;
        switch (at_[1]) {
            case '"':
            case '\\':
            case '/':
                plain = at_[1];
                break;
            case 'b':
                plain = '\b';
                break;
            case 'f':
                plain = '\f';
                break;
            case 'n':
                plain = '\n';
                break;
            case 'r':
                plain = '\r';
                break;
            case 't':
                plain = '\t';
                break;
            case 'u': {
                const long first = Unit();
                if (first < 0xD800 || first > 0xDFFF) {
                    if (first < 0) {
                        return false;
                    }
                    AppendUtf8(static_cast<unsigned long>(first));
                    return true;
                }
                // Only a complete surrogate pair; JsonCpp has its own ways
                // with the broken ones.
                if (first > 0xDBFF) {
                    return false;
                }
                const long second = Unit();
                if (second < 0xDC00 || second > 0xDFFF) {
                    return false;
                }
                AppendUtf8(0x10000 + ((static_cast<unsigned long>(first) & 0x3FF) << 10) +
                           (static_cast<unsigned long>(second) & 0x3FF));
                return true;
            }
            default:
                return false;
        }
        text_.push_back(plain);
        at_ += 2;
        return true;
    }

    // The high bit of each byte of the word `w` that is a control, a quote
    // or a backslash is set in the result (and possibly of bytes after
    // one). Exact for the word as a whole: a borrow only ever runs on from a
    // byte that is itself flagged.
    static std::uint64_t Stops(std::uint64_t w) {
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        constexpr std::uint64_t kHigh = 0x8080808080808080u;
        const std::uint64_t quote = w ^ (kOnes * '"');
        const std::uint64_t slash = w ^ (kOnes * '\\');
        return (((w - kOnes * 0x20) & ~w) | ((quote - kOnes) & ~quote) |
                ((slash - kOnes) & ~slash)) &
               kHigh;
    }

    // Moves `at_` past the bytes that stand for themselves in a string:
    // sixteen, then eight at a time while whole words are plain, then byte
    // by byte.
    void SkipPlain() {
        const char* at = at_;
        std::uint64_t first = 0;
        std::uint64_t second = 0;
        while (end_ - at >= 16) {
            std::memcpy(&first, at, sizeof(first));
            std::memcpy(&second, at + 8, sizeof(second));
            if ((Stops(first) | Stops(second)) != 0) {
                break;
            }
            at += 16;
        }
        while (end_ - at >= 8) {
            std::memcpy(&first, at, sizeof(first));
            if (Stops(first) != 0) {
                break;
            }
            at += 8;
        }
        while (at != end_ && static_cast<unsigned char>(*at) >= 0x20 && *at != '"' && *at != '\\') {
            ++at;
        }
        at_ = at;
    }

    // A string token, `at_` on its opening quote. Its text is left in
    // [textBegin_, textEnd_): the input itself when it holds no escape,
    // else text_.
    bool String() {
        ++at_;
        const char* run = at_;
        SkipPlain();
        if (at_ != end_ && *at_ == '"') {
            textBegin_ = run;
            textEnd_ = at_;
            ++at_;
            return true;
        }
        text_.clear();
        for (;;) {
            text_.append(run, static_cast<std::size_t>(at_ - run));
            if (at_ == end_ || static_cast<unsigned char>(*at_) < 0x20) {
                return false;
            }
            if (*at_ == '"') {
                ++at_;
                textBegin_ = text_.data();
                textEnd_ = textBegin_ + text_.size();
                return true;
            }
            if (!Escape()) {
                return false;
            }
            run = at_;
            SkipPlain();
        }
    }

    bool Digit() const { return at_ != end_ && *at_ >= '0' && *at_ <= '9'; }

    bool Number(Json::Value& slot) {
        const char* start = at_;
        const bool negative = *at_ == '-';
        if (negative) {
            ++at_;
        }
        const char* digits = at_;
        if (!Digit()) {
            return false;
        }
        // No leading zeros: JsonCpp reads "012" as 12, JSON does not.
        if (*at_ == '0') {
            ++at_;
        } else {
            while (Digit()) {
                ++at_;
            }
        }
        const char* digitsEnd = at_;
        bool integral = true;
        bool nonZero = false;
        for (const char* d = digits; d != digitsEnd; ++d) {
            nonZero = nonZero || *d != '0';
        }
        if (at_ != end_ && *at_ == '.') {
            integral = false;
            ++at_;
            if (!Digit()) {
                return false;
            }
            while (Digit()) {
                nonZero = nonZero || *at_ != '0';
                ++at_;
            }
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            integral = false;
            ++at_;
            if (at_ != end_ && (*at_ == '+' || *at_ == '-')) {
                ++at_;
            }
            if (!Digit()) {
                return false;
            }
            while (Digit()) {
                ++at_;
            }
        }
        if (integral && Integer(slot, start, negative, digits, digitsEnd)) {
            return true;
        }
        return Double(slot, start, nonZero);
    }

    // JsonCpp's integer typing: Int64 where it fits (all negative numbers),
    // else UInt64, else a double.
    bool Integer(Json::Value& slot, const char* start, bool negative, const char* digits,
                 const char* digitsEnd) {
        constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::uint64_t>::max();
        constexpr std::uint64_t kMaxNegative =
            static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
        const std::uint64_t limit = negative ? kMaxNegative : kMaxPositive;
        std::uint64_t value = 0;
        for (const char* d = digits; d != digitsEnd; ++d) {
            const auto digit = static_cast<std::uint64_t>(*d - '0');
            if (value > (limit - digit) / 10) {
                return false;
            }
            value = value * 10 + digit;
        }
        if (negative) {
            Store(slot, Json::Value(static_cast<Json::Value::LargestInt>(0 - value)), start);
        } else if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            Store(slot, Json::Value(static_cast<Json::Value::LargestInt>(value)), start);
        } else {
            Store(slot, Json::Value(static_cast<Json::Value::LargestUInt>(value)), start);
        }
        return true;
    }

    // JsonCpp reads a double through a string stream, that is strtod in the
    // C locale as far as the global C++ locale lets the stream's number
    // scanner pass the characters on. from_chars gives the same correctly
    // rounded value. Results that overflow or go subnormal, where the
    // stream's error handling decides, are left to JsonCpp.
    bool Double(Json::Value& slot, const char* start, bool nonZero) {
        if (!PlainLocale()) {
            return false;
        }
        double value = 0;
        const std::from_chars_result done = std::from_chars(start, at_, value);
        if (done.ec != std::errc() || done.ptr != at_) {
            return false;
        }
        if (nonZero ? !std::isnormal(value) : value != 0) {
            return false;
        }
        Store(slot, Json::Value(value), start);
        return true;
    }

    // Whether the global locale's number punctuation is the classic one, so
    // that the stream inside JsonCpp sees the whole number token.
    bool PlainLocale() {
        if (plainLocale_ < 0) {
            const auto& punctuation = std::use_facet<std::numpunct<char>>(std::locale());
            plainLocale_ = punctuation.decimal_point() == '.' && punctuation.grouping().empty();
        }
        return plainLocale_ != 0;
    }

    const char* begin_;
    const char* at_;
    const char* end_;
    std::string text_;
    const char* textBegin_ = nullptr;
    const char* textEnd_ = nullptr;
    int plainLocale_ = -1;
};

}  // namespace

bool ParseJsonFast(const char* begin, const char* end, Json::Value& root) {
    return FastReader(begin, end).Document(root);
}

bool ParseJson(Json::CharReader& fallback, const char* begin, const char* end, Json::Value& root,
               std::string& errors) {
    if (ParseJsonFast(begin, end, root)) {
        errors.clear();
        return true;
    }
    root = Json::Value();
    return fallback.parse(begin, end, &root, &errors);
}

}  // namespace RpcClient
