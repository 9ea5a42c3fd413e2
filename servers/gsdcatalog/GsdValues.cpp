// SPDX-License-Identifier: Apache-2.0
#include "GsdValues.h"

#include "GsdParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>

namespace GsdCatalog {

namespace {

// XML white space plus the C locale's other two; std::isspace would consult
// the locale for every character of every number list.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool ParseNumber(std::string_view text, long long& value) {
    while (!text.empty() && IsSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 24) {
        return false;
    }
    // Decimal unless written with 0x, so a leading zero never means octal.
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    long long parsed = 0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), parsed, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return false;
    }
    value = parsed;
    return true;
}

namespace {

// Calls `range(low, high)` for every entry of a number list ("1..3 7 9..10");
// returns false on malformed text or when `range` does.
template <class Range>
bool ForEachRange(std::string_view text, Range&& range) {
    std::size_t pos = 0;
    auto separator = [](char c) { return IsSpace(c) || c == ';' || c == ','; };
    while (pos < text.size()) {
        while (pos < text.size() && separator(text[pos])) {
            ++pos;
        }
        if (pos >= text.size()) {
            break;
        }
        std::size_t end = pos;
        while (end < text.size() && !separator(text[end])) {
            ++end;
        }
        const std::string_view token = text.substr(pos, end - pos);
        pos = end;
        const std::size_t dots = token.find("..");
        long long low = 0;
        long long high = 0;
        if (dots == std::string_view::npos) {
            if (!ParseNumber(token, low)) {
                return false;
            }
            high = low;
        } else if (!ParseNumber(token.substr(0, dots), low) ||
                   !ParseNumber(token.substr(dots + 2), high) || high < low) {
            return false;
        }
        if (!range(low, high)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ValueBounds(std::string_view text, long long& low, long long& high) {
    bool any = false;
    const bool ok = ForEachRange(text, [&](long long a, long long b) {
        low = any ? std::min(low, a) : a;
        high = any ? std::max(high, b) : b;
        any = true;
        return true;
    });
    return ok && any;
}

bool CountValueList(std::string_view text, std::size_t maxCount, unsigned long long& count) {
    count = 0;
    return ForEachRange(text, [&](long long low, long long high) {
        if (low < std::numeric_limits<int>::min() || high > std::numeric_limits<int>::max()) {
            return false;
        }
        count += static_cast<unsigned long long>(high - low) + 1;
        return count <= maxCount;
    });
}

bool ParseValueList(std::string_view text, std::vector<int>& out, std::size_t maxCount) {
    out.clear();
    // Counted first so the list is allocated once: slot ranges such as
    // "1..64" sit on every module reference of a large file.
    unsigned long long count = 0;
    if (!CountValueList(text, maxCount, count)) {
        return false;
    }
    out.resize(static_cast<std::size_t>(count));
    std::size_t at = 0;
    ForEachRange(text, [&](long long low, long long high) {
        for (long long v = low; v <= high; ++v) {
            out[at++] = static_cast<int>(v);
        }
        return true;
    });
    return true;
}

namespace {

// Length of the UTF-8 sequence starting at p[i], or 0 when the bytes there
// are not one (overlong forms and surrogates included).
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t i, std::size_t size) {
    const unsigned char c = p[i];
    std::size_t length = 0;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
    }
    bool ok = length > 0 && i + length <= size;
    for (std::size_t k = 1; ok && k < length; ++k) {
        ok = (p[i + k] & 0xC0) == 0x80;
    }
    if (ok && length == 3) {
        ok = !(c == 0xE0 && p[i + 1] < 0xA0) && !(c == 0xED && p[i + 1] >= 0xA0);
    } else if (ok && length == 4) {
        ok = !(c == 0xF0 && p[i + 1] < 0x90) && !(c == 0xF4 && p[i + 1] >= 0x90);
    }
    return ok ? length : 0;
}

bool IsAscii(const unsigned char* p, std::size_t size) {
    // Eight bytes at a time: almost every text of a file is plain ASCII.
    std::uint64_t high = 0;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p + at, sizeof word);
        high |= word;
    }
    for (; at < size; ++at) {
        high |= p[at];
    }
    return (high & 0x8080808080808080ULL) == 0;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    if (IsAscii(p, text.size())) {
        return true;
    }
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(p, i, text.size());
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string ValidUtf8(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const std::size_t size = std::strlen(text);
    if (IsAscii(p, size)) {
        return std::string(text, size);  // the common case: nothing to check
    }
    std::string out;
    out.reserve(size);
    std::size_t i = 0;
    while (i < size) {
        const std::size_t length = Utf8SequenceLength(p, i, size);
        if (length > 0) {
            out.append(text + i, length);
            i += length;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

bool LanguageMatches(std::string_view fileLang, std::string_view wanted) {
    // "de" matches "de", "de-DE" and "DE"; the region part is ignored on both sides.
    auto primary = [](std::string_view s) { return s.substr(0, s.find_first_of("-_")); };
    const std::string_view a = primary(fileLang);
    const std::string_view b = primary(wanted);
    return !a.empty() && a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

int DataTypeCode(std::string_view name) {
    static const std::pair<const char*, int> kCodes[] = {
        {"Bit", 1},          {"BitArea", 2},
        {"Integer8", 3},     {"Integer16", 4},
        {"Integer32", 5},    {"Integer64", 6},
        {"Unsigned8", 7},    {"Unsigned16", 8},
        {"Unsigned32", 9},   {"Unsigned64", 10},
        {"Float32", 11},     {"Float64", 12},
        {"OctetString", 13}, {"VisibleString", 14},
        {"Boolean", 15},     {"Date", 16},
        {"TimeStamp", 17},   {"UnicodeString8", 18},
        {"N2", 19},          {"N4", 20},
        {"V2", 21},          {"E2", 22},
        {"C4", 23},          {"X2", 24},
    };
    for (const auto& [text, code] : kCodes) {
        if (name == text) {
            return code;
        }
    }
    return 0;
}

int DataTypeBytes(std::string_view name) {
    static const std::pair<const char*, int> kSizes[] = {
        {"Integer8", 1},
        {"Unsigned8", 1},
        {"Boolean", 1},
        {"Integer16", 2},
        {"Unsigned16", 2},
        {"N2", 2},
        {"V2", 2},
        {"E2", 2},
        {"X2", 2},
        {"Integer32", 4},
        {"Unsigned32", 4},
        {"Float32", 4},
        {"N4", 4},
        {"C4", 4},
        {"Integer64", 8},
        {"Unsigned64", 8},
        {"Float64", 8},
        {"Date", 7},
        {"TimeStamp", 12},
        {"F_MessageTrailer4Byte", 4},
        {"F_MessageTrailer5Byte", 5},
    };
    for (const auto& [text, size] : kSizes) {
        if (name == text) {
            return size;
        }
    }
    return 0;
}

// Value range a data type can hold, as text, for parameters without an
// explicit range.
std::pair<std::string, std::string> DataTypeRange(std::string_view name, int bitLength) {
    if (name == "Bit") {
        return {"0", "1"};
    }
    if (name == "BitArea") {
        const int bits = std::clamp(bitLength, 1, 31);
        return {"0", std::to_string((1LL << bits) - 1)};
    }
    if (name == "Unsigned8") {
        return {"0", "255"};
    }
    if (name == "Unsigned16") {
        return {"0", "65535"};
    }
    if (name == "Unsigned32") {
        return {"0", "4294967295"};
    }
    if (name == "Unsigned64") {
        return {"0", "18446744073709551615"};
    }
    if (name == "Integer8") {
        return {"-128", "127"};
    }
    if (name == "Integer16") {
        return {"-32768", "32767"};
    }
    if (name == "Integer32") {
        return {"-2147483648", "2147483647"};
    }
    if (name == "Integer64") {
        return {"-9223372036854775808", "9223372036854775807"};
    }
    return {"", ""};
}

int MauTypeFromName(std::string_view name) {
    // Older files name the medium attachment unit instead of giving its number.
    static const std::pair<const char*, int> kNames[] = {
        {"10BASETXHD", 10},   {"10BASETXFD", 11},   {"100BASETXHD", 15},  {"100BASETXFD", 16},
        {"100BASEFXHD", 17},  {"100BASEFXFD", 18},  {"1000BASEXHD", 21},  {"1000BASEXFD", 22},
        {"1000BASELXHD", 23}, {"1000BASELXFD", 24}, {"1000BASESXHD", 25}, {"1000BASESXFD", 26},
        {"1000BASETHD", 29},  {"1000BASETFD", 30},  {"10GigBASEFX", 31},
    };
    for (const auto& [text, value] : kNames) {
        if (name == text) {
            return value;
        }
    }
    return 0;
}

}  // namespace GsdCatalog
