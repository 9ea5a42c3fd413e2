// SPDX-License-Identifier: Apache-2.0
// pnctl config check: sends configuration documents (as the configuration
// model writes them) to the configuration server and prints what it finds,
// one line per finding in the form compilers use, so editors can jump to it.

#include "Commands.h"
#include "ConfigServer.h"

#include <JsonRpcClient/clients/PnConfigClient.h>

#include <iostream>
#include <map>

namespace Pnctl {

namespace {

using RpcClient::Tavrel::PnConfigClient;

// Where one document came from: the file and, for a file that bundles all
// three (what `pnctl demo --json` prints), the member it sits under.
struct Source {
    std::string file;
    std::string prefix;
    Json::Value document;
};

// Which document a JSON value is, by the members only that document has.
const char* KindOf(const Json::Value& value) {
    if (!value.isObject()) {
        return nullptr;
    }
    if (value.isMember("ControllerConf") || value.isMember("DeviceListConf")) {
        return "configuration";
    }
    if (value.isMember("ControllerNode") || value.isMember("DeviceNodeList")) {
        return "listOfNodes";
    }
    if (value.isMember("PortInterconnectionList")) {
        return "topology";
    }
    return nullptr;
}

void Add(std::map<std::string, Source>& sources, const std::string& kind, Source source) {
    const auto taken = sources.emplace(kind, source);
    if (!taken.second) {
        throw CommandFailure(kExitUsage, "two " + kind + " documents given: " +
                                             taken.first->second.file + " and " + source.file);
    }
}

std::map<std::string, Source> ReadSources(const std::vector<std::string>& files) {
    std::map<std::string, Source> sources;
    for (const std::string& file : files) {
        const Json::Value value = ParseJsonText(ReadInputFile(file), file);
        if (const char* kind = KindOf(value)) {
            Add(sources, kind, {file, "", value});
            continue;
        }
        bool bundled = false;
        for (const char* kind : {"configuration", "listOfNodes", "topology"}) {
            if (value.isObject() && value.isMember(kind)) {
                Add(sources, kind, {file, std::string("/") + kind, value[kind]});
                bundled = true;
            }
        }
        if (!bundled) {
            throw CommandFailure(kExitInput, file +
                                                 " is no configuration, list of nodes or "
                                                 "topology document");
        }
    }
    return sources;
}

}  // namespace

int RunConfigCheck(const std::vector<std::string>& files, const GlobalOptions& global) {
    std::map<std::string, Source> sources = ReadSources(files);
    const auto documentOf = [&sources](const char* kind) {
        const auto found = sources.find(kind);
        return found == sources.end() ? Json::Value() : found->second.document;
    };
    // The configuration is the one document the server needs; without it only
    // the list of nodes and the topology are looked at.
    Json::Value configuration = documentOf("configuration");
    if (!configuration.isObject()) {
        configuration = Json::Value(Json::objectValue);
    }

    ConfigServer server(global);
    PnConfigClient client(server.Server());
    client.SetRequestTimeout(global.timeoutMs);
    const PnConfigClient::ConfigCheckResult result =
        client.CheckConfiguration(configuration, documentOf("listOfNodes"), documentOf("topology"));
    if (client.HasError()) {
        throw CommandFailure(kExitFailed,
                             "TavrelCheckConfiguration: " +
                                 DescribeFailure(client.GetLastErrCode(), client.GetErrList()));
    }

    std::size_t errors = 0;
    Json::Value findings(Json::arrayValue);
    for (const PnConfigClient::ConfigFinding& finding : result.Findings) {
        const auto found = sources.find(finding.Document);
        const std::string file =
            found == sources.end() ? "<" + finding.Document + ">" : found->second.file;
        const std::string path =
            (found == sources.end() ? std::string() : found->second.prefix) + finding.Path;
        errors += finding.Severity == "error" ? 1 : 0;
        if (global.json) {
            Json::Value entry(Json::objectValue);
            entry["file"] = file;
            entry["path"] = path;
            entry["severity"] = finding.Severity;
            entry["message"] = finding.Message;
            findings.append(entry);
        } else {
            std::cout << file << ':' << path << ": " << finding.Severity << ": " << finding.Message
                      << '\n';
        }
    }
    const std::string summary = std::to_string(errors) + " error(s), " +
                                std::to_string(result.Findings.size() - errors) + " warning(s)";
    if (global.json) {
        Json::Value document(Json::objectValue);
        document["accepted"] = result.Accepted;
        document["findings"] = findings;
        PrintJson(std::cout, document);
    } else if (errors == 0) {
        std::cout << summary << '\n';
    }
    if (errors != 0) {
        throw CommandFailure(kExitFailed, summary);
    }
    return kExitOk;
}

}  // namespace Pnctl
