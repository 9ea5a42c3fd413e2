// SPDX-License-Identifier: Apache-2.0
// A host for the tests that need a process of their own.
//   jrc_test_host <server> <pidfile> [thread]
//     starts the scripted server through the library (from a short-lived
//     thread when asked), has it start a grandchild, prints the grandchild's
//     process id, then waits to be killed;
//   jrc_test_host --pnconfig
//     starts the configuration server from beside the library it loaded and
//     prints the server URL (or "failed").

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--pnconfig") {
        std::vector<wchar_t> url(8192, L'\0');
        if (RpcClient::JobInstanceMgr::StartupPNConfig(L"", url.data(), nullptr) != 1) {
            std::printf("failed\n");
            return 1;
        }
        const std::wstring text(url.data());
        std::printf("%s\n", std::string(text.begin(), text.end()).c_str());
        return 0;
    }
    if (argc < 3) {
        return 2;
    }
    const std::string server = argv[1];
    const std::string pidfile = argv[2];
    const bool fromThread = argc > 3 && std::string(argv[3]) == "thread";
    const std::wstring uri(server.begin(), server.end());
    const std::wstring args = L"--pidfile " + std::wstring(pidfile.begin(), pidfile.end());

    int started = 0;
    auto start = [&] { started = RpcClient::JobInstanceMgr::Startup(uri, args, nullptr, nullptr); };
    if (fromThread) {
        std::thread(start).join();
    } else {
        start();
    }
    if (started != 1) {
        return 3;
    }
    RpcClient::JsonRpcClient client;
    RpcClient::JsonRequest request("spawnChild");
    RpcClient::JsonResponse response;
    if (client.Request(request, response) != 0) {
        return 4;
    }
    std::printf("%d\n", response.GetResult().asInt());
    std::fflush(stdout);
    while (true) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
}
