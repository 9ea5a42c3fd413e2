// SPDX-License-Identifier: Apache-2.0
// One small call's whole cycle in one process, over memory instead of pipes:
// the host's JsonRpcClient::Request of "RunTest" and the configuration
// server's frame reading, dispatch and answer. With no second process,
// `valgrind --tool=callgrind` sees both ends; the host's part is the
// inclusive cost of JsonRpcClient::Request minus ServeOne, the server's is
// ServeOne. Prints the heap allocations per call of each side (stable
// figures, unlike wall time). With a size, the call is an "echo" of a
// string of that many bytes instead, as the large round-trip rows make it.
//   call_cycle_profile [calls [echo bytes]]   (default 20000 calls of RunTest)

#include <JsonRpcClient/JsonRpcClient.h>

#include <ConfigService.h>
#include <FrameLoop.h>
#include <RpcDispatcher.h>

#include <cstdio>
#include <cstdlib>
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
    LoopbackClient client(dispatcher);
    JsonRequest request("RunTest");
    request.SetRequestParamsList(7, std::string("abc"), true, 1.5, 2.25);
    if (argc > 2) {
        request = JsonRequest("echo");
        request.SetRequestParamsList(std::string(std::strtoul(argv[2], nullptr, 10), 'x'));
    }
    JsonResponse response;
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
    return 0;
}
