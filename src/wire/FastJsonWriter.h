// SPDX-License-Identifier: Apache-2.0
#pragma once

// Compact JSON text of a Json::Value, byte for byte what JsonCpp's stream
// writer gives with indentation "" and every other setting at its default,
// written straight into a string. JsonCpp's writer goes through an ostream,
// formats each number with snprintf, and builds every escaped string and
// every array element as a temporary string first; on a small message that
// was most of the work of sending it.

#include <json/value.h>

#include <string>

namespace RpcClient {

// Appends the text of `value` to `out`. A tree that carries a comment
// anywhere is written by JsonCpp itself, which places comments its own way.
void AppendJson(std::string& out, const Json::Value& value);

// Appends the text of a string value holding [begin, end): what AppendJson
// writes for Json::Value(begin, end), without building the value.
void AppendJsonString(std::string& out, const char* begin, const char* end);

}  // namespace RpcClient
