// A small tour of the library: first a session with the configuration server
// started beside the library, then the message layer on its own: build a
// request, frame it as it would travel to a server's standard input, then read
// a framed answer back the way the library reads a server's standard output.

#include "ServerTour.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <clocale>
#include <iostream>
#include <sstream>
#include <string>

namespace {

void PrintFrame(const std::string& title, const std::string& frame) {
    std::cout << title << " (" << frame.size() << " bytes):\n";
    for (char c : frame) {
        if (c == '\r') {
            std::cout << "\\r";
        } else if (c == '\n') {
            std::cout << "\\n\n";
        } else {
            std::cout << c;
        }
    }
    std::cout << "\n";
}

}  // namespace

int main() {
    std::cout << "JsonRpcClient " << JSONRPCCLIENT_VERSION << "\n\n";
    if (RunServerTour(std::cout) != 0) {
        return 1;
    }

    RpcClient::JsonRequest request("RunTest");
    request.SetRequestParamsList(42, std::string("hello"), true, 2.5, 0.25f);
    request.FixRequestId();

    std::stringstream toServer;
    RpcClient::WriteFrame(toServer, request.BuildBody());
    PrintFrame("request frame", toServer.str());

    // What a server might answer: a result for our id, behind a stray line
    // break left over from an earlier frame.
    Json::Value answer;
    answer["jsonrpc"] = "2.0";
    answer["id"] = request.GetRequestId();
    answer["result"]["TestInt"] = 42;
    answer["result"]["TestString"] = "hello";
    std::stringstream fromServer;
    fromServer << "\r\n";
    RpcClient::WriteFrame(fromServer, answer);
    PrintFrame("response frame", fromServer.str());

    std::string error;
    const std::vector<RpcClient::JsonResponse> responses =
        RpcClient::ReadResponses(fromServer, error);
    if (!error.empty() || responses.size() != 1) {
        std::cerr << "reading the response failed: " << error << "\n";
        return 1;
    }
    const RpcClient::JsonResponse& response = responses.front();
    std::cout << "response valid: " << (response.IsValid() ? "yes" : "no") << ", id matches: "
              << (response.GetRequestId() == request.GetRequestId() ? "yes" : "no")
              << ", result: " << response.GetResult().toStyledString();

    std::cout << "next read on the drained stream: ";
    RpcClient::ReadResponses(fromServer, error);
    std::cout << '"' << error << "\"\n";
    RpcClient::ReadResponses(fromServer, error);
    std::cout << "and the one after that: \"" << error << "\"\n";

    // Text for the host comes in the narrow code page of its locale.
    std::setlocale(LC_CTYPE, "");
    const std::string utf8 =
        "Stra\xC3\x9F"
        "e \xE2\x82\xAC";
    const std::string ansi = RpcClient::Utf8ToAnsi(utf8);
    std::cout << "UTF-8 text of " << utf8.size() << " bytes is " << ansi.size()
              << " bytes in this locale's code page, and back in UTF-8: "
              << RpcClient::AnsiToUtf8(ansi) << "\n";
    return 0;
}
