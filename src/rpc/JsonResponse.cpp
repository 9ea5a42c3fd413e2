#include <JsonRpcClient/rpc/JsonResponse.h>

#include <climits>
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

bool JsonResponse::IsValid() const {
    if (response_.isNull() || !response_.isMember("jsonrpc")) {
        return false;
    }
    const Json::Value& version = response_["jsonrpc"];
    return version.isString() && version.asString() == "2.0";
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
    return !response_.isNull() && response_.isMember("id") && response_["id"].isIntegral();
}

int JsonResponse::GetRequestId() const {
    // An integral id beyond the int range cannot be one of ours; report it
    // like a missing id rather than letting asInt() throw.
    return HasRequestId() && response_["id"].isInt() ? response_["id"].asInt() : INT_MIN;
}

bool JsonResponse::HasResult() const {
    return !response_.isNull() && response_.isMember("result");
}

Json::Value JsonResponse::GetResult() const {
    return HasResult() ? response_["result"] : Json::Value();
}

bool JsonResponse::HasId(const Json::Value& value) {
    return !value.isNull() && value.isMember("id");
}

}  // namespace RpcClient
