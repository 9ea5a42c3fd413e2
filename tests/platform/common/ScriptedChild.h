// SPDX-License-Identifier: Apache-2.0
#pragma once

// A child started straight through the platform layer, by default the
// scripted server, with one call at a time over its pipes.

#include <JsonRpcClient/rpc/Framing.h>

#include <gtest/gtest.h>

#include <chrono>
#include <istream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"
#include "support/JsonText.h"

namespace PlatformTest {

namespace P = RpcClient::Platform;

// An anonymous pipe; its ends close with it.
struct Pipe {
    Pipe() { EXPECT_TRUE(P::CreatePipe(read, write)); }
    P::Pipe read;
    P::Pipe write;
};

inline std::unique_ptr<std::streambuf> Open(const P::Pipe& end, P::PipeDirection direction,
                                            P::Process watched = P::Process()) {
    std::string error;
    auto buffer = P::OpenPipeStreamBuffer(end.Duplicate(), direction, std::move(watched), error);
    EXPECT_TRUE(buffer) << error;
    return buffer;
}

struct Child {
    P::Process process;
    P::Pipe toChild;    // our end of its standard input
    P::Pipe fromChild;  // our end of its standard output and error
    // Its output end stays open here, as the hosting keeps it, so a read
    // ends only by watching the process; its input end does not, so writing
    // to an ended child breaks the pipe.
    P::Pipe childOutput;

    explicit Child(const std::wstring& arguments, const std::wstring& directory = L"",
                   const std::wstring& application = HostingTest::ScriptedServer()) {
        P::Pipe childInput;
        EXPECT_TRUE(P::CreatePipe(fromChild, childOutput) && P::CreatePipe(childInput, toChild));
        P::ProcessStart start;
        start.application = application;
        start.arguments = arguments;
        start.workingDirectory = directory;
        start.standardInput = &childInput;
        start.standardOutput = &childOutput;
        process = P::StartProcess(start);
    }
    ~Child() {
        if (process) {
            P::TerminateProcess(process, 0);
            P::WaitForProcess(process, std::chrono::milliseconds(5000));
        }
    }

    // The result of one request; null when no whole answer came.
    Json::Value Call(const std::string& method, const Json::Value& params = Json::arrayValue) {
        Json::Value request = TestJson::ParseJson(R"({"jsonrpc": "2.0", "id": 1})");
        request["method"] = method;
        request["params"] = params;
        std::ostringstream out;
        RpcClient::WriteFrame(out, request);
        const std::string bytes = out.str();
        EXPECT_TRUE(P::WritePipe(toChild, bytes.data(), bytes.size(), nullptr));
        if (!reader_) {
            reader_ = Open(fromChild, P::PipeDirection::Read, process.Duplicate());
        }
        std::istream in(reader_.get());
        std::string error;
        return RpcClient::ReadFrame(in, error)["result"];
    }

private:
    std::unique_ptr<std::streambuf> reader_;
};

}  // namespace PlatformTest
