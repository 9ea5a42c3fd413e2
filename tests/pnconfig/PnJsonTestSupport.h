// SPDX-License-Identifier: Apache-2.0
#pragma once

// Helpers shared by the configuration model tests: parsing expected
// documents, normalising written ones for comparison, readable failure
// output.

#include <json/json.h>

#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace Json {
// Lets GoogleTest print documents as JSON text when a comparison fails.
inline void PrintTo(const Value& value, std::ostream* os) {
    StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    *os << '\n' << writeString(writer, value);
}
}  // namespace Json

namespace PnTest {

inline Json::Value Parse(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
        throw std::runtime_error("test document does not parse: " + errors + "\n" + text);
    }
    return value;
}

// Written documents hold unsigned integers where a parsed document holds
// signed ones, and Json::Value equality tells the two apart. Sending the
// written document through text, as the server receives it, puts both sides
// on the same footing; the integer kinds are checked by tests of their own.
inline Json::Value AsReceived(const Json::Value& written) {
    Json::StreamWriterBuilder writer;
    return Parse(Json::writeString(writer, written));
}

}  // namespace PnTest
