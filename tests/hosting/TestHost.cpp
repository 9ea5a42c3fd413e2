// A host for the job-lifetime tests: starts the scripted server through the
// library (from a short-lived thread when asked), has it start a grandchild,
// prints both process ids, then waits to be killed.
//   jrc_test_host <server> <pidfile> [thread]

#include <JsonRpcClient/JsonRpcClient.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char** argv) {
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
