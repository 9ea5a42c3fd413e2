// SPDX-License-Identifier: Apache-2.0
#pragma once

// The catalogue directory of installed GSD files and its in-memory index.
// Every file is checked when it is imported or first found on disk, and read
// again to build its index when it is first asked about; the queries read the
// index only.

#include "GsdModel.h"
#include "GsdParser.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace GsdCatalog {

struct InstalledGsd {
    std::string name;            // file name inside the catalogue (UTF-8)
    std::filesystem::path path;  // full path of the installed copy
    std::string installTime;     // ISO 8601 UTC, e.g. "2026-01-31T12:00:00Z"
    std::string sha256;          // of the installed bytes, lower-case hex
    std::uintmax_t size = 0;
    std::filesystem::file_time_type writeTime{};
    // Checked when found or imported, built from `path` on the first query;
    // throws GsdFileUnreadable when the file no longer has the hashed bytes.
    LazyGsdFile file;
};

using InstalledGsdPtr = std::shared_ptr<const InstalledGsd>;

struct ImportReport {
    std::string name;
    std::string path;  // installed path (UTF-8), empty when nothing was installed
    bool success = false;
    bool valid = false;
    std::vector<std::string> errors;
};

struct RemoveReport {
    std::string name;
    std::string path;
    bool success = false;
    std::vector<std::string> errors;
};

// True for a bare file name that stays inside the catalogue directory: not
// empty, no directory separators or drive colon, not "." or "..", no leading
// dot (those are the store's temporary files) and no control characters.
bool IsPlainFileName(const std::string& name);

// Formats a file time as ISO 8601 UTC with whole seconds.
std::string FormatUtc(std::filesystem::file_time_type time);

class GsdStore {
public:
    // `language` selects the text language of every indexed file. The
    // directory is created on the first import; it is scanned on first use.
    GsdStore(std::filesystem::path directory, std::string language);

    const std::filesystem::path& Directory() const { return directory_; }

    // Validates the file at `sourcePath` (UTF-8) and copies its bytes into the
    // catalogue under its own file name, replacing an installed file of that
    // name. The copy is written to a temporary file and renamed into place, so
    // the catalogue never shows a partial file, and two processes importing
    // at once both succeed. Refused files leave the catalogue unchanged.
    ImportReport Import(const std::string& sourcePath);

    // Deletes one installed file by its name. Names that would reach outside
    // the catalogue are refused.
    RemoveReport Remove(const std::string& name);

    // Rescans the directory: new and changed files are indexed, vanished ones
    // dropped, unreadable or invalid ones left out. Returns the installed names.
    std::vector<std::string> Refresh();

    // Installed files in name order.
    std::vector<InstalledGsdPtr> Installed();

    // One installed file by name, or null. A name not yet indexed is looked up
    // on disk, so files imported by another process are found without a refresh.
    InstalledGsdPtr Find(const std::string& name);

private:
    void EnsureScanned();
    InstalledGsdPtr Load(const std::filesystem::path& path, const std::string& name,
                         std::vector<std::string>& errors);
    InstalledGsdPtr LoadUnlessRefused(const std::filesystem::path& path, const std::string& name);
    void RemoveStaleTemporaries();

    std::filesystem::path directory_;
    std::string language_;
    std::mutex mutex_;
    bool scanned_ = false;
    std::map<std::string, InstalledGsdPtr> files_;
    // Files on disk that failed to load, with the size and time they had then.
    std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> refused_;
};

}  // namespace GsdCatalog
