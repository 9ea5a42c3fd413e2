// SPDX-License-Identifier: Apache-2.0
// A host program in miniature: uses only the installed headers and library.
#include <JsonRpcClient/JsonRpcClient.h>

#include <iostream>
#include <sstream>

int main() {
    RpcClient::JsonRequest request("GetVersion");
    request.SetRequestParamsList(1, std::string("two"));
    request.FixRequestId();
    std::stringstream pipe;
    RpcClient::WriteFrame(pipe, request.BuildBody());
    std::string error;
    const std::vector<RpcClient::JsonResponse> echoed = RpcClient::ReadResponses(pipe, error);
    if (!error.empty() || echoed.size() != 1 || echoed[0].GetRequestId() != 3 ||
        RpcClient::AnsiToUtf8("abc") != "abc") {
        std::cerr << "round trip failed: " << error << "\n";
        return 1;
    }
    std::cout << "JsonRpcClient " << JSONRPCCLIENT_VERSION << " ok\n";
    return 0;
}
