// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/JsonRequest.h>

#include "rpc/RequestIdCounter.h"

#include <utility>

namespace RpcClient {

namespace detail {
// Constant-initialised, so it holds 2 before any code of the library runs and
// the first id handed out is 3. Atomic arithmetic on signed integers wraps,
// so INT_MAX + 1 gives INT_MIN without undefined behaviour.
namespace {
std::atomic<int> g_requestIdCounter{2};
}
std::atomic<int>& RequestIdCounter() {
    return g_requestIdCounter;
}
}  // namespace detail

JsonRequest::JsonRequest() : params_(Json::arrayValue) {}

JsonRequest::JsonRequest(const std::string& method, bool notify)
    : notify_(notify), method_(method), params_(Json::arrayValue) {}

JsonRequest::JsonRequest(const JsonRequest& other) = default;
JsonRequest& JsonRequest::operator=(const JsonRequest& other) = default;
JsonRequest::~JsonRequest() = default;

JsonRequest& JsonRequest::SetMethod(const std::string& method) {
    method_ = method;
    return *this;
}

JsonRequest& JsonRequest::SetMethod(std::string&& method) {
    method_ = std::move(method);
    return *this;
}

JsonRequest& JsonRequest::SetParams(const Json::Value& params) {
    params_ = params;
    return *this;
}

JsonRequest& JsonRequest::SetParams(Json::Value&& params) {
    params_ = std::move(params);
    return *this;
}

JsonRequest& JsonRequest::FixRequestId() {
    if (!notify_) {
        requestId_ = OnFixRequestId();
    }
    return *this;
}

Json::Value JsonRequest::OnBuildBody() const {
    // Names and the version as static strings: JsonCpp then stores pointers
    // instead of copies, which saves allocations on every call.
    static const Json::StaticString kJsonRpc("jsonrpc");
    static const Json::StaticString kVersion("2.0");
    static const Json::StaticString kMethod("method");
    static const Json::StaticString kParams("params");
    static const Json::StaticString kId("id");
    Json::Value body(Json::objectValue);
    body[kJsonRpc] = Json::Value(kVersion);
    body[kMethod] = method_;
    body[kParams] = params_;
    if (!notify_) {
        body[kId] = requestId_;
    }
    return body;
}

int JsonRequest::OnFixRequestId() {
    // fetch_add itself wraps; the "+ 1" that turns the old value into the new
    // one is done in unsigned arithmetic so it wraps too instead of
    // overflowing a signed int.
    const int previous = detail::RequestIdCounter().fetch_add(1, std::memory_order_seq_cst);
    return static_cast<int>(static_cast<unsigned int>(previous) + 1u);
}

}  // namespace RpcClient
