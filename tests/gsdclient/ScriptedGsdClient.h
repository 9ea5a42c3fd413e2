// SPDX-License-Identifier: Apache-2.0
#pragma once

// A PnGsdClient whose server is a script: the request goes nowhere but into
// a record the test inspects, and the answer is whatever the test queued.
// The call cycle itself (id check, error mapping, error list) is the real one.

#include <JsonRpcClient/clients/PnGsdClient.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <json/value.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace gsdtest {

class ScriptedGsdClient : public RpcClient::Tavrel::PnGsdClient {
public:
    // Builds the response document from the request body just sent.
    using Answer = std::function<Json::Value(const Json::Value& request)>;

    ScriptedGsdClient() : PnGsdClient(nullptr) { AnswerResult(Json::Value()); }

    // {"jsonrpc": "2.0", "id": <request id>, "result": result}
    void AnswerResult(Json::Value result) {
        answer_ = [result = std::move(result)](const Json::Value& request) {
            Json::Value response = Envelope(request);
            response["result"] = result;
            return response;
        };
    }

    // The right id, but neither "result" nor "error".
    void AnswerNothing() {
        answer_ = [](const Json::Value& request) { return Envelope(request); };
    }

    void AnswerError(int code, const std::string& message) {
        answer_ = [code, message](const Json::Value& request) {
            Json::Value response = Envelope(request);
            response["error"]["code"] = code;
            response["error"]["message"] = message;
            return response;
        };
    }

    const Json::Value& LastRequest() const { return lastRequest_; }
    int Exchanges() const { return exchanges_; }

    using PnGsdClient::GetErrList;

protected:
    RpcClient::RpcLocalConnection* CurConnection() override {
        // Never dereferenced: every hook that would use it is replaced here.
        return reinterpret_cast<RpcClient::RpcLocalConnection*>(&connectionToken_);
    }
    void ReleaseConnection(RpcClient::RpcLocalConnection*) override {}
    bool OnSendRequest(RpcClient::RpcLocalConnection*, const Json::Value& body) override {
        lastRequest_ = body;
        ++exchanges_;
        return true;
    }
    bool OnReceiveResponse(RpcClient::RpcLocalConnection*,
                           std::vector<RpcClient::JsonResponse>& out) override {
        out.emplace_back(answer_(lastRequest_));
        return true;
    }

private:
    static Json::Value Envelope(const Json::Value& request) {
        Json::Value response(Json::objectValue);
        response["jsonrpc"] = "2.0";
        response["id"] = request["id"];
        return response;
    }

    Answer answer_;
    Json::Value lastRequest_;
    int exchanges_ = 0;
    char connectionToken_ = 0;
};

}  // namespace gsdtest
