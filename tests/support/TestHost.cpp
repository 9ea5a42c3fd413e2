// SPDX-License-Identifier: Apache-2.0
// jrc_test_host <server> <arguments> main|thread|busy: starts the server (from
// a short-lived thread when asked), has it start a grandchild, prints that
// one's id and waits to be killed; "busy" keeps four threads calling "echo".

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

int Call(const char* method) {
    RpcClient::JsonRpcClient client;
    client.SetRequestTimeout(100000);
    RpcClient::JsonRequest request(method);
    RpcClient::JsonResponse response;
    return client.Request(request, response) != 0 ? -1 : response.GetResult().asInt();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    const std::string mode = argv[3];
    int started = 0;
    auto start = [&] {
        started =
            RpcClient::JobInstanceMgr::Startup(Widen(argv[1]), Widen(argv[2]), nullptr, nullptr);
    };
    mode == "thread" ? std::thread(start).join() : start();
    const int child = started == 1 ? Call("spawnChild") : -1;
    std::printf("%d\n", child);
    std::fflush(stdout);
    for (int t = 0; mode == "busy" && t < 4; ++t) {
        std::thread([] {
            for (;;) {
                Call("echo");
            }
        }).detach();
    }
    while (true) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
}
