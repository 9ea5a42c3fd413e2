// SPDX-License-Identifier: Apache-2.0
// The call cycle's judgement of an answer: an arbitrary list of response
// documents, handed to Request by a client whose transport hooks are
// replaced, is judged against a separate reading of the rules (which
// responses count as failed, which entries are recorded in which order,
// which code is returned, when the caller's response is filled).
//
// Input: one byte of policy (bit i: what OnProcessResponseError answers for
// the i-th failed response), then JSON text. An array is the response list,
// any other document a list of one. A member "id": "$id" is replaced by the
// request's id so that successful exchanges are reached too.

#include "FuzzSupport.h"

#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/JsonRequest.h>
#include <JsonRpcClient/rpc/JsonResponse.h>
#include <JsonRpcClient/rpc/JsonRpcClient.h>

#include <json/reader.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using fuzzsupport::Fail;
using RpcClient::JsonResponse;
using ErrorList = RpcClient::JsonRpcClient::ErrorList;
namespace Code = RpcClient::FailureCode;

namespace {

// The hooks never touch the connection; any non-null pointer will do.
RpcClient::RpcLocalConnection* FakeConnection() {
    static char placeholder;
    return reinterpret_cast<RpcClient::RpcLocalConnection*>(&placeholder);
}

class ScriptedClient : public RpcClient::JsonRpcClient {
public:
    ScriptedClient(std::vector<Json::Value> documents, unsigned policy)
        : JsonRpcClient(nullptr), documents_(std::move(documents)), policy_(policy) {}

    int Releases() const { return releases_; }

protected:
    RpcClient::RpcLocalConnection* CurConnection() override { return FakeConnection(); }
    void ReleaseConnection(RpcClient::RpcLocalConnection* connection) override {
        if (connection != FakeConnection()) {
            Fail("a different connection was handed back");
        }
        ++releases_;
    }
    bool OnSendRequest(RpcClient::RpcLocalConnection*, const Json::Value& body) override {
        id_ = body["id"];
        return true;
    }
    bool OnReceiveResponse(RpcClient::RpcLocalConnection*,
                           std::vector<JsonResponse>& responses) override {
        for (Json::Value& document : documents_) {
            if (document.isObject() && document["id"] == "$id") {
                document["id"] = id_;
            }
            responses.emplace_back(document);
        }
        return true;
    }
    bool OnProcessResponseError(const JsonResponse&) override {
        return ((policy_ >> (failedSeen_++ % 8)) & 1u) == 0;
    }

private:
    std::vector<Json::Value> documents_;
    unsigned policy_;
    unsigned failedSeen_ = 0;
    Json::Value id_;
    int releases_ = 0;
};

// Written out again on purpose, not shared with the library: a reference that
// used the library's own map would agree with any wrong entry in it.
long MapErrorCode(int code) {
    if (code >= -32099 && code <= -32000) {
        return code;
    }
    switch (code) {
        case -32700:
        case -32600:
            return Code::InvalidData;
        case -32601:
            return Code::InvalidMethod;
        case -32602:
            return Code::InvalidParameter;
        case -32603:
            return Code::Unexpected;
        default:
            return Code::ServerFault;
    }
}

struct Verdict {
    long result = Code::Unexpected;
    // Recording order (oldest first). An entry with an empty message and
    // code Unexpected stands for "the exception's text", compared by code.
    std::vector<std::pair<long, std::string>> entries;
    bool threw = false;
    bool filled = false;  // the caller's response holds the single response
};

Verdict Judge(const std::vector<Json::Value>& documents, unsigned policy, int requestId) {
    Verdict verdict;
    bool failed = false;
    unsigned failedSeen = 0;
    for (const Json::Value& document : documents) {
        if (!document.isNull() && !document.isObject()) {
            // Member tests on anything else throw; the call ends there.
            verdict.threw = true;
            verdict.entries.emplace_back(Code::Unexpected, "");
            return verdict;
        }
        const JsonResponse response(document);
        bool thisFailed = false;
        if (!response.IsValid()) {
            verdict.entries.emplace_back(Code::VersionMismatch, "Invalid response format");
            thisFailed = true;
        } else if (response.HasError()) {
            const RpcClient::ResponseError error = response.GetError();
            verdict.entries.emplace_back(MapErrorCode(error.GetCode()), error.GetErrorMessage());
            thisFailed = true;
        }
        if (!thisFailed) {
            continue;
        }
        const bool carryOn = ((policy >> (failedSeen++ % 8)) & 1u) == 0;
        if (!carryOn) {
            break;
        }
        failed = true;
    }
    if (documents.size() != 1) {
        verdict.entries.emplace_back(Code::CallRejected, "Invalid response");
        return verdict;
    }
    verdict.filled = true;
    if (failed) {
        const auto& last = verdict.entries.back();
        verdict.result =
            last.first != 0 ? last.first : (last.second.empty() ? 0 : Code::Unexpected);
        return verdict;
    }
    const JsonResponse single(documents.front());
    verdict.result =
        single.HasRequestId() && single.GetRequestId() == requestId ? Code::Ok : Code::NoSync;
    return verdict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned policy = data[0];
    const char* text = reinterpret_cast<const char*>(data) + 1;
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text, text + size - 1, &root, &errors)) {
        return 0;
    }
    std::vector<Json::Value> documents;
    if (root.isArray()) {
        documents.assign(root.begin(), root.end());
    } else {
        documents.push_back(root);
    }

    ScriptedClient client(documents, policy);
    RpcClient::JsonRequest request("Fuzz");
    const Json::Value marker("untouched");
    JsonResponse response(marker);
    const long result = client.Request(request, response);

    // The reference sees the documents as the client handed them out.
    for (Json::Value& document : documents) {
        if (document.isObject() && document["id"] == "$id") {
            document["id"] = request.GetRequestId();
        }
    }
    const Verdict expected = Judge(documents, policy, request.GetRequestId());

    if (client.Releases() != 1) {
        Fail("the connection was not handed back exactly once");
    }
    if (result != expected.result) {
        Fail("wrong result code");
    }
    const ErrorList& list = client.GetErrList();
    if (list.size() != expected.entries.size()) {
        Fail("wrong number of error entries");
    }
    auto recorded = list.rbegin();  // the list is newest first
    for (const auto& entry : expected.entries) {
        if (recorded->first != entry.first) {
            Fail("wrong code in an error entry");
        }
        const bool exceptionText = expected.threw && &entry == &expected.entries.back();
        if (!exceptionText && recorded->second != entry.second) {
            Fail("wrong message in an error entry");
        }
        ++recorded;
    }
    const Json::Value& held = response.GetResponse();
    if (expected.filled ? !(held == documents.front()) : !(held == marker)) {
        Fail("the caller's response was filled when it should not be, or wrongly");
    }
    return 0;
}
