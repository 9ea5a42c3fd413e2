// SPDX-License-Identifier: Apache-2.0
// A host program in miniature, built through the installed pkg-config module
// and as the host of a project that takes the library in as a subproject.
#include <JsonRpcClient/JsonRpcClient.h>

#include <iostream>
#include <sstream>

int main() {
    std::stringstream pipe;
    RpcClient::WriteFrame(pipe, RpcClient::JsonRequest("GetVersion").BuildBody());
    std::string error;
    if (RpcClient::ReadResponses(pipe, error).size() != 1 ||
        RpcClient::AnsiToUtf8("abc") != "abc") {
        std::cerr << "round trip failed: " << error << "\n";
        return 1;
    }
    std::cout << "JsonRpcClient " << JSONRPCCLIENT_VERSION << " ok\n";
    return 0;
}
