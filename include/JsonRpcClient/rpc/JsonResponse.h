// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/rpc/ResponseError.h>

#include <json/value.h>

namespace RpcClient {

// One received JSON-RPC response document (null until one is set).
//
// The member tests (IsValid, HasError, HasRequestId, HasResult, HasId) expect
// the document to be null or a JSON object; for any other JSON type JsonCpp's
// member lookup throws its own exception (Json::LogicError), which passes to
// the caller. Nothing else here throws.
class JSONRPCCLIENT_API JsonResponse {
public:
    JsonResponse() = default;
    JsonResponse(const Json::Value& response);
    JsonResponse(Json::Value&& response);

    JsonResponse& SetResponse(const Json::Value& response);
    JsonResponse& SetResponse(Json::Value&& response);
    const Json::Value& GetResponse() const { return response_; }

    // Not null, has "jsonrpc", and it is the JSON string "2.0".
    bool IsValid() const;
    // Not null and has an "error" member, whatever its value (null included).
    bool HasError() const;
    // The "error" member as code and message. A missing or null member gives
    // code 0. A member that cannot be read (not an object, "code" not an int,
    // "message" not convertible to a string) gives code -32700 with JsonCpp's
    // exception text as the message; no exception leaves this function.
    ResponseError GetError() const;
    // Not null, has "id", and "id" is an integral JSON number.
    bool HasRequestId() const;
    // "id" as int when HasRequestId() and it fits an int, else -2147483648.
    int GetRequestId() const;
    // Not null and has a "result" member.
    bool HasResult() const;
    // A copy of "result", or a null value when there is none.
    Json::Value GetResult() const;
    // "result" moved out of the response, which keeps a null in its place;
    // a null value when there is none. Saves the copy GetResult makes.
    Json::Value TakeResult();

    // The value is not null and has an "id" member (no type test).
    static bool HasId(const Json::Value& value);

private:
    Json::Value response_;
};

}  // namespace RpcClient
