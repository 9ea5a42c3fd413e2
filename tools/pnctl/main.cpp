// SPDX-License-Identifier: Apache-2.0
// pnctl: a command-line host for the JsonRpcClient library. It starts the
// bundled servers, calls any Content-Length stdio JSON-RPC server, manages the
// GSD catalogue and shows the library's main job end to end (`pnctl demo`).
// It uses the library's public headers only, so it is example code as well.

#include "Commands.h"
#include "Common.h"

#include <JsonRpcClient/Version.h>

#include <CLI/CLI.hpp>

#include <clocale>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kExitCodesFooter =
    "Exit codes: 0 success; 1 the server answered with an error or an operation failed;\n"
    "2 the command line was not understood; 3 a server could not be started;\n"
    "4 a local input (file, JSON text) could not be read.\n"
    "On failure a one-line reason goes to stderr.";

}  // namespace

int main(int argc, char** argv) {
    // Host text (paths, arguments, catalogue texts) is in the user's code
    // page; the library converts through the same C locale.
    std::setlocale(LC_CTYPE, "");

    Pnctl::GlobalOptions global;
    CLI::App app{"pnctl - host tool for the JsonRpcClient library", "pnctl"};
    app.footer(kExitCodesFooter);
    app.set_version_flag("--version", JSONRPCCLIENT_VERSION);
    app.require_subcommand(1);
    // Global options may come after the subcommand too ("pnctl gsd list --json").
    app.fallthrough();
    app.add_flag("--json", global.json, "Machine-readable output: one JSON document on stdout");
    app.add_option("--catalog", global.catalog,
                   "GSD catalogue directory of the configuration server (default: the server's)");
    app.add_option("-l,--language", global.language,
                   "Language the configuration server is started with (its -l value)")
        ->check([](const std::string& value) {
            return value.size() <= 64 ? std::string() : std::string("at most 64 characters");
        });
    app.add_option("--timeout", global.timeoutMs,
                   "Longest wait in ms for a server's connection (10..100000)")
        ->check(CLI::Range(10ul, 100000ul));

    Pnctl::CallOptions call;
    CLI::App* callCommand = app.add_subcommand(
        "call", "Send one JSON-RPC request to any stdio server and print its answer");
    callCommand->add_option("--server", call.server, "Path of the server executable")->required();
    callCommand->add_option("--args", call.args, "The server's arguments, as one string");
    callCommand->add_flag("--notify", call.notify, "Send a notification and read nothing");
    callCommand->add_option("METHOD", call.method, "Method name")->required();
    callCommand->add_option("PARAMS", call.params, "Params as JSON text (default: [])");

    CLI::App* gsd = app.add_subcommand("gsd", "Manage and query the GSD catalogue");
    gsd->require_subcommand(1);
    std::vector<std::string> importFiles;
    CLI::App* gsdImport = gsd->add_subcommand("import", "Import GSDML files into the catalogue");
    gsdImport->add_option("FILE", importFiles, "GSDML files")->required();
    CLI::App* gsdList = gsd->add_subcommand("list", "List the installed GSD files");
    std::string gsdName;
    std::string dapId;
    CLI::App* gsdShow =
        gsd->add_subcommand("show", "Show one installed file as a tree of its catalogue");
    gsdShow->add_option("NAME", gsdName, "Installed GSD file name")->required();
    gsdShow->add_option("--dap", dapId, "Only this device access point");
    CLI::App* gsdRemove = gsd->add_subcommand("remove", "Remove an installed GSD file");
    gsdRemove->add_option("NAME", gsdName, "Installed GSD file name")->required();
    std::string queryMethod;
    std::vector<std::string> queryArgs;
    std::string queryMethods;
    for (const std::string& method : Pnctl::GsdQueryMethods()) {
        queryMethods += "\n  " + method;
    }
    CLI::App* gsdQuery = gsd->add_subcommand(
        "query", "Call one catalogue facade operation and print its status and record");
    gsdQuery->add_option("METHOD", queryMethod, "Operation name")->required();
    gsdQuery->add_option("ARGS", queryArgs, "The operation's arguments, in order");
    gsdQuery->footer("Operations:" + queryMethods);

    Pnctl::ServoWatchOptions watch;
    CLI::App* servo = app.add_subcommand("servo", "The servo tuning server");
    servo->require_subcommand(1);
    CLI::App* servoWatch =
        servo->add_subcommand("watch", "Start the servo tuning server and print what it pushes");
    servoWatch->add_option("--user", watch.user, "User name sent to the server");
    servoWatch->add_option("--password-file", watch.passwordFile,
                           "File whose first line is the password");
    servoWatch->add_option("--args", watch.args, "The server's arguments, as one string");
    servoWatch->add_option("--count", watch.count,
                           "Stop after this many messages (default: until interrupted)");

    std::vector<std::string> configFiles;
    CLI::App* config = app.add_subcommand("config", "Configuration documents");
    config->require_subcommand(1);
    CLI::App* configCheck = config->add_subcommand(
        "check", "Check configuration, list-of-nodes and topology documents against the catalogue");
    configCheck
        ->add_option("FILE", configFiles, "JSON documents as the configuration model writes them")
        ->required();

    Pnctl::DemoOptions demo;
    CLI::App* demoCommand = app.add_subcommand(
        "demo",
        "Start the configuration server, import the sample GSD files, build a configuration");
    demoCommand->add_option("--samples", demo.samples,
                            "Directory of GSDML files to import (default: the bundled samples)");

    // With --json even a failure is one JSON document on stdout.
    const auto fail = [&global, argc, argv](int exitCode, const std::string& reason) {
        bool json = global.json;
        for (int i = 1; i < argc; ++i) {
            json = json || std::string(argv[i]) == "--json";
        }
        if (json && !Pnctl::JsonDocumentPrinted()) {
            Json::Value document(Json::objectValue);
            document["error"]["exitCode"] = exitCode;
            document["error"]["message"] = reason;
            Pnctl::PrintJson(std::cout, document);
        }
        std::cerr << "pnctl: " << reason << '\n';
        return exitCode;
    };

    if (argc <= 1) {
        std::cout << app.help();
        return Pnctl::kExitOk;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return fail(Pnctl::kExitUsage, std::string(e.what()) + " (see pnctl --help)");
    }

    try {
        if (*callCommand) {
            return Pnctl::RunCall(call, global);
        }
        if (*gsdImport) {
            global.mayCreateCatalog = true;
            return Pnctl::RunGsdImport(importFiles, global);
        }
        if (*gsdList) {
            return Pnctl::RunGsdList(global);
        }
        if (*gsdShow) {
            return Pnctl::RunGsdShow(gsdName, dapId, global);
        }
        if (*gsdRemove) {
            return Pnctl::RunGsdRemove(gsdName, global);
        }
        if (*gsdQuery) {
            return Pnctl::RunGsdQuery(queryMethod, queryArgs, global);
        }
        if (*servoWatch) {
            return Pnctl::RunServoWatch(watch, global);
        }
        if (*configCheck) {
            return Pnctl::RunConfigCheck(configFiles, global);
        }
        if (*demoCommand) {
            return Pnctl::RunDemo(demo, global);
        }
        return fail(Pnctl::kExitUsage, "no command given (see pnctl --help)");
    } catch (const Pnctl::CommandFailure& e) {
        return fail(e.ExitCode(), e.what());
    } catch (const std::exception& e) {
        return fail(Pnctl::kExitFailed, e.what());
    }
}
