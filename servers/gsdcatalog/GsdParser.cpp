// SPDX-License-Identifier: Apache-2.0
#include "GsdParser.h"

#include "Sha256.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstring>
#include <deque>
#include <fstream>
#include <limits>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

// The document is walked once; every reference (texts, categories, value
// lists, modules, submodules, menus) is resolved while walking, and anything
// unresolved is collected as a reason to refuse the file. Parameter records
// are only checked on that walk, with nothing stored: in a large file they
// are most of the elements, and most are never asked for. Each submodule's
// records are built on first use from the kept document by the same reader
// code, so the answers do not depend on when they were built; the check walks
// the records in the reader's order and reports the reader's reasons.

namespace GsdCatalog {

namespace {

template <class Item>
const Item* FindById(const std::unordered_map<std::string, std::size_t>& index,
                     const std::vector<Item>& items, const std::string& id) {
    const auto found = index.find(id);
    return found == index.end() ? nullptr : &items[found->second];
}

template <class Item>
void IndexById(std::unordered_map<std::string, std::size_t>& index,
               const std::vector<Item>& items) {
    index.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        index.emplace(items[i].info.id, i);  // the first of duplicate IDs wins
    }
}

}  // namespace

const AccessPoint* GsdFile::FindAccessPoint(const std::string& id) const {
    return FindById(accessPointById_, accessPoints, id);
}

const Module* GsdFile::FindModule(const std::string& id) const {
    return FindById(moduleById_, modules, id);
}

const Submodule* GsdFile::FindListedSubmodule(const std::string& id) const {
    return FindById(submoduleById_, submodules, id);
}

void GsdFile::IndexModuleSubmodules(const Module& module, SubmoduleIndex& index) const {
    // The first entry of an ID wins, so adding in search order makes a lookup
    // give what a walk in that order would find first.
    for (const auto* list : {&module.virtualSubmodules, &module.systemSubmodules}) {
        for (const Submodule& submodule : *list) {
            index.emplace(submodule.info.id, &submodule);
        }
    }
    for (const ItemRef& ref : module.useableSubmodules) {
        if (const Submodule* listed = FindListedSubmodule(ref.target)) {
            index.emplace(ref.target, listed);
        }
    }
}

void GsdFile::BuildLookup() {
    IndexById(accessPointById_, accessPoints);
    IndexById(moduleById_, modules);
    IndexById(submoduleById_, submodules);
    // Submodule lookups by ID, so a query about a submodule of the last of
    // thousands of modules does not walk them all.
    submodulesByDap_.assign(accessPoints.size(), {});
    for (std::size_t i = 0; i < accessPoints.size(); ++i) {
        IndexModuleSubmodules(accessPoints[i], submodulesByDap_[i]);
        for (const ItemRef& ref : accessPoints[i].useableModules) {
            if (const Module* module = FindModule(ref.target)) {
                IndexModuleSubmodules(*module, submodulesByDap_[i]);
            }
        }
    }
    submodulesOfModules_.clear();
    for (const Module& module : modules) {
        IndexModuleSubmodules(module, submodulesOfModules_);
    }
}

GsdFile::SubmoduleAt GsdFile::LocateSubmodule(const AccessPoint* preferred,
                                              const std::string& id) const {
    auto find = [&id](const SubmoduleIndex& index) -> const Submodule* {
        const auto found = index.find(id);
        return found == index.end() ? nullptr : found->second;
    };
    if (accessPoints.empty()) {
        return {};
    }
    if (preferred) {
        const auto at = static_cast<std::size_t>(preferred - accessPoints.data());
        if (const Submodule* hit = find(submodulesByDap_[at])) {
            return {hit, preferred};
        }
    }
    for (std::size_t i = 0; i < accessPoints.size(); ++i) {
        if (const Submodule* hit = find(submodulesByDap_[i])) {
            return {hit, &accessPoints[i]};
        }
    }
    const AccessPoint* fallback = preferred ? preferred : &accessPoints.front();
    if (const Submodule* hit = find(submodulesOfModules_)) {
        return {hit, fallback};
    }
    if (const Submodule* listed = FindListedSubmodule(id)) {
        return {listed, fallback};
    }
    return {};
}

namespace {

// XML white space plus the C locale's other two; std::isspace would consult
// the locale for every character of every number list.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

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

}  // namespace

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

// The smallest and largest value of a number list, without expanding it.
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

}  // namespace

namespace {

// How many values a number list expands to, without expanding it; false when
// ParseValueList would refuse the list.
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

}  // namespace

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

using pugi::xml_attribute;
using pugi::xml_node;

// Replaces byte sequences that are not UTF-8 with U+FFFD so every text can go
// out in a JSON answer. pugixml already converts declared encodings (Latin-1,
// UTF-16) to UTF-8; this catches files that lie about their encoding.
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

// Replaces byte sequences that are not UTF-8 with U+FFFD so every text can go
// out in a JSON answer. pugixml already converts declared encodings (Latin-1,
// UTF-16) to UTF-8; this catches files that lie about their encoding.
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

// IDs of one record's parameters or menus: few, so a sorted vector serves
// better than a hash table. The first of duplicate IDs wins.
using IdIndex = std::vector<std::pair<std::string_view, std::size_t>>;

void SortIndex(IdIndex& index) {
    // Records hold a handful of IDs: an insertion sort (stable, like the
    // general sort) spares the buffer a stable sort allocates.
    if (index.size() <= 16) {
        for (std::size_t i = 1; i < index.size(); ++i) {
            for (std::size_t j = i; j > 0 && index[j].first < index[j - 1].first; --j) {
                std::swap(index[j], index[j - 1]);
            }
        }
        return;
    }
    std::stable_sort(index.begin(), index.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

const std::size_t* FindInIndex(const IdIndex& index, std::string_view id) {
    const auto found =
        std::lower_bound(index.begin(), index.end(), id,
                         [](const auto& entry, std::string_view key) { return entry.first < key; });
    return found != index.end() && found->first == id ? &found->second : nullptr;
}

// Several attributes of one element found in a single walk over its
// attributes, instead of one walk per name; the first of repeated attributes
// counts, as with a lookup by name.
template <std::size_t N>
std::array<xml_attribute, N> AttributesOf(const xml_node& element,
                                          const std::array<std::string_view, N>& names) {
    std::array<xml_attribute, N> found{};
    for (xml_attribute attribute : element.attributes()) {
        const std::string_view name = attribute.name();
        for (std::size_t i = 0; i < N; ++i) {
            if (name == names[i]) {
                if (!found[i]) {
                    found[i] = attribute;
                }
                break;
            }
        }
    }
    return found;
}

// Where a parameter's attributes are; the first of repeated attributes wins,
// as with a lookup by name. Parameters are the most numerous elements of a
// large file, so their attributes are found in one pass.
struct ParameterAttributes {
    xml_attribute id, textId, changeable, visible, byteOffset, bitOffset, bitLength, dataType,
        defaultValue, valueItem, allowed;
};

// Compares a name with a literal; short fixed-size compares the compiler
// inlines, where string_view's compare is a call.
template <std::size_t N>
bool NameIs(std::string_view name, const char (&literal)[N]) {
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

ParameterAttributes ParameterAttributesOf(const xml_node& ref) {
    ParameterAttributes a;
    for (xml_attribute attribute = ref.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::string_view name = attribute.name();
        xml_attribute* slot = nullptr;
        switch (name.size()) {
            case 2:
                slot = NameIs(name, "ID") ? &a.id : nullptr;
                break;
            case 6:
                slot = NameIs(name, "TextId") ? &a.textId : nullptr;
                break;
            case 7:
                slot = NameIs(name, "Visible") ? &a.visible : nullptr;
                break;
            case 8:
                slot = NameIs(name, "DataType") ? &a.dataType : nullptr;
                break;
            case 9:
                slot = NameIs(name, "BitOffset")   ? &a.bitOffset
                       : NameIs(name, "BitLength") ? &a.bitLength
                                                   : nullptr;
                break;
            case 10:
                slot = NameIs(name, "Changeable")   ? &a.changeable
                       : NameIs(name, "ByteOffset") ? &a.byteOffset
                                                    : nullptr;
                break;
            case 12:
                slot = NameIs(name, "DefaultValue") ? &a.defaultValue : nullptr;
                break;
            case 13:
                slot = NameIs(name, "AllowedValues") ? &a.allowed : nullptr;
                break;
            case 15:
                slot = NameIs(name, "ValueItemTarget") ? &a.valueItem : nullptr;
                break;
            default:
                break;
        }
        if (slot && !*slot) {
            *slot = attribute;
        }
    }
    return a;
}

// Menus are answered as a tree, and read back by recursion: a menu that
// contains itself would make that tree endless, and a very deep one would
// exhaust a reader's stack. Returns the index of the first menu from which
// such a tree starts and whether it is endless (else too deep), or nothing.
// Heights are memoised, so menus shared by several parents are measured once.
constexpr int kMaxMenuDepth = 32;

template <class Submenus>
std::optional<std::pair<std::size_t, bool>> MenuTreeProblem(std::size_t count,
                                                            Submenus&& submenusOf) {
    constexpr int kOnPath = -2;
    constexpr int kCycle = -1;
    constexpr int kTooDeep = kMaxMenuDepth + 1;
    std::vector<int> height(count, 0);  // 0 not yet measured
    auto measure = [&](auto& self, std::size_t at, int depth) -> int {
        if (height[at] == kOnPath) {
            return kCycle;
        }
        if (height[at] > 0) {
            return height[at];
        }
        if (depth > kMaxMenuDepth) {
            return kTooDeep;
        }
        height[at] = kOnPath;
        int tallest = 1;
        for (std::size_t next : submenusOf(at)) {
            const int below = self(self, next, depth + 1);
            if (below == kCycle || below >= kTooDeep) {
                return below;
            }
            tallest = std::max(tallest, below + 1);
        }
        height[at] = tallest;
        return tallest;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const int result = measure(measure, i, 1);
        if (result == kCycle) {
            return std::make_pair(i, true);
        }
        if (result > kMaxMenuDepth) {
            return std::make_pair(i, false);
        }
    }
    return std::nullopt;
}

std::string MenuTreeReason(const std::string& menuId, bool endless) {
    return endless ? "menu \"" + menuId + "\" contains itself"
                   : "menu \"" + menuId + "\" nests menus deeper than " +
                         std::to_string(kMaxMenuDepth) + " levels";
}

}  // namespace

// The parsed document and the tables of IDs collected from it, shared by the
// builder and by the record lists built from it later.
struct ParsedDocument {
    std::unique_ptr<char[]> buffer;  // the bytes parsed in place, when they were handed over
    pugi::xml_document document;
    std::string language;
    std::unordered_map<std::string_view, const char*> primaryTexts;
    std::unordered_map<std::string_view, const char*> languageTexts;
    std::unordered_map<std::string_view, xml_node> categories;
    std::unordered_map<std::string_view, xml_node> valueItems;
    std::unordered_map<std::string_view, SharedValues> resolvedValues;
    bool collected = false;  // the tables above are filled
    // Record lists share resolvedValues: one is built at a time.
    std::mutex deferredBuild;
};

class DeferredRecords {
public:
    DeferredRecords(std::shared_ptr<ParsedDocument> document, xml_node list)
        : document_(std::move(document)), list_(list) {}

    void BuildOnce();
    const std::vector<ParameterRecord>& Records() const { return records_; }
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    std::shared_ptr<ParsedDocument> document_;  // until the records are built
    xml_node list_;                             // the submodule's RecordDataList
    std::once_flag once_;
    std::vector<ParameterRecord> records_;
    std::vector<std::string> problems_;
};

namespace {

class Builder {
public:
    explicit Builder(const std::shared_ptr<ParsedDocument>& document)
        : document_(document),
          root_(document->document.document_element()),
          language_(document->language),
          primaryTexts_(document->primaryTexts),
          languageTexts_(document->languageTexts),
          categories_(document->categories),
          valueItems_(document->valueItems),
          resolvedValues_(document->resolvedValues) {}

    std::vector<std::string>& Errors() { return errors_; }

    ParseOutcome Build() {
        auto file = std::make_shared<GsdFile>();
        const xml_node body = root_.child("ProfileBody");
        const xml_node process = body.child("ApplicationProcess");
        if (!body || !process) {
            errors_.push_back("the GSDML document has no ProfileBody/ApplicationProcess element");
            return Finish(nullptr);
        }
        if (!document_->collected) {
            CollectTexts(process.child("ExternalTextList"));
            CollectIds(process);
            document_->collected = true;
        }

        file->schemaVersion = SchemaVersion();
        const xml_node identity = body.child("DeviceIdentity");
        if (!identity) {
            errors_.push_back("the GSDML document has no DeviceIdentity element");
        }
        file->vendorId = Unsigned(identity, "VendorID");
        file->deviceId = Unsigned(identity, "DeviceID");
        file->vendorName = ValidUtf8(identity.child("VendorName").attribute("Value").value());
        file->infoText = Text(identity.child("InfoText"));
        const xml_node family = body.child("DeviceFunction").child("Family");
        file->mainFamily = ValidUtf8(family.attribute("MainFamily").value());
        file->productFamily = ValidUtf8(family.attribute("ProductFamily").value());

        for (xml_node item : process.child("ModuleList").children("ModuleItem")) {
            ReadModule(item, file->modules.emplace_back());
        }
        for (xml_node item : process.child("SubmoduleList").children()) {
            if (item.type() == pugi::node_element) {
                ReadSubmodule(item, KindOf(item.name()), 1, file->submodules.emplace_back());
            }
        }
        for (xml_node item :
             process.child("DeviceAccessPointList").children("DeviceAccessPointItem")) {
            file->accessPoints.push_back(ReadAccessPoint(item));
        }
        if (file->accessPoints.empty()) {
            errors_.push_back("the GSDML document describes no device access point");
        }
        ReadDiagnosis(process, *file);
        file->BuildLookup();
        CheckReferences(*file);
        return Finish(file);
    }

    // Checks the document as Build reads it, in the same order and with the
    // same reasons, but stores nothing: a file is checked when it is imported
    // or found and built when first asked about. BuildChecked must then find
    // nothing to complain about; the fuzzer holds the two to that.
    std::vector<std::string> Check() {
        const xml_node body = root_.child("ProfileBody");
        const xml_node process = body.child("ApplicationProcess");
        if (!body || !process) {
            errors_.push_back("the GSDML document has no ProfileBody/ApplicationProcess element");
            return Finish(nullptr).errors;
        }
        CollectTexts(process.child("ExternalTextList"));
        CollectIds(process);
        document_->collected = true;

        const xml_node identity = body.child("DeviceIdentity");
        if (!identity) {
            errors_.push_back("the GSDML document has no DeviceIdentity element");
        }
        Unsigned(identity, "VendorID");
        Unsigned(identity, "DeviceID");
        CheckText(identity.child("InfoText"));

        for (xml_node item : process.child("ModuleList").children("ModuleItem")) {
            knownModules_.insert(FileId(item.attribute("ID").value()));
            owners_.push_back({FileId(item.attribute("ID").value()), false, 0, 0, 0, 0});
            CheckInfo(item);
            CheckModuleBody(item, owners_.back());
        }
        for (xml_node item : process.child("SubmoduleList").children()) {
            if (item.type() == pugi::node_element) {
                knownSubmodules_.insert(FileId(item.attribute("ID").value()));
                CheckSubmodule(item, KindOf(item.name()));
            }
        }
        bool anyDap = false;
        for (xml_node item :
             process.child("DeviceAccessPointList").children("DeviceAccessPointItem")) {
            anyDap = true;
            owners_.push_back({FileId(item.attribute("ID").value()), true, 0, 0, 0, 0});
            CheckAccessPoint(item, owners_.back());
        }
        if (!anyDap) {
            errors_.push_back("the GSDML document describes no device access point");
        }
        CheckDiagnosis(process);
        CheckCheckedReferences();
        return Finish(nullptr).errors;
    }

private:
    // Who refers to which submodules and modules, as CheckReferences reads it
    // from the built lists; ranges into refTargets_.
    struct OwnerRefs {
        std::string_view id;
        bool accessPoint;
        std::size_t submodulesBegin, submodulesEnd;
        std::size_t modulesBegin, modulesEnd;
    };

    // An ID as the built file stores it (repaired to UTF-8), kept as long as
    // the check runs.
    std::string_view FileId(const char* raw) {
        const std::string_view text = raw;
        if (IsValidUtf8(text)) {
            return text;
        }
        return repairedFileIds_.emplace_back(ValidUtf8(raw));
    }

    std::size_t CheckList(const xml_node& element, const char* name) {
        return CheckList(element, element.attribute(name));
    }

    // As List, without the list: returns how many values it has.
    std::size_t CheckList(const xml_node& element, const xml_attribute& attribute) {
        unsigned long long count = 0;
        if (attribute && !CountValueList(attribute.value(), 65536, count)) {
            errors_.push_back(std::string("attribute ") + attribute.name() + " of " +
                              element.name() + " \"" + attribute.value() +
                              "\" is not a valid list of numbers");
            return 0;
        }
        return static_cast<std::size_t>(count);
    }

    void CheckCategory(const char* id) {
        if (*id == '\0') {
            return;
        }
        const auto found = categories_.find(id);
        if (found == categories_.end()) {
            errors_.push_back(std::string("category \"") + id +
                              "\" is referred to but not defined");
            return;
        }
        CheckText(found->second);
    }

    void CheckInfo(const xml_node& item) {
        const xml_node moduleInfo = item.child("ModuleInfo");
        xml_node name, infoText;
        for (xml_node child : moduleInfo.children()) {
            const std::string_view tag = child.name();
            if (tag == "Name" && !name) {
                name = child;
            } else if (tag == "InfoText" && !infoText) {
                infoText = child;
            }
        }
        if (moduleInfo) {
            CheckText(name);
        } else {
            FindText(item.attribute("TextId").value());
        }
        CheckText(infoText);
        CheckCategory(moduleInfo.attribute("CategoryRef").value());
        CheckCategory(moduleInfo.attribute("SubCategory1Ref").value());
    }

    void CheckIo(const xml_node& ioData) {
        for (const char* direction : {"Input", "Output"}) {
            for (xml_node item : ioData.child(direction).children("DataItem")) {
                if (item.attribute("Length")) {
                    Signed(item, "Length");
                }
            }
        }
    }

    void CheckTiming(const xml_node& relations) {
        const xml_node timing = relations.child("TimingProperties");
        CheckList(timing, "SendClock");
        for (const char* name : {"ReductionRatio", "ReductionRatioPow2", "ReductionRatioNonPow2"}) {
            CheckList(timing, name);
        }
    }

    void CheckMauTypes(const xml_node& port) {
        std::size_t types = 0;
        for (xml_node item : port.child("MAUTypeList").children("MAUTypeItem")) {
            Signed(item, "Value");
            ++types;
        }
        if (types == 0 && port.attribute("MAUTypes")) {
            types = CheckList(port, "MAUTypes");
        }
        if (types == 0 && port.attribute("MAUType")) {
            const std::string_view name = port.attribute("MAUType").value();
            if (MauTypeFromName(name) == 0) {
                errors_.push_back("port \"" + std::string(port.attribute("ID").value()) +
                                  "\" names an unknown MAU type \"" + std::string(name) + "\"");
            }
        }
    }

    void CheckSubmodule(const xml_node& item, ItemKind kind) {
        CheckInfo(item);
        const auto [subslot, api, profisafe, noParameters, imRecords] =
            AttributesOf<5>(item, {"SubslotNumber", "API", "PROFIsafeSupported",
                                   "ParameterizationDisallowed", "Writeable_IM_Records"});
        Signed(item, subslot, 0);
        Unsigned(item, api, 0);
        CheckList(item, imRecords);
        CheckIo(item.child("IOData"));
        for (xml_node record : item.child("RecordDataList").children()) {
            const std::string_view name = record.name();
            if (name == "ParameterRecordDataItem") {
                CheckRecord(record);
            } else if (name == "F_ParameterRecordDataItem") {
                CheckSafetyRecord(record);
            }
        }
        if (const xml_node iso = item.child("IsochroneMode")) {
            for (const char* name : {"T_DC_Base", "T_DC_Min", "T_DC_Max", "T_IO_Base",
                                     "T_IO_InputMin", "T_IO_OutputMin"}) {
                Unsigned(iso, name);
            }
        }
        if (kind == ItemKind::InterfaceSubmodule) {
            CheckTiming(item.child("ApplicationRelations"));
        } else if (kind == ItemKind::PortSubmodule) {
            CheckMauTypes(item);
        }
    }

    // Returns the range of refTargets_ the references' targets went to.
    std::pair<std::size_t, std::size_t> CheckRefs(const xml_node& list, const char* element,
                                                  const char* targetAttribute, const char* allowed,
                                                  const char* fixed, const char* used) {
        const std::size_t begin = refTargets_.size();
        for (xml_node ref : list.children(element)) {
            const auto [target, allowedIn, fixedIn, usedIn] =
                AttributesOf<4>(ref, {targetAttribute, allowed, fixed, used});
            refTargets_.push_back(FileId(target.value()));
            CheckList(ref, allowedIn);
            CheckList(ref, fixedIn);
            CheckList(ref, usedIn);
        }
        return {begin, refTargets_.size()};
    }

    void CheckModuleBody(const xml_node& item, OwnerRefs& owner) {
        for (xml_node sub : item.child("VirtualSubmoduleList").children("VirtualSubmoduleItem")) {
            CheckSubmodule(sub, ItemKind::VirtualSubmodule);
        }
        for (xml_node sub : item.child("SystemDefinedSubmoduleList").children()) {
            const ItemKind kind = KindOf(sub.name());
            if (kind == ItemKind::InterfaceSubmodule || kind == ItemKind::PortSubmodule) {
                CheckSubmodule(sub, kind);
            }
        }
        std::tie(owner.submodulesBegin, owner.submodulesEnd) =
            CheckRefs(item.child("UseableSubmodules"), "SubmoduleItemRef", "SubmoduleItemTarget",
                      "AllowedInSubslots", "FixedInSubslots", "UsedInSubslots");
        CheckList(item, "PhysicalSubslots");
        // The reader's names[number] = text evaluates the text first.
        for (xml_node slot : item.child("SubslotList").children("SubslotItem")) {
            CheckText(slot);
            Signed(slot, "SubslotNumber");
        }
    }

    void CheckAccessPoint(const xml_node& item, OwnerRefs& owner) {
        CheckInfo(item);
        CheckModuleBody(item, owner);
        CheckList(item, "FixedInSlots");
        CheckList(item, "PhysicalSlots");
        std::tie(owner.modulesBegin, owner.modulesEnd) =
            CheckRefs(item.child("UseableModules"), "ModuleItemRef", "ModuleItemTarget",
                      "AllowedInSlots", "FixedInSlots", "UsedInSlots");
        for (xml_node slot : item.child("SlotList").children("SlotItem")) {
            CheckText(slot);
            Signed(slot, "SlotNumber");
        }
        bool hasInterface = false;
        for (xml_node sub : item.child("SystemDefinedSubmoduleList").children()) {
            hasInterface = hasInterface || KindOf(sub.name()) == ItemKind::InterfaceSubmodule;
        }
        if (!hasInterface) {
            CheckTiming(item.child("ApplicationRelations"));
        }
    }

    void CheckDiagnosis(const xml_node& process) {
        for (xml_node item : process.child("ChannelDiagList").children()) {
            const std::string_view name = item.name();
            if (name != "ChannelDiagItem" && name != "SystemDefinedChannelDiagItem" &&
                name != "ProfileChannelDiagItem") {
                continue;
            }
            CheckText(item.child("Name"));
            CheckText(item.child("Help"));
            for (xml_node ext : item.child("ExtChannelDiagList").children()) {
                CheckText(ext.child("Name"));
                CheckText(ext.child("Help"));
                Signed(ext, "ErrorType");
            }
            Signed(item, "ErrorType");
        }
        for (xml_node item : process.child("UnitDiagTypeList").children("UnitDiagTypeItem")) {
            CheckText(item.child("Name"));
            CheckText(item.child("Help"));
            for (xml_node ref : item.children("Ref")) {
                Signed(ref, "ByteOffset");
                Signed(ref, "BitOffset");
                Signed(ref, "BitLength");
                CheckText(ref);
                Assignments(ref.attribute("ValueItemTarget").value());
            }
            Signed(item, "UserStructureIdentifier");
        }
    }

    void CheckCheckedReferences() {
        auto checkSubmoduleRefs = [&](const OwnerRefs& owner) {
            for (std::size_t i = owner.submodulesBegin; i < owner.submodulesEnd; ++i) {
                if (!knownSubmodules_.count(refTargets_[i])) {
                    errors_.push_back("\"" + std::string(owner.id) +
                                      "\" refers to unknown submodule \"" +
                                      std::string(refTargets_[i]) + "\"");
                }
            }
        };
        for (const OwnerRefs& owner : owners_) {
            if (!owner.accessPoint) {
                checkSubmoduleRefs(owner);
            }
        }
        for (const OwnerRefs& owner : owners_) {
            if (!owner.accessPoint) {
                continue;
            }
            checkSubmoduleRefs(owner);
            for (std::size_t i = owner.modulesBegin; i < owner.modulesEnd; ++i) {
                if (!knownModules_.count(refTargets_[i])) {
                    errors_.push_back("device access point \"" + std::string(owner.id) +
                                      "\" refers to unknown module \"" +
                                      std::string(refTargets_[i]) + "\"");
                }
            }
        }
    }

public:
private:
    ParseOutcome Finish(std::shared_ptr<GsdFile> file) {
        ParseOutcome outcome;
        // A file with hundreds of dangling references says the same thing
        // hundreds of times; a few reasons are enough to act on.
        constexpr std::size_t kMaxReasons = 20;
        if (errors_.size() > kMaxReasons) {
            const std::size_t more = errors_.size() - kMaxReasons;
            errors_.resize(kMaxReasons);
            errors_.push_back("... and " + std::to_string(more) + " more problems");
        }
        outcome.errors = std::move(errors_);
        if (outcome.errors.empty()) {
            outcome.file = std::move(file);
        }
        return outcome;
    }

    std::string SchemaVersion() const {
        const std::string location = root_.attribute("xsi:schemaLocation").value();
        const std::size_t at = location.find("DeviceProfile-V");
        if (at != std::string::npos) {
            std::size_t end = at + 14;
            while (end < location.size() &&
                   (location[end] == 'V' || location[end] == '.' ||
                    std::isdigit(static_cast<unsigned char>(location[end])))) {
                ++end;
            }
            while (end > at + 14 && location[end - 1] == '.') {
                --end;  // the dot before "xsd"
            }
            return location.substr(at + 14, end - at - 14);
        }
        return {};
    }

    void CollectTexts(const xml_node& list) {
        auto collect = [](const xml_node& language,
                          std::unordered_map<std::string_view, const char*>& into) {
            for (xml_node text : language.children("Text")) {
                into.emplace(text.attribute("TextId").value(), text.attribute("Value").value());
            }
        };
        collect(list.child("PrimaryLanguage"), primaryTexts_);
        if (language_.empty()) {
            return;
        }
        for (xml_node language : list.children("Language")) {
            if (LanguageMatches(language.attribute("xml:lang").value(), language_)) {
                collect(language, languageTexts_);
                break;
            }
        }
    }

    void CollectIds(const xml_node& process) {
        for (xml_node item : process.child("CategoryList").children("CategoryItem")) {
            categories_.emplace(item.attribute("ID").value(), item);
        }
        for (xml_node item : process.child("ValueList").children("ValueItem")) {
            valueItems_.emplace(item.attribute("ID").value(), item);
        }
    }

    // Finds a text by its TextId; an unknown id is a reason to refuse the
    // file. Null for an empty or unknown id.
    const char* FindText(std::string_view id) {
        if (id.empty()) {
            return nullptr;
        }
        auto found = languageTexts_.find(id);
        if (found == languageTexts_.end()) {
            found = primaryTexts_.find(id);
            if (found == primaryTexts_.end()) {
                errors_.push_back("text \"" + std::string(id) +
                                  "\" is referred to but not defined in the primary language");
                return nullptr;
            }
        }
        return found->second;
    }

    std::string TextById(std::string_view id) {
        const char* text = FindText(id);
        return text ? ValidUtf8(text) : std::string();
    }

    std::string Text(const xml_node& element) {
        return element ? TextById(element.attribute("TextId").value()) : std::string();
    }

    void CheckText(const xml_node& element) {
        if (element) {
            FindText(element.attribute("TextId").value());
        }
    }

    std::uint32_t Unsigned(const xml_node& element, const char* name, std::uint32_t fallback = 0) {
        return Unsigned(element, element.attribute(name), fallback);
    }

    std::uint32_t Unsigned(const xml_node& element, const xml_attribute& attribute,
                           std::uint32_t fallback) {
        const char* name = attribute.name();
        long long value = 0;
        if (!attribute) {
            return fallback;
        }
        if (!ParseNumber(attribute.value(), value) || value < 0 ||
            value > static_cast<long long>(std::numeric_limits<std::uint32_t>::max())) {
            errors_.push_back(std::string("attribute ") + name + " of " + element.name() +
                              " is not a number: \"" + attribute.value() + "\"");
            return fallback;
        }
        return static_cast<std::uint32_t>(value);
    }

    int Signed(const xml_node& element, const char* name, int fallback = 0) {
        return Signed(element, element.attribute(name), fallback);
    }

    int Signed(const xml_node& element, const xml_attribute& attribute, int fallback) {
        const char* name = attribute.name();
        long long value = 0;
        if (!attribute) {
            return fallback;
        }
        if (!ParseNumber(attribute.value(), value) || value < std::numeric_limits<int>::min() ||
            value > std::numeric_limits<int>::max()) {
            errors_.push_back(std::string("attribute ") + name + " of " + element.name() +
                              " is not a number: \"" + attribute.value() + "\"");
            return fallback;
        }
        return static_cast<int>(value);
    }

    std::vector<int> List(const xml_node& element, const char* name) {
        return List(element, element.attribute(name));
    }

    std::vector<int> List(const xml_node& element, const xml_attribute& attribute) {
        std::vector<int> values;
        const char* name = attribute.name();
        if (attribute && !ParseValueList(attribute.value(), values)) {
            errors_.push_back(std::string("attribute ") + name + " of " + element.name() + " \"" +
                              attribute.value() + "\" is not a valid list of numbers");
            values.clear();
        }
        return values;
    }

    static bool Flag(const xml_node& element, const char* name, bool fallback = false) {
        return Flag(element.attribute(name), fallback);
    }

    static bool Flag(const xml_attribute& attribute, bool fallback = false) {
        return attribute ? attribute.as_bool() : fallback;
    }

    std::string CategoryText(const char* id) {
        if (*id == '\0') {
            return {};
        }
        const auto found = categories_.find(id);
        if (found == categories_.end()) {
            errors_.push_back(std::string("category \"") + id +
                              "\" is referred to but not defined");
            return {};
        }
        return Text(found->second);
    }

    // Fills `info` in place: the identity is part of larger items, and
    // building it apart and moving it in copies nine strings once more.
    void ReadInfo(const xml_node& item, const char* identAttribute, ItemInfo& info) {
        const auto [id, ident, textId] = AttributesOf<3>(item, {"ID", identAttribute, "TextId"});
        info.id = ValidUtf8(id.value());
        info.identNumber = ValidUtf8(ident.value());
        const xml_node moduleInfo = item.child("ModuleInfo");
        // The identity elements are found in one walk over the children; the
        // first of repeated elements counts, as a lookup by name would give.
        xml_node name, infoText, orderNumber, hardwareRelease, softwareRelease;
        for (xml_node child : moduleInfo.children()) {
            const std::string_view tag = child.name();
            xml_node* slot = tag == "Name"              ? &name
                             : tag == "InfoText"        ? &infoText
                             : tag == "OrderNumber"     ? &orderNumber
                             : tag == "HardwareRelease" ? &hardwareRelease
                             : tag == "SoftwareRelease" ? &softwareRelease
                                                        : nullptr;
            if (slot && !*slot) {
                *slot = child;
            }
        }
        info.name = moduleInfo ? Text(name) : TextById(textId.value());
        info.infoText = Text(infoText);
        info.category = CategoryText(moduleInfo.attribute("CategoryRef").value());
        info.subCategory = CategoryText(moduleInfo.attribute("SubCategory1Ref").value());
        info.orderNumber = ValidUtf8(orderNumber.attribute("Value").value());
        info.hardwareRelease = ValidUtf8(hardwareRelease.attribute("Value").value());
        info.softwareRelease = ValidUtf8(softwareRelease.attribute("Value").value());
    }

    static ItemKind KindOf(std::string_view elementName) {
        if (elementName == "InterfaceSubmoduleItem") {
            return ItemKind::InterfaceSubmodule;
        }
        if (elementName == "PortSubmoduleItem") {
            return ItemKind::PortSubmodule;
        }
        if (elementName == "VirtualSubmoduleItem") {
            return ItemKind::VirtualSubmodule;
        }
        return ItemKind::Submodule;
    }

    IoSizes ReadIo(const xml_node& ioData) {
        IoSizes io;
        auto sum = [this](const xml_node& direction) {
            int bytes = 0;
            for (xml_node item : direction.children("DataItem")) {
                const std::string_view type = item.attribute("DataType").value();
                bytes += item.attribute("Length") ? Signed(item, "Length") : DataTypeBytes(type);
            }
            return bytes;
        };
        if (const xml_node input = ioData.child("Input")) {
            io.hasInput = true;
            io.inputBytes = sum(input);
        }
        if (const xml_node output = ioData.child("Output")) {
            io.hasOutput = true;
            io.outputBytes = sum(output);
        }
        return io;
    }

    SharedValues Assignments(const char* valueItemId) {
        if (*valueItemId == '\0') {
            return {};
        }
        const auto found = valueItems_.find(valueItemId);
        if (found == valueItems_.end()) {
            errors_.push_back(std::string("value item \"") + valueItemId +
                              "\" is referred to but not defined");
            return {};
        }
        // Many parameters share one value list; it is resolved once and shared.
        const auto cached = resolvedValues_.find(found->first);
        if (cached != resolvedValues_.end()) {
            return cached->second;
        }
        auto values = std::make_shared<ValueAssignments>();
        for (xml_node assign : found->second.child("Assignments").children("Assign")) {
            values->emplace_back(ValidUtf8(assign.attribute("Content").value()), Text(assign));
        }
        SharedValues shared(std::move(values));
        resolvedValues_.emplace(found->first, shared);
        return shared;
    }

    void ReadParameter(const xml_node& ref, ParameterItem& item) {
        const auto [id, textId, changeable, visible, byteOffset, bitOffset, bitLength, dataType,
                    defaultValue, valueItem, allowed] = ParameterAttributesOf(ref);
        item.id = ValidUtf8(id.value());
        item.textId = ValidUtf8(textId.value());
        item.name = TextById(item.textId);
        item.changeable = changeable ? changeable.as_bool() : true;
        item.visible = visible ? visible.as_bool() : true;
        item.byteOffset = Signed(ref, byteOffset, 0);
        item.bitOffset = Signed(ref, bitOffset, 0);
        item.bitLength = Signed(ref, bitLength, 1);
        item.dataTypeName = dataType.value();
        item.dataType = DataTypeCode(item.dataTypeName);
        item.defaultValue = ValidUtf8(defaultValue.value());
        item.values = Assignments(valueItem.value());

        long long low = 0;
        long long high = 0;
        const std::string_view allowedText = allowed.value();
        if (!allowedText.empty() && ValueBounds(allowedText, low, high)) {
            item.minValue = std::to_string(low);
            item.maxValue = std::to_string(high);
        } else if (!allowedText.empty()) {
            // A range too wide to expand (or of floating-point numbers): keep its ends as written.
            const std::size_t dots = allowedText.find("..");
            item.minValue = std::string(allowedText.substr(0, dots));
            item.maxValue = std::string(
                dots == std::string_view::npos ? allowedText : allowedText.substr(dots + 2));
        } else if (!item.values.empty()) {
            long long low = std::numeric_limits<long long>::max();
            long long high = std::numeric_limits<long long>::min();
            for (const auto& value : item.values) {
                long long number = 0;
                if (ParseNumber(value.first, number)) {
                    low = std::min(low, number);
                    high = std::max(high, number);
                }
            }
            if (low <= high) {
                item.minValue = std::to_string(low);
                item.maxValue = std::to_string(high);
            }
        } else {
            std::tie(item.minValue, item.maxValue) =
                DataTypeRange(item.dataTypeName, item.bitLength);
        }
    }

public:
    // The checks below walk a record as ReadRecord and ReadSafetyRecord read
    // it and report the same reasons in the same order, without storing
    // anything; the records themselves are built on first use.
    void CheckRecord(const xml_node& element) {
        Signed(element, "Index");
        Signed(element, "Length");
        xml_node nameElement;
        xml_node menus;
        checkRefs_.clear();
        for (xml_node child = element.first_child(); child; child = child.next_sibling()) {
            const std::string_view name = child.name();
            if (name == "Ref") {
                checkRefs_.push_back(child);
            } else if (name == "Name" && !nameElement) {
                nameElement = child;
            } else if (name == "MenuList" && !menus) {
                menus = child;
            }
        }
        CheckText(nameElement);
        checkParameters_.clear();
        repairedIds_.clear();
        std::size_t index = 0;
        for (const xml_node& ref : checkRefs_) {
            const ParameterAttributes a = ParameterAttributesOf(ref);
            // The reader keeps IDs repaired to UTF-8 and looks texts up by
            // the repaired TextId; so does the check.
            FindText(Repaired(a.textId.value()));
            Signed(ref, a.byteOffset, 0);
            Signed(ref, a.bitOffset, 0);
            Signed(ref, a.bitLength, 1);
            CheckValueItem(a.valueItem.value());
            const std::string_view id = Repaired(a.id.value());
            if (!id.empty()) {
                checkParameters_.emplace_back(id, index);
            }
            ++index;
        }
        if (menus) {
            SortIndex(checkParameters_);
            CheckMenus(menus);
        }
    }

    void CheckSafetyRecord(const xml_node& element) {
        Signed(element, "Index");
        Signed(element, "Length");
    }

private:
    // As Assignments, without handing out the list.
    void CheckValueItem(const char* valueItemId) {
        if (*valueItemId != '\0') {
            const auto found = valueItems_.find(valueItemId);
            if (found != valueItems_.end() && resolvedValues_.count(found->first)) {
                return;  // resolved before, its texts already looked up
            }
            Assignments(valueItemId);
        }
    }

    // `raw` as the reader stores it: unchanged when it is UTF-8 (almost
    // always), else repaired into storage that lives until the next record.
    std::string_view Repaired(const char* raw) {
        const std::string_view text = raw;
        if (IsValidUtf8(text)) {
            return text;
        }
        return repairedIds_.emplace_back(ValidUtf8(raw));
    }

    void CheckMenus(const xml_node& list) {
        checkMenus_.clear();
        checkMenuNodes_.clear();
        for (xml_node menu : list.children("MenuItem")) {
            checkMenus_.emplace_back(menu.attribute("ID").value(), checkMenuNodes_.size());
            checkMenuNodes_.push_back(menu);
            CheckText(menu.child("Name"));
        }
        SortIndex(checkMenus_);
        checkEdges_.clear();
        checkEdgeStart_.clear();
        for (const xml_node& menu : checkMenuNodes_) {
            checkEdgeStart_.push_back(checkEdges_.size());
            for (xml_node child : menu.children()) {
                const std::string_view name = child.name();
                if (name == "ParameterRef") {
                    const char* target = child.attribute("ParameterTarget").value();
                    if (!FindInIndex(checkParameters_, target)) {
                        errors_.push_back(std::string("menu \"") +
                                          ValidUtf8(menu.attribute("ID").value()) +
                                          "\" refers to unknown parameter \"" + target + "\"");
                    }
                } else if (name == "MenuRef") {
                    const char* target = child.attribute("MenuTarget").value();
                    if (const std::size_t* found = FindInIndex(checkMenus_, target)) {
                        checkEdges_.push_back(*found);
                    } else {
                        errors_.push_back(std::string("menu \"") +
                                          ValidUtf8(menu.attribute("ID").value()) +
                                          "\" refers to unknown menu \"" + target + "\"");
                    }
                }
            }
        }
        checkEdgeStart_.push_back(checkEdges_.size());
        struct Span {
            const std::size_t* first;
            const std::size_t* last;
            const std::size_t* begin() const { return first; }
            const std::size_t* end() const { return last; }
        };
        const auto problem = MenuTreeProblem(checkMenuNodes_.size(), [this](std::size_t at) {
            return Span{checkEdges_.data() + checkEdgeStart_[at],
                        checkEdges_.data() + checkEdgeStart_[at + 1]};
        });
        if (problem) {
            errors_.push_back(
                MenuTreeReason(ValidUtf8(checkMenuNodes_[problem->first].attribute("ID").value()),
                               problem->second));
        }
    }

public:
    ParameterRecord ReadRecord(const xml_node& element) {
        ParameterRecord record;
        record.index = Signed(element, "Index");
        record.length = Signed(element, "Length");
        record.id = element.attribute("ID") ? ValidUtf8(element.attribute("ID").value())
                                            : std::to_string(record.index);
        // One walk over the children finds the name and the menus and counts
        // the parameters, so the item list is allocated once.
        xml_node nameElement;
        xml_node menus;
        std::size_t refs = 0;
        for (xml_node child : element.children()) {
            const std::string_view name = child.name();
            if (name == "Ref") {
                ++refs;
            } else if (name == "Name" && !nameElement) {
                nameElement = child;
            } else if (name == "MenuList" && !menus) {
                menus = child;
            }
        }
        record.name = Text(nameElement);
        record.items.reserve(refs);
        for (xml_node ref : element.children("Ref")) {
            ReadParameter(ref, record.items.emplace_back());
        }
        if (menus) {
            IdIndex byId;
            byId.reserve(record.items.size());
            for (std::size_t i = 0; i < record.items.size(); ++i) {
                if (!record.items[i].id.empty()) {
                    byId.emplace_back(record.items[i].id, i);
                }
            }
            SortIndex(byId);
            ReadMenus(menus, byId, record);
        }
        return record;
    }

    void ReadMenus(const xml_node& list, const IdIndex& parameters, ParameterRecord& record) {
        IdIndex menuIndex;
        std::size_t count = 0;
        for (xml_node menu : list.children("MenuItem")) {
            (void)menu;
            ++count;
        }
        menuIndex.reserve(count);
        record.menus.reserve(count);
        for (xml_node menu : list.children("MenuItem")) {
            menuIndex.emplace_back(menu.attribute("ID").value(), record.menus.size());
            Menu entry;
            entry.id = ValidUtf8(menu.attribute("ID").value());
            entry.name = Text(menu.child("Name"));
            record.menus.push_back(std::move(entry));
        }
        SortIndex(menuIndex);
        std::size_t index = 0;
        for (xml_node menu : list.children("MenuItem")) {
            Menu& entry = record.menus[index++];
            for (xml_node child : menu.children()) {
                const std::string_view name = child.name();
                if (name == "ParameterRef") {
                    const char* target = child.attribute("ParameterTarget").value();
                    const std::size_t* found = FindInIndex(parameters, target);
                    if (!found) {
                        errors_.push_back(std::string("menu \"") + entry.id +
                                          "\" refers to unknown parameter \"" + target + "\"");
                    } else {
                        entry.parameters.push_back(*found);
                    }
                } else if (name == "MenuRef") {
                    const char* target = child.attribute("MenuTarget").value();
                    const std::size_t* found = FindInIndex(menuIndex, target);
                    if (!found) {
                        errors_.push_back(std::string("menu \"") + entry.id +
                                          "\" refers to unknown menu \"" + target + "\"");
                    } else {
                        entry.submenus.push_back(*found);
                    }
                }
            }
        }
        const auto problem = MenuTreeProblem(
            record.menus.size(), [&](std::size_t at) -> const std::vector<std::size_t>& {
                return record.menus[at].submenus;
            });
        if (problem) {
            errors_.push_back(MenuTreeReason(record.menus[problem->first].id, problem->second));
            record.menus.clear();
        }
    }

    // The safety parameters travel in a record of their own whose items are
    // named after their elements (F_SIL, F_WD_Time, ...).
    ParameterRecord ReadSafetyRecord(const xml_node& element) {
        ParameterRecord record;
        record.index = Signed(element, "Index");
        record.length = Signed(element, "Length");
        record.id = element.attribute("ID") ? ValidUtf8(element.attribute("ID").value())
                                            : std::to_string(record.index);
        record.name = "F-Parameter";
        for (xml_node child : element.children()) {
            if (child.type() != pugi::node_element) {
                continue;
            }
            ParameterItem item;
            item.id = child.name();
            item.textId = child.name();
            item.name = child.name();
            item.changeable = Flag(child, "Changeable", true);
            item.visible = Flag(child, "Visible", true);
            item.defaultValue = ValidUtf8(child.attribute("DefaultValue").value());
            long long low = 0;
            long long high = 0;
            if (ValueBounds(child.attribute("AllowedValues").value(), low, high)) {
                item.minValue = std::to_string(low);
                item.maxValue = std::to_string(high);
            }
            record.items.push_back(std::move(item));
        }
        return record;
    }

private:
    int RtClasses(const xml_node& interfaceItem) {
        int mask = 0;
        const std::string classes = interfaceItem.attribute("SupportedRT_Classes").value();
        if (!classes.empty()) {
            if (classes.find("RT_CLASS_1") != std::string::npos) {
                mask |= kRtClass1;
            }
            if (classes.find("RT_CLASS_2") != std::string::npos) {
                mask |= kRtClass2;
            }
            if (classes.find("RT_CLASS_3") != std::string::npos) {
                mask |= kRtClass3;
            }
            if (classes.find("RT_CLASS_UDP") != std::string::npos) {
                mask |= kRtClassUdp;
            }
            return mask;
        }
        // The older single attribute names the highest class supported.
        const std::string single = interfaceItem.attribute("SupportedRT_Class").value();
        if (single == "Class3") {
            return kRtClass1 | kRtClass2 | kRtClass3;
        }
        if (single == "Class2") {
            return kRtClass1 | kRtClass2;
        }
        return kRtClass1;
    }

    void ReadTiming(const xml_node& relations, Submodule& submodule) {
        const xml_node timing = relations.child("TimingProperties");
        // Without timing properties a device supports the 1 ms send clock
        // (32 x 31.25 us) and the power-of-two reduction ratios up to 512.
        submodule.sendClocks =
            timing.attribute("SendClock") ? List(timing, "SendClock") : std::vector<int>{32};
        std::vector<int> ratios = List(timing, "ReductionRatio");
        for (const char* name : {"ReductionRatioPow2", "ReductionRatioNonPow2"}) {
            const std::vector<int> more = List(timing, name);
            ratios.insert(ratios.end(), more.begin(), more.end());
        }
        if (ratios.empty()) {
            ratios = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
        }
        std::sort(ratios.begin(), ratios.end());
        ratios.erase(std::unique(ratios.begin(), ratios.end()), ratios.end());
        submodule.reductionRatios = std::move(ratios);
    }

    std::vector<int> MauTypes(const xml_node& port) {
        std::vector<int> types;
        for (xml_node item : port.child("MAUTypeList").children("MAUTypeItem")) {
            types.push_back(Signed(item, "Value"));
        }
        if (types.empty() && port.attribute("MAUTypes")) {
            types = List(port, "MAUTypes");
        }
        if (types.empty() && port.attribute("MAUType")) {
            const std::string name = port.attribute("MAUType").value();
            if (const int value = MauTypeFromName(name)) {
                types.push_back(value);
            } else {
                errors_.push_back("port \"" + std::string(port.attribute("ID").value()) +
                                  "\" names an unknown MAU type \"" + name + "\"");
            }
        }
        return types;
    }

    // Fills `submodule` in place, where its list keeps it, rather than moving
    // the finished item in.
    void ReadSubmodule(const xml_node& item, ItemKind kind, int defaultSubslot,
                       Submodule& submodule) {
        submodule.kind = kind;
        ReadInfo(item, "SubmoduleIdentNumber", submodule.info);
        const auto [subslot, api, profisafe, noParameters, imRecords] =
            AttributesOf<5>(item, {"SubslotNumber", "API", "PROFIsafeSupported",
                                   "ParameterizationDisallowed", "Writeable_IM_Records"});
        submodule.subslot = Signed(item, subslot, defaultSubslot);
        submodule.api = Unsigned(item, api, 0);
        submodule.profisafe = Flag(profisafe);
        submodule.parameterizationDisallowed = Flag(noParameters);
        submodule.writeableImRecords = List(item, imRecords);
        submodule.io = ReadIo(item.child("IOData"));
        const xml_node recordList = item.child("RecordDataList");
        bool anyRecord = false;
        for (xml_node record : recordList.children()) {
            const std::string_view name = record.name();
            if (name == "ParameterRecordDataItem") {
                CheckRecord(record);
                anyRecord = true;
            } else if (name == "F_ParameterRecordDataItem") {
                CheckSafetyRecord(record);
                anyRecord = true;
            }
        }
        if (anyRecord) {
            submodule.records =
                RecordList(std::make_shared<DeferredRecords>(document_, recordList));
        }
        if (const xml_node iso = item.child("IsochroneMode")) {
            IsochroneTiming timing;
            timing.tDcBase = Unsigned(iso, "T_DC_Base", 1);
            timing.tDcMin = Unsigned(iso, "T_DC_Min", 1);
            timing.tDcMax = Unsigned(iso, "T_DC_Max", 1);
            timing.tIoBase = Unsigned(iso, "T_IO_Base");
            timing.tIoInputMin = Unsigned(iso, "T_IO_InputMin");
            timing.tIoOutputMin = Unsigned(iso, "T_IO_OutputMin");
            timing.required = Flag(iso, "IsochroneModeRequired");
            submodule.isochrone = timing;
        }
        if (kind == ItemKind::InterfaceSubmodule) {
            submodule.rtClasses = RtClasses(item);
            ReadTiming(item.child("ApplicationRelations"), submodule);
            submodule.dcpBoundarySupported = Flag(item, "DCP_BoundarySupported");
            submodule.ptpBoundarySupported = Flag(item, "PTP_BoundarySupported");
        } else if (kind == ItemKind::PortSubmodule) {
            submodule.portDeactivationSupported = Flag(item, "PortDeactivationSupported");
            submodule.dcpBoundarySupported = Flag(item, "DCP_BoundarySupported");
            submodule.ptpBoundarySupported = Flag(item, "PTP_BoundarySupported");
            submodule.mauTypes = MauTypes(item);
        }
    }

    std::vector<ItemRef> ReadRefs(const xml_node& list, const char* element,
                                  const char* targetAttribute, const char* allowed,
                                  const char* fixed, const char* used) {
        std::vector<ItemRef> refs;
        for (xml_node ref : list.children(element)) {
            ItemRef entry;
            const auto [target, allowedIn, fixedIn, usedIn] =
                AttributesOf<4>(ref, {targetAttribute, allowed, fixed, used});
            entry.target = ValidUtf8(target.value());
            entry.allowed = List(ref, allowedIn);
            entry.fixed = List(ref, fixedIn);
            entry.used = List(ref, usedIn);
            refs.push_back(std::move(entry));
        }
        return refs;
    }

    void ReadModuleBody(const xml_node& item, Module& module) {
        for (xml_node sub : item.child("VirtualSubmoduleList").children("VirtualSubmoduleItem")) {
            ReadSubmodule(sub, ItemKind::VirtualSubmodule, 1,
                          module.virtualSubmodules.emplace_back());
        }
        int nextPort = 0x8001;
        for (xml_node sub : item.child("SystemDefinedSubmoduleList").children()) {
            const ItemKind kind = KindOf(sub.name());
            if (kind == ItemKind::InterfaceSubmodule) {
                ReadSubmodule(sub, kind, 0x8000, module.systemSubmodules.emplace_back());
            } else if (kind == ItemKind::PortSubmodule) {
                ReadSubmodule(sub, kind, nextPort, module.systemSubmodules.emplace_back());
                Submodule& port = module.systemSubmodules.back();
                nextPort = port.subslot + 1;
                // Boundaries set on the interface hold for its ports unless a
                // port says otherwise.
                const xml_node owner =
                    item.child("SystemDefinedSubmoduleList").child("InterfaceSubmoduleItem");
                if (!sub.attribute("DCP_BoundarySupported")) {
                    port.dcpBoundarySupported = Flag(owner, "DCP_BoundarySupported");
                }
                if (!sub.attribute("PTP_BoundarySupported")) {
                    port.ptpBoundarySupported = Flag(owner, "PTP_BoundarySupported");
                }
            }
        }
        module.useableSubmodules =
            ReadRefs(item.child("UseableSubmodules"), "SubmoduleItemRef", "SubmoduleItemTarget",
                     "AllowedInSubslots", "FixedInSubslots", "UsedInSubslots");
        module.physicalSubslots = List(item, "PhysicalSubslots");
        for (xml_node slot : item.child("SubslotList").children("SubslotItem")) {
            module.subslotNames[Signed(slot, "SubslotNumber")] = Text(slot);
        }
    }

    void ReadModule(const xml_node& item, Module& module) {
        ReadInfo(item, "ModuleIdentNumber", module.info);
        ReadModuleBody(item, module);
    }

    AccessPoint ReadAccessPoint(const xml_node& item) {
        AccessPoint dap;
        ReadInfo(item, "ModuleIdentNumber", dap.info);
        ReadModuleBody(item, dap);
        dap.dnsCompatibleName = ValidUtf8(item.attribute("DNS_CompatibleName").value());
        dap.pnioVersion = ValidUtf8(item.attribute("PNIO_Version").value());
        dap.fixedInSlots = List(item, "FixedInSlots");
        if (dap.fixedInSlots.empty()) {
            dap.fixedInSlots.push_back(0);
        }
        dap.physicalSlots = List(item, "PhysicalSlots");
        dap.useableModules =
            ReadRefs(item.child("UseableModules"), "ModuleItemRef", "ModuleItemTarget",
                     "AllowedInSlots", "FixedInSlots", "UsedInSlots");
        for (xml_node slot : item.child("SlotList").children("SlotItem")) {
            dap.slotNames[Signed(slot, "SlotNumber")] = Text(slot);
        }
        // Files older than the interface submodule describe the access point's
        // timing on the access point itself; give such a device an implicit
        // interface so the update-time and real-time queries have an answer.
        const bool hasInterface =
            std::any_of(dap.systemSubmodules.begin(), dap.systemSubmodules.end(),
                        [](const Submodule& s) { return s.kind == ItemKind::InterfaceSubmodule; });
        if (!hasInterface) {
            Submodule implicit;
            implicit.kind = ItemKind::InterfaceSubmodule;
            implicit.info.id = dap.info.id + " Interface";
            implicit.subslot = 0x8000;
            implicit.rtClasses = RtClasses(item);
            ReadTiming(item.child("ApplicationRelations"), implicit);
            dap.systemSubmodules.insert(dap.systemSubmodules.begin(), std::move(implicit));
        }
        return dap;
    }

    void ReadDiagnosis(const xml_node& process, GsdFile& file) {
        for (xml_node item : process.child("ChannelDiagList").children()) {
            const std::string_view name = item.name();
            if (name != "ChannelDiagItem" && name != "SystemDefinedChannelDiagItem" &&
                name != "ProfileChannelDiagItem") {
                continue;
            }
            ChannelDiag diag;
            diag.texts.name = Text(item.child("Name"));
            diag.texts.help = Text(item.child("Help"));
            for (xml_node ext : item.child("ExtChannelDiagList").children()) {
                DiagTexts texts{Text(ext.child("Name")), Text(ext.child("Help"))};
                diag.extended[Signed(ext, "ErrorType")] = std::move(texts);
            }
            file.channelDiags[Signed(item, "ErrorType")] = std::move(diag);
        }
        for (xml_node item : process.child("UnitDiagTypeList").children("UnitDiagTypeItem")) {
            UnitDiag diag;
            diag.texts.name = Text(item.child("Name"));
            diag.texts.help = Text(item.child("Help"));
            for (xml_node ref : item.children("Ref")) {
                UnitDiagRef entry;
                entry.byteOffset = Signed(ref, "ByteOffset");
                entry.bitOffset = Signed(ref, "BitOffset");
                entry.dataTypeName = ref.attribute("DataType").value();
                const int bytes = DataTypeBytes(entry.dataTypeName);
                entry.bitLength = Signed(ref, "BitLength", bytes > 0 ? bytes * 8 : 1);
                entry.name = Text(ref);
                entry.values = Assignments(ref.attribute("ValueItemTarget").value());
                diag.refs.push_back(std::move(entry));
            }
            file.unitDiags[Signed(item, "UserStructureIdentifier")] = std::move(diag);
        }
    }

    void CheckReferences(const GsdFile& file) {
        std::set<std::string> submoduleIds;
        for (const Submodule& s : file.submodules) {
            submoduleIds.insert(s.info.id);
        }
        auto checkSubmoduleRefs = [&](const Module& owner) {
            for (const ItemRef& ref : owner.useableSubmodules) {
                if (!submoduleIds.count(ref.target)) {
                    errors_.push_back("\"" + owner.info.id + "\" refers to unknown submodule \"" +
                                      ref.target + "\"");
                }
            }
        };
        for (const Module& module : file.modules) {
            checkSubmoduleRefs(module);
        }
        for (const AccessPoint& dap : file.accessPoints) {
            checkSubmoduleRefs(dap);
            for (const ItemRef& ref : dap.useableModules) {
                if (!file.FindModule(ref.target)) {
                    errors_.push_back("device access point \"" + dap.info.id +
                                      "\" refers to unknown module \"" + ref.target + "\"");
                }
            }
        }
    }

    std::shared_ptr<ParsedDocument> document_;
    const xml_node root_;
    const std::string& language_;
    std::vector<std::string> errors_;
    std::unordered_map<std::string_view, const char*>& primaryTexts_;
    std::unordered_map<std::string_view, const char*>& languageTexts_;
    std::unordered_map<std::string_view, xml_node>& categories_;
    std::unordered_map<std::string_view, xml_node>& valueItems_;
    std::unordered_map<std::string_view, SharedValues>& resolvedValues_;
    // Scratch of the record checks, kept between records to spare allocations.
    std::vector<xml_node> checkRefs_;
    IdIndex checkParameters_;
    IdIndex checkMenus_;
    std::vector<xml_node> checkMenuNodes_;
    std::vector<std::size_t> checkEdges_;
    std::vector<std::size_t> checkEdgeStart_;
    std::deque<std::string> repairedIds_;
    // State of the whole-file check.
    std::deque<std::string> repairedFileIds_;
    std::vector<OwnerRefs> owners_;
    std::vector<std::string_view> refTargets_;
    std::unordered_set<std::string_view> knownModules_;
    std::unordered_set<std::string_view> knownSubmodules_;
};

}  // namespace

namespace {

// Parses the bytes and refuses what is not a GSDML document at all; null
// with the reason in `errors` then. `owned`, when given, holds `bytes` and is
// parsed in place.
std::shared_ptr<ParsedDocument> LoadDocument(std::string_view bytes, const std::string& language,
                                             std::vector<std::string>& errors,
                                             std::unique_ptr<char[]> owned = nullptr) {
    if (bytes.size() > kMaxGsdFileBytes) {
        errors.push_back("the file has " + std::to_string(bytes.size()) + " bytes, more than the " +
                         std::to_string(kMaxGsdFileBytes) + " a GSD file may have");
        return nullptr;
    }
    if (bytes.empty()) {
        errors.push_back("the file is empty");
        return nullptr;
    }
    auto parsedDocument = std::make_shared<ParsedDocument>();
    parsedDocument->language = language;
    pugi::xml_document& document = parsedDocument->document;
    // parse_doctype keeps a document type declaration in the tree so it can be
    // refused below; pugixml itself never expands custom entities or loads
    // external ones.
    constexpr unsigned kOptions = pugi::parse_default | pugi::parse_doctype;
    pugi::xml_parse_result parsed;
    if (owned) {
        parsedDocument->buffer = std::move(owned);
        parsed = document.load_buffer_inplace(parsedDocument->buffer.get(), bytes.size(), kOptions);
    } else {
        parsed = document.load_buffer(bytes.data(), bytes.size(), kOptions);
    }
    if (!parsed) {
        errors.push_back(std::string("not well-formed XML: ") + parsed.description() + " at byte " +
                         std::to_string(parsed.offset));
        return nullptr;
    }
    for (const pugi::xml_node node : document.children()) {
        if (node.type() == pugi::node_doctype) {
            errors.push_back(
                "the document has a document type declaration; GSD files must not declare "
                "entities or refer to external definitions");
            return nullptr;
        }
    }
    const pugi::xml_node root = document.document_element();
    const std::string_view rootNamespace = root.attribute("xmlns").value();
    if (std::string_view(root.name()) != "ISO15745Profile" ||
        (!rootNamespace.empty() && rootNamespace.find("GSDML") == std::string_view::npos)) {
        errors.push_back(std::string("not a GSDML document: the root element is <") + root.name() +
                         ">, not a GSDML <ISO15745Profile>");
        return nullptr;
    }
    return parsedDocument;
}

}  // namespace

ParseOutcome ParseGsdml(std::string_view bytes, const std::string& language) {
    ParseOutcome outcome;
    const std::shared_ptr<ParsedDocument> document = LoadDocument(bytes, language, outcome.errors);
    return document ? Builder(document).Build() : outcome;
}

ParseOutcome ParseGsdml(FileBytes bytes, const std::string& language) {
    ParseOutcome outcome;
    const std::shared_ptr<ParsedDocument> document =
        LoadDocument(bytes.View(), language, outcome.errors, std::move(bytes.data));
    return document ? Builder(document).Build() : outcome;
}

bool ReadGsdFile(const std::filesystem::path& path, FileBytes& bytes,
                 std::vector<std::string>& errors) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        errors.push_back("cannot read \"" + path.u8string() + "\": " + ec.message());
        return false;
    }
    if (size > kMaxGsdFileBytes) {
        errors.push_back("the file has " + std::to_string(size) + " bytes, more than the " +
                         std::to_string(kMaxGsdFileBytes) + " a GSD file may have");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back("cannot open \"" + path.u8string() + "\"");
        return false;
    }
    // Not a string: resizing one would first fill it with zeros.
    bytes.size = static_cast<std::size_t>(size);
    bytes.data.reset(new char[bytes.size]);
    in.read(bytes.data.get(), static_cast<std::streamsize>(bytes.size));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size)) {
        errors.push_back("cannot read \"" + path.u8string() + "\": the file changed while reading");
        return false;
    }
    return true;
}

namespace {

CheckedGsd Check(std::shared_ptr<ParsedDocument> document, CheckedGsd outcome) {
    if (document) {
        outcome.errors = Builder(document).Check();
        if (outcome.errors.empty()) {
            outcome.document = std::move(document);
        }
    }
    return outcome;
}

}  // namespace

CheckedGsd CheckGsdml(std::string_view bytes, const std::string& language) {
    CheckedGsd outcome;
    std::shared_ptr<ParsedDocument> document = LoadDocument(bytes, language, outcome.errors);
    return Check(std::move(document), std::move(outcome));
}

CheckedGsd CheckGsdml(FileBytes bytes, const std::string& language) {
    CheckedGsd outcome;
    std::shared_ptr<ParsedDocument> document =
        LoadDocument(bytes.View(), language, outcome.errors, std::move(bytes.data));
    return Check(std::move(document), std::move(outcome));
}

ParseOutcome BuildChecked(const std::shared_ptr<ParsedDocument>& document) {
    const std::lock_guard<std::mutex> lock(document->deferredBuild);
    return Builder(document).Build();
}

struct LazyGsdFile::State {
    std::filesystem::path path;
    std::string sha256;
    std::string language;
    std::mutex building;
    std::atomic<bool> built{false};
    GsdFilePtr file;  // set once, before built turns true
};

LazyGsdFile::LazyGsdFile(std::filesystem::path path, std::string sha256, std::string language)
    : state_(std::make_shared<State>()) {
    state_->path = std::move(path);
    state_->sha256 = std::move(sha256);
    state_->language = std::move(language);
}

LazyGsdFile::LazyGsdFile(GsdFilePtr built) : state_(std::make_shared<State>()) {
    state_->file = std::move(built);
    state_->built = true;
}

bool LazyGsdFile::IsBuilt() const {
    return state_ && state_->built.load(std::memory_order_acquire);
}

const GsdFilePtr& LazyGsdFile::Get() const {
    if (!state_) {
        static const GsdFilePtr kNone;
        return kNone;
    }
    State& state = *state_;
    if (state.built.load(std::memory_order_acquire)) {
        return state.file;
    }
    const std::lock_guard<std::mutex> lock(state.building);
    if (state.built.load(std::memory_order_relaxed)) {
        return state.file;
    }
    // Nothing is kept from a failed attempt, and the next query tries again:
    // a file that is briefly locked by another program or put back as it was
    // is then served again, while one that stays changed keeps answering
    // with the same error until a refresh checks it anew.
    std::vector<std::string> errors;
    FileBytes bytes;
    if (!ReadGsdFile(state.path, bytes, errors)) {
        const std::string& reason = errors.front();
        throw GsdFileUnreadable(reason.rfind("cannot", 0) == 0
                                    ? reason
                                    : "cannot read \"" + state.path.u8string() + "\": " + reason);
    }
    // Checked against the hash of the bytes that passed the check: anything
    // else could be a file the catalogue would refuse.
    if (Sha256Hex(bytes.View()) != state.sha256) {
        throw GsdFileUnreadable("cannot read \"" + state.path.u8string() +
                                "\": the file changed since it was installed; refresh the "
                                "catalogue to check it again");
    }
    ParseOutcome built = ParseGsdml(std::move(bytes), state.language);
    if (!built.file) {
        // The check accepted what the builder refuses: a fault of ours, not
        // of the file.
        throw std::runtime_error("the GSD file passed its check but cannot be read: " +
                                 built.errors.front());
    }
    // The records are built now as well, which lets the document go: kept
    // for records built later, it would cost about twice the whole index
    // for as long as the file is installed.
    BuildAllRecords(*built.file);
    state.file = std::move(built.file);
    state.built.store(true, std::memory_order_release);
    return state.file;
}

void DeferredRecords::BuildOnce() {
    std::call_once(once_, [this] {
        // Held until the lock below is gone: the document may die with the
        // last list that needs it, and its mutex with it.
        const std::shared_ptr<ParsedDocument> document = document_;
        const std::lock_guard<std::mutex> lock(document->deferredBuild);
        Builder builder(document);
        std::vector<ParameterRecord> records;
        for (xml_node record : list_.children()) {
            const std::string_view name = record.name();
            if (name == "ParameterRecordDataItem") {
                records.push_back(builder.ReadRecord(record));
            } else if (name == "F_ParameterRecordDataItem") {
                records.push_back(builder.ReadSafetyRecord(record));
            }
        }
        problems_ = std::move(builder.Errors());
        records_ = std::move(records);
        // Built: the document is no longer needed by this list.
        list_ = xml_node();
        document_.reset();
    });
}

const std::vector<ParameterRecord>& RecordList::Get() const {
    static const std::vector<ParameterRecord> kNone;
    if (!deferred_) {
        return kNone;
    }
    deferred_->BuildOnce();
    return deferred_->Records();
}

const std::vector<std::string>& RecordList::BuildProblems() const {
    static const std::vector<std::string> kNone;
    if (!deferred_) {
        return kNone;
    }
    deferred_->BuildOnce();
    return deferred_->Problems();
}

std::vector<std::string> BuildAllRecords(const GsdFile& file) {
    std::vector<std::string> problems;
    auto build = [&problems](const std::vector<Submodule>& list) {
        for (const Submodule& submodule : list) {
            const std::vector<std::string>& found = submodule.records.BuildProblems();
            problems.insert(problems.end(), found.begin(), found.end());
        }
    };
    for (const AccessPoint& dap : file.accessPoints) {
        build(dap.virtualSubmodules);
        build(dap.systemSubmodules);
    }
    for (const Module& module : file.modules) {
        build(module.virtualSubmodules);
        build(module.systemSubmodules);
    }
    build(file.submodules);
    return problems;
}

}  // namespace GsdCatalog
