// SPDX-License-Identifier: Apache-2.0
#pragma once

// Lets a typed client run its real call cycle without a server process: the
// test supplies what the server would have answered and sees what was sent.

#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <json/value.h>

#include <deque>
#include <vector>

// Mixes the scripted hooks into a client type.
template <class Client>
class Scripted : public Client {
public:
    Scripted() : Client(nullptr) {}

    std::vector<Json::Value> sent;
    // Handed out by the next receives; one without "id" gets the last request's.
    std::deque<Json::Value> replies;
    int receives = 0;
    int releases = 0;

    void ReplyResult(const Json::Value& result) {
        Json::Value reply(Json::objectValue);
        reply["jsonrpc"] = "2.0";
        reply["result"] = result;
        replies.push_back(reply);
    }
    void ReplyNothing() {
        ReplyResult(Json::Value());
        replies.back().removeMember("result");
    }
    void Reply(const Json::Value& message) { replies.push_back(message); }

protected:
    RpcClient::RpcLocalConnection* CurConnection() override { return &connection_; }
    void ReleaseConnection(RpcClient::RpcLocalConnection*) override { ++releases; }
    bool OnSendRequest(RpcClient::RpcLocalConnection*, const Json::Value& body) override {
        sent.push_back(body);
        return true;
    }
    bool OnReceiveResponse(RpcClient::RpcLocalConnection*,
                           std::vector<RpcClient::JsonResponse>& out) override {
        ++receives;
        if (replies.empty()) {
            return false;
        }
        Json::Value reply = replies.front();
        replies.pop_front();
        if (reply.isObject() && !reply.isMember("id") && !sent.empty() &&
            sent.back().isMember("id")) {
            reply["id"] = sent.back()["id"];
        }
        if (reply.isArray()) {
            for (const Json::Value& element : reply) {
                out.emplace_back(element);
            }
        } else {
            out.emplace_back(reply);
        }
        return true;
    }

private:
    // Never used for I/O: the hooks replace every read and write.
    struct Detached : RpcClient::RpcLocalConnection {
    } connection_;
};
