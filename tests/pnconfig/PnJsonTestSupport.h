#pragma once

// Helpers shared by the configuration model tests: parsing expected
// documents, normalising written ones for comparison, readable failure
// output, and running a block of code under a legacy narrow code page.

#include <json/json.h>

#include <clocale>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace Json {
// Lets GoogleTest print documents as JSON text when a comparison fails.
inline void PrintTo(const Value& value, std::ostream* os) {
    StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    *os << '\n' << writeString(writer, value);
}
}  // namespace Json

namespace PnTest {

inline Json::Value Parse(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
        throw std::runtime_error("test document does not parse: " + errors + "\n" + text);
    }
    return value;
}

// Written documents hold unsigned integers where a parsed document holds
// signed ones, and Json::Value equality tells the two apart. Sending the
// written document through text, as the server receives it, puts both sides
// on the same footing; the integer kinds are checked by tests of their own.
inline Json::Value AsReceived(const Json::Value& written) {
    Json::StreamWriterBuilder writer;
    return Parse(Json::writeString(writer, written));
}

// Switches the whole process to a narrow locale for the lifetime of the
// object and restores the previous one afterwards. IsActive() is false when
// the locale is not installed on this machine.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) {
        const char* current = std::setlocale(LC_ALL, nullptr);
        previous_ = current ? current : "C";
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    bool IsActive() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace PnTest
