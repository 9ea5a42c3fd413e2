// SPDX-License-Identifier: Apache-2.0
#pragma once

// The values of a GSDML file as its attributes write them: numbers and number
// lists, texts that must go out as UTF-8, data type names and MAU type names.
// Internal to the catalogue; the walker reads every attribute through these.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace GsdCatalog {

// A decimal or 0x-hexadecimal integer, with white space around it allowed.
bool ParseNumber(std::string_view text, long long& value);

// The smallest and largest value of a number list, without expanding it.
bool ValueBounds(std::string_view text, long long& low, long long& high);

// How many values a number list expands to, without expanding it; false when
// ParseValueList would refuse the list.
bool CountValueList(std::string_view text, std::size_t maxCount, unsigned long long& count);

bool IsValidUtf8(std::string_view text);

// Replaces byte sequences that are not UTF-8 with U+FFFD so every text can go
// out in a JSON answer. pugixml already converts declared encodings (Latin-1,
// UTF-16) to UTF-8; this catches files that lie about their encoding.
std::string ValidUtf8(const char* text);

// Whether a file's xml:lang is the language asked for, on the part before
// "-" or "_", ignoring case.
bool LanguageMatches(std::string_view fileLang, std::string_view wanted);

// The wire code of a data type name (0 for an unknown one), its size in bytes
// (0 when it has no fixed size) and, for parameters without an explicit
// range, the range of values it can hold, as text.
int DataTypeCode(std::string_view name);
int DataTypeBytes(std::string_view name);
std::pair<std::string, std::string> DataTypeRange(std::string_view name, int bitLength);

// The number of a MAU type given by name, as older files write it; 0 when
// the name is unknown.
int MauTypeFromName(std::string_view name);

}  // namespace GsdCatalog
