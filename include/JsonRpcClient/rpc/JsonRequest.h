// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/rpc/JsonSerialzer.h>

#include <json/value.h>

#include <string>

namespace RpcClient {

class JsonRpcClient;

// One JSON-RPC 2.0 request or notification.
//
// Request ids come from one process-wide atomic counter shared by every
// JsonRequest and every thread: the first id a process hands out is 3, then
// 4, 5, ...; after 2147483647 it wraps to -2147483648. Ids are never reset.
//
// Body layout (BuildBody): `{"jsonrpc": "2.0", "method": <method>,
// "params": <params>, "id": <id>}`; a notification has no "id".
// Nothing here throws except on memory exhaustion.
class JSONRPCCLIENT_API JsonRequest {
public:
    // Empty method, not a notification, id 0, params = [].
    JsonRequest();
    // The given method and notify flag, id 0, params = [].
    explicit JsonRequest(const std::string& method, bool notify = false);
    JsonRequest(const JsonRequest& other);
    // Copies the four fields; the target keeps its own dynamic type.
    JsonRequest& operator=(const JsonRequest& other);
    virtual ~JsonRequest();

    const std::string& GetMethod() const { return method_; }
    JsonRequest& SetMethod(const std::string& method);
    JsonRequest& SetMethod(std::string&& method);

    Json::Value& GetParams() { return params_; }
    const Json::Value& GetParams() const { return params_; }
    // Replaces params by any JSON value (not necessarily an array).
    JsonRequest& SetParams(const Json::Value& params);
    JsonRequest& SetParams(Json::Value&& params);

    // Appends the serializer's JSON form of the value to params.
    template <class T>
    void AppendParam(const T& value, JsonSerialzer<T> serializer = {}) {
        params_.append(serializer(value));
    }

    // Positional params: resets params to [] and appends every argument in
    // order. Without arguments it changes nothing.
    JsonRequest& SetRequestParamsList() { return *this; }
    template <class First, class... Rest>
    JsonRequest& SetRequestParamsList(const First& first, const Rest&... rest) {
        params_ = Json::Value(Json::arrayValue);
        AppendParam(first);
        (AppendParam(rest), ...);
        return *this;
    }

    int GetRequestId() const { return requestId_; }
    bool IsNotify() const { return notify_; }
    // True exactly when the method is non-empty.
    bool IsValid() const { return !method_.empty(); }

    // A request takes a fresh id from OnFixRequestId() on every call; a
    // notification keeps its id.
    JsonRequest& FixRequestId();
    Json::Value BuildBody() const { return OnBuildBody(); }

protected:
    // The call cycle takes the id straight from the hook.
    friend class JsonRpcClient;

    virtual Json::Value OnBuildBody() const;
    // The next value of the process-wide id counter.
    virtual int OnFixRequestId();

private:
    bool notify_ = false;
    int requestId_ = 0;
    std::string method_;
    Json::Value params_;
};

}  // namespace RpcClient
