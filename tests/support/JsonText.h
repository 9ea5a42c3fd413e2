// SPDX-License-Identifier: Apache-2.0
#pragma once

// JSON written in the tests themselves: parsed strictly (a typo fails the
// test loudly), written compactly, and printed readably when a comparison
// fails.

#include <json/json.h>

#include <initializer_list>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace Json {
inline void PrintTo(const Value& value, std::ostream* out) {
    *out << value.toStyledString();
}
}  // namespace Json

namespace TestJson {

inline Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    std::string errors;
    std::istringstream in(text);
    if (!Json::parseFromStream(Json::CharReaderBuilder(), in, &value, &errors)) {
        throw std::invalid_argument("test JSON does not parse: " + errors + " in " + text);
    }
    return value;
}

// Compact text; compares values without caring whether JsonCpp holds a
// number as signed or unsigned.
inline std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

// A positional parameter list.
inline Json::Value Params(std::initializer_list<Json::Value> values) {
    Json::Value params(Json::arrayValue);
    for (const Json::Value& value : values) {
        params.append(value);
    }
    return params;
}

}  // namespace TestJson
