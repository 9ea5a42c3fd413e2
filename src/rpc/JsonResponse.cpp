// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <climits>
#include <cstddef>
#include <exception>
#include <utility>

namespace RpcClient {

ResponseError::ResponseError(int code, const std::string& message)
    : code_(code), message_(message) {}

ResponseError::ResponseError(int code, std::string&& message)
    : code_(code), message_(std::move(message)) {}

JsonResponse::JsonResponse(const Json::Value& response) : response_(response) {}

JsonResponse::JsonResponse(Json::Value&& response) : response_(std::move(response)) {}

JsonResponse& JsonResponse::SetResponse(const Json::Value& response) {
    response_ = response;
    return *this;
}

JsonResponse& JsonResponse::SetResponse(Json::Value&& response) {
    response_ = std::move(response);
    return *this;
}

namespace {

// The member `name` of an object, null when absent or when `value` is null.
// One map lookup where isMember and operator[] made two; a value of another
// type raises JsonCpp's exception exactly as isMember does.
template <std::size_t N>
const Json::Value* Member(const Json::Value& value, const char (&name)[N]) {
    return value.isNull() ? nullptr : value.find(name, name + N - 1);
}

}  // namespace

bool JsonResponse::IsValid() const {
    const Json::Value* version = Member(response_, "jsonrpc");
    return version != nullptr && version->isString() && version->asString() == "2.0";
}

bool JsonResponse::HasError() const {
    return !response_.isNull() && response_.isMember("error");
}

ResponseError JsonResponse::GetError() const {
    try {
        const Json::Value error = response_.isNull() ? Json::Value() : response_["error"];
        if (error.isNull()) {
            return {};
        }
        // "message" is read before "code", so when both are unreadable the
        // text names the message.
        std::string message = error["message"].asString();
        const int code = error["code"].asInt();
        return {code, std::move(message)};
    } catch (const std::exception& e) {
        return {-32700, e.what()};
    }
}

bool JsonResponse::HasRequestId() const {
    const Json::Value* id = Member(response_, "id");
    return id != nullptr && id->isIntegral();
}

int JsonResponse::GetRequestId() const {
    // An integral id beyond the int range cannot be one of ours; report it
    // like a missing id rather than letting asInt() throw.
    const Json::Value* id = Member(response_, "id");
    return id != nullptr && id->isIntegral() && id->isInt() ? id->asInt() : INT_MIN;
}

bool JsonResponse::HasResult() const {
    return !response_.isNull() && response_.isMember("result");
}

Json::Value JsonResponse::GetResult() const {
    return HasResult() ? response_["result"] : Json::Value();
}

Json::Value JsonResponse::TakeResult() {
    const Json::Value* result = Member(response_, "result");
    return result != nullptr ? Json::Value(std::move(*const_cast<Json::Value*>(result)))
                             : Json::Value();
}

bool JsonResponse::HasId(const Json::Value& value) {
    return !value.isNull() && value.isMember("id");
}

}  // namespace RpcClient
