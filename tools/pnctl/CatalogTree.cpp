// SPDX-License-Identifier: Apache-2.0
#include "CatalogTree.h"

#include "RecordJson.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace Pnctl {

namespace {

Json::Value Item(const Tavrel::Gsd::baseInfo& info) {
    return Object({Member("GsdId", info.GsdId), Member("Name", info.Name)});
}

Json::Value Io(const Tavrel::Gsd::ioDataInfo& io) {
    return Object({Member("Input", io.Isize), Member("Output", io.Osize)});
}

std::string Label(const Json::Value& item) {
    std::string label = item["GsdId"].asString();
    const std::string name = item["Name"].asString();
    if (!name.empty()) {
        label += "  \"" + name + '"';
    }
    return label;
}

// "in 28, out 28 bytes"; "no IO".
std::string IoText(const Json::Value& io) {
    const int input = io["Input"].asInt();
    const int output = io["Output"].asInt();
    if (input == 0 && output == 0) {
        return "no IO";
    }
    std::string text;
    if (input != 0) {
        text = "in " + std::to_string(input);
    }
    if (output != 0) {
        text += (text.empty() ? "out " : ", out ") + std::to_string(output);
    }
    return text + " bytes";
}

// The parameter records of a submodule, as the client reads them.
Json::Value Records(RpcClient::Tavrel::PnGsdClient& client, const std::string& gsdName,
                    const std::string& dap, const std::string& submoduleId) {
    const auto records = client.GetSubModuleParameter(gsdName, dap, submoduleId);
    ThrowIfFailed(client, "GetSubModuleParameter " + submoduleId);
    return ToJson(records);
}

// The submodules a module comes with, each in its subslot.
Json::Value PluggedSubmodules(RpcClient::Tavrel::PnGsdClient& client, const std::string& gsdName,
                              const std::string& dap, const Tavrel::Gsd::moduleData& module,
                              bool records) {
    Json::Value nodes(Json::arrayValue);
    for (const auto& submodule : module.SubItems) {
        Json::Value node(Json::objectValue);
        node["GsdId"] = submodule.Info.GsdID;
        node["Name"] = submodule.Info.Name;
        node["Subslot"] = submodule.SlotNumber;
        node["SubslotName"] = submodule.SlotName;
        node["Fixed"] = submodule.IsMandatory;
        node["Io"] = Io(submodule.IoData);
        if (records) {
            node["Records"] = Records(client, gsdName, dap, submodule.Info.GsdID);
        }
        nodes.append(node);
    }
    return nodes;
}

// Numbers by value, then other texts by name: "0, 16, 100", not "0, 100, 16".
bool ValueBefore(const Json::Value& a, const Json::Value& b) {
    const std::string x = a[0].asString();
    const std::string y = b[0].asString();
    char* endX = nullptr;
    char* endY = nullptr;
    const double nx = std::strtod(x.c_str(), &endX);
    const double ny = std::strtod(y.c_str(), &endY);
    const bool numberX = !x.empty() && *endX == '\0';
    const bool numberY = !y.empty() && *endY == '\0';
    if (numberX != numberY) {
        return numberX;
    }
    return numberX ? nx < ny : x < y;
}

void PrintMenu(std::ostream& out, const Json::Value& menu, const std::string& indent) {
    for (const Json::Value& item : menu["RecordDataList"]) {
        out << indent << '"' << item["Name"].asString() << "\"  byte "
            << item["ByteOffset"].asInt();
        if (item["BitOffset"].asInt() != 0) {
            out << " bit " << item["BitOffset"].asInt();
        }
        out << "  default " << item["DefaultValue"].asString();
        if (!item["MinValue"].asString().empty() || !item["MaxValue"].asString().empty()) {
            out << "  range " << item["MinValue"].asString() << ".." << item["MaxValue"].asString();
        }
        if (!item["IsChangeable"].asBool()) {
            out << "  fixed";
        }
        out << '\n';
        std::vector<Json::Value> values(item["Values"].begin(), item["Values"].end());
        std::stable_sort(values.begin(), values.end(), ValueBefore);
        for (const Json::Value& value : values) {
            out << indent << "  " << value[0].asString() << " = " << value[1].asString() << '\n';
        }
    }
    for (const Json::Value& submenu : menu["MenuItems"]) {
        out << indent << "menu \"" << submenu["Name"].asString() << "\"\n";
        PrintMenu(out, submenu, indent + "  ");
    }
}

void PrintRecords(std::ostream& out, const Json::Value& records, const std::string& indent) {
    for (const Json::Value& record : records) {
        out << indent << "record " << record["Index"].asInt() << ", " << record["Length"].asInt()
            << " bytes";
        const std::string name = record["MenuItem"]["Name"].asString();
        if (!name.empty()) {
            out << "  \"" << name << '"';
        }
        out << '\n';
        PrintMenu(out, record["MenuItem"], indent + "  ");
    }
}

void PrintPlugged(std::ostream& out, const Json::Value& submodules) {
    for (const Json::Value& submodule : submodules) {
        out << "      subslot " << submodule["Subslot"].asInt() << " \""
            << submodule["SubslotName"].asString() << "\": " << Label(submodule) << "  "
            << (submodule["Fixed"].asBool() ? "fixed" : "pre-plugged") << ", "
            << IoText(submodule["Io"]) << '\n';
        PrintRecords(out, submodule["Records"], "        ");
    }
}

}  // namespace

void ThrowIfFailed(const RpcClient::JsonRpcClient& client, const std::string& what) {
    if (client.HasError()) {
        throw CommandFailure(
            kExitFailed,
            what + ": " + DescribeFailure(client.GetLastErrCode(), client.GetErrList()));
    }
}

Json::Value BuildCatalogTree(RpcClient::Tavrel::PnGsdClient& client, const std::string& gsdName,
                             const std::string& dapId, bool records) {
    Json::Value tree(Json::objectValue);
    tree["GsdName"] = gsdName;
    Json::Value daps(Json::arrayValue);

    const auto devices = client.GetDeviceCatalogs(gsdName);
    ThrowIfFailed(client, "GetDeviceCatalogs " + gsdName);
    for (const auto& device : devices) {
        const std::string dap = device.BaseInfo.GsdId;
        if (!dapId.empty() && dap != dapId) {
            continue;
        }
        Json::Value dapNode = Item(device.BaseInfo);
        dapNode["Description"] = device.BaseInfo.Description;
        dapNode["OrderNumber"] = device.BaseInfo.OrderNumber;
        // Asked about itself, the access point tells the slots it is fixed in.
        dapNode["Slots"] = ToJson(client.GetPluggableModuleSlotRelation(gsdName, dap, dap));
        ThrowIfFailed(client, "GetPluggableModuleSlotRelation " + dap);

        // What the device comes with: the access point itself and the
        // modules it fixes or pre-plugs, each with its submodules.
        Json::Value builtIn(Json::arrayValue);
        const auto plugged = client.GetBuildInModuleData(gsdName, dap);
        ThrowIfFailed(client, "GetBuildInModuleData " + dap);
        for (const auto& module : plugged) {
            Json::Value moduleNode(Json::objectValue);
            moduleNode["GsdId"] = module.Item.Info.GsdID;
            moduleNode["Name"] = module.Item.Info.Name;
            moduleNode["Slot"] = module.Item.SlotNumber;
            moduleNode["SlotName"] = module.Item.SlotName;
            moduleNode["Fixed"] = module.Item.IsMandatory;
            moduleNode["Io"] = Io(module.Item.IoData);
            moduleNode["Submodules"] = PluggedSubmodules(client, gsdName, dap, module, records);
            builtIn.append(moduleNode);
        }
        dapNode["BuiltIn"] = builtIn;

        Json::Value modules(Json::arrayValue);
        const auto pluggable = client.GetPluggableModuleCatalog(gsdName, dap);
        ThrowIfFailed(client, "GetPluggableModuleCatalog " + dap);
        for (const auto& module : pluggable) {
            const std::string moduleId = module.BaseInfo.GsdId;
            Json::Value moduleNode = Item(module.BaseInfo);
            moduleNode["Slots"] =
                ToJson(client.GetPluggableModuleSlotRelation(gsdName, dap, moduleId));
            ThrowIfFailed(client, "GetPluggableModuleSlotRelation " + moduleId);
            const auto data = client.GetModuleData(gsdName, dap, moduleId);
            ThrowIfFailed(client, "GetModuleData " + moduleId);
            moduleNode["Io"] = Io(data.Item.IoData);
            moduleNode["BuiltIn"] = PluggedSubmodules(client, gsdName, dap, data, records);

            const auto relations = client.GetPluggableSubModuleSlotRelation(gsdName, dap, moduleId);
            ThrowIfFailed(client, "GetPluggableSubModuleSlotRelation " + moduleId);
            const auto submodules = client.GetPluggableSubModuleListCatalog(gsdName, dap, moduleId);
            ThrowIfFailed(client, "GetPluggableSubModuleListCatalog " + moduleId);

            Json::Value submoduleNodes(Json::arrayValue);
            for (const auto& submodule : submodules) {
                Json::Value node = Item(submodule.BaseInfo);
                node["Subslots"] = Json::Value(Json::arrayValue);
                for (const auto& relation : relations) {
                    if (relation.ModuleRefId == submodule.BaseInfo.GsdId) {
                        node["Subslots"] = ToJson(relation.Subslots);
                    }
                }
                const std::string submoduleId = submodule.BaseInfo.GsdId;
                node["Io"] = Io(client.GetSubModuleData(gsdName, dap, submoduleId).IoData);
                ThrowIfFailed(client, "GetSubModuleData " + submoduleId);
                if (records) {
                    node["Records"] = Records(client, gsdName, dap, submoduleId);
                }
                submoduleNodes.append(node);
            }
            moduleNode["Submodules"] = submoduleNodes;
            modules.append(moduleNode);
        }
        dapNode["Modules"] = modules;
        daps.append(dapNode);
    }
    if (!dapId.empty() && daps.empty()) {
        throw CommandFailure(kExitFailed, gsdName + " has no device access point \"" + dapId + '"');
    }
    tree["DeviceAccessPoints"] = daps;
    return tree;
}

std::string FormatSlots(const Json::Value& slots) {
    std::string text;
    Json::ArrayIndex i = 0;
    const Json::ArrayIndex count = slots.size();
    while (i < count) {
        const int first = slots[i].asInt();
        Json::ArrayIndex j = i;
        while (j + 1 < count && slots[j + 1].asInt() == slots[j].asInt() + 1) {
            ++j;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(first);
        if (j > i) {
            text += '-' + std::to_string(slots[j].asInt());
        }
        i = j + 1;
    }
    return text.empty() ? "-" : text;
}

void PrintCatalogTree(std::ostream& out, const Json::Value& tree) {
    out << tree["GsdName"].asString() << '\n';
    for (const Json::Value& dap : tree["DeviceAccessPoints"]) {
        out << "  DAP " << Label(dap) << "  slot " << FormatSlots(dap["Slots"]) << '\n';
        for (const Json::Value& module : dap["BuiltIn"]) {
            out << "    slot " << module["Slot"].asInt() << " \"" << module["SlotName"].asString()
                << "\": " << Label(module) << "  "
                << (module["Fixed"].asBool() ? "fixed" : "pre-plugged") << ", "
                << IoText(module["Io"]) << '\n';
            PrintPlugged(out, module["Submodules"]);
        }
        for (const Json::Value& module : dap["Modules"]) {
            out << "    module " << Label(module) << "  slots " << FormatSlots(module["Slots"])
                << ", " << IoText(module["Io"]) << '\n';
            PrintPlugged(out, module["BuiltIn"]);
            for (const Json::Value& submodule : module["Submodules"]) {
                out << "      submodule " << Label(submodule) << "  subslots "
                    << FormatSlots(submodule["Subslots"]) << ", " << IoText(submodule["Io"])
                    << '\n';
                PrintRecords(out, submodule["Records"], "        ");
            }
        }
    }
}

}  // namespace Pnctl
