#pragma once

// Reads one GSDML document into the catalogue's in-memory form.

#include "GsdModel.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace GsdCatalog {

// Largest GSD file the catalogue accepts. Real device descriptions stay well
// below a few megabytes; anything far larger is refused before parsing.
constexpr std::size_t kMaxGsdFileBytes = 32u * 1024u * 1024u;

struct ParseOutcome {
    GsdFilePtr file;                  // null when errors is not empty
    std::vector<std::string> errors;  // why the file was refused, one reason per entry
};

// Parses the bytes of a GSDML file and resolves every text in `language`
// (an xml:lang code such as "de" or "de-DE"; empty for the primary language),
// falling back to the primary language per text. Never throws for bad input:
// a document that is not XML, not GSDML, too large, carries a document type
// declaration (entities are never expanded, external ones never fetched) or
// refers to IDs it does not define is refused with reasons.
ParseOutcome ParseGsdml(std::string_view bytes, const std::string& language);

// Builds every parameter record of the file now instead of on first use and
// returns the problems met doing so. A file ParseGsdml accepted has none: the
// records were checked then.
std::vector<std::string> BuildAllRecords(const GsdFile& file);

// Parses a list of numbers in GSDML's notation ("1..3 7 9..10"; decimal or
// 0x-hexadecimal). Returns false on malformed text or when the list would
// expand beyond `maxCount` values.
bool ParseValueList(std::string_view text, std::vector<int>& out, std::size_t maxCount = 65536);

}  // namespace GsdCatalog
