// SPDX-License-Identifier: Apache-2.0
#include "ConfigService.h"

#include <JsonRpcClient/Version.h>

#include <json/value.h>
#include <wire/FastJsonWriter.h>

#include <string>

namespace TavrelPN {

namespace {

using ServerKit::kInvalidParams;
using ServerKit::RpcFault;

[[noreturn]] void RefuseParams(const std::string& why) {
    throw RpcFault{kInvalidParams, "Invalid params: " + why};
}

const Json::Value& PositionalParams(const Json::Value& params, Json::ArrayIndex count) {
    if (!params.isArray() || params.size() != count) {
        RefuseParams("expected an array of " + std::to_string(count) + " values");
    }
    return params;
}

// Strict readers: a param of another JSON type is refused instead of being
// converted, so a caller that mixes up the order learns about it.
int IntParam(const Json::Value& value, const std::string& name) {
    if (!value.isInt()) {
        RefuseParams(name + " must be a 32-bit integer");
    }
    return value.asInt();
}

std::string StringParam(const Json::Value& value, const std::string& name) {
    if (!value.isString()) {
        RefuseParams(name + " must be a string");
    }
    return value.asString();
}

bool BoolParam(const Json::Value& value, const std::string& name) {
    if (!value.isBool()) {
        RefuseParams(name + " must be a boolean");
    }
    return value.asBool();
}

double NumberParam(const Json::Value& value, const std::string& name) {
    if (!value.isNumeric()) {
        RefuseParams(name + " must be a number");
    }
    return value.asDouble();
}

// The five scalar fields shared by the test record and its inner record.
struct TestFields {
    int intValue = 0;
    std::string stringValue;
    bool boolValue = false;
    double doubleValue = 0.0;
    float floatValue = 0.0f;
};

Json::Value FieldsToJson(const TestFields& fields, const char* prefix) {
    const std::string p(prefix);
    Json::Value object(Json::objectValue);
    object[p + "Int"] = fields.intValue;
    object[p + "String"] = fields.stringValue;
    object[p + "Bool"] = fields.boolValue;
    object[p + "Double"] = fields.doubleValue;
    object[p + "Float"] = static_cast<double>(fields.floatValue);
    return object;
}

TestFields FieldsFromJson(const Json::Value& object, const char* prefix) {
    const std::string p(prefix);
    if (!object.isObject()) {
        RefuseParams(p + " record must be an object");
    }
    TestFields fields;
    fields.intValue = IntParam(object[p + "Int"], p + "Int");
    fields.stringValue = StringParam(object[p + "String"], p + "String");
    fields.boolValue = BoolParam(object[p + "Bool"], p + "Bool");
    fields.doubleValue = NumberParam(object[p + "Double"], p + "Double");
    fields.floatValue = static_cast<float>(NumberParam(object[p + "Float"], p + "Float"));
    return fields;
}

Json::Value MakeTestStruct(const TestFields& outer, const TestFields& inner) {
    Json::Value record = FieldsToJson(outer, "Test");
    record["InnerStruct"] = FieldsToJson(inner, "Inner");
    return record;
}

TestFields RunTestFields(const Json::Value& params) {
    const Json::Value& p = PositionalParams(params, 5);
    TestFields fields;
    fields.intValue = IntParam(p[0], "param 1");
    fields.stringValue = StringParam(p[1], "param 2");
    fields.boolValue = BoolParam(p[2], "param 3");
    fields.doubleValue = NumberParam(p[3], "param 4");
    fields.floatValue = static_cast<float>(NumberParam(p[4], "param 5"));
    return fields;
}

Json::Value RunTest(const Json::Value& params) {
    const TestFields fields = RunTestFields(params);
    return MakeTestStruct(fields, fields);
}

// FieldsToJson's object as text, members in JsonCpp's order.
void AppendFields(std::string& out, const TestFields& fields, const char* prefix) {
    const auto member = [&](const char* name, const Json::Value& value) {
        out += '"';
        out += prefix;
        out += name;
        out += "\":";
        RpcClient::AppendJson(out, value);
    };
    out += '{';
    member("Bool", fields.boolValue);
    out += ',';
    member("Double", fields.doubleValue);
    out += ',';
    member("Float", static_cast<double>(fields.floatValue));
    out += ',';
    member("Int", fields.intValue);
    out += ',';
    member("String", fields.stringValue);
    out += '}';
}

// RunTest is the call a host makes most often in a tight loop, so its
// record is written rather than built.
void RunTestText(const Json::Value& params, std::string& out) {
    const TestFields fields = RunTestFields(params);
    out += "{\"InnerStruct\":";
    AppendFields(out, fields, "Inner");
    // The outer members follow in the same object.
    const std::size_t open = out.size();
    AppendFields(out, fields, "Test");
    out[open] = ',';
}

Json::Value TestStructArray(const Json::Value& params) {
    const Json::Value& p = PositionalParams(params, 2);
    const TestFields outer = FieldsFromJson(p[0], "Test");
    const TestFields inner = FieldsFromJson(p[0]["InnerStruct"], "Inner");
    const int count = IntParam(p[1], "count");
    if (count < 0 || count > kMaxTestStructCount) {
        RefuseParams("count must lie between 0 and " + std::to_string(kMaxTestStructCount));
    }
    const Json::Value record = MakeTestStruct(outer, inner);
    Json::Value result(Json::arrayValue);
    for (int i = 0; i < count; ++i) {
        result.append(record);
    }
    return result;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::string();
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

ConfigServiceOptions ParseConfigServiceArguments(const std::vector<std::string>& arguments) {
    std::string joined;
    for (const std::string& argument : arguments) {
        joined += joined.empty() ? argument : " " + argument;
    }
    ConfigServiceOptions options;
    const std::string option = "-l ";
    const auto at = joined.find(option);
    if (at != std::string::npos && (at == 0 || joined[at - 1] == ' ')) {
        const std::string value = Trim(joined.substr(at + option.size()));
        if (!value.empty()) {
            options.language = value;
        }
    }
    return options;
}

void AddConfigService(ServerKit::RpcDispatcher& dispatcher, const ConfigServiceOptions& options) {
    dispatcher.Add("GetVersion",
                   [](const Json::Value&) { return Json::Value(JSONRPCCLIENT_VERSION); });
    const std::string language = options.language;
    dispatcher.Add("GetLanguage", [language](const Json::Value&) { return Json::Value(language); });
    dispatcher.Add("GetAssemblyInfo", [](const Json::Value&) {
        Json::Value info(Json::objectValue);
        info["Version"] = JSONRPCCLIENT_VERSION;
        info["Company"] = "Tavrel";
        info["Copyright"] = "Copyright (c) Tavrel";
        info["Description"] = "PROFINET configuration server";
        info["Author"] = "JsonRpcClient project";
        return info;
    });
    dispatcher.Add("RunTest", RunTest, RunTestText);
    dispatcher.Add("TestStructArray", TestStructArray);
}

}  // namespace TavrelPN
