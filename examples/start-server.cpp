// SPDX-License-Identifier: Apache-2.0
// Starts the bundled configuration server, asks it for its version and
// language, and stops it again.
//
// The library looks for TavrelPNRunner in a folder of that name beside its
// own file, starts it as a hidden child process and ties it to this process:
// the server would end with us even without ShutdownRpcInst.
//
//   start-server [LANGUAGE]

#include <JsonRpcClient/JsonRpcClient.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::string language = argc > 1 ? argv[1] : "en";

    // Receives the server's URL. Its size is not passed, so it must hold any
    // path and arguments.
    std::vector<wchar_t> url(32768, L'\0');
    const std::wstring option(language.begin(), language.end());  // "-l <language>"
    if (RpcClient::JobInstanceMgr::StartupPNConfig(option, url.data(), nullptr) == 0) {
        std::fprintf(stderr, "cannot start TavrelPNRunner: is it installed beside the library?\n");
        return 1;
    }

    int status = 0;
    {
        // A typed client bound to the server just started. (Its default
        // constructor would take the registry's default server.)
        RpcClient::Tavrel::PnConfigClient config(
            RpcClient::JobInstanceMgr::Instance()->GetAt(url.data()));
        const std::string version = config.GetVersion();
        const std::string answer = config.GetLanguage();
        if (config.HasError()) {
            // Nothing is thrown: failures stay in the client's error list.
            std::fprintf(stderr, "call failed: 0x%08lX %s\n",
                         static_cast<unsigned long>(config.GetLastErrCode()) & 0xFFFFFFFFUL,
                         config.GetLastErrMsg().c_str());
            status = 1;
        } else {
            std::printf("TavrelPNRunner %s is running, language %s\n", version.c_str(),
                        answer.c_str());
        }
    }  // clients go before their server

    RpcClient::JobInstanceMgr::ShutdownRpcInst(url.data(), nullptr);
    std::printf("stopped\n");
    return status;
}
