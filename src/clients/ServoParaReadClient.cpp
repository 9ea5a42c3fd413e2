// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/clients/ServoParaReadClient.h>

#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/CodePageText.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <exception>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace RpcClient {
namespace Tavrel {

namespace {

// Gives the connection back on every way out, exceptions included. The
// call-cycle hooks are protected, so the client passes its own release step.
template <class Release>
class ConnectionReturn {
public:
    explicit ConnectionReturn(Release release) : release_(release) {}
    ~ConnectionReturn() { release_(); }
    ConnectionReturn(const ConnectionReturn&) = delete;
    ConnectionReturn& operator=(const ConnectionReturn&) = delete;

private:
    Release release_;
};

// Decodes a pushed result. False when a member cannot be converted; a null or
// non-object result is a valid (empty) answer for which `invalidData` is set.
bool DecodeServoResult(const Json::Value& result, ServoParaReadClient::ServoPara& para,
                       bool& invalidData) {
    para = ServoParaReadClient::ServoPara{};
    invalidData = false;
    if (result.isNull() || !result.isObject()) {
        invalidData = true;
        return true;
    }
    try {
        para.ip = Utf8ToAnsi(result["ip"].asString());
        para.r5276 = result["r5276"].asDouble();
        para.r5277 = result["r5277"].asDouble();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

ServoParaReadClient::ServoParaReadClient(RpcLocalSrvConfig* server) : JsonRpcClient(server) {}

bool ServoParaReadClient::GetServoPara(ServoPara& para) {
    // Only a running server pushes a message, and a read has no request to
    // send again: an ended server is started anew before the wait, not
    // found out by it.
    if (RpcLocalSrvConfig* server = GetServer()) {
        server->StartupRpcServer();
    }
    RpcLocalConnection* connection = CurConnection();
    if (connection == nullptr) {
        return false;
    }
    ConnectionReturn giveBack([this, connection] { ReleaseConnection(connection); });

    std::vector<JsonResponse> responses;
    if (!OnReceiveResponse(connection, responses)) {
        return false;
    }
    const Json::Value& message = responses.front().GetResponse();
    // A pushed message that is not an object cannot carry the envelope; it is
    // judged like a wrong envelope rather than left to throw.
    if (!message.isObject() || !JsonResponse(message).IsValid()) {
        PushError(FailureCode::VersionMismatch, "Invalid response format");
        return false;
    }
    if (message.isMember("error")) {
        PushError(JsonResponse(message).GetError().GetCode(), std::string());
        return false;
    }
    ServoPara decoded;
    bool invalidData = false;
    if (!message.isMember("result") ||
        !DecodeServoResult(message["result"], decoded, invalidData)) {
        throw std::runtime_error("GetRespResultValue: invalid result");
    }
    if (invalidData) {
        PushError(FailureCode::InvalidData, "Invalid data: RPC return null or invalid data.");
    }
    decoded.spare = 0;
    para = decoded;
    return true;
}

bool ServoParaReadClient::SetOmbrelInfo(const std::string& user, const std::string& password) {
    if (!IsRpcServerRunning()) {
        PushError(FailureCode::Unexpected, "process already quit");
        return false;
    }
    RpcLocalConnection* connection = CurConnection();
    if (connection == nullptr) {
        return false;
    }
    ConnectionReturn giveBack([this, connection] { ReleaseConnection(connection); });
    try {
        std::ostream& out = connection->OStream();
        out << "username:" << user << '\n' << "password:" << password << '\n';
        out.flush();
    } catch (const std::exception& e) {
        PushError(FailureCode::Unexpected, e.what());
        return false;
    }
    return true;
}

}  // namespace Tavrel
}  // namespace RpcClient
