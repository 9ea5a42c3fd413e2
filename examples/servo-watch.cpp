// SPDX-License-Identifier: Apache-2.0
// Starts the servo tuning server, logs in, and prints a given number of the
// parameter messages it pushes (drive address, speed r5276, current r5277).
//
//   servo-watch [COUNT] [USER PASSWORD]
//
// The bundled PellavonCli accepts admin/admin unless told otherwise.

#include <JsonRpcClient/JsonRpcClient.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::string user = argc > 3 ? argv[2] : "admin";
    const std::string password = argc > 3 ? argv[3] : "admin";

    // The arguments go to the server unchanged: here, a message every 20 ms.
    // No check function: the executable and its companion files are taken
    // as found beside the library.
    std::vector<wchar_t> url(32768, L'\0');
    if (RpcClient::JobInstanceMgr::StartupMC(L"--interval 20", nullptr, url.data(), nullptr) == 0) {
        std::fprintf(stderr, "cannot start PellavonCli: is it installed beside the library?\n");
        return 1;
    }

    int status = 0;
    {
        RpcClient::Tavrel::ServoParaReadClient servo(
            RpcClient::JobInstanceMgr::Instance()->GetAt(url.data()));
        if (!servo.SetOmbrelInfo(user, password)) {
            std::fprintf(stderr, "cannot send the credentials: %s\n",
                         servo.GetLastErrMsg().c_str());
            status = 1;
        }
        // Each read waits for the next message the server pushes; nothing is
        // sent. Wrong credentials arrive as an error message instead.
        for (int i = 0; i < count && status == 0; ++i) {
            RpcClient::Tavrel::ServoParaReadClient::ServoPara para;
            try {
                if (!servo.GetServoPara(para)) {
                    std::fprintf(stderr, "no parameters: 0x%08lX %s\n",
                                 static_cast<unsigned long>(servo.GetLastErrCode()) & 0xFFFFFFFFUL,
                                 servo.GetLastErrMsg().c_str());
                    status = 1;
                    break;
                }
            } catch (const std::runtime_error& e) {  // a message without a usable result
                std::fprintf(stderr, "unusable message: %s\n", e.what());
                status = 1;
                break;
            }
            std::printf("%s speed %.1f current %.2f\n", para.ip.c_str(), para.r5276, para.r5277);
        }
    }

    RpcClient::JobInstanceMgr::ShutdownRpcInst(url.data(), nullptr);
    return status;
}
