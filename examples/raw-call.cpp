// SPDX-License-Identifier: Apache-2.0
// Calls one method of any program that speaks JSON-RPC 2.0 in
// Content-Length frames on its standard input and output, and prints the
// result, or the error list when the call failed.
//
//   raw-call SERVER METHOD [JSON-PARAMS]
//
// e.g. raw-call lib/TavrelPNRunner/TavrelPNRunner RunTest '[7, "x", true, 1.5, 2.5]'

#include <JsonRpcClient/JsonRpcClient.h>

#include <json/json.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: raw-call SERVER METHOD [JSON-PARAMS]\n");
        return 2;
    }
    Json::Value params(Json::arrayValue);
    if (argc > 3) {
        std::istringstream text(argv[3]);
        std::string error;
        if (!Json::parseFromStream(Json::CharReaderBuilder(), text, &params, &error)) {
            std::fprintf(stderr, "params are not JSON: %s\n", error.c_str());
            return 2;
        }
    }

    // Any program can be started; it runs hidden and ends with this process.
    // (The widening below suits ASCII paths; a host converts its own way.)
    const std::string program = argv[1];
    std::vector<wchar_t> url(32768, L'\0');
    if (RpcClient::JobInstanceMgr::Startup(std::wstring(program.begin(), program.end()), L"",
                                           url.data(), nullptr) == 0) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        return 1;
    }

    int status = 0;
    {
        RpcClient::JsonRpcClient client(RpcClient::JobInstanceMgr::Instance()->GetAt(url.data()));
        RpcClient::JsonRequest request(argv[2]);
        request.SetParams(params);
        RpcClient::JsonResponse response;
        if (client.Request(request, response) == 0) {
            Json::StreamWriterBuilder writer;
            std::printf("%s\n", Json::writeString(writer, response.GetResult()).c_str());
        } else {
            // Newest first: the entry that decided the outcome comes first.
            for (const auto& entry : client.GetErrList()) {
                std::printf("0x%08lX %s\n", static_cast<unsigned long>(entry.first) & 0xFFFFFFFFUL,
                            entry.second.c_str());
            }
            status = 1;
        }
    }

    RpcClient::JobInstanceMgr::ShutdownRpcInst(url.data(), nullptr);
    return status;
}
