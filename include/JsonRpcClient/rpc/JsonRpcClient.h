// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/JsonRequest.h>
#include <JsonRpcClient/rpc/JsonResponse.h>
#include <JsonRpcClient/rpc/JsonSerialzer.h>

#include <json/value.h>

#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace RpcClient {

class RpcLocalSrvConfig;
class RpcLocalConnection;

// Base of every typed client: bound to one local server (not owned, may be
// null), it runs one request/response exchange per Request and keeps the
// failures of the last call in an error list, newest first.
//
// Results are failure codes (FailureCodes.h): 0 for success, negative for
// failure. No exception of the standard family leaves Request, whether a
// hook, a restart, a status observer or the hand-back of the connection
// raised it: the connection is handed back first, then the text is recorded
// with FailureCode::Unexpected. Other exceptions pass, after the hand-back.
//
// Failure table of Request (entries in recording order -> result):
//   no server                          none -> Unexpected
//   connection not obtained            ("Query connection timeout") -> Timeout
//   write throws                       (ServerFault, text) -> ServerFault
//   answer not received / malformed    (ServerFault, reader's text),
//                                      (ServerFault, "Call response invalid") -> ServerFault
//   frame holds null or []             (CallRejected, "No response"),
//                                      (ServerFault, "Call response invalid") -> ServerFault
//   one response not JSON-RPC 2.0      (VersionMismatch, "Invalid response format") ->
//   VersionMismatch one error response                 (mapped code, server's message) -> mapped
//   code a batch                            one entry per bad response, then
//                                      (CallRejected, "Invalid response") -> Unexpected
//   one valid response, wrong id       none -> NoSync
//   exception during the call          (Unexpected, text) -> Unexpected
//   no answer within the response      (Timeout, "Response timeout: ...") -> Timeout
//   timeout (when one is set)
// Error codes -32099..-32000 are returned as they are; -32700/-32600 map to
// InvalidData, -32601 to InvalidMethod, -32602 to InvalidParameter, -32603
// to Unexpected, anything else to ServerFault.
//
// Threads: a client object has no lock and is used by one thread at a time;
// several clients of one server may run on different threads (exchanges are
// serialised by the server's connection lock). The request timeout bounds
// only the wait for the connection; reading an answer has no time limit
// unless SetResponseTimeout sets one.
//
// A client bound to a server of the registry keeps that record alive: once
// the server is shut down, calls fail with Timeout ("Query connection
// timeout") and never touch freed memory.
class JSONRPCCLIENT_API JsonRpcClient {
public:
    using ErrorList = std::list<std::pair<long, std::string>>;

    // Bound to the process-wide registry's default server (null if none).
    JsonRpcClient();
    JsonRpcClient(RpcLocalSrvConfig* server);
    JsonRpcClient(const JsonRpcClient&) = delete;
    JsonRpcClient& operator=(const JsonRpcClient&) = delete;
    virtual ~JsonRpcClient();

    // One exchange: gives the request a fresh id (unless it is a
    // notification), writes it, reads and judges one answer frame. The
    // response is filled only when exactly one response arrived. A
    // notification returns 0 after the write, reading nothing.
    long Request(JsonRequest& request, JsonResponse& response);

    // Sends the notification `method` with empty params; Request's result.
    long Notify(const char* method);

    // Stored clamped to 10..100000 ms; default 10000.
    JsonRpcClient& SetRequestTimeout(unsigned long milliseconds);
    unsigned long GetRequestTimeout() const { return requestTimeout_; }

    // Longest wait for an answer once a request is written; 0 (the default)
    // waits for as long as the server takes. When it runs out, Request fails
    // with Timeout and an entry naming the method, and stops the server:
    // whatever it answers later would be out of step, so the next call
    // starts it afresh.
    JsonRpcClient& SetResponseTimeout(unsigned long milliseconds);
    unsigned long GetResponseTimeout() const { return responseTimeout_; }

    // The server's IsRpcServerRunning; 0 for a client without a server.
    int IsRpcServerRunning();

    const ErrorList& GetErrList() const { return errors_; }
    bool HasError() const { return !errors_.empty(); }
    // Code of the entry recorded last; 0 for an empty list; Unexpected for
    // an entry with code 0 and a message.
    long GetLastErrCode() const;
    // Message of the entry recorded last; empty for an empty list.
    std::string GetLastErrMsg() const;

protected:
    void PushError(long code, const std::string& message);
    void PushError(std::pair<long, std::string>&& entry);
    void ClearError() { errors_.clear(); }

    // Judges received responses (records their failures); true when at least
    // one counted as failed.
    bool HandleResponseError(const std::vector<JsonResponse>& responses);

    // The server's connection, or null (recording the timeout entry when a
    // server is set but its connection was not obtained).
    virtual RpcLocalConnection* CurConnection();
    virtual void ReleaseConnection(RpcLocalConnection* connection);
    // Writes the body as one frame; false (recording the exception's text)
    // when the write throws, false without entry for a null connection.
    virtual bool OnSendRequest(RpcLocalConnection* connection, const Json::Value& body);
    // Reads one frame into `responses`; false with an entry when none came.
    virtual bool OnReceiveResponse(RpcLocalConnection* connection,
                                   std::vector<JsonResponse>& responses);
    // Called for each failed response; false stops the examination.
    virtual bool OnProcessResponseError(const JsonResponse& response);

    // The typed call every typed client builds on: calls `method` with the
    // arguments as positional params (each through JsonSerialzer) and
    // converts the result with JsonDeserialzer<R>. A failed Request gives a
    // default R (the cause is already in the error list). A
    // std::runtime_error while building or converting is recorded as
    // (FailureCode::CantMarshalData, its text) and gives a default R; other
    // exceptions (JsonCpp's type errors among them) reach the caller.
    template <typename R, typename... Args>
    R TypedCall(const std::string& method, const Args&... args) {
        try {
            JsonResponse response;
            JsonRequest request(method, false);
            request.SetRequestParamsList(args...);
            if (Request(request, response) < 0) {
                return R();
            }
            return JsonDeserialzer<R>()(response.TakeResult());
        } catch (const std::runtime_error& e) {
            PushError(FailureCode::CantMarshalData, e.what());
            return R();
        }
    }

    RpcLocalSrvConfig* GetServer() const { return server_; }

private:
    // One exchange; `resent` is set when it sends the request a second time.
    long Exchange(JsonRequest& request, JsonResponse& response, bool& resent);

    ErrorList errors_;
    unsigned long requestTimeout_ = 10000;
    RpcLocalSrvConfig* server_ = nullptr;
    unsigned long responseTimeout_ = 0;
    // Keeps a registry's record alive while this client is bound to it.
    std::shared_ptr<RpcLocalSrvConfig> keepAlive_;
};

}  // namespace RpcClient
