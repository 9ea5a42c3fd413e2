// SPDX-License-Identifier: Apache-2.0
#include "ConfigServer.h"

#include "Console.h"

#include <JsonRpcClient/hosting/JobInstanceMgr.h>

#include <filesystem>
#include <vector>

namespace Pnctl {

ConfigServer::ConfigServer(const GlobalOptions& options) {
    if (!options.catalog.empty()) {
        // A server pointed at a file or a mistyped directory would simply
        // show an empty catalogue; say what is wrong instead.
        std::error_code error;
        const bool exists = std::filesystem::exists(options.catalog, error);
        if (exists && !std::filesystem::is_directory(options.catalog, error)) {
            throw CommandFailure(kExitInput, "--catalog " + options.catalog + ": not a directory");
        }
        if (!exists && !options.mayCreateCatalog) {
            throw CommandFailure(kExitInput,
                                 "--catalog " + options.catalog + ": no such directory");
        }
        // The server starts in our working directory, but an absolute path
        // keeps the catalogue where the user meant even if that changes.
        const std::string directory = std::filesystem::absolute(options.catalog).string();
        if (!SetEnvVar(kCatalogEnvironmentVariable, directory)) {
            throw CommandFailure(kExitServerStart, "cannot pass the catalogue location " +
                                                       directory + " to the server");
        }
    }
    // The URL is the server's path, its arguments and a handle number; the
    // buffer's size is not passed, so leave room for any path and argument.
    std::vector<wchar_t> buffer(32768 + 2 * options.language.size(), L'\0');
    if (RpcClient::JobInstanceMgr::StartupPNConfig(ToWide(options.language), buffer.data(),
                                                   nullptr) == 0) {
        throw CommandFailure(kExitServerStart,
                             "cannot start the configuration server (is TavrelPNRunner installed "
                             "beside the library?): " +
                                 LastSystemError());
    }
    url_ = buffer.data();
    server_ = RpcClient::JobInstanceMgr::Instance()->GetAt(url_);
}

ConfigServer::~ConfigServer() {
    RpcClient::JobInstanceMgr::ShutdownRpcInst(url_, nullptr);
}

}  // namespace Pnctl
