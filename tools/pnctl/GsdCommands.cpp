// SPDX-License-Identifier: Apache-2.0
// pnctl gsd: the GSD catalogue of the configuration server. Import, list,
// show and remove go through a PnGsdClient bound to the started server;
// query goes through the PNconfigGSDParser facade, which finds the same
// server as the registry's default.

#include "CatalogTree.h"
#include "Commands.h"
#include "ConfigServer.h"
#include "Console.h"
#include "RecordJson.h"

#include <JsonRpcClient/clients/PNconfigGSDParser.h>
#include <JsonRpcClient/clients/PnGsdClient.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

namespace Pnctl {

namespace {

using RpcClient::Tavrel::PnGsdClient;

std::vector<std::string> ErrorLines(const RpcClient::JsonRpcClient::ErrorList& errors) {
    std::vector<std::string> lines;
    for (const auto& entry : errors) {
        lines.push_back(FormatCode(entry.first) + ' ' + entry.second);
    }
    return lines;
}

// A bar on a terminal, overwritten in place; nothing otherwise.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, std::size_t total) : out_(out), total_(total) {}
    void Show(std::size_t done, const std::string& label) {
        constexpr std::size_t kWidth = 30;
        const std::size_t filled = total_ == 0 ? kWidth : kWidth * done / total_;
        std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') +
                           "] " + std::to_string(done) + '/' + std::to_string(total_) + ' ' +
                           label.substr(0, 40);
        const std::size_t length = line.size();
        line.append(lastLength_ > length ? lastLength_ - length : 0, ' ');
        lastLength_ = length;
        out_ << line << std::flush;
    }
    void Finish() { out_ << '\r' << std::string(lastLength_, ' ') << '\r' << std::flush; }

private:
    std::ostream& out_;
    std::size_t total_;
    std::size_t lastLength_ = 0;
};

struct ImportOutcome {
    std::string file;
    bool ok = false;
    bool unreadable = false;  // the input itself is missing: exit code 4
    ImportResult result;
    std::vector<std::string> reasons;
    Json::Value errors{Json::arrayValue};
};

ImportOutcome ImportOne(PnGsdClient& client, const std::string& file) {
    ImportOutcome outcome;
    outcome.file = file;
    std::error_code error;
    // Anything that exists goes to the catalogue, so a directory or a file of
    // the wrong kind gets the catalogue's own reason.
    if (!std::filesystem::exists(file, error)) {
        outcome.reasons.push_back("no such file");
        outcome.unreadable = true;
        return outcome;
    }
    // The server resolves relative paths against its own working directory.
    const std::string path = std::filesystem::absolute(file).string();
    outcome.result = client.TavrelImportGsdFile(path);
    if (client.HasError()) {
        outcome.reasons = ErrorLines(client.GetErrList());
        outcome.errors = ErrorListToJson(client.GetErrList());
    } else if (!outcome.result.IsSuccess) {
        outcome.reasons = outcome.result.ErrorMessages;
        if (outcome.reasons.empty()) {
            outcome.reasons.push_back("the catalogue did not take the file");
        }
    } else {
        outcome.ok = true;
    }
    return outcome;
}

void BindTimeout(PnGsdClient& client, const GlobalOptions& global) {
    client.SetRequestTimeout(global.timeoutMs);
}

}  // namespace

int RunGsdImport(const std::vector<std::string>& files, const GlobalOptions& global) {
    ConfigServer server(global);
    PnGsdClient client(server.Server());
    BindTimeout(client, global);

    std::ostream& progressStream = global.json ? std::cerr : std::cout;
    const bool bar = IsTerminal(global.json ? stderr : stdout);
    ProgressBar progress(progressStream, files.size());

    std::vector<ImportOutcome> outcomes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (bar) {
            progress.Show(i, std::filesystem::path(files[i]).filename().string());
        }
        outcomes.push_back(ImportOne(client, files[i]));
        const ImportOutcome& outcome = outcomes.back();
        if (!bar && !global.json) {
            if (outcome.ok) {
                std::cout << "imported " << outcome.result.GsdName << '\n';
            } else {
                std::cout << "failed   " << outcome.file << ": " << outcome.reasons.front() << '\n';
            }
        }
    }
    if (bar) {
        progress.Finish();
    }

    const auto failed = static_cast<std::size_t>(
        std::count_if(outcomes.begin(), outcomes.end(), [](const auto& o) { return !o.ok; }));
    if (global.json) {
        Json::Value document(Json::objectValue);
        document["imported"] = static_cast<Json::UInt64>(outcomes.size() - failed);
        document["failed"] = static_cast<Json::UInt64>(failed);
        Json::Value results(Json::arrayValue);
        for (const ImportOutcome& outcome : outcomes) {
            Json::Value entry(Json::objectValue);
            entry["file"] = outcome.file;
            entry["ok"] = outcome.ok;
            entry["result"] = ToJson(outcome.result);
            entry["reasons"] = Json::Value(Json::arrayValue);
            for (const std::string& reason : outcome.reasons) {
                entry["reasons"].append(reason);
            }
            entry["errors"] = outcome.errors;
            results.append(entry);
        }
        document["results"] = results;
        PrintJson(std::cout, document);
    } else {
        std::cout << (outcomes.size() - failed) << " imported, " << failed << " failed\n";
        for (const ImportOutcome& outcome : outcomes) {
            if (!outcome.ok) {
                std::cout << "  " << outcome.file << '\n';
                for (const std::string& reason : outcome.reasons) {
                    std::cout << "    " << reason << '\n';
                }
            }
        }
    }
    if (failed > 0) {
        const bool unreadable = std::any_of(outcomes.begin(), outcomes.end(),
                                            [](const auto& o) { return o.unreadable; });
        throw CommandFailure(unreadable ? kExitInput : kExitFailed,
                             std::to_string(failed) + " of " + std::to_string(outcomes.size()) +
                                 " files could not be imported");
    }
    return kExitOk;
}

int RunGsdList(const GlobalOptions& global) {
    ConfigServer server(global);
    PnGsdClient client(server.Server());
    BindTimeout(client, global);
    const auto installed = client.TavrelGetInstalledGsds();
    ThrowIfFailed(client, "TavrelGetInstalledGsds");
    if (global.json) {
        PrintJson(std::cout, ToJson(installed));
        return kExitOk;
    }
    if (installed.empty()) {
        std::cout << "the catalogue is empty\n";
    }
    for (const auto& file : installed) {
        std::cout << file.GsdName << "  installed " << file.InstallDateTime << '\n';
    }
    return kExitOk;
}

int RunGsdShow(const std::string& name, const std::string& dap, const GlobalOptions& global) {
    ConfigServer server(global);
    PnGsdClient client(server.Server());
    BindTimeout(client, global);
    const auto info = client.GetGsdDeviceInfo(name);
    ThrowIfFailed(client, "GetGsdDeviceInfo " + name);
    const Json::Value tree = BuildCatalogTree(client, name, dap);
    if (global.json) {
        Json::Value document(Json::objectValue);
        document["DeviceInfo"] = ToJson(info);
        document["Tree"] = tree;
        PrintJson(std::cout, document);
        return kExitOk;
    }
    std::cout << info.VendorName << " / " << info.MainFamily << " / " << info.ProductFamily
              << "  (vendor 0x" << std::hex << info.VendorIdentNumber << ", device 0x"
              << info.DeviceIdentNumber << std::dec << ")\n";
    if (!info.InfoText.empty()) {
        std::cout << info.InfoText << '\n';
    }
    PrintCatalogTree(std::cout, tree);
    return kExitOk;
}

int RunGsdRemove(const std::string& name, const GlobalOptions& global) {
    ConfigServer server(global);
    PnGsdClient client(server.Server());
    BindTimeout(client, global);
    const RemoveResult result = client.TavrelRemoveGsdFile(name);
    ThrowIfFailed(client, "TavrelRemoveGsdFile " + name);
    if (global.json) {
        PrintJson(std::cout, ToJson(result));
    } else if (result.IsSuccess) {
        std::cout << "removed " << name << '\n';
    }
    if (!result.IsSuccess) {
        if (!global.json) {
            for (const std::string& message : result.ErrorMessages) {
                std::cout << "  " << message << '\n';
            }
        }
        throw CommandFailure(
            kExitFailed, "cannot remove " + name +
                             (result.ErrorMessages.empty() ? std::string()
                                                           : ": " + result.ErrorMessages.front()));
    }
    return kExitOk;
}

}  // namespace Pnctl
