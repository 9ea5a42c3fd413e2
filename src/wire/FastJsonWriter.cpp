// SPDX-License-Identifier: Apache-2.0
#include "wire/FastJsonWriter.h"

#include <json/writer.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <streambuf>

namespace RpcClient {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// "\u" and four lower-case hex digits, as JsonCpp writes them.
void AppendEscape(std::string& out, unsigned unit) {
    const char text[6] = {'\\',
                          'u',
                          kHexDigits[(unit >> 12) & 0xF],
                          kHexDigits[(unit >> 8) & 0xF],
                          kHexDigits[(unit >> 4) & 0xF],
                          kHexDigits[unit & 0xF]};
    out.append(text, sizeof(text));
}

// One character starting at `at`, decoded the lenient way JsonCpp does:
// continuation bytes are not checked, a lone continuation byte starts a
// two-byte sequence, and a truncated, overlong or surrogate sequence gives
// U+FFFD. `at` is left on the last byte consumed.
unsigned DecodeLenient(const unsigned char*& at, const unsigned char* end) {
    constexpr unsigned kReplacement = 0xFFFD;
    const unsigned first = *at;
    const auto remaining = end - at;
    if (first < 0xE0) {
        if (remaining < 2) {
            return kReplacement;
        }
        const unsigned point = ((first & 0x1F) << 6) | (at[1] & 0x3Fu);
        at += 1;
        return point < 0x80 ? kReplacement : point;
    }
    if (first < 0xF0) {
        if (remaining < 3) {
            return kReplacement;
        }
        const unsigned point = ((first & 0x0F) << 12) | ((at[1] & 0x3Fu) << 6) | (at[2] & 0x3Fu);
        at += 2;
        if (point >= 0xD800 && point <= 0xDFFF) {
            return kReplacement;
        }
        return point < 0x800 ? kReplacement : point;
    }
    if (first < 0xF8) {
        if (remaining < 4) {
            return kReplacement;
        }
        const unsigned point = ((first & 0x07) << 18) | ((at[1] & 0x3Fu) << 12) |
                               ((at[2] & 0x3Fu) << 6) | (at[3] & 0x3Fu);
        at += 3;
        return point < 0x10000 ? kReplacement : point;
    }
    return kReplacement;
}

// The high bit of each byte of the word `w` that is a control, a quote, a
// backslash or outside ASCII is set in the result (and possibly of bytes
// after one). Exact for the word as a whole: a borrow only ever runs on
// from a byte that is itself flagged.
std::uint64_t NeedsEscape(std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    const std::uint64_t quote = w ^ (kOnes * '"');
    const std::uint64_t slash = w ^ (kOnes * '\\');
    const std::uint64_t controlOrHigh = (w - kOnes * 0x20) | w;
    const std::uint64_t quoteOrSlash = ((quote - kOnes) & ~quote) | ((slash - kOnes) & ~slash);
    return (controlOrHigh | quoteOrSlash) & kHigh;
}

bool PlainByte(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

// The end of the run of bytes from `at` that are written as they are:
// sixteen, then eight at a time while whole words are plain, then byte by
// byte.
const unsigned char* SkipPlain(const unsigned char* at, const unsigned char* stop) {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    while (stop - at >= 16) {
        std::memcpy(&first, at, sizeof(first));
        std::memcpy(&second, at + 8, sizeof(second));
        if ((NeedsEscape(first) | NeedsEscape(second)) != 0) {
            break;
        }
        at += 16;
    }
    while (stop - at >= 8) {
        std::memcpy(&first, at, sizeof(first));
        if (NeedsEscape(first) != 0) {
            break;
        }
        at += 8;
    }
    while (at != stop && PlainByte(*at)) {
        ++at;
    }
    return at;
}

// Room for a long string's text and what usually follows it, so that the
// closing bytes do not move the whole text to a buffer twice the size.
void ReserveForText(std::string& out, std::size_t length) {
    constexpr std::size_t kLong = 4096;
    constexpr std::size_t kSpare = 64;
    if (length >= kLong && out.capacity() - out.size() < length + kSpare) {
        out.reserve(out.size() + length + length / 8 + kSpare);
    }
}

// JsonCpp escapes quote, backslash and the controls, and writes everything
// outside ASCII as \u escapes (UTF-16 surrogate pairs above the BMP). A
// slash and DEL stay as they are.
void AppendQuoted(std::string& out, const char* begin, const char* end) {
    ReserveForText(out, static_cast<std::size_t>(end - begin));
    out.push_back('"');
    const auto* at = reinterpret_cast<const unsigned char*>(begin);
    const auto* stop = reinterpret_cast<const unsigned char*>(end);
    while (at != stop) {
        const unsigned char* plain = SkipPlain(at, stop);
        out.append(reinterpret_cast<const char*>(at), static_cast<std::size_t>(plain - at));
        at = plain;
        if (at == stop) {
            break;
        }
        switch (*at) {
            case '"':
                out.append("\\\"", 2);
                break;
            case '\\':
                out.append("\\\\", 2);
                break;
            case '\b':
                out.append("\\b", 2);
                break;
            case '\f':
                out.append("\\f", 2);
                break;
            case '\n':
                out.append("\\n", 2);
                break;
            case '\r':
                out.append("\\r", 2);
                break;
            case '\t':
                out.append("\\t", 2);
                break;
            default:
                if (*at < 0x80) {
                    AppendEscape(out, *at);
                } else {
                    unsigned point = DecodeLenient(at, stop);
                    if (point < 0x10000) {
                        AppendEscape(out, point);
                    } else {
                        // Each half keeps ten bits: a broken sequence above
                        // U+10FFFF wraps the way JsonCpp's does.
                        point -= 0x10000;
                        AppendEscape(out, 0xD800 + ((point >> 10) & 0x3FF));
                        AppendEscape(out, 0xDC00 + (point & 0x3FF));
                    }
                }
                break;
        }
        ++at;
    }
    out.push_back('"');
}

template <typename Integer>
void AppendInteger(std::string& out, Integer value) {
    char digits[24];
    const std::to_chars_result done = std::to_chars(digits, digits + sizeof(digits), value);
    out.append(digits, static_cast<std::size_t>(done.ptr - digits));
}

// 17 significant digits as "%.17g" gives them (to_chars promises the same
// text and skips the format parser and the locale), with ".0" added when
// the text would otherwise read back as an integer. Without special floats
// JsonCpp writes NaN as null and the infinities as out-of-range numbers.
void AppendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out.append(std::isnan(value) ? "null" : value < 0 ? "-1e+9999" : "1e+9999");
        return;
    }
    char digits[32];
    const std::to_chars_result done =
        std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::general, 17);
    const auto length = static_cast<std::size_t>(done.ptr - digits);
    out.append(digits, length);
    if (std::memchr(digits, '.', length) == nullptr &&
        std::memchr(digits, 'e', length) == nullptr) {
        out.append(".0", 2);
    }
}

bool HasComment(const Json::Value& value) {
    return value.hasComment(Json::commentBefore) ||
           value.hasComment(Json::commentAfterOnSameLine) || value.hasComment(Json::commentAfter);
}

// False when a comment was met; `out` then holds a partial text.
bool AppendValue(std::string& out, const Json::Value& value) {
    if (HasComment(value)) {
        return false;
    }
    switch (value.type()) {
        case Json::nullValue:
            out.append("null", 4);
            return true;
        case Json::intValue:
            AppendInteger(out, value.asLargestInt());
            return true;
        case Json::uintValue:
            AppendInteger(out, value.asLargestUInt());
            return true;
        case Json::realValue:
            AppendDouble(out, value.asDouble());
            return true;
        case Json::booleanValue:
            if (value.asBool()) {
                out.append("true", 4);
            } else {
                out.append("false", 5);
            }
            return true;
        case Json::stringValue: {
            const char* begin = nullptr;
            const char* end = nullptr;
            if (value.getString(&begin, &end)) {
                AppendQuoted(out, begin, end);
            }
            return true;
        }
        case Json::arrayValue: {
            // Elements live in a map by index; indexes never set read as null.
            const Json::ArrayIndex size = value.size();
            out.push_back('[');
            Json::ArrayIndex next = 0;
            for (auto it = value.begin(); it != value.end(); ++it) {
                for (; next < it.index(); ++next) {
                    out.append(next == 0 ? "null" : ",null");
                }
                if (next != 0) {
                    out.push_back(',');
                }
                if (!AppendValue(out, *it)) {
                    return false;
                }
                ++next;
            }
            for (; next < size; ++next) {
                out.append(next == 0 ? "null" : ",null");
            }
            out.push_back(']');
            return true;
        }
        case Json::objectValue: {
            out.push_back('{');
            bool first = true;
            for (auto it = value.begin(); it != value.end(); ++it) {
                if (!first) {
                    out.push_back(',');
                }
                first = false;
                const char* nameEnd = nullptr;
                const char* name = it.memberName(&nameEnd);
                AppendQuoted(out, name, nameEnd);
                out.push_back(':');
                if (!AppendValue(out, *it)) {
                    return false;
                }
            }
            out.push_back('}');
            return true;
        }
    }
    return true;
}

class StringAppendBuf : public std::streambuf {
public:
    explicit StringAppendBuf(std::string& target) : target_(target) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            target_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char_type* s, std::streamsize count) override {
        target_.append(s, static_cast<std::size_t>(count));
        return count;
    }

private:
    std::string& target_;
};

}  // namespace

void AppendJsonString(std::string& out, const char* begin, const char* end) {
    AppendQuoted(out, begin, end);
}

void AppendJson(std::string& out, const Json::Value& value) {
    const std::size_t start = out.size();
    if (AppendValue(out, value)) {
        return;
    }
    out.resize(start);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
    StringAppendBuf buffer(out);
    std::ostream text(&buffer);
    writer->write(value, &text);
}

}  // namespace RpcClient
