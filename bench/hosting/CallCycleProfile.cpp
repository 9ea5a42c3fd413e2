// SPDX-License-Identifier: Apache-2.0
// One small call's whole cycle in one process, over memory instead of pipes:
// the host's JsonRpcClient::Request of "RunTest" and the configuration
// server's frame reading, dispatch and answer. With no second process,
// `valgrind --tool=callgrind` sees both ends; the host's part is the
// inclusive cost of JsonRpcClient::Request minus ServeOne, the server's is
// ServeOne. Prints the heap allocations per call of each side (stable
// figures, unlike wall time). With a size, the call is an "echo" of a
// string of that many bytes instead, as the large round-trip rows make it.
// With "catalog" or "submodule", it is the warm GSD query of that row, on a
// catalogue in a temporary directory holding the sample device.
//   call_cycle_profile [calls [echo bytes | catalog | submodule]]
// (default 20000 calls of RunTest)

#include <JsonRpcClient/JsonRpcClient.h>

#include <CatalogService.h>
#include <ConfigService.h>
#include <FrameLoop.h>
#include <RpcDispatcher.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "AllocationCounter.h"

namespace {

using namespace RpcClient;

// One message in flight: written in full, then read back. Keeps its storage
// between messages so the harness itself allocates nothing per call.
class MessageBuf : public std::streambuf {
public:
    MessageBuf() { bytes_.reserve(4096); }
    void StartWriting() {
        bytes_.clear();
        setg(nullptr, nullptr, nullptr);
    }
    void StartReading() { setg(&bytes_[0], &bytes_[0], &bytes_[0] + bytes_.size()); }

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            bytes_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char_type* s, std::streamsize count) override {
        bytes_.append(s, static_cast<std::size_t>(count));
        return count;
    }

private:
    std::string bytes_;
};

class DetachedConnection : public RpcLocalConnection {};

// The server's loop body for one request, as RunFrameLoop runs it.
void ServeOne(ServerKit::RpcDispatcher& dispatcher, std::istream& in, std::ostream& out) {
    ServerKit::ServeRequestFrame(dispatcher, in, out);
}

class LoopbackClient : public JsonRpcClient {
public:
    explicit LoopbackClient(ServerKit::RpcDispatcher& dispatcher)
        : JsonRpcClient(nullptr),
          dispatcher_(dispatcher),
          toServer_(&request_),
          fromServer_(&answer_) {}

    unsigned long long serverAllocations = 0;

protected:
    RpcLocalConnection* CurConnection() override { return &connection_; }
    void ReleaseConnection(RpcLocalConnection*) override {}
    bool OnSendRequest(RpcLocalConnection*, const Json::Value& body) override {
        request_.StartWriting();
        WriteFrame(toServer_, body);
        request_.StartReading();
        answer_.StartWriting();
        const unsigned long long before = Bench::AllocationCount();
        ServeOne(dispatcher_, toServer_, fromServer_);
        serverAllocations += Bench::AllocationCount() - before;
        answer_.StartReading();
        return true;
    }
    bool OnReceiveResponse(RpcLocalConnection*, std::vector<JsonResponse>& responses) override {
        std::string error;
        responses = ReadResponses(fromServer_, error);
        return error.empty() && !responses.empty();
    }

private:
    ServerKit::RpcDispatcher& dispatcher_;
    DetachedConnection connection_;
    MessageBuf request_;
    MessageBuf answer_;
    std::iostream toServer_;
    std::iostream fromServer_;
};

}  // namespace

int main(int argc, char** argv) {
    const long calls = argc > 1 ? std::atol(argv[1]) : 20000;
    ServerKit::RpcDispatcher dispatcher;
    TavrelPN::AddConfigService(dispatcher, TavrelPN::ConfigServiceOptions());
    dispatcher.Add("echo", [](const Json::Value& params) { return params; });
    namespace fs = std::filesystem;
    GsdCatalog::CatalogOptions catalog;
    catalog.directory = fs::temp_directory_path() / "jrc-call-cycle-catalog";
    fs::remove_all(catalog.directory);
    fs::create_directories(catalog.directory);
    GsdCatalog::RegisterCatalogMethods(dispatcher, catalog);
    LoopbackClient client(dispatcher);
    JsonRequest request("RunTest");
    request.SetRequestParamsList(7, std::string("abc"), true, 1.5, 2.25);
    JsonResponse response;
    const std::string sample = fs::path(JRC_GSD_SAMPLE).filename().string();
    const bool gsd = argc > 2 && (std::strcmp(argv[2], "catalog") == 0 ||
                                  std::strcmp(argv[2], "submodule") == 0);
    if (gsd) {
        JsonRequest import("TavrelImportGsdFile");
        import.SetRequestParamsList(std::string(JRC_GSD_SAMPLE));
        client.Request(import, response);
        if (argv[2][0] == 'c') {
            request = JsonRequest("GetPluggableModuleCatalog");
            request.SetRequestParamsList(sample, std::string("DAP_HF"));
        } else {
            request = JsonRequest("GetSubMouleParameter");
            request.SetRequestParamsList(sample, std::string(""), std::string("SM_DI16"));
        }
    } else if (argc > 2) {
        request = JsonRequest("echo");
        request.SetRequestParamsList(std::string(std::strtoul(argv[2], nullptr, 10), 'x'));
    }
    // Warm up: first-use buffers of both ends are not per-call costs.
    for (int i = 0; i < 10; ++i) {
        client.Request(request, response);
    }
    client.serverAllocations = 0;
    const unsigned long long before = Bench::AllocationCount();
    for (long i = 0; i < calls; ++i) {
        if (client.Request(request, response) != 0) {
            std::fprintf(stderr, "call failed: %s\n", client.GetLastErrMsg().c_str());
            return 1;
        }
    }
    const double total = static_cast<double>(Bench::AllocationCount() - before) / calls;
    const double server = static_cast<double>(client.serverAllocations) / calls;
    std::printf("heap allocations per call: host %.1f, server %.1f\n", total - server, server);
    fs::remove_all(catalog.directory);
    return 0;
}
