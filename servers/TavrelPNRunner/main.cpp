// SPDX-License-Identifier: Apache-2.0
// The configuration server: answers JSON-RPC requests framed on stdin/stdout.
// stdout and stderr share the host's pipe, so this program writes nothing but
// frames; a failure is answered in a frame or ends the program quietly.

#include "ConfigCheck.h"
#include "ConfigService.h"

#include <CatalogService.h>
#include <FrameLoop.h>
#include <RpcDispatcher.h>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    try {
        ServerKit::UseBinaryStdio();
        std::ios::sync_with_stdio(false);
        const std::vector<std::string> arguments(argv + 1, argv + argc);

        ServerKit::RpcDispatcher dispatcher;
        const TavrelPN::ConfigServiceOptions config =
            TavrelPN::ParseConfigServiceArguments(arguments);
        TavrelPN::AddConfigService(dispatcher, config);

        // The GSD catalogue lives beside the executable unless told otherwise;
        // /proc/self/exe names it where it exists, argv[0] elsewhere (the
        // library starts the server by its full path).
        std::error_code ec;
        std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec || executable.empty()) {
            executable =
                std::filesystem::absolute(std::filesystem::u8path(argc > 0 ? argv[0] : ""), ec);
        }
        GsdCatalog::CatalogOptions catalog =
            GsdCatalog::ParseCatalogArguments(arguments, executable);
        catalog.language = config.language;
        TavrelPN::AddConfigDocumentMethods(
            dispatcher,
            TavrelPN::CatalogLookup(GsdCatalog::RegisterCatalogMethods(dispatcher, catalog)));
        return ServerKit::RunFrameLoop(dispatcher, ServerKit::RequestInput(), std::cout);
    } catch (...) {
        // Nothing may be printed; the exit code is all the host gets.
        return 1;
    }
}
