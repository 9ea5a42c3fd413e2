// SPDX-License-Identifier: Apache-2.0
#include "CatalogTree.h"

#include <ostream>

namespace Pnctl {

namespace {

Json::Value Slots(const std::vector<int>& numbers) {
    Json::Value array(Json::arrayValue);
    for (int number : numbers) {
        array.append(number);
    }
    return array;
}

Json::Value Item(const Tavrel::Gsd::baseInfo& info) {
    Json::Value item(Json::objectValue);
    item["GsdId"] = info.GsdId;
    item["Name"] = info.Name;
    return item;
}

std::string Label(const Json::Value& item) {
    std::string label = item["GsdId"].asString();
    const std::string name = item["Name"].asString();
    if (!name.empty()) {
        label += "  \"" + name + '"';
    }
    return label;
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
                             const std::string& dapId) {
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
        dapNode["Slots"] = Slots(client.GetPluggableModuleSlotRelation(gsdName, dap, dap));
        ThrowIfFailed(client, "GetPluggableModuleSlotRelation " + dap);

        Json::Value modules(Json::arrayValue);
        const auto pluggable = client.GetPluggableModuleCatalog(gsdName, dap);
        ThrowIfFailed(client, "GetPluggableModuleCatalog " + dap);
        for (const auto& module : pluggable) {
            const std::string moduleId = module.BaseInfo.GsdId;
            Json::Value moduleNode = Item(module.BaseInfo);
            moduleNode["Slots"] =
                Slots(client.GetPluggableModuleSlotRelation(gsdName, dap, moduleId));
            ThrowIfFailed(client, "GetPluggableModuleSlotRelation " + moduleId);

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
                        node["Subslots"] = Slots(relation.Subslots);
                    }
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
        for (const Json::Value& module : dap["Modules"]) {
            out << "    module " << Label(module) << "  slots " << FormatSlots(module["Slots"])
                << '\n';
            for (const Json::Value& submodule : module["Submodules"]) {
                out << "      submodule " << Label(submodule) << "  subslots "
                    << FormatSlots(submodule["Subslots"]) << '\n';
            }
        }
    }
}

}  // namespace Pnctl
