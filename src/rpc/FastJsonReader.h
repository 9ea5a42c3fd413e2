// SPDX-License-Identifier: Apache-2.0
#pragma once

// A strict JSON parser for the common case that builds exactly the
// Json::Value JsonCpp's reader builds at its default settings (the same
// integer and floating-point typing, bit-identical doubles, the last of
// duplicate keys, the same offsets), in a fraction of its time. It declines
// everything outside plain RFC 8259 text without a comment, a BOM, trailing
// text, a control character in a string, a lone surrogate escape, deep
// nesting or a number that is out of range or subnormal, so that JsonCpp
// itself reads such bytes and keeps its own results, error texts and
// exceptions.

#include <json/reader.h>
#include <json/value.h>

#include <string>

namespace RpcClient {

// True when the text was within the subset; `root` then holds the document.
// When false, `root` holds something unspecified.
bool ParseJsonFast(const char* begin, const char* end, Json::Value& root);

// The fast pass, then `fallback` with the same bytes when it declines.
// Results, error texts and exceptions are those of `fallback.parse`.
bool ParseJson(Json::CharReader& fallback, const char* begin, const char* end, Json::Value& root,
               std::string& errors);

}  // namespace RpcClient
