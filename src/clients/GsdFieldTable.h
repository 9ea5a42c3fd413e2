// SPDX-License-Identifier: Apache-2.0
#pragma once

// The shared shape of every GSD record reader: a record is described once by
// a table of (JSON key, how to read it into which field), and one generic
// routine walks that table. Adding a record means writing its table, not
// another copy of the lookup-convert-assign loop.

#include <json/value.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace Tavrel {
namespace Gsd {
namespace detail {

// How a text field reaches the host.
enum class TextForm {
    AsReceived,   // the service's UTF-8 bytes, unchanged
    Local,        // converted to the ANSI code page
    LocalSpaces,  // no-break spaces made ordinary, then converted
};

// Replaces every UTF-8 no-break space (C2 A0) by one ordinary space.
std::string ReplaceNoBreakSpaces(std::string text);

// Reads one JSON value as text (null gives "") and applies the text form.
// A failed code-page conversion raises std::runtime_error.
std::string ReadText(const Json::Value& value, TextForm form);

// One row of a record's table.
template <class Record>
struct Field {
    const char* key;
    std::function<void(Record&, const Json::Value&)> read;
};

template <class Record>
using FieldTable = std::vector<Field<Record>>;

// Reads a record by walking its table in order. The value is looked up with
// JsonCpp's const member access: a missing key reads as null, and a value
// that is neither null nor an object makes JsonCpp throw.
template <class Record, class Target>
void ApplyFields(Target& record, const Json::Value& value, const FieldTable<Record>& table) {
    for (const Field<Record>& field : table) {
        field.read(record, value[field.key]);
    }
}

template <class Record>
Record ReadFields(const Json::Value& value, const FieldTable<Record>& table) {
    Record record{};
    ApplyFields(record, value, table);
    return record;
}

// Builders for the rows. Each takes the field of the record it fills.

template <class Record>
Field<Record> TextAt(const char* key, std::string Record::*member,
                     TextForm form = TextForm::AsReceived) {
    return {key,
            [member, form](Record& r, const Json::Value& v) { r.*member = ReadText(v, form); }};
}

template <class Record>
Field<Record> IntAt(const char* key, int Record::*member) {
    return {key, [member](Record& r, const Json::Value& v) { r.*member = v.asInt(); }};
}

template <class Record>
Field<Record> UIntAt(const char* key, unsigned int Record::*member) {
    return {key, [member](Record& r, const Json::Value& v) { r.*member = v.asUInt(); }};
}

template <class Record>
Field<Record> BoolAt(const char* key, bool Record::*member) {
    return {key, [member](Record& r, const Json::Value& v) { r.*member = v.asBool(); }};
}

template <class Record>
Field<Record> FloatAt(const char* key, float Record::*member) {
    return {key, [member](Record& r, const Json::Value& v) { r.*member = v.asFloat(); }};
}

// An enumeration carried as a signed integer, passed through unchanged.
template <class Record, class Enum>
Field<Record> EnumAt(const char* key, Enum Record::*member) {
    return {key, [member](Record& r, const Json::Value& v) {
                r.*member = static_cast<Enum>(v.asInt());
            }};
}

// A nested record read with its own reader, whatever the member holds.
template <class Record, class Sub>
Field<Record> RecordAt(const char* key, Sub Record::*member, Sub (*reader)(const Json::Value&)) {
    return {key, [member, reader](Record& r, const Json::Value& v) { r.*member = reader(v); }};
}

// A nested record read only when the member is a non-null object; anything
// else leaves the field at its default.
template <class Record, class Sub>
Field<Record> ObjectAt(const char* key, Sub Record::*member, Sub (*reader)(const Json::Value&)) {
    return {key, [member, reader](Record& r, const Json::Value& v) {
                if (v.isObject()) {
                    r.*member = reader(v);
                }
            }};
}

// When a list member is read at all.
enum class ListWhen {
    NotNull,  // every element of any non-null value, in order
    IsArray,  // only an array; anything else leaves the list empty
};

// Reads each element of a JSON container in order. Iteration covers arrays
// and objects; other values hold no elements.
template <class Element, class Reader>
std::vector<Element> ReadElements(const Json::Value& value, Reader reader) {
    std::vector<Element> list;
    if (value.isArray() || value.isObject()) {
        list.reserve(value.size());
        for (const Json::Value& element : value) {
            list.push_back(reader(element));
        }
    }
    return list;
}

template <class Record, class Element>
Field<Record> ListAt(const char* key, std::vector<Element> Record::*member,
                     Element (*reader)(const Json::Value&), ListWhen when = ListWhen::NotNull) {
    return {key, [member, reader, when](Record& r, const Json::Value& v) {
                if (when == ListWhen::IsArray && !v.isArray()) {
                    return;
                }
                r.*member = ReadElements<Element>(v, reader);
            }};
}

// A list of the records an array holds; a non-array gives an empty list.
template <class Element>
std::vector<Element> ReadArray(const Json::Value& value, Element (*reader)(const Json::Value&)) {
    if (!value.isArray()) {
        return {};
    }
    return ReadElements<Element>(value, reader);
}

// Element readers for lists of plain values.
int ReadInt(const Json::Value& value);
std::string ReadTextAsReceived(const Json::Value& value);
std::string ReadTextLocal(const Json::Value& value);

}  // namespace detail
}  // namespace Gsd
}  // namespace Tavrel
