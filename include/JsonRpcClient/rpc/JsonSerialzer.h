// SPDX-License-Identifier: Apache-2.0
#pragma once

// Conversion between host values and the JSON values of request params and
// response results.
//
//   JsonSerialzer<T>{}(value)      -> Json::Value
//   JsonDeserialzer<T>{}(json)     -> T
//
// Supported T: Json::Value, int, unsigned int, bool, double, float,
// std::string, std::vector<U> of a supported U, and record types.
//
// Record types
// ------------
// A record declares its wire keys once, in a static member function
// `JsonFields()` that returns a tuple of `JsonField(key, &Record::member)`
// entries. Serializer and deserializer both read that one list:
//
//   struct Inner {
//       int InnerInt = 0;
//       std::string InnerString;
//       static constexpr auto JsonFields() {
//           return std::make_tuple(RpcClient::JsonField("InnerInt", &Inner::InnerInt),
//                                  RpcClient::JsonField("InnerString", &Inner::InnerString));
//       }
//   };
//   struct Outer {
//       bool Flag = false;
//       Inner InnerStruct;   // a nested record becomes a nested JSON object
//       static constexpr auto JsonFields() {
//           return std::make_tuple(RpcClient::JsonField("Flag", &Outer::Flag),
//                                  RpcClient::JsonField("InnerStruct", &Outer::InnerStruct));
//       }
//   };
//
// The key must be a string literal (or another string that outlives the
// program). Member types may be any supported T. The function adds no data
// member, so it does not change the record's layout.
//
// Failure modes
// -------------
// - JsonDeserialzer<std::string> throws std::runtime_error("JsonDeserialzer: invalid type")
//   when the value is not a JSON string (null included).
// - The number and bool conversions (also inside records) throw JsonCpp's own
//   exception (Json::LogicError, a std::exception) for values they cannot
//   convert; null reads as 0 / false.
// - Inside a record, string members are read with Json::Value::asString with
//   no type test (null gives "", a number gives its text), and a missing
//   member reads as null. The record value itself is not type-tested: a null
//   value gives a record of zeros and empty strings; a value that is neither
//   null nor an object makes JsonCpp throw.
// - std::vector<U>: null or any non-array value gives an empty vector.

#include <json/value.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace RpcClient {

// One entry of a record's field list: the wire key and the member it maps to.
template <class Record, class Member>
struct JsonFieldEntry {
    const char* key;
    Member Record::*member;
};

template <class Record, class Member>
constexpr JsonFieldEntry<Record, Member> JsonField(const char* key, Member Record::*member) {
    return {key, member};
}

namespace detail {
template <class T, class = void>
struct IsJsonRecord : std::false_type {};
template <class T>
struct IsJsonRecord<T, std::void_t<decltype(T::JsonFields())>> : std::true_type {};
}  // namespace detail

// True for types that declare a JsonFields() list.
template <class T>
constexpr bool IsJsonRecordV = detail::IsJsonRecord<T>::value;

template <class T>
struct JsonSerialzer {
    static_assert(IsJsonRecordV<T>,
                  "JsonSerialzer: unsupported type; declare a static JsonFields() for records");
    Json::Value operator()(const T& record) const;
};

template <class T>
struct JsonDeserialzer {
    static_assert(IsJsonRecordV<T>,
                  "JsonDeserialzer: unsupported type; declare a static JsonFields() for records");
    T operator()(const Json::Value& value) const;
};

// --- scalar serializers -----------------------------------------------------

template <>
struct JsonSerialzer<Json::Value> {
    Json::Value operator()(const Json::Value& value) const { return value; }
};
template <>
struct JsonSerialzer<int> {
    Json::Value operator()(int value) const { return Json::Value(value); }
};
template <>
struct JsonSerialzer<unsigned int> {
    Json::Value operator()(unsigned int value) const { return Json::Value(value); }
};
template <>
struct JsonSerialzer<bool> {
    Json::Value operator()(bool value) const { return Json::Value(value); }
};
template <>
struct JsonSerialzer<double> {
    Json::Value operator()(double value) const { return Json::Value(value); }
};
template <>
struct JsonSerialzer<float> {
    Json::Value operator()(float value) const { return Json::Value(static_cast<double>(value)); }
};
template <>
struct JsonSerialzer<std::string> {
    // The bytes go out unchanged; callers that must send UTF-8 convert first.
    Json::Value operator()(const std::string& value) const { return Json::Value(value); }
};
template <class U>
struct JsonSerialzer<std::vector<U>> {
    Json::Value operator()(const std::vector<U>& values) const {
        Json::Value array(Json::arrayValue);
        for (const U& value : values) {
            array.append(JsonSerialzer<U>{}(value));
        }
        return array;
    }
};

// --- scalar deserializers ---------------------------------------------------

template <>
struct JsonDeserialzer<Json::Value> {
    Json::Value operator()(const Json::Value& value) const { return value; }
};
template <>
struct JsonDeserialzer<int> {
    int operator()(const Json::Value& value) const { return value.asInt(); }
};
template <>
struct JsonDeserialzer<unsigned int> {
    unsigned int operator()(const Json::Value& value) const { return value.asUInt(); }
};
template <>
struct JsonDeserialzer<bool> {
    bool operator()(const Json::Value& value) const { return value.asBool(); }
};
template <>
struct JsonDeserialzer<double> {
    double operator()(const Json::Value& value) const { return value.asDouble(); }
};
template <>
struct JsonDeserialzer<float> {
    float operator()(const Json::Value& value) const { return value.asFloat(); }
};
template <>
struct JsonDeserialzer<std::string> {
    std::string operator()(const Json::Value& value) const {
        if (!value.isString()) {
            throw std::runtime_error("JsonDeserialzer: invalid type");
        }
        return value.asString();
    }
};
template <class U>
struct JsonDeserialzer<std::vector<U>> {
    std::vector<U> operator()(const Json::Value& value) const {
        std::vector<U> values;
        if (!value.isArray()) {
            return values;
        }
        values.reserve(value.size());
        for (const Json::Value& element : value) {
            values.push_back(JsonDeserialzer<U>{}(element));
        }
        return values;
    }
};

// --- records ----------------------------------------------------------------

namespace detail {
// A record member is read like a top-level value, except that strings are
// taken with asString and no type test.
template <class T>
T ReadRecordMember(const Json::Value& value) {
    if constexpr (std::is_same_v<T, std::string>) {
        return value.asString();
    } else {
        return JsonDeserialzer<T>{}(value);
    }
}

template <class Record, class Visit>
void ForEachJsonField(Visit&& visit) {
    std::apply([&](const auto&... field) { (visit(field), ...); }, Record::JsonFields());
}
}  // namespace detail

template <class T>
Json::Value JsonSerialzer<T>::operator()(const T& record) const {
    Json::Value object(Json::objectValue);
    detail::ForEachJsonField<T>([&](const auto& field) {
        using Member = std::decay_t<decltype(record.*(field.member))>;
        object[field.key] = JsonSerialzer<Member>{}(record.*(field.member));
    });
    return object;
}

template <class T>
T JsonDeserialzer<T>::operator()(const Json::Value& value) const {
    T record{};
    detail::ForEachJsonField<T>([&](const auto& field) {
        using Member = std::decay_t<decltype(record.*(field.member))>;
        record.*(field.member) = detail::ReadRecordMember<Member>(value[field.key]);
    });
    return record;
}

}  // namespace RpcClient
