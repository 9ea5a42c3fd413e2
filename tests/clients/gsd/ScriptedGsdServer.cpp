// SPDX-License-Identifier: Apache-2.0
// Stand-in catalogue server: gsd_scripted_server <script> <log>. Answers each
// request from the script, {"<method>" or "*": {"result": ...} or {"error":
// ...} or {}}, else with a null result, and logs each request received.

#include <JsonRpcClient/rpc/Framing.h>

#include <json/json.h>

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    std::ios::sync_with_stdio(false);
    Json::StreamWriterBuilder compact;
    compact["indentation"] = "";
    for (;;) {
        std::string error;
        const Json::Value request = RpcClient::ReadFrame(std::cin, error);
        if (!error.empty()) {
            return 0;
        }
        std::ofstream(argv[2], std::ios::binary | std::ios::app)
            << Json::writeString(compact, request) << '\n';
        if (!request.isMember("id")) {
            continue;
        }
        std::ifstream in(argv[1], std::ios::binary);
        Json::Value script;
        if (!Json::parseFromStream(Json::CharReaderBuilder(), in, &script, &error)) {
            script = Json::Value(Json::objectValue);
        }
        const std::string method = request["method"].asString();
        Json::Value response = script.get(method, script.get("*", Json::Value()));
        if (!response.isObject()) {
            response["result"] = Json::Value();
        }
        response["jsonrpc"] = "2.0";
        response["id"] = request["id"];
        RpcClient::WriteFrame(std::cout, response);
    }
}
