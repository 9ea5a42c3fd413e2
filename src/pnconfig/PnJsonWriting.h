// SPDX-License-Identifier: Apache-2.0
#pragma once

// What every ToJson() of the configuration model has in common, so that each
// type's own ToJson() is just its list of keys.
//
// A result starts as a null Json::Value; the first key written turns it into
// an object. A ToJson() that writes nothing therefore yields null, which is
// what the configuration server expects for "nothing here".

#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace PnJson {

// A fixed member name. JsonCpp keeps a pointer to the literal instead of
// copying the name into every object, and copies of the tree share it too:
// with a quarter of a million objects in a large document, the copies were
// a fifth of its heap. The catch is that such a document refers to this
// library's constant data (docs/performance.md, "Member names").
template <std::size_t N>
Json::StaticString Key(const char (&name)[N]) {
    return Json::StaticString(name);
}

// Appends each element's JSON, in order, to an array under key. An empty
// list writes no key at all.
template <class T, std::size_t N>
void WriteList(Json::Value& out, const char (&key)[N], const std::vector<T>& items) {
    if (items.empty()) {
        return;
    }
    Json::Value& array = out[Key(key)];
    for (const T& item : items) {
        array.append(item.ToJson());
    }
}

// Writes the sub-object under key only when it is present.
template <class T, std::size_t N>
void WriteOptional(Json::Value& out, const char (&key)[N], const std::shared_ptr<T>& sub) {
    if (sub) {
        out[Key(key)] = sub->ToJson();
    }
}

// Optional sub-objects are shared_ptr members, but model objects are values:
// these three keep a copy from ever sharing its source's sub-object.

// A new sub-object that copies source's, or none when source has none.
template <class T>
std::shared_ptr<T> DeepCopy(const std::shared_ptr<T>& source) {
    return source ? std::make_shared<T>(*source) : nullptr;
}

// Copy assignment of an optional sub-object: the target's own goes first,
// then a copy of the source's (if any) takes its place.
template <class T>
void AssignCopy(std::shared_ptr<T>& target, const std::shared_ptr<T>& source) {
    if (&target != &source) {
        target.reset();
        target = DeepCopy(source);
    }
}

// Setter: a new sub-object holding a copy of value replaces the current one.
// The copy is made before the old one goes, so value may be that old one.
template <class T>
void Replace(std::shared_ptr<T>& target, const T& value) {
    target = std::make_shared<T>(value);
}

// 8- and 16-bit fields and enumerations go out as signed JSON integers.
template <class T>
Json::Value Int(T value) {
    return Json::Value(static_cast<Json::Int>(value));
}

// Fields the server reads as UTF-8 are held in the ANSI code page. Throws
// std::runtime_error when the conversion fails.
Json::Value Utf8Text(const std::string& ansiText);

}  // namespace PnJson

// Out-of-line copy operations and destructor of a model type whose members
// copy themselves deeply (values, lists by value, embedded holders through
// their own copy operations), so the compiler's memberwise versions are the
// right ones; defining them here keeps them exported from the library. A type
// with a shared_ptr member of its own writes them out with DeepCopy and
// AssignCopy instead.
#define PN_DEFAULT_COPY_AND_DESTROY(Type)         \
    Type::Type(const Type&) = default;            \
    Type& Type::operator=(const Type&) = default; \
    Type::~Type() = default
