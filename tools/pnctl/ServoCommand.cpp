// SPDX-License-Identifier: Apache-2.0
// pnctl servo watch: starts the servo tuning server, sends the credentials
// and prints every parameter message it pushes.

#include "Commands.h"

#include <JsonRpcClient/clients/ServoParaReadClient.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>

#include <json/writer.h>

#include <iostream>
#include <vector>

namespace Pnctl {

namespace {

std::string ReadPassword(const std::string& file) {
    const std::string content = ReadInputFile(file);
    if (content.empty()) {
        throw CommandFailure(kExitInput, file + ": no password in the file");
    }
    std::string line = content.substr(0, content.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

int RunServoWatch(const ServoWatchOptions& watch, const GlobalOptions& global) {
    const std::string password =
        watch.passwordFile.empty() ? std::string() : ReadPassword(watch.passwordFile);
    std::vector<wchar_t> url(32768 + 2 * watch.args.size(), L'\0');
    if (RpcClient::JobInstanceMgr::StartupMC(ToWide(watch.args), nullptr, url.data(), nullptr) ==
        0) {
        throw CommandFailure(kExitServerStart,
                             "cannot start the servo tuning server (is PellavonCli installed "
                             "beside the library?): " +
                                 LastSystemError());
    }
    const std::wstring serverUrl = url.data();
    struct Shutdown {
        std::wstring url;
        ~Shutdown() { RpcClient::JobInstanceMgr::ShutdownRpcInst(url, nullptr); }
    } shutdown{serverUrl};

    RpcClient::Tavrel::ServoParaReadClient client(
        RpcClient::JobInstanceMgr::Instance()->GetAt(serverUrl));
    client.SetRequestTimeout(global.timeoutMs);
    const bool sentCredentials = !watch.user.empty() || !watch.passwordFile.empty();
    if (sentCredentials) {
        if (!client.SetOmbrelInfo(watch.user, password)) {
            throw CommandFailure(kExitFailed,
                                 "cannot send the credentials: " +
                                     DescribeFailure(client.GetLastErrCode(), client.GetErrList()));
        }
    }

    // Both operations keep older entries; only the growth of the list tells
    // what one read added.
    for (unsigned long seen = 0; watch.count == 0 || seen < watch.count; ++seen) {
        RpcClient::Tavrel::ServoParaReadClient::ServoPara para;
        const std::size_t before = client.GetErrList().size();
        bool ok = false;
        try {
            ok = client.GetServoPara(para);
        } catch (const std::runtime_error& e) {
            throw CommandFailure(kExitFailed, std::string("unusable message: ") + e.what());
        }
        const bool added = client.GetErrList().size() > before;
        const long code = added ? client.GetErrList().front().first : 0;
        if (!ok && (code == RpcClient::FailureCode::ServerFault ||
                    code == RpcClient::FailureCode::Timeout)) {
            // The server ended or its pipe broke: nothing more will come.
            throw CommandFailure(kExitFailed, "the servo tuning server stopped: " +
                                                  DescribeFailure(code, client.GetErrList()));
        }
        if (global.json) {
            // One JSON document per line, so a reader can follow the stream.
            Json::Value line(Json::objectValue);
            line["ok"] = ok;
            if (ok) {
                line["ip"] = para.ip;
                line["r5276"] = para.r5276;
                line["r5277"] = para.r5277;
            } else {
                line["error"] =
                    ErrorEntryToJson(code, added ? client.GetErrList().front().second : "");
            }
            Json::StreamWriterBuilder writer;
            writer["indentation"] = "";
            std::cout << Json::writeString(writer, line) << std::endl;
            MarkJsonDocumentPrinted();
        } else if (ok) {
            std::cout << "ip " << para.ip << "  r5276 " << para.r5276 << "  r5277 " << para.r5277
                      << std::endl;
        } else {
            std::cout << "error " << FormatCode(code) << std::endl;
        }
        // The server answers refused credentials with an error of its own
        // instead of parameters; watching on would only repeat it.
        if (!ok && sentCredentials && code >= -32768 && code <= -32000) {
            throw CommandFailure(kExitFailed, "the servo tuning server refused the credentials: " +
                                                  DescribeFailure(code, client.GetErrList()));
        }
    }
    return kExitOk;
}

}  // namespace Pnctl
