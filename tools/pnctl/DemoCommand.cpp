// SPDX-License-Identifier: Apache-2.0
// pnctl demo: the library's main job end to end. Starts the bundled
// configuration server with a temporary catalogue, imports the sample GSDML
// files, prints the catalogue, builds a configuration from it and shuts the
// server down, leaving nothing behind.

#include "CatalogTree.h"
#include "Commands.h"
#include "ConfigServer.h"
#include "Console.h"
#include "RecordJson.h"

#include <JsonRpcClient/JsonRpcClient.h>
#include <JsonRpcClient/clients/PnGsdClient.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <set>

#ifndef PNCTL_SOURCE_SAMPLES
#define PNCTL_SOURCE_SAMPLES ""
#endif

namespace Pnctl {

using RpcClient::Tavrel::PnGsdClient;

namespace {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed with all
// its content when the demo ends (also when it fails).
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::random_device random;
        const fs::path base = fs::temp_directory_path();
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path candidate =
                base / ("pnctl-demo-" + std::to_string(random()) + std::to_string(attempt));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
        throw CommandFailure(kExitInput,
                             "cannot create a temporary catalogue directory in " + base.string());
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory() { Remove(); }
    void Remove() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

bool HasXmlFiles(const fs::path& directory) {
    std::error_code error;
    if (!fs::is_directory(directory, error)) {
        return false;
    }
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        if (entry.path().extension() == ".xml") {
            return true;
        }
    }
    return false;
}

// The bundled samples: at their place relative to an installed or built
// pnctl first (<prefix>/share/JsonRpcClient/gsdml beside bin/), then in the
// source tree it was built from.
fs::path FindSamples(const std::string& requested) {
    if (!requested.empty()) {
        if (!HasXmlFiles(requested)) {
            throw CommandFailure(kExitInput, "no GSDML (.xml) files in " + requested);
        }
        return requested;
    }
    std::vector<fs::path> candidates;
    const fs::path executable = ExecutablePath();
    if (!executable.empty()) {
        candidates.push_back(
            (executable.parent_path() / PNCTL_SAMPLES_FROM_BIN).lexically_normal());
    }
    candidates.emplace_back(PNCTL_SOURCE_SAMPLES);
    for (const fs::path& candidate : candidates) {
        if (!candidate.empty() && HasXmlFiles(candidate)) {
            return candidate;
        }
    }
    throw CommandFailure(kExitInput, "cannot find the sample GSDML files (use --samples DIR)");
}

std::vector<fs::path> XmlFiles(const fs::path& directory) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.is_regular_file() && entry.path().extension() == ".xml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// What the configuration takes from the catalogue: one access point of one
// file and the modules (with their submodules) that fit into its slots.
struct DeviceChoice {
    std::string gsdName;
    Json::Value dap;
    std::vector<Json::Value> modules;  // each with "Slot" and submodules with "Subslot"
};

// Prefers the access point whose modules bring the most submodules, so the
// configuration shows every level; modules with submodules go first.
std::optional<DeviceChoice> ChooseDevice(const std::vector<Json::Value>& trees) {
    std::optional<DeviceChoice> best;
    int bestScore = -1;
    for (const Json::Value& tree : trees) {
        for (const Json::Value& dap : tree["DeviceAccessPoints"]) {
            std::vector<Json::Value> ordered;
            for (const Json::Value& module : dap["Modules"]) {
                ordered.push_back(module);
            }
            std::stable_sort(ordered.begin(), ordered.end(),
                             [](const Json::Value& a, const Json::Value& b) {
                                 return a["Submodules"].size() > b["Submodules"].size();
                             });
            DeviceChoice choice{tree["GsdName"].asString(), dap, {}};
            std::set<int> usedSlots;
            for (const Json::Value& slot : dap["Slots"]) {
                usedSlots.insert(slot.asInt());
            }
            int score = 0;
            for (const Json::Value& module : ordered) {
                if (choice.modules.size() == 2) {
                    break;
                }
                for (const Json::Value& slot : module["Slots"]) {
                    if (usedSlots.insert(slot.asInt()).second) {
                        Json::Value placed = module;
                        placed["Slot"] = slot.asInt();
                        choice.modules.push_back(placed);
                        score += 1 + static_cast<int>(module["Submodules"].size());
                        break;
                    }
                }
            }
            if (!choice.modules.empty() && score > bestScore) {
                bestScore = score;
                best = choice;
            }
        }
    }
    return best;
}

PnControllerConf MakeController() {
    PnControllerIpProtocol ip(
        PnControllerIpProtocolSetInProject("192.168.0.1", "255.255.255.0", "0.0.0.0"));
    PnControllerEthernetAddresses addresses(ip, PnControllerName("plc-1"));
    PnControllerAdvancedOptions options;
    PnDevicePort port(1);
    port.SetSubslotNumber(0x8001);
    port.PortOptions.Rate = GetTransmissionRateByString("TP 100-Mbps Full Duplex");
    options.Ports.push_back(port);
    PnControllerConf controller;
    controller.SetDeviceRefId("PN_Ostrel_1");
    controller.SetDeviceInterface(
        PnControllerInterface("PN_Ostrel_1_Interface", addresses, options));
    return controller;
}

PnDeviceConf MakeDevice(const std::string& name, const DeviceChoice& choice) {
    PnDeviceEthernetAddresses addresses(
        PnDeviceIpProtocol(ItemChoiceType_IpProtocolSetInTheProject,
                           PnDeviceIpProtocolSetInTheProject("192.168.0.10", "255.255.255.0")),
        PnDeviceName(name, 1));
    PnDeviceAdvancedOptions options;
    PnDevicePort port(1);
    port.SetSubslotNumber(0x8001);
    port.PortOptions.Rate = GetTransmissionRateByString("TP 100-Mbps Full Duplex");
    options.Ports.push_back(port);

    std::vector<PnDeviceModule> modules;
    unsigned int address = 0;
    for (const Json::Value& chosen : choice.modules) {
        const auto slot = static_cast<unsigned short>(chosen["Slot"].asInt());
        PnDeviceModule module(name + "_slot" + std::to_string(slot), slot,
                              chosen["GsdId"].asString());
        std::vector<PnDeviceSubModule> submodules;
        std::set<int> usedSubslots;
        for (const Json::Value& submodule : chosen["Submodules"]) {
            for (const Json::Value& subslot : submodule["Subslots"]) {
                if (usedSubslots.insert(subslot.asInt()).second) {
                    PnDeviceSubmoduleInOutAddress io;
                    // Apart by more than any sample submodule's IO data,
                    // so the server's overlap check passes.
                    io.SetInputStartAddress(address);
                    address += 32;
                    submodules.emplace_back(module.ModuleId + "_" + submodule["GsdId"].asString(),
                                            static_cast<unsigned short>(subslot.asInt()),
                                            submodule["GsdId"].asString(), io);
                    break;
                }
            }
        }
        module.SetSubModuleList(submodules);
        modules.push_back(module);
    }
    PnDeviceInterface iface(name + "_interface", addresses, options, PnDeviceIsochronousMode());
    return PnDeviceConf(name, iface, modules);
}

}  // namespace

int RunDemo(const DemoOptions& demo, const GlobalOptions& global) {
    const auto started = std::chrono::steady_clock::now();
    const fs::path samples = FindSamples(demo.samples);
    TemporaryDirectory catalog;
    GlobalOptions options = global;
    options.catalog = catalog.Path().string();

    Json::Value document(Json::objectValue);
    std::ostream& out = std::cout;
    {
        ConfigServer server(options);
        RpcClient::Tavrel::PnGsdClient client(server.Server());
        client.SetRequestTimeout(global.timeoutMs);

        const std::string version = client.GetVersion();
        ThrowIfFailed(client, "GetVersion");
        document["version"] = version;
        if (!global.json) {
            out << "configuration server " << version << " running, catalogue in "
                << catalog.Path().string() << "\n\n";
        }

        if (!global.json) {
            out << "samples from " << samples.string() << '\n';
        }
        Json::Value imported(Json::arrayValue);
        for (const fs::path& file : XmlFiles(samples)) {
            const ImportResult result = client.TavrelImportGsdFile(file.string());
            ThrowIfFailed(client, "TavrelImportGsdFile " + file.filename().string());
            if (!result.IsSuccess) {
                throw CommandFailure(kExitFailed,
                                     "the sample " + file.filename().string() + " was refused: " +
                                         (result.ErrorMessages.empty() ? std::string("no reason")
                                                                       : result.ErrorMessages[0]));
            }
            imported.append(ToJson(result));
            if (!global.json) {
                out << "imported " << result.GsdName << '\n';
            }
        }
        document["imported"] = imported;

        const std::vector<std::string> names = client.GetInstalledGSDsNames();
        ThrowIfFailed(client, "GetInstalledGSDsNames");
        std::vector<Json::Value> trees;
        document["catalog"] = Json::Value(Json::arrayValue);
        if (!global.json) {
            out << "\ncatalogue:\n";
        }
        for (const std::string& name : names) {
            trees.push_back(BuildCatalogTree(client, name));
            document["catalog"].append(trees.back());
            if (!global.json) {
                PrintCatalogTree(out, trees.back());
            }
        }

        const std::optional<DeviceChoice> choice = ChooseDevice(trees);
        if (!choice) {
            throw CommandFailure(kExitFailed, "no sample device offers a pluggable module");
        }
        const std::string deviceName = "io-device-1";
        const PnConfiguration configuration(MakeController(), {MakeDevice(deviceName, *choice)},
                                            PnSubnetConf());
        PnListOfNodes nodes;
        // The catalogue name, not the installed path: the node stays valid
        // for any catalogue that holds the file, and this one goes away.
        PnDeviceNode node(deviceName, choice->gsdName, choice->dap["GsdId"].asString());
        node.DeviceId = deviceName;
        nodes.DeviceNodeList = {node};
        PnTopology topology;
        PnPortInterconnection link;
        link.LocalPort = PnPort("PN_Ostrel_1", "PN_Ostrel_1_Interface", 1);
        link.PartnerPort = PnPort(deviceName, deviceName + "_interface", 1);
        topology.PortInterconnectionList.push_back(link);

        document["configuration"] = configuration.ToJson();
        document["listOfNodes"] = nodes.ToJson();
        document["topology"] = topology.ToJson();
        const PnGsdClient::ConfigCheckResult check = client.LoadConfiguration(
            document["configuration"], document["listOfNodes"], document["topology"]);
        ThrowIfFailed(client, "TavrelLoadConfiguration");
        document["check"] = Json::Value(Json::arrayValue);
        for (const PnGsdClient::ConfigFinding& finding : check.Findings) {
            document["check"].append(
                Object({Member("severity", finding.Severity), Member("document", finding.Document),
                        Member("path", finding.Path), Member("message", finding.Message)}));
        }
        if (!global.json) {
            out << "\ndevice " << deviceName << " from " << choice->gsdName << ", access point "
                << choice->dap["GsdId"].asString() << '\n';
            out << "\n== Configuration ==\n";
            PrintJson(out, document["configuration"]);
            out << "== List of nodes ==\n";
            PrintJson(out, nodes.ToJson());
            out << "== Topology ==\n";
            PrintJson(out, topology.ToJson());
            out << "== Check ==\n";
            for (const PnGsdClient::ConfigFinding& finding : check.Findings) {
                out << finding.Document << ':' << finding.Path << ": " << finding.Severity << ": "
                    << finding.Message << '\n';
            }
            out << (check.Accepted ? "accepted" : "refused") << " by the configuration server, "
                << check.Findings.size() << " finding(s)\n";
        }
        if (!check.Accepted) {
            throw CommandFailure(kExitFailed,
                                 "the configuration server refused the demo configuration");
        }
    }  // the server is shut down here, before the catalogue is removed

    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    catalog.Remove();
    if (global.json) {
        PrintJson(out, document);
    } else {
        out << "\nserver shut down, temporary catalogue removed (" << elapsed.count() << " ms)\n";
    }
    return kExitOk;
}

}  // namespace Pnctl
