// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reads one GSDML document into the catalogue's in-memory form.

#include "GsdModel.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
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

// A parsed document that passed CheckGsdml, with what building it needs.
struct ParsedDocument;

struct CheckedGsd {
    std::shared_ptr<ParsedDocument> document;  // null when errors is not empty
    std::vector<std::string> errors;           // as ParseGsdml would give them
};

// Parses and checks the bytes as ParseGsdml does, refusing exactly what it
// refuses with the same reasons, but builds nothing: importing or finding a
// file needs only the verdict, and many files are never asked about.
CheckedGsd CheckGsdml(std::string_view bytes, const std::string& language);

// A file's bytes as read, owned so that the parser can take them over.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string_view View() const { return {data.get(), size}; }
};

// As above, but parses the bytes in place instead of copying them first:
// they are changed, and kept with the document for as long as it lives.
CheckedGsd CheckGsdml(FileBytes bytes, const std::string& language);

// As ParseGsdml, but parses the bytes in place instead of copying them first.
ParseOutcome ParseGsdml(FileBytes bytes, const std::string& language);

// Builds the in-memory form of a document CheckGsdml accepted; its errors are
// then always empty.
ParseOutcome BuildChecked(const std::shared_ptr<ParsedDocument>& document);

// Reads a whole file into `bytes`. False, with the reason added to `errors`,
// when it cannot be read or is larger than any GSD file may be.
bool ReadGsdFile(const std::filesystem::path& path, FileBytes& bytes,
                 std::vector<std::string>& errors);

// The installed copy of a checked file cannot be read back as it was checked:
// it was removed, cannot be opened, or its bytes changed behind the catalogue.
class GsdFileUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A checked file whose in-memory form is built on first use, from any thread
// (the first caller builds, others wait). Copies share the one build. Until
// then it holds only where the file is and the hash of the bytes that passed
// the check, not the parsed document: a scanned catalogue would otherwise
// hold every file's document.
class LazyGsdFile {
public:
    LazyGsdFile() = default;
    // `path` holds bytes that passed CheckGsdml with `language`, and `sha256`
    // is their hash (lower-case hex, as Sha256Hex gives it).
    LazyGsdFile(std::filesystem::path path, std::string sha256, std::string language);
    explicit LazyGsdFile(GsdFilePtr built);

    // Null for a default-constructed one. The first call reads the file
    // again, makes sure it still has the checked bytes and builds the index
    // with all its parameter records; the parsed document is not kept.
    // Throws GsdFileUnreadable when the file cannot be read or its hash
    // differs (a later call tries again), std::runtime_error if the build
    // fails, which a checked file never does, and std::bad_alloc.
    const GsdFilePtr& Get() const;
    const GsdFile& operator*() const { return *Get(); }
    const GsdFile* operator->() const { return Get().get(); }

    // Whether the in-memory form has been built (or was given built).
    bool IsBuilt() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Builds every parameter record of the file now instead of on first use and
// returns the problems met doing so. A file ParseGsdml accepted has none: the
// records were checked then.
std::vector<std::string> BuildAllRecords(const GsdFile& file);

// Parses a list of numbers in GSDML's notation ("1..3 7 9..10"; decimal or
// 0x-hexadecimal). Returns false on malformed text or when the list would
// expand beyond `maxCount` values.
bool ParseValueList(std::string_view text, std::vector<int>& out, std::size_t maxCount = 65536);

}  // namespace GsdCatalog
