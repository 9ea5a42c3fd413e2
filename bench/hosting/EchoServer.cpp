// SPDX-License-Identifier: Apache-2.0
// Answers every request with its own params as the result, reading and
// writing frames with the library's framing, and reading its input the way
// the bundled servers do.

#include <FrameLoop.h>
#include <JsonRpcClient/rpc/Framing.h>

#include <iostream>
#include <string>
#include <utility>

int main() {
    ServerKit::UseBinaryStdio();
    std::ios::sync_with_stdio(false);
    std::istream& input = ServerKit::RequestInput();
    while (true) {
        std::string error;
        Json::Value request = RpcClient::ReadFrame(input, error);
        if (!error.empty() || request.isNull()) {
            return 0;
        }
        Json::Value response;
        response["jsonrpc"] = "2.0";
        response["id"] = request["id"];
        // Moved: the params are not needed again, and a copy of a large
        // string is not part of what a client and server must do.
        response["result"] = std::move(request["params"]);
        RpcClient::WriteFrame(std::cout, response);
    }
}
