// SPDX-License-Identifier: Apache-2.0
// From bytes to a checked document, and from an installed file to its index
// on first use.
#include "GsdDocument.h"
#include "Sha256.h"

#include <atomic>
#include <fstream>
#include <stdexcept>
#include <string>

namespace GsdCatalog {

namespace {

// Parses the bytes and refuses what is not a GSDML document at all; null
// with the reason in `errors` then. `owned`, when given, holds `bytes` and is
// parsed in place.
std::shared_ptr<ParsedDocument> LoadDocument(std::string_view bytes, const std::string& language,
                                             std::vector<std::string>& errors,
                                             std::unique_ptr<char[]> owned = nullptr) {
    if (bytes.size() > kMaxGsdFileBytes) {
        errors.push_back("the file has " + std::to_string(bytes.size()) + " bytes, more than the " +
                         std::to_string(kMaxGsdFileBytes) + " a GSD file may have");
        return nullptr;
    }
    if (bytes.empty()) {
        errors.push_back("the file is empty");
        return nullptr;
    }
    auto parsedDocument = std::make_shared<ParsedDocument>();
    parsedDocument->language = language;
    pugi::xml_document& document = parsedDocument->document;
    // parse_doctype keeps a document type declaration in the tree so it can be
    // refused below; pugixml itself never expands custom entities or loads
    // external ones.
    constexpr unsigned kOptions = pugi::parse_default | pugi::parse_doctype;
    pugi::xml_parse_result parsed;
    if (owned) {
        parsedDocument->buffer = std::move(owned);
        parsed = document.load_buffer_inplace(parsedDocument->buffer.get(), bytes.size(), kOptions);
    } else {
        parsed = document.load_buffer(bytes.data(), bytes.size(), kOptions);
    }
    if (!parsed) {
        errors.push_back(std::string("not well-formed XML: ") + parsed.description() + " at byte " +
                         std::to_string(parsed.offset));
        return nullptr;
    }
    for (const pugi::xml_node node : document.children()) {
        if (node.type() == pugi::node_doctype) {
            errors.push_back(
                "the document has a document type declaration; GSD files must not declare "
                "entities or refer to external definitions");
            return nullptr;
        }
    }
    const pugi::xml_node root = document.document_element();
    const std::string_view rootNamespace = root.attribute("xmlns").value();
    if (std::string_view(root.name()) != "ISO15745Profile" ||
        (!rootNamespace.empty() && rootNamespace.find("GSDML") == std::string_view::npos)) {
        errors.push_back(std::string("not a GSDML document: the root element is <") + root.name() +
                         ">, not a GSDML <ISO15745Profile>");
        return nullptr;
    }
    return parsedDocument;
}

}  // namespace

ParseOutcome ParseGsdml(std::string_view bytes, const std::string& language) {
    ParseOutcome outcome;
    const std::shared_ptr<ParsedDocument> document = LoadDocument(bytes, language, outcome.errors);
    return document ? BuildDocument(document) : outcome;
}

ParseOutcome ParseGsdml(FileBytes bytes, const std::string& language) {
    ParseOutcome outcome;
    const std::shared_ptr<ParsedDocument> document =
        LoadDocument(bytes.View(), language, outcome.errors, std::move(bytes.data));
    return document ? BuildDocument(document) : outcome;
}

bool ReadGsdFile(const std::filesystem::path& path, FileBytes& bytes,
                 std::vector<std::string>& errors) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        errors.push_back("cannot read \"" + path.u8string() + "\": " + ec.message());
        return false;
    }
    if (size > kMaxGsdFileBytes) {
        errors.push_back("the file has " + std::to_string(size) + " bytes, more than the " +
                         std::to_string(kMaxGsdFileBytes) + " a GSD file may have");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back("cannot open \"" + path.u8string() + "\"");
        return false;
    }
    // Not a string: resizing one would first fill it with zeros.
    bytes.size = static_cast<std::size_t>(size);
    bytes.data.reset(new char[bytes.size]);
    in.read(bytes.data.get(), static_cast<std::streamsize>(bytes.size));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size)) {
        errors.push_back("cannot read \"" + path.u8string() + "\": the file changed while reading");
        return false;
    }
    return true;
}

namespace {

CheckedGsd Check(std::shared_ptr<ParsedDocument> document, CheckedGsd outcome) {
    if (document) {
        outcome.errors = CheckDocument(document);
        if (outcome.errors.empty()) {
            outcome.document = std::move(document);
        }
    }
    return outcome;
}

}  // namespace

CheckedGsd CheckGsdml(std::string_view bytes, const std::string& language) {
    CheckedGsd outcome;
    std::shared_ptr<ParsedDocument> document = LoadDocument(bytes, language, outcome.errors);
    return Check(std::move(document), std::move(outcome));
}

CheckedGsd CheckGsdml(FileBytes bytes, const std::string& language) {
    CheckedGsd outcome;
    std::shared_ptr<ParsedDocument> document =
        LoadDocument(bytes.View(), language, outcome.errors, std::move(bytes.data));
    return Check(std::move(document), std::move(outcome));
}

ParseOutcome BuildChecked(const std::shared_ptr<ParsedDocument>& document) {
    const std::lock_guard<std::mutex> lock(document->deferredBuild);
    return BuildDocument(document);
}

struct LazyGsdFile::State {
    std::filesystem::path path;
    std::string sha256;
    std::string language;
    std::mutex building;
    std::atomic<bool> built{false};
    GsdFilePtr file;  // set once, before built turns true
};

LazyGsdFile::LazyGsdFile(std::filesystem::path path, std::string sha256, std::string language)
    : state_(std::make_shared<State>()) {
    state_->path = std::move(path);
    state_->sha256 = std::move(sha256);
    state_->language = std::move(language);
}

LazyGsdFile::LazyGsdFile(GsdFilePtr built) : state_(std::make_shared<State>()) {
    state_->file = std::move(built);
    state_->built = true;
}

bool LazyGsdFile::IsBuilt() const {
    return state_ && state_->built.load(std::memory_order_acquire);
}

const GsdFilePtr& LazyGsdFile::Get() const {
    if (!state_) {
        static const GsdFilePtr kNone;
        return kNone;
    }
    State& state = *state_;
    if (state.built.load(std::memory_order_acquire)) {
        return state.file;
    }
    const std::lock_guard<std::mutex> lock(state.building);
    if (state.built.load(std::memory_order_relaxed)) {
        return state.file;
    }
    // Nothing is kept from a failed attempt, and the next query tries again:
    // a file that is briefly locked by another program or put back as it was
    // is then served again, while one that stays changed keeps answering
    // with the same error until a refresh checks it anew.
    std::vector<std::string> errors;
    FileBytes bytes;
    if (!ReadGsdFile(state.path, bytes, errors)) {
        const std::string& reason = errors.front();
        throw GsdFileUnreadable(reason.rfind("cannot", 0) == 0
                                    ? reason
                                    : "cannot read \"" + state.path.u8string() + "\": " + reason);
    }
    // Checked against the hash of the bytes that passed the check: anything
    // else could be a file the catalogue would refuse.
    if (Sha256Hex(bytes.View()) != state.sha256) {
        throw GsdFileUnreadable("cannot read \"" + state.path.u8string() +
                                "\": the file changed since it was installed; refresh the "
                                "catalogue to check it again");
    }
    ParseOutcome built = ParseGsdml(std::move(bytes), state.language);
    if (!built.file) {
        // The check accepted what the builder refuses: a fault of ours, not
        // of the file.
        throw std::runtime_error("the GSD file passed its check but cannot be read: " +
                                 built.errors.front());
    }
    // The records are built now as well, which lets the document go: kept
    // for records built later, it would cost about twice the whole index
    // for as long as the file is installed.
    BuildAllRecords(*built.file);
    state.file = std::move(built.file);
    state.built.store(true, std::memory_order_release);
    return state.file;
}

const std::vector<ParameterRecord>& RecordList::Get() const {
    static const std::vector<ParameterRecord> kNone;
    if (!deferred_) {
        return kNone;
    }
    deferred_->BuildOnce();
    return deferred_->Records();
}

const std::vector<std::string>& RecordList::BuildProblems() const {
    static const std::vector<std::string> kNone;
    if (!deferred_) {
        return kNone;
    }
    deferred_->BuildOnce();
    return deferred_->Problems();
}

std::vector<std::string> BuildAllRecords(const GsdFile& file) {
    std::vector<std::string> problems;
    auto build = [&problems](const std::vector<Submodule>& list) {
        for (const Submodule& submodule : list) {
            const std::vector<std::string>& found = submodule.records.BuildProblems();
            problems.insert(problems.end(), found.begin(), found.end());
        }
    };
    for (const AccessPoint& dap : file.accessPoints) {
        build(dap.virtualSubmodules);
        build(dap.systemSubmodules);
    }
    for (const Module& module : file.modules) {
        build(module.virtualSubmodules);
        build(module.systemSubmodules);
    }
    build(file.submodules);
    return problems;
}

}  // namespace GsdCatalog
