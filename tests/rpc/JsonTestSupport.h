// SPDX-License-Identifier: Apache-2.0
#pragma once

// Small helpers shared by the rpc tests.

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include <memory>
#include <ostream>
#include <string>

namespace Json {
// Lets GoogleTest print values in failure messages instead of raw bytes.
inline void PrintTo(const Value& value, std::ostream* out) {
    *out << value.toStyledString();
}
}  // namespace Json

namespace JsonTest {

// Parses test JSON written in the test itself; a typo fails the test.
inline Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    std::string errors;
    const Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
        ADD_FAILURE() << "test JSON does not parse: " << text << "\n" << errors;
    }
    return value;
}

}  // namespace JsonTest
