// SPDX-License-Identifier: Apache-2.0
#include "RpcDispatcher.h"

#include <json/value.h>

#include <exception>
#include <string>
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
    handlers_[method] = std::move(handler);
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

Json::Value RpcDispatcher::HandleOne(const Json::Value& request) {
    if (!request.isObject()) {
        return MakeErrorResponse(Json::Value(), kInvalidRequest,
                                 "Invalid Request: not a request object");
    }
    // Whatever else is wrong with it, a message without an id is a
    // notification and is never answered: the client reads no answer to it,
    // and one sent anyway would be taken as the answer to its next request.
    const bool notification = !request.isMember("id");
    const Json::Value id = notification ? Json::Value() : request["id"];
    const auto refuse = [&](const Json::Value& answerId, const char* why) {
        return notification ? Json::Value()
                            : MakeErrorResponse(answerId, kInvalidRequest,
                                                std::string("Invalid Request: ") + why);
    };
    if (!IsUsableId(id)) {
        return refuse(Json::Value(), "bad id");
    }
    const Json::Value& version = request["jsonrpc"];
    if (!version.isString() || version.asString() != "2.0") {
        return refuse(id, "jsonrpc must be \"2.0\"");
    }
    const Json::Value& method = request["method"];
    if (!method.isString()) {
        return refuse(id, "method must be a string");
    }
    const Json::Value& params = request["params"];
    if (!params.isNull() && !params.isArray() && !params.isObject()) {
        return refuse(id, "params must be an array or an object");
    }
    Json::Value response = Invoke(id, notification, method.asString(), params);
    if (notification) {
        return Json::Value();
    }
    // Returned by name, so it is moved; a conditional expression here made
    // a deep copy of every answer.
    return response;
}

Json::Value RpcDispatcher::Invoke(const Json::Value& id, bool notification,
                                  const std::string& method, const Json::Value& params) {
    auto found = handlers_.find(method);
    if (found == handlers_.end()) {
        if (method == "Exit") {
            exitRequested_ = true;
            Json::Value response = MakeEnvelope(id);
            response[kResult] = Json::Value();
            return response;
        }
        return notification ? Json::Value()
                            : MakeErrorResponse(id, kMethodNotFound, "Method not found: " + method);
    }
    try {
        Json::Value response = MakeEnvelope(id);
        response[kResult] = found->second(params);
        return response;
    } catch (const RpcFault& fault) {
        return MakeErrorResponse(id, fault.code, fault.message);
    } catch (const Json::LogicError& e) {
        return MakeErrorResponse(id, kInvalidParams, std::string("Invalid params: ") + e.what());
    } catch (const std::exception& e) {
        return MakeErrorResponse(id, kInternalError, std::string("Internal error: ") + e.what());
    } catch (...) {
        return MakeErrorResponse(id, kInternalError, "Internal error");
    }
}

}  // namespace ServerKit
