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

namespace {

Json::Value LoadScript(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Json::CharReaderBuilder builder;
    Json::Value script;
    std::string errors;
    if (!in || !Json::parseFromStream(builder, in, &script, &errors) || !script.isObject()) {
        return Json::Value(Json::objectValue);
    }
    return script;
}

void LogRequest(const std::string& path, const Json::Value& request) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << Json::writeString(builder, request) << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: gsd_scripted_server <script.json> <requests.log>\n";
        return 2;
    }
    std::ios::sync_with_stdio(false);
    for (;;) {
        std::string error;
        const Json::Value request = RpcClient::ReadFrame(std::cin, error);
        if (!error.empty()) {
            return 0;
        }
        LogRequest(argv[2], request);
        if (!request.isMember("id")) {
            continue;
        }
        const Json::Value script = LoadScript(argv[1]);
        const std::string method = request["method"].asString();
        Json::Value response(Json::objectValue);
        response["jsonrpc"] = "2.0";
        response["id"] = request["id"];
        if (script.isMember(method)) {
            for (const std::string& key : script[method].getMemberNames()) {
                response[key] = script[method][key];
            }
        } else {
            response["result"] = Json::Value();
        }
        RpcClient::WriteFrame(std::cout, response);
    }
}
