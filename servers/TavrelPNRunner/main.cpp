// The configuration server: answers JSON-RPC requests framed on stdin/stdout.
// stdout and stderr share the host's pipe, so this program writes nothing but
// frames; a failure is answered in a frame or ends the program quietly.

#include "ConfigService.h"

#include <FrameLoop.h>
#include <RpcDispatcher.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    try {
        ServerKit::UseBinaryStdio();
        std::ios::sync_with_stdio(false);
        const std::vector<std::string> arguments(argv + 1, argv + argc);

        ServerKit::RpcDispatcher dispatcher;
        TavrelPN::AddConfigService(dispatcher, TavrelPN::ParseConfigServiceArguments(arguments));
        return ServerKit::RunFrameLoop(dispatcher, std::cin, std::cout);
    } catch (...) {
        // Nothing may be printed; the exit code is all the host gets.
        return 1;
    }
}
