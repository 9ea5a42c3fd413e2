// SPDX-License-Identifier: Apache-2.0
// The catalogue methods that describe a device's diagnosis alarms.
#include "CatalogMethods.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace GsdCatalog {
namespace detail {

namespace {

// Texts of the channel error types every device shares, for files that
// describe only their own ones.
DiagTexts StandardChannelError(int type) {
    static const std::map<int, const char*> kNames = {
        {1, "Short circuit"},
        {2, "Undervoltage"},
        {3, "Overvoltage"},
        {4, "Overload"},
        {5, "Overtemperature"},
        {6, "Wire break"},
        {7, "Upper limit value exceeded"},
        {8, "Lower limit value exceeded"},
        {9, "Error"},
    };
    const auto found = kNames.find(type);
    if (found != kNames.end()) {
        return {found->second, ""};
    }
    char text[48];
    std::snprintf(text, sizeof text, "Unknown error type 0x%04X", static_cast<unsigned>(type));
    return {text, ""};
}

// Reads a field of a unit diagnosis: `bitLength` bits starting `bitOffset`
// bits above the least significant bit of the big-endian value that starts
// at `byteOffset`. Returns false when the data is too short.
bool ExtractBits(const std::vector<unsigned char>& data, int byteOffset, int bitOffset,
                 int bitLength, unsigned long long& value) {
    if (byteOffset < 0 || bitOffset < 0 || bitLength <= 0 || bitLength > 64) {
        return false;
    }
    const int bytes = (bitOffset + bitLength + 7) / 8;
    if (bytes > 8 || static_cast<std::size_t>(byteOffset) + bytes > data.size()) {
        return false;
    }
    unsigned long long raw = 0;
    for (int i = 0; i < bytes; ++i) {
        raw = (raw << 8) | data[static_cast<std::size_t>(byteOffset + i)];
    }
    raw >>= bitOffset;
    value = bitLength == 64 ? raw : raw & ((1ULL << bitLength) - 1);
    return true;
}

}  // namespace

Json::Value UnitDiagDescription(const Request& request) {
    const std::string structure = TextParam(request.params, 1);
    // Decimal, or hexadecimal with 0x; a leading zero does not mean octal.
    const bool hex =
        structure.size() > 2 && structure[0] == '0' && (structure[1] == 'x' || structure[1] == 'X');
    char* end = nullptr;
    const long identifier = std::strtol(structure.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (structure.empty() || *end != '\0') {
        throw RpcFault{ServerKit::kInvalidParams,
                       "Invalid params: param 2 must be a user structure identifier, not \"" +
                           structure + "\""};
    }
    const Json::Value& bytes = Param(request.params, 2);
    std::vector<unsigned char> data;
    if (!bytes.isArray()) {
        throw RpcFault{ServerKit::kInvalidParams,
                       "Invalid params: param 3 must be an array of bytes"};
    }
    for (const Json::Value& byte : bytes) {
        if (!byte.isIntegral() || byte.asLargestInt() < 0 || byte.asLargestInt() > 255) {
            throw RpcFault{ServerKit::kInvalidParams,
                           "Invalid params: param 3 must hold bytes 0 to 255"};
        }
        data.push_back(static_cast<unsigned char>(byte.asInt()));
    }
    const auto found = request.File().unitDiags.find(static_cast<int>(identifier));
    if (found == request.File().unitDiags.end()) {
        throw NotFound("unit diagnosis " + structure + " is not described in \"" + request.gsdName +
                       "\"");
    }
    const UnitDiag& diag = found->second;
    std::string refText;
    for (const UnitDiagRef& ref : diag.refs) {
        unsigned long long raw = 0;
        std::string shown = "?";
        if (ExtractBits(data, ref.byteOffset, ref.bitOffset, ref.bitLength, raw)) {
            shown = std::to_string(raw);
            for (const auto& [content, text] : ref.values) {
                if (content == shown) {
                    shown = text;
                    break;
                }
            }
        }
        if (!refText.empty()) {
            refText += "\n";
        }
        refText += ref.name + ": " + shown;
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::Description)] = diag.texts.name;
    value[Member(Key::RefText)] = refText;
    value[Member(Key::Help)] = diag.texts.help;
    return value;
}

Json::Value ChannelDiagDescription(const Request& request) {
    const int errorType = static_cast<int>(IntegerParam(request.params, 1));
    const Json::Value& extended = Param(request.params, 2);
    if (!extended.isBool()) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: param 3 must be a boolean"};
    }
    const int extType = static_cast<int>(IntegerParam(request.params, 3));
    IntegerParam(request.params, 4);  // channel number: checked, not part of the texts
    IntegerParam(request.params, 5);  // additional value: checked, not part of the texts
    DiagTexts main = StandardChannelError(errorType);
    DiagTexts ext;
    const auto found = request.File().channelDiags.find(errorType);
    if (found != request.File().channelDiags.end()) {
        if (!found->second.texts.name.empty()) {
            main = found->second.texts;
        } else {
            main.help = found->second.texts.help;
        }
        if (extended.asBool()) {
            const auto extFound = found->second.extended.find(extType);
            if (extFound != found->second.extended.end()) {
                ext = extFound->second;
            }
        }
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::AlarmNameText)] = main.name;
    value[Member(Key::AlarmHelpText)] = main.help;
    value[Member(Key::AlarmExtNameText)] = ext.name;
    value[Member(Key::AlarmExtHelpText)] = ext.help;
    return value;
}

}  // namespace detail
}  // namespace GsdCatalog
