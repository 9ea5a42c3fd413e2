// SPDX-License-Identifier: Apache-2.0
#pragma once

// The bundled configuration server for the length of one command: started
// through the library's entry point, shut down when the object goes.

#include "Common.h"

#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <string>

namespace Pnctl {

// The configuration server reads its catalogue directory from this variable
// when it is started without one.
constexpr const char* kCatalogEnvironmentVariable = "TAVREL_GSD_CATALOG";

class ConfigServer {
public:
    // Points the server at the catalogue (when one is given), starts it with
    // the language as its "-l" value, and waits for nothing: the first call
    // meets a running process. Throws CommandFailure(kExitServerStart) when
    // the library cannot start it.
    explicit ConfigServer(const GlobalOptions& options);
    ConfigServer(const ConfigServer&) = delete;
    ConfigServer& operator=(const ConfigServer&) = delete;
    ~ConfigServer();

    // The server URL the registry filed it under.
    const std::wstring& Url() const { return url_; }
    // The server record; valid until this object is destroyed.
    RpcClient::RpcLocalSrvConfig* Server() const { return server_; }

private:
    std::wstring url_;
    RpcClient::RpcLocalSrvConfig* server_ = nullptr;
};

}  // namespace Pnctl
