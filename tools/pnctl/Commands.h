// SPDX-License-Identifier: Apache-2.0
#pragma once

// The commands of pnctl. Each returns the exit code (Common.h) or throws
// CommandFailure; output goes to stdout, the one-line reason of a failure to
// stderr (printed by main).

#include "Common.h"

#include <string>
#include <vector>

namespace Pnctl {

struct CallOptions {
    std::string server;
    std::string args;
    std::string method;
    std::string params;  // JSON text; empty: []
    bool notify = false;
};
int RunCall(const CallOptions& call, const GlobalOptions& global);

int RunGsdImport(const std::vector<std::string>& files, const GlobalOptions& global);
int RunGsdList(const GlobalOptions& global);
int RunGsdShow(const std::string& name, const std::string& dap, const GlobalOptions& global);
int RunGsdRemove(const std::string& name, const GlobalOptions& global);
int RunGsdQuery(const std::string& method, const std::vector<std::string>& args,
                const GlobalOptions& global);
// The facade operations `gsd query` knows, with their argument lists.
std::vector<std::string> GsdQueryMethods();

struct ServoWatchOptions {
    std::string user;
    std::string passwordFile;
    std::string args;
    unsigned long count = 0;  // messages to print; 0: until interrupted
};
int RunServoWatch(const ServoWatchOptions& watch, const GlobalOptions& global);

// Checks configuration documents (configuration, list of nodes, topology,
// or one file bundling them) with the configuration server.
int RunConfigCheck(const std::vector<std::string>& files, const GlobalOptions& global);

struct DemoOptions {
    std::string samples;  // directory of sample GSDML files; empty: the bundled ones
};
int RunDemo(const DemoOptions& demo, const GlobalOptions& global);

}  // namespace Pnctl
