// SPDX-License-Identifier: Apache-2.0
// A host that starts the chaos server through the process-wide registry and
// keeps four threads calling it, for the test that kills a host in the
// middle of its calls. Prints "calling" once the first call has succeeded.
//   jrc_busy_host <server> <server arguments>

#include <JsonRpcClient/JsonRpcClient.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const std::string server = argv[1];
    const std::string args = argv[2];
    if (RpcClient::JobInstanceMgr::Startup(std::wstring(server.begin(), server.end()),
                                           std::wstring(args.begin(), args.end()), nullptr,
                                           nullptr) != 1) {
        return 3;
    }
    auto call = [] {
        RpcClient::JsonRpcClient client;
        client.SetRequestTimeout(100000);
        RpcClient::JsonRequest request("echo");
        RpcClient::JsonResponse response;
        return client.Request(request, response);
    };
    if (call() != 0) {
        return 4;
    }
    std::puts("calling");
    std::fflush(stdout);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&call] {
            for (;;) {
                call();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}
