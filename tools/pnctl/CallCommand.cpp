// SPDX-License-Identifier: Apache-2.0
// pnctl call: one request to any server that frames JSON-RPC with
// Content-Length on its standard input and output.

#include "Commands.h"

#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/JsonRequest.h>
#include <JsonRpcClient/rpc/JsonResponse.h>
#include <JsonRpcClient/rpc/JsonRpcClient.h>

#include <iostream>
#include <vector>

namespace Pnctl {

namespace {

// Files the server in the process-wide registry, so it runs inside the
// library's job and cannot outlive pnctl, and closes it on every way out.
class StartedServer {
public:
    StartedServer(const std::string& path, const std::string& args) {
        std::vector<wchar_t> url(32768 + 2 * (path.size() + args.size()), L'\0');
        if (RpcClient::JobInstanceMgr::Startup(ToWide(path), ToWide(args), url.data(), nullptr) ==
            0) {
            throw CommandFailure(kExitServerStart,
                                 "cannot start the server " + path + ": " + LastSystemError());
        }
        url_ = url.data();
    }
    StartedServer(const StartedServer&) = delete;
    StartedServer& operator=(const StartedServer&) = delete;
    ~StartedServer() { RpcClient::JobInstanceMgr::ShutdownRpcInst(url_, nullptr); }

    RpcClient::RpcLocalSrvConfig* Record() const {
        return RpcClient::JobInstanceMgr::Instance()->GetAt(url_);
    }

private:
    std::wstring url_;
};

}  // namespace

int RunCall(const CallOptions& call, const GlobalOptions& global) {
    const Json::Value params =
        call.params.empty() ? Json::Value(Json::arrayValue) : ParseJsonText(call.params, "PARAMS");

    StartedServer server(call.server, call.args);
    RpcClient::JsonRpcClient client(server.Record());
    client.SetRequestTimeout(global.timeoutMs);

    RpcClient::JsonRequest request(call.method, call.notify);
    request.SetParams(params);
    RpcClient::JsonResponse response;
    const long code = client.Request(request, response);

    if (global.json) {
        Json::Value document(Json::objectValue);
        document["code"] = static_cast<Json::Int64>(code);
        document["hex"] = HexCode(code);
        document["response"] = response.GetResponse();
        document["errors"] = ErrorListToJson(client.GetErrList());
        PrintJson(std::cout, document);
    } else if (code >= 0) {
        if (!call.notify) {
            PrintJson(std::cout, response.GetResult());
        }
    } else {
        std::cout << "call failed with " << FormatCode(code) << '\n';
        if (client.HasError()) {
            std::cout << "error list (newest first):\n";
            PrintErrorList(std::cout, client.GetErrList());
        }
        if (!response.GetResponse().isNull()) {
            std::cout << "response:\n";
            PrintJson(std::cout, response.GetResponse());
        }
    }
    if (code < 0) {
        throw CommandFailure(kExitFailed,
                             call.method + ": " + DescribeFailure(code, client.GetErrList()));
    }
    return kExitOk;
}

}  // namespace Pnctl
