// SPDX-License-Identifier: Apache-2.0
#include "GsdStore.h"

#include "GsdParser.h"
#include "Sha256.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace GsdCatalog {

namespace {

constexpr const char* kTempSuffix = ".tmp";

bool EndsWithXml(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return tail == ".xml";
}

// Writes the bytes to a new file; false when any part of that fails.
bool WriteNewFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string UniqueSuffix() {
    // Several server processes may write into one catalogue; a random part
    // keeps their temporary names apart without any shared state.
    static std::atomic<unsigned> counter{0};
    static const unsigned long long seed = [] {
        std::random_device device;
        return (static_cast<unsigned long long>(device()) << 32) ^ device();
    }();
    std::ostringstream out;
    out << std::hex << seed << '-' << counter.fetch_add(1);
    return out.str();
}

// Moves the finished temporary file over the target. Another process may be
// replacing the same target at the same moment; on systems that refuse to
// replace a file someone has open, a short retry lets both succeed.
bool ReplaceFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        fs::rename(from, to, ec);
        if (!ec) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.front() == '.') {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    return true;
}

std::string FormatUtc(fs::file_time_type time) {
    // C++17 has no clock_cast; both clocks advance together, so the distance
    // from "now" carries over from the file clock to the system clock.
    const auto system = std::chrono::system_clock::now() +
                        std::chrono::duration_cast<std::chrono::system_clock::duration>(
                            time - fs::file_time_type::clock::now());
    const long long seconds =
        std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar),
    // done by hand to stay clear of the C library's non-reentrant gmtime.
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", year, month, day,
                  rest / 3600, rest % 3600 / 60, rest % 60);
    return text;
}

GsdStore::GsdStore(fs::path directory, std::string language)
    : directory_(std::move(directory)), language_(std::move(language)) {}

InstalledGsdPtr GsdStore::Load(const fs::path& path, const std::string& name,
                               std::vector<std::string>& errors) {
    std::error_code ec;
    const auto writeTime = fs::last_write_time(path, ec);
    if (ec) {
        errors.push_back("cannot read \"" + path.u8string() + "\": " + ec.message());
        return nullptr;
    }
    FileBytes bytes;
    if (!ReadGsdFile(path, bytes, errors)) {
        return nullptr;
    }
    // Hashed first: the check parses the bytes in place.
    std::string sha256 = Sha256Hex(bytes.View());
    const std::size_t size = bytes.size;
    CheckedGsd checked = CheckGsdml(std::move(bytes), language_);
    if (!checked.document) {
        errors.insert(errors.end(), checked.errors.begin(), checked.errors.end());
        return nullptr;
    }
    checked.document.reset();  // rebuilt from the file when first asked about
    auto entry = std::make_shared<InstalledGsd>();
    entry->name = name;
    entry->path = path;
    entry->size = size;
    entry->writeTime = writeTime;
    entry->installTime = FormatUtc(writeTime);
    entry->file = LazyGsdFile(path, sha256, language_);
    entry->sha256 = std::move(sha256);
    return entry;
}

void GsdStore::EnsureScanned() {
    if (scanned_) {
        return;
    }
    scanned_ = true;
    std::error_code ec;
    for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        if (!IsPlainFileName(name) || !EndsWithXml(name) || !it->is_regular_file(ec)) {
            continue;
        }
        const auto known = files_.find(name);
        if (known != files_.end()) {
            std::error_code statError;
            if (known->second->size == it->file_size(statError) &&
                known->second->writeTime == it->last_write_time(statError) && !statError) {
                continue;  // unchanged since it was indexed
            }
        }
        files_.erase(name);
        if (InstalledGsdPtr entry = LoadUnlessRefused(it->path(), name)) {
            files_[name] = std::move(entry);
        }
    }
}

InstalledGsdPtr GsdStore::LoadUnlessRefused(const fs::path& path, const std::string& name) {
    // A file that was refused is not parsed again until it changes.
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    const auto writeTime = fs::last_write_time(path, ec);
    if (ec) {
        return nullptr;
    }
    const auto refused = refused_.find(name);
    if (refused != refused_.end() && refused->second.first == size &&
        refused->second.second == writeTime) {
        return nullptr;
    }
    std::vector<std::string> ignored;
    InstalledGsdPtr entry = Load(path, name, ignored);
    if (entry) {
        refused_.erase(name);
    } else {
        refused_[name] = {size, writeTime};
    }
    return entry;
}

void GsdStore::RemoveStaleTemporaries() {
    // A process killed between writing and renaming leaves its temporary file
    // behind. Another process may still be writing a young one, so only those
    // untouched for an hour are removed.
    std::error_code ec;
    const auto cutoff = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (fs::directory_iterator it(directory_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        if (name.size() > 5 && name.front() == '.' &&
            name.compare(name.size() - 4, 4, kTempSuffix) == 0) {
            std::error_code statError;
            if (it->last_write_time(statError) < cutoff && !statError) {
                fs::remove(it->path(), statError);
            }
        }
    }
}

std::vector<std::string> GsdStore::Refresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    RemoveStaleTemporaries();
    // Drop what vanished, then index what is new or changed.
    for (auto it = files_.begin(); it != files_.end();) {
        std::error_code ec;
        it = fs::is_regular_file(it->second->path, ec) ? std::next(it) : files_.erase(it);
    }
    scanned_ = false;
    EnsureScanned();
    std::vector<std::string> names;
    for (const auto& entry : files_) {
        names.push_back(entry.first);
    }
    return names;
}

std::vector<InstalledGsdPtr> GsdStore::Installed() {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureScanned();
    std::vector<InstalledGsdPtr> list;
    for (const auto& entry : files_) {
        list.push_back(entry.second);
    }
    return list;
}

InstalledGsdPtr GsdStore::Find(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnsureScanned();
    const auto found = files_.find(name);
    if (found != files_.end()) {
        return found->second;
    }
    if (!IsPlainFileName(name) || !EndsWithXml(name)) {
        return nullptr;
    }
    const fs::path path = directory_ / fs::u8path(name);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return nullptr;
    }
    InstalledGsdPtr entry = LoadUnlessRefused(path, name);
    if (entry) {
        files_[name] = entry;
    }
    return entry;
}

ImportReport GsdStore::Import(const std::string& sourcePath) {
    ImportReport report;
    const fs::path source = fs::u8path(sourcePath);
    report.name = source.filename().u8string();
    if (sourcePath.empty() || !IsPlainFileName(report.name) || !EndsWithXml(report.name)) {
        report.errors.push_back("\"" + sourcePath + "\" does not name a GSD file (*.xml)");
        return report;
    }
    FileBytes bytes;
    if (!ReadGsdFile(source, bytes, report.errors)) {
        return report;
    }
    const std::size_t size = bytes.size;
    std::string sha256 = Sha256Hex(bytes.View());
    std::error_code ec;
    const fs::path target = directory_ / fs::u8path(report.name);
    const bool sameFile = fs::exists(target, ec) && fs::equivalent(source, target, ec);
    // The check parses the bytes in place, so where the catalogue exists the
    // copy is written first, under a temporary name that no listing shows,
    // and renamed into place only once the file has passed. The first import
    // into a catalogue not yet created checks a copy of the bytes instead, so
    // that a refused file does not create the directory.
    const bool writeFirst = !sameFile && fs::is_directory(directory_, ec);
    const fs::path temp =
        directory_ / fs::u8path("." + report.name + "." + UniqueSuffix() + kTempSuffix);
    bool written = writeFirst && WriteNewFile(temp, bytes.View());
    CheckedGsd checked = writeFirst || sameFile ? CheckGsdml(std::move(bytes), language_)
                                                : CheckGsdml(bytes.View(), language_);
    if (!checked.document) {
        if (writeFirst) {
            fs::remove(temp, ec);
        }
        report.errors = std::move(checked.errors);
        return report;
    }
    checked.document.reset();  // rebuilt from the installed copy when first asked about
    report.valid = true;

    std::lock_guard<std::mutex> lock(mutex_);
    if (!sameFile) {
        if (!writeFirst) {
            fs::create_directories(directory_, ec);
            written = WriteNewFile(temp, bytes.View());
        }
        if (!written) {
            fs::remove(temp, ec);
            report.errors.push_back("cannot write into the catalogue \"" + directory_.u8string() +
                                    "\"");
            return report;
        }
        if (!ReplaceFile(temp, target, ec)) {
            std::error_code ignored;
            fs::remove(temp, ignored);
            report.errors.push_back("cannot install \"" + report.name + "\": " + ec.message());
            return report;
        }
    }
    auto entry = std::make_shared<InstalledGsd>();
    entry->name = report.name;
    entry->path = target;
    entry->size = size;
    entry->writeTime = fs::last_write_time(target, ec);
    entry->installTime = FormatUtc(entry->writeTime);
    entry->file = LazyGsdFile(target, sha256, language_);
    entry->sha256 = std::move(sha256);
    files_[report.name] = std::move(entry);
    refused_.erase(report.name);
    report.path = target.u8string();
    report.success = true;
    return report;
}

RemoveReport GsdStore::Remove(const std::string& name) {
    RemoveReport report;
    report.name = name;
    if (!IsPlainFileName(name)) {
        report.errors.push_back("\"" + name + "\" is not a file name inside the catalogue");
        return report;
    }
    if (!EndsWithXml(name)) {
        report.errors.push_back("\"" + name + "\" is not the name of a GSD file (*.xml)");
        return report;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const fs::path path = directory_ / fs::u8path(name);
    report.path = path.u8string();
    std::error_code ec;
    const bool removed = fs::remove(path, ec);
    const bool wasIndexed = files_.erase(name) > 0;
    if (ec) {
        report.errors.push_back("cannot remove \"" + name + "\": " + ec.message());
    } else if (!removed && !wasIndexed) {
        report.errors.push_back("\"" + name + "\" is not installed");
    } else {
        report.success = true;
    }
    return report;
}

}  // namespace GsdCatalog
