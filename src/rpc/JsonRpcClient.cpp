// SPDX-License-Identifier: Apache-2.0
// One exchange with a local server, and the judging of its answer.

#include <JsonRpcClient/hosting/JobInstance.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonRpcClient.h>

#include <exception>
#include <string>
#include <typeinfo>
#include <utility>

namespace RpcClient {

namespace {

constexpr unsigned long kMinTimeout = 10;
constexpr unsigned long kMaxTimeout = 100000;

// JSON-RPC error code -> failure code. The implementation-defined server
// range passes through as the negative number itself.
long MapErrorCode(int code) {
    if (code >= -32099 && code <= -32000) {
        return code;
    }
    switch (code) {
        case -32700:
        case -32600:
            return FailureCode::InvalidData;
        case -32601:
            return FailureCode::InvalidMethod;
        case -32602:
            return FailureCode::InvalidParameter;
        case -32603:
            return FailureCode::Unexpected;
        default:
            return FailureCode::ServerFault;
    }
}

// Records an entry where memory allows; a failure to record must not turn
// into an exception leaving the call.
void Record(JsonRpcClient::ErrorList& errors, long code, const char* text) noexcept {
    try {
        errors.emplace_front(code, text);
    } catch (...) {
    }
}

// Holds a request's params while its body is written, and gives them back.
class ParamsLoan {
public:
    ParamsLoan(Json::Value& params, bool lend) : home_(params), holder_(&home_) {
        if (lend) {
            held_.swap(home_);
            holder_ = &held_;
        }
    }
    ~ParamsLoan() {
        if (holder_ != &home_) {
            home_.swap(*holder_);
        }
    }
    ParamsLoan(const ParamsLoan&) = delete;
    ParamsLoan& operator=(const ParamsLoan&) = delete;

    // Puts lent params into the body's "params" member, which the body
    // built from the emptied request holds as null.
    void Into(Json::Value& body) {
        if (holder_ == &held_) {
            static const Json::StaticString kParams("params");
            Json::Value& slot = body[kParams];
            slot.swap(held_);
            holder_ = &slot;
        }
    }

private:
    Json::Value& home_;
    Json::Value held_;
    Json::Value* holder_;
};

}  // namespace

JsonRpcClient::JsonRpcClient() {
    keepAlive_ = JobInstanceMgr::Instance()->SharedDefault();
    server_ = keepAlive_.get();
}

JsonRpcClient::JsonRpcClient(RpcLocalSrvConfig* server)
    : server_(server), keepAlive_(server != nullptr ? server->owner_.lock() : nullptr) {}

JsonRpcClient::~JsonRpcClient() = default;

long JsonRpcClient::Request(JsonRequest& request, JsonResponse& response) {
    bool resent = false;
    return Exchange(request, response, resent);
}

long JsonRpcClient::Exchange(JsonRequest& request, JsonResponse& response, bool& resent) {
    errors_.clear();
    RpcLocalConnection* connection = nullptr;
    try {
        if (request.IsNotify() && server_ != nullptr) {
            // Nothing answers a notification, so nothing would show that it
            // went to a server that has ended: look before sending it.
            server_->StartupRpcServer();
        }
        // A start happens in here when none is published, observer calls
        // included.
        connection = CurConnection();
    } catch (const std::exception& e) {
        Record(errors_, FailureCode::Unexpected, e.what());
        return FailureCode::Unexpected;
    }
    if (connection == nullptr) {
        const long code = GetLastErrCode();
        return code != 0 ? code : FailureCode::Unexpected;
    }

    long result = FailureCode::Unexpected;
    // Set once the server has been sent the whole request.
    bool delivered = false;
    // The server ended before it took the whole request: it never saw it,
    // so the request goes once more, to a new start.
    bool sendAgain = false;
    const auto exchange = [&] {
        if (!request.IsNotify() && !resent) {
            request.requestId_ = request.OnFixRequestId();
        }
        // A request of the library's own type lends its params to the body
        // instead of having them copied; they go back when the exchange
        // ends, however it ends. A subclass may build its body another way.
        Json::Value body;
        ParamsLoan loan(request.GetParams(), typeid(request) == typeid(JsonRequest));
        body = request.BuildBody();
        loan.Into(body);
        if (!OnSendRequest(connection, body)) {
            const long code = GetLastErrCode();
            result = code != 0 ? code : FailureCode::Unexpected;
            sendAgain = result == FailureCode::ServerFault && !resent &&
                        connection->ServerEndedBeforeRequest(false);
            return;
        }
        delivered = true;
        if (request.IsNotify()) {
            result = FailureCode::Ok;
            return;
        }
        std::vector<JsonResponse> responses;
        bool received = false;
        if (responseTimeout_ == 0) {
            received = OnReceiveResponse(connection, responses);
        } else {
            // The bound belongs to this call only: other clients share the
            // connection.
            struct Bound {
                RpcLocalConnection* connection;
                ~Bound() { connection->SetReadTimeout(0); }
            } bound{connection};
            connection->SetReadTimeout(responseTimeout_);
            received = OnReceiveResponse(connection, responses);
            if (!received && connection->ReadTimedOut()) {
                result = FailureCode::Timeout;
                PushError(FailureCode::Timeout, "Response timeout: no answer to \"" +
                                                    request.GetMethod() + "\" within " +
                                                    std::to_string(responseTimeout_) + " ms");
                // A late answer would be taken for the next call's: stop the
                // server, so the next call starts it afresh.
                if (server_ != nullptr) {
                    server_->ShutdownRpcServer();
                }
                return;
            }
        }
        if (!received) {
            result = FailureCode::ServerFault;
            PushError(FailureCode::ServerFault, "Call response invalid");
            sendAgain = !resent && connection->ServerEndedBeforeRequest(delivered);
            return;
        }
        const bool failed = HandleResponseError(responses);
        if (responses.size() != 1) {
            PushError(FailureCode::CallRejected, "Invalid response");
            return;
        }
        const JsonResponse& single = responses.front();
        const bool inSync =
            single.HasRequestId() && single.GetRequestId() == request.GetRequestId();
        // Moved, not copied: a copy of the answer's tree was a third of the
        // allocations of a small call.
        response = std::move(responses.front());
        if (failed) {
            result = GetLastErrCode();
            return;
        }
        result = inSync ? FailureCode::Ok : FailureCode::NoSync;
    };

    std::exception_ptr failures[2];
    try {
        exchange();
    } catch (...) {
        failures[0] = std::current_exception();
    }
    // The connection goes back on every way out, before anything is
    // recorded about how the call went.
    try {
        ReleaseConnection(connection);
    } catch (...) {
        failures[1] = std::current_exception();
    }
    std::exception_ptr passOn;
    for (const std::exception_ptr& failure : failures) {
        if (!failure) {
            continue;
        }
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            Record(errors_, FailureCode::Unexpected, e.what());
        } catch (...) {
            if (!passOn) {
                passOn = failure;
            }
        }
    }
    if (passOn) {
        std::rethrow_exception(passOn);
    }
    // A server the host stopped during the call stays stopped: only one
    // that ended on its own is started again for the request.
    if (sendAgain && !failures[0] && !failures[1] && server_ != nullptr && server_->Current()) {
        resent = true;
        try {
            // Finds the server ended, tells the observer and starts it anew.
            server_->StartupRpcServer();
        } catch (const std::exception& e) {
            Record(errors_, FailureCode::Unexpected, e.what());
            return FailureCode::Unexpected;
        }
        return Exchange(request, response, resent);
    }
    return result;
}

long JsonRpcClient::Notify(const char* method) {
    JsonRequest request(method != nullptr ? method : "", true);
    JsonResponse response;
    return Request(request, response);
}

JsonRpcClient& JsonRpcClient::SetResponseTimeout(unsigned long milliseconds) {
    responseTimeout_ = milliseconds;
    return *this;
}

JsonRpcClient& JsonRpcClient::SetRequestTimeout(unsigned long milliseconds) {
    requestTimeout_ = milliseconds > kMaxTimeout   ? kMaxTimeout
                      : milliseconds < kMinTimeout ? kMinTimeout
                                                   : milliseconds;
    return *this;
}

int JsonRpcClient::IsRpcServerRunning() {
    return server_ != nullptr ? server_->IsRpcServerRunning() : 0;
}

long JsonRpcClient::GetLastErrCode() const {
    if (errors_.empty()) {
        return 0;
    }
    const auto& last = errors_.front();
    if (last.first == 0) {
        return last.second.empty() ? 0 : FailureCode::Unexpected;
    }
    return last.first;
}

std::string JsonRpcClient::GetLastErrMsg() const {
    return errors_.empty() ? std::string() : errors_.front().second;
}

void JsonRpcClient::PushError(long code, const std::string& message) {
    errors_.emplace_front(code, message);
}

void JsonRpcClient::PushError(std::pair<long, std::string>&& entry) {
    errors_.push_front(std::move(entry));
}

bool JsonRpcClient::HandleResponseError(const std::vector<JsonResponse>& responses) {
    bool failed = false;
    for (const JsonResponse& response : responses) {
        bool thisFailed = false;
        if (!response.IsValid()) {
            PushError(FailureCode::VersionMismatch, "Invalid response format");
            thisFailed = true;
        } else if (response.HasError()) {
            const ResponseError error = response.GetError();
            PushError(MapErrorCode(error.GetCode()), error.GetErrorMessage());
            thisFailed = true;
        }
        if (!thisFailed) {
            continue;
        }
        if (!OnProcessResponseError(response)) {
            break;
        }
        failed = true;
    }
    return failed;
}

RpcLocalConnection* JsonRpcClient::CurConnection() {
    if (server_ == nullptr) {
        return nullptr;
    }
    // The server is taken as running: asking before every call cost a system
    // call each time. One that has ended shows when the exchange fails, and
    // Request starts it again then.
    RpcLocalConnection* connection = server_->HoldConnection(requestTimeout_, false);
    if (connection == nullptr) {
        PushError(FailureCode::Timeout, "Query connection timeout");
    }
    return connection;
}

void JsonRpcClient::ReleaseConnection(RpcLocalConnection* connection) {
    if (server_ != nullptr) {
        server_->ReleaseConnection(connection);
    }
}

bool JsonRpcClient::OnSendRequest(RpcLocalConnection* connection, const Json::Value& body) {
    if (connection == nullptr) {
        return false;
    }
    try {
        WriteFrame(connection->OStream(), body);
        return true;
    } catch (const std::exception& e) {
        PushError(FailureCode::ServerFault, e.what());
        return false;
    }
}

bool JsonRpcClient::OnReceiveResponse(RpcLocalConnection* connection,
                                      std::vector<JsonResponse>& responses) {
    std::string error;
    std::vector<JsonResponse> received = ReadResponses(connection->IStream(), error);
    if (!error.empty()) {
        // A read cut short by the response timeout is reported by Request
        // as a timeout, not as whatever the cut left the reader to say.
        if (!connection->ReadTimedOut()) {
            PushError(FailureCode::ServerFault, error);
        }
        return false;
    }
    if (received.empty()) {
        PushError(FailureCode::CallRejected, "No response");
        return false;
    }
    responses = std::move(received);
    return true;
}

bool JsonRpcClient::OnProcessResponseError(const JsonResponse& /*response*/) {
    return true;
}

}  // namespace RpcClient
