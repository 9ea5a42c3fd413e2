#pragma once

// Helpers shared by the GSD client tests: JSON literals and a legacy narrow
// code page for the text conversions.

#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <clocale>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

namespace gsdtest {

inline Json::Value ParseJson(const std::string& text) {
    Json::CharReaderBuilder builder;
    Json::Value value;
    std::string errors;
    std::istringstream in(text);
    if (!Json::parseFromStream(builder, in, &value, &errors)) {
        throw std::invalid_argument("bad test JSON: " + errors + " in " + text);
    }
    return value;
}

// Compact JSON text; compares values without caring whether JsonCpp holds a
// number as signed or unsigned.
inline std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

// Switches the process to a single-byte legacy code page (ISO-8859-15) for
// the lifetime of the object, so that UTF-8 answers visibly change bytes when
// converted: "é" becomes E9, "€" becomes A4.
class LegacyLocale {
public:
    LegacyLocale() {
        const char* old = std::setlocale(LC_ALL, nullptr);
        saved_ = old ? old : "C";
        for (const char* name : {"en_US.ISO-8859-15", "en_US.iso885915"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                active_ = true;
                break;
            }
        }
    }
    ~LegacyLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    LegacyLocale(const LegacyLocale&) = delete;
    LegacyLocale& operator=(const LegacyLocale&) = delete;

    bool Active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

// UTF-8 spellings used across the tests and their ISO-8859-15 bytes.
constexpr const char* kUtf8EAcute = "\xC3\xA9";
constexpr const char* kLatinEAcute = "\xE9";
constexpr const char* kUtf8NoBreakSpace = "\xC2\xA0";

}  // namespace gsdtest
