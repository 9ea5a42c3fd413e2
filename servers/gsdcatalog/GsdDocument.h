// SPDX-License-Identifier: Apache-2.0
#pragma once

// A parsed GSDML document and the walks over it; internal to the catalogue.
// One walker reads the document, instantiated twice: the check stores
// nothing and only collects the reasons to refuse the file, the build fills
// the in-memory index. Being one walk, the two cannot disagree on a reason.

#include "GsdParser.h"

#include <pugixml.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace GsdCatalog {

// The parsed document and the tables of IDs collected from it, shared by the
// walks and by the record lists built from it later.
struct ParsedDocument {
    std::unique_ptr<char[]> buffer;  // the bytes parsed in place, when they were handed over
    pugi::xml_document document;
    std::string language;
    std::unordered_map<std::string_view, const char*> primaryTexts;
    std::unordered_map<std::string_view, const char*> languageTexts;
    std::unordered_map<std::string_view, pugi::xml_node> categories;
    std::unordered_map<std::string_view, pugi::xml_node> valueItems;
    std::unordered_map<std::string_view, SharedValues> resolvedValues;
    bool collected = false;  // the tables above are filled
    // Record lists share resolvedValues: one is built at a time.
    std::mutex deferredBuild;
};

class DeferredRecords {
public:
    DeferredRecords(std::shared_ptr<ParsedDocument> document, pugi::xml_node list)
        : document_(std::move(document)), list_(list) {}

    void BuildOnce();
    const std::vector<ParameterRecord>& Records() const { return records_; }
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    std::shared_ptr<ParsedDocument> document_;  // until the records are built
    pugi::xml_node list_;                       // the submodule's RecordDataList
    std::once_flag once_;
    std::vector<ParameterRecord> records_;
    std::vector<std::string> problems_;
};

// The reasons to refuse the document; nothing is built.
std::vector<std::string> CheckDocument(const std::shared_ptr<ParsedDocument>& document);

// The in-memory index of the document, or the reasons to refuse it.
ParseOutcome BuildDocument(const std::shared_ptr<ParsedDocument>& document);

}  // namespace GsdCatalog
