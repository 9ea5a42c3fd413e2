// SPDX-License-Identifier: Apache-2.0
// A host for the tests that need a process of their own.
//   jrc_test_host <server> <pidfile> [thread]
//     starts the scripted server through the library (from a short-lived
//     thread when asked), has it start a grandchild, prints the grandchild's
//     process id, then waits to be killed;
//   jrc_test_host --pnconfig
//     starts the configuration server from beside the library it loaded and
//     prints the server URL (or "failed");
//   jrc_test_host --busy <server> <server arguments>
//     starts that server, prints "calling" once a first "echo" call has
//     succeeded, and keeps four threads calling it until killed.

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
    const bool busy = std::string(argv[1]) == "--busy" && argc == 4;
    const std::string server = argv[busy ? 2 : 1];
    const std::string pidfile = argv[busy ? 3 : 2];
    const bool fromThread = argc > 3 && std::string(argv[3]) == "thread";
    const std::wstring uri(server.begin(), server.end());
    const std::wstring args =
        (busy ? L"" : L"--pidfile ") + std::wstring(pidfile.begin(), pidfile.end());

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
    auto call = [busy] {
        RpcClient::JsonRpcClient client;
        client.SetRequestTimeout(100000);
        RpcClient::JsonRequest request(busy ? "echo" : "spawnChild");
        RpcClient::JsonResponse response;
        return client.Request(request, response) != 0 ? -1
               : busy                                 ? 0
                                                      : response.GetResult().asInt();
    };
    const int child = call();
    if (child < 0) {
        return 4;
    }
    busy ? std::puts("calling") : std::printf("%d\n", child);
    std::fflush(stdout);
    for (int t = 0; busy && t < 4; ++t) {
        std::thread([&call] {
            for (;;) {
                call();
            }
        }).detach();
    }
    while (true) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
}
