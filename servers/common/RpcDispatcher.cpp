// SPDX-License-Identifier: Apache-2.0
#include "RpcDispatcher.h"

#include <json/value.h>
#include <wire/FastJsonWriter.h>
#include <simdjson.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace ServerKit {

namespace {

// Member names and the version as static strings: JsonCpp then stores
// pointers instead of copies, saving allocations on every answer.
const Json::StaticString kJsonRpc("jsonrpc");
const Json::StaticString kId("id");
const Json::StaticString kResult("result");
const Json::StaticString kError("error");

Json::Value MakeEnvelope(const Json::Value& id) {
    static const Json::StaticString kVersion("2.0");
    Json::Value response(Json::objectValue);
    response[kJsonRpc] = Json::Value(kVersion);
    response[kId] = id;
    return response;
}

// An id the response may echo back: a number, a string or null. Anything else
// (an object, an array, a boolean) makes the request invalid.
bool IsUsableId(const Json::Value& id) {
    return id.isNull() || id.isString() || id.isNumeric();
}

namespace od = simdjson::ondemand;

static_assert(RpcDispatcher::kTextSlack >= simdjson::SIMDJSON_PADDING,
              "the fast reader needs more room behind the text");

// Nesting deeper than this is left to JsonCpp, whose own depth limit then
// decides; it also bounds the recursion below.
constexpr int kMaxFastDepth = 256;

// A parser whose buffers grew beyond this for a large request is dropped
// afterwards rather than kept for the small ones that follow.
constexpr std::size_t kRetainedParserCapacity = 256u * 1024u;

// The members the envelope is judged by, read from the text. A member that
// occurs twice counts with its last value, as JsonCpp reads it.
struct RequestParts {
    bool hasId = false;
    Json::Value id;
    Json::Value version;
    Json::Value method;
    Json::Value params;
    Json::Value other;  // any further member: read only to check its syntax
};

// Numbers get the types JsonCpp gives them: with a fraction or an exponent
// a double; otherwise an int, unless it is above the largest Int64 (then a
// uint). Integers beyond 64 bits, which JsonCpp reads as doubles, fail here
// and so go to JsonCpp.
bool ReadNumber(od::value& value, Json::Value& out) {
    const std::string_view token = value.raw_json_token();
    if (token.find_first_of(".eE") != std::string_view::npos) {
        double number = 0;
        if (value.get_double().get(number)) {
            return false;
        }
        out = number;
    } else if (!token.empty() && token.front() == '-') {
        std::int64_t number = 0;
        if (value.get_int64().get(number)) {
            return false;
        }
        out = Json::Value(static_cast<Json::Value::LargestInt>(number));
    } else {
        std::uint64_t number = 0;
        if (value.get_uint64().get(number)) {
            return false;
        }
        out = number <= static_cast<std::uint64_t>(Json::Value::maxLargestInt)
                  ? Json::Value(static_cast<Json::Value::LargestInt>(number))
                  : Json::Value(static_cast<Json::Value::LargestUInt>(number));
    }
    return true;
}

// Builds `out` from a value of the text, walking all of it, so that a syntax
// error anywhere is seen before anything runs.
bool ReadValue(od::value& value, Json::Value& out, int depth) {
    od::json_type type{};
    if (value.type().get(type)) {
        return false;
    }
    switch (type) {
        case od::json_type::object: {
            od::object object;
            if (depth >= kMaxFastDepth || value.get_object().get(object)) {
                return false;
            }
            out = Json::Value(Json::objectValue);
            for (auto member : object) {
                od::field field;
                std::string_view key;
                if (std::move(member).get(field) || field.unescaped_key().get(key)) {
                    return false;
                }
                // The slot is overwritten, so a repeated key keeps its last value.
                if (!ReadValue(field.value(), *out.demand(key.data(), key.data() + key.size()),
                               depth + 1)) {
                    return false;
                }
            }
            return true;
        }
        case od::json_type::array: {
            od::array array;
            if (depth >= kMaxFastDepth || value.get_array().get(array)) {
                return false;
            }
            out = Json::Value(Json::arrayValue);
            for (auto element : array) {
                od::value item;
                if (element.get(item) || !ReadValue(item, out.append(Json::Value()), depth + 1)) {
                    return false;
                }
            }
            return true;
        }
        case od::json_type::string: {
            std::string_view text;
            if (value.get_string().get(text)) {
                return false;
            }
            out = Json::Value(text.data(), text.data() + text.size());
            return true;
        }
        case od::json_type::number:
            return ReadNumber(value, out);
        case od::json_type::boolean: {
            bool flag = false;
            if (value.get_bool().get(flag)) {
                return false;
            }
            out = flag;
            return true;
        }
        case od::json_type::null: {
            bool isNull = false;
            if (value.is_null().get(isNull) || !isNull) {
                return false;
            }
            out = Json::Value();
            return true;
        }
    }
    return false;
}

// The start of a success answer, up to its result; JsonCpp keeps the members
// in this order.
void AppendAnswerStart(std::string& answer, const Json::Value& id) {
    answer += "{\"id\":";
    RpcClient::AppendJson(answer, id);
    answer += ",\"jsonrpc\":\"2.0\",\"result\":";
}

bool IsJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool ReadRequest(od::parser& parser, const char* text, std::size_t size, std::size_t capacity,
                 RequestParts& parts) {
    od::document document;
    od::object object;
    if (parser.iterate(text, size, capacity).get(document) || document.get_object().get(object)) {
        return false;
    }
    // The reader stops at the end of the object; JsonCpp reads on past it and
    // decides about whatever follows, so text after it is left to JsonCpp.
    std::string_view whole;
    if (object.raw_json().get(whole)) {
        return false;
    }
    for (const char* rest = whole.data() + whole.size(); rest < text + size; ++rest) {
        if (!IsJsonSpace(*rest)) {
            return false;
        }
    }
    document.rewind();
    if (document.get_object().get(object)) {
        return false;
    }
    for (auto member : object) {
        od::field field;
        std::string_view key;
        if (std::move(member).get(field) || field.unescaped_key().get(key)) {
            return false;
        }
        Json::Value* target = &parts.other;
        if (key == "id") {
            parts.hasId = true;
            target = &parts.id;
        } else if (key == "jsonrpc") {
            target = &parts.version;
        } else if (key == "method") {
            target = &parts.method;
        } else if (key == "params") {
            target = &parts.params;
        }
        if (!ReadValue(field.value(), *target, 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace

Json::Value MakeErrorResponse(const Json::Value& id, int code, const std::string& message) {
    Json::Value response = MakeEnvelope(id);
    Json::Value error(Json::objectValue);
    error["code"] = code;
    error["message"] = message;
    response[kError] = std::move(error);
    return response;
}

void RpcDispatcher::Add(const std::string& method, Handler handler) {
    handlers_[method] = Method{std::move(handler), nullptr};
}

void RpcDispatcher::Add(const std::string& method, Handler handler, TextHandler textHandler) {
    handlers_[method] = Method{std::move(handler), std::move(textHandler)};
}

Json::Value RpcDispatcher::Handle(const Json::Value& request) {
    if (!request.isArray()) {
        return HandleOne(request);
    }
    // A batch: answer each element, leave out the notifications, and send
    // nothing at all when only notifications were in it.
    if (request.empty()) {
        return MakeErrorResponse(Json::Value(), kInvalidRequest, "Invalid Request: empty batch");
    }
    Json::Value responses(Json::arrayValue);
    for (const Json::Value& element : request) {
        Json::Value response = HandleOne(element);
        if (!response.isNull()) {
            responses.append(std::move(response));
        }
    }
    return responses.empty() ? Json::Value() : responses;
}

bool RpcDispatcher::HandleText(const char* text, std::size_t size, std::size_t capacity,
                               std::string& answer) {
    thread_local od::parser parser;
    RequestParts parts;
    const bool read = ReadRequest(parser, text, size, capacity, parts);
    if (parser.capacity() > kRetainedParserCapacity) {
        parser = od::parser();
    }
    if (!read) {
        return false;
    }
    const Verdict verdict =
        Judge(!parts.hasId, parts.id, parts.version, parts.method, parts.params, &answer);
    if (verdict.succeeded) {
        AppendAnswerStart(answer, parts.id);
        RpcClient::AppendJson(answer, verdict.value);
        answer += '}';
    } else if (!verdict.written && !verdict.value.isNull()) {
        RpcClient::AppendJson(answer, verdict.value);
    }
    return true;
}

Json::Value RpcDispatcher::HandleOne(const Json::Value& request) {
    if (!request.isObject()) {
        return MakeErrorResponse(Json::Value(), kInvalidRequest,
                                 "Invalid Request: not a request object");
    }
    // A member that is absent reads as null here.
    const Json::Value& id = request["id"];
    Verdict verdict = Judge(!request.isMember("id"), id, request["jsonrpc"], request["method"],
                            request["params"], nullptr);
    if (!verdict.succeeded) {
        return std::move(verdict.value);
    }
    Json::Value response = MakeEnvelope(id);
    response[kResult] = std::move(verdict.value);
    return response;
}

RpcDispatcher::Verdict RpcDispatcher::Judge(bool notification, const Json::Value& id,
                                            const Json::Value& version, const Json::Value& method,
                                            const Json::Value& params, std::string* answer) {
    // Whatever else is wrong with it, a message without an id is a
    // notification and is never answered: the client reads no answer to it,
    // and one sent anyway would be taken as the answer to its next request.
    const auto refuse = [&](const Json::Value& answerId, const char* why) {
        Verdict verdict;
        if (!notification) {
            verdict.value = MakeErrorResponse(answerId, kInvalidRequest,
                                              std::string("Invalid Request: ") + why);
        }
        return verdict;
    };
    if (!IsUsableId(id)) {
        return refuse(Json::Value(), "bad id");
    }
    if (!version.isString() || version.asString() != "2.0") {
        return refuse(id, "jsonrpc must be \"2.0\"");
    }
    if (!method.isString()) {
        return refuse(id, "method must be a string");
    }
    if (!params.isNull() && !params.isArray() && !params.isObject()) {
        return refuse(id, "params must be an array or an object");
    }
    Verdict verdict =
        Invoke(id, notification, method.asString(), params, notification ? nullptr : answer);
    if (notification) {
        return Verdict();
    }
    // Returned by name, so it is moved; a conditional expression here made
    // a deep copy of every answer.
    return verdict;
}

RpcDispatcher::Verdict RpcDispatcher::Invoke(const Json::Value& id, bool notification,
                                             const std::string& method, const Json::Value& params,
                                             std::string* answer) {
    Verdict verdict;
    auto found = handlers_.find(method);
    if (found == handlers_.end()) {
        if (method == "Exit") {
            exitRequested_ = true;
            verdict.succeeded = true;
        } else if (!notification) {
            verdict.value = MakeErrorResponse(id, kMethodNotFound, "Method not found: " + method);
        }
        return verdict;
    }
    const std::size_t mark = answer != nullptr ? answer->size() : 0;
    try {
        if (answer != nullptr && found->second.text) {
            AppendAnswerStart(*answer, id);
            found->second.text(params, *answer);
            *answer += '}';
            verdict.written = true;
        } else {
            verdict.value = found->second.handler(params);
            verdict.succeeded = true;
        }
    } catch (const RpcFault& fault) {
        verdict.value = MakeErrorResponse(id, fault.code, fault.message);
    } catch (const Json::LogicError& e) {
        verdict.value =
            MakeErrorResponse(id, kInvalidParams, std::string("Invalid params: ") + e.what());
    } catch (const std::exception& e) {
        verdict.value =
            MakeErrorResponse(id, kInternalError, std::string("Internal error: ") + e.what());
    } catch (...) {
        verdict.value = MakeErrorResponse(id, kInternalError, "Internal error");
    }
    if (answer != nullptr && !verdict.written) {
        answer->resize(mark);  // what a failed text form had written
    }
    return verdict;
}

}  // namespace ServerKit
