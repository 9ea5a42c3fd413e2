// SPDX-License-Identifier: Apache-2.0
// A stand-in catalogue server for the facade tests. It answers each request
// from a script file that the test may rewrite between calls:
//   { "<method>": {"result": <value>} | {"error": {...}} | {} , ... }
// A method missing from the script is answered with a null result. Every
// request received is written to the log file, one compact JSON per line,
// so the test can see what the facade sent.
//
//   gsd_scripted_server <script.json> <requests.log>

#include <JsonRpcClient/rpc/Framing.h>

#include <json/reader.h>
#include <json/writer.h>

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: gsd_scripted_server <script.json> <requests.log>\n";
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
        if (!in || !Json::parseFromStream(Json::CharReaderBuilder(), in, &script, &error) ||
            !script.isObject()) {
            script = Json::Value(Json::objectValue);
        }
        const std::string method = request["method"].asString();
        Json::Value response(Json::objectValue);
        response["jsonrpc"] = "2.0";
        response["id"] = request["id"];
        if (!script.isMember(method)) {
            response["result"] = Json::Value();
        }
        for (const std::string& key : script.get(method, Json::objectValue).getMemberNames()) {
            response[key] = script[method][key];
        }
        RpcClient::WriteFrame(std::cout, response);
    }
}
