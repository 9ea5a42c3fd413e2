// SPDX-License-Identifier: Apache-2.0
#pragma once

// Helpers shared by the configuration model tests: parsing expected
// documents, normalising written ones for comparison, readable failure
// output.

#include "support/JsonText.h"

#include <json/json.h>

#include <string>

namespace PnTest {

inline Json::Value Parse(const std::string& text) {
    return TestJson::ParseJson(text);
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
