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

#include <string>
#include <vector>

namespace PnJson {

// Appends each element's JSON, in order, to an array under key. An empty
// list writes no key at all.
template <class T>
void WriteList(Json::Value& out, const char* key, const std::vector<T>& items) {
    if (items.empty()) {
        return;
    }
    Json::Value& array = out[key];
    for (const T& item : items) {
        array.append(item.ToJson());
    }
}

// Writes the sub-object under key only when it is present.
template <class T>
void WriteOptional(Json::Value& out, const char* key, const PnOptional<T>& sub) {
    if (const T* object = sub.Get()) {
        out[key] = object->ToJson();
    }
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

// Out-of-line copy operations and destructor of a model type. The members
// copy themselves deeply (lists by value, optional parts through PnOptional),
// so the compiler's memberwise versions are the right ones; defining them
// here keeps them exported from the library.
#define PN_DEFAULT_COPY_AND_DESTROY(Type)         \
    Type::Type(const Type&) = default;            \
    Type& Type::operator=(const Type&) = default; \
    Type::~Type() = default
