// SPDX-License-Identifier: Apache-2.0
// What the catalogue methods share: reading params, finding items, the
// answer parts several methods give.
#include "CatalogMethods.h"

#include <wire/FastJsonWriter.h>

#include <algorithm>
#include <utility>

namespace GsdCatalog {
namespace detail {

const Json::Value& Param(const Json::Value& params, Json::ArrayIndex index) {
    if (!params.isArray() || params.size() <= index) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: expected at least " +
                                                      std::to_string(index + 1) + " params"};
    }
    return params[index];
}

std::string TextParam(const Json::Value& params, Json::ArrayIndex index) {
    const Json::Value& value = Param(params, index);
    if (!value.isString()) {
        throw RpcFault{ServerKit::kInvalidParams,
                       "Invalid params: param " + std::to_string(index + 1) + " must be a string"};
    }
    return value.asString();
}

long long IntegerParam(const Json::Value& params, Json::ArrayIndex index) {
    const Json::Value& value = Param(params, index);
    if (!value.isIntegral()) {
        throw RpcFault{
            ServerKit::kInvalidParams,
            "Invalid params: param " + std::to_string(index + 1) + " must be an integer"};
    }
    return value.asLargestInt();
}

RpcFault NotFound(const std::string& what) {
    return RpcFault{kItemNotFound, what};
}

const AccessPoint& FindDap(const GsdFile& file, const std::string& gsd, const std::string& id) {
    if (id.empty()) {
        return file.accessPoints.front();  // a parsed file has at least one
    }
    if (const AccessPoint* dap = file.FindAccessPoint(id)) {
        return *dap;
    }
    throw NotFound("device access point \"" + id + "\" is not described in \"" + gsd + "\"");
}

const ItemRef* FindRef(const std::vector<ItemRef>& refs, const std::string& target) {
    for (const ItemRef& ref : refs) {
        if (ref.target == target) {
            return &ref;
        }
    }
    return nullptr;
}

// The module named `id` as seen from `dap`: the access point itself when the
// id is its own, else a module of the file's module list.
const Module& FindModule(const GsdFile& file, const std::string& gsd, const AccessPoint& dap,
                         const std::string& id) {
    if (id == dap.info.id) {
        return dap;
    }
    if (const Module* module = file.FindModule(id)) {
        return *module;
    }
    throw NotFound("module \"" + id + "\" is not described in \"" + gsd + "\"");
}

const Submodule* FindInModule(const GsdFile& file, const Module& module, const std::string& id) {
    for (const auto* list : {&module.virtualSubmodules, &module.systemSubmodules}) {
        for (const Submodule& submodule : *list) {
            if (submodule.info.id == id) {
                return &submodule;
            }
        }
    }
    if (FindRef(module.useableSubmodules, id)) {
        return file.FindListedSubmodule(id);
    }
    return nullptr;
}

// Finds a submodule anywhere in the file, preferring `dap` when given.
SubmoduleHit FindSubmodule(const GsdFile& file, const std::string& gsd, const AccessPoint* dap,
                           const std::string& id) {
    const GsdFile::SubmoduleAt at = file.LocateSubmodule(dap, id);
    if (!at.submodule) {
        throw NotFound("submodule \"" + id + "\" is not described in \"" + gsd + "\"");
    }
    return {at.submodule, at.dap, at.owner};
}

const Submodule* InterfaceOf(const AccessPoint& dap) {
    for (const Submodule& submodule : dap.systemSubmodules) {
        if (submodule.kind == ItemKind::InterfaceSubmodule) {
            return &submodule;
        }
    }
    return nullptr;
}

int RtClassesOf(const SubmoduleHit& hit) {
    if (hit.submodule->kind == ItemKind::InterfaceSubmodule) {
        return hit.submodule->rtClasses;
    }
    const Submodule* interfaceItem = hit.dap ? InterfaceOf(*hit.dap) : nullptr;
    return interfaceItem ? interfaceItem->rtClasses : kRtClass1;
}

// Slots an item may take: where it is allowed, or else where it is fixed or
// pre-plugged.
std::vector<int> SlotsOf(const ItemRef& ref) {
    std::vector<int> slots = ref.allowed;
    if (slots.empty()) {
        slots = ref.fixed;
        slots.insert(slots.end(), ref.used.begin(), ref.used.end());
    }
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    return slots;
}

// Pluggable: some slot the item may take is not one where it is fixed.
bool IsPluggable(const ItemRef& ref) {
    if (ref.allowed.empty() && ref.used.empty()) {
        return ref.fixed.empty();
    }
    for (int slot : SlotsOf(ref)) {
        if (std::find(ref.fixed.begin(), ref.fixed.end(), slot) == ref.fixed.end()) {
            return true;
        }
    }
    return false;
}

Json::Value IntArray(const std::vector<int>& values) {
    return ArrayOf(values);
}

Json::Value BaseInfo(const std::string& gsd, const ItemInfo& info) {
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdName)] = gsd;
    value[Member(Key::GsdId)] = info.id;
    value[Member(Key::Category)] = info.category;
    value[Member(Key::SubCategory)] = info.subCategory;
    value[Member(Key::Name)] = info.name;
    value[Member(Key::SoftwareRelease)] = info.softwareRelease;
    value[Member(Key::OrderNumber)] = info.orderNumber;
    value[Member(Key::Description)] = info.infoText;
    return value;
}

void AppendBaseInfo(std::string& out, const std::string& gsd, const ItemInfo& info) {
    // In the order JsonCpp keeps an object's members: by their names' bytes.
    const std::pair<const char*, const std::string*> fields[] = {
        {Key::Category, &info.category},
        {Key::Description, &info.infoText},
        {Key::GsdId, &info.id},
        {Key::GsdName, &gsd},
        {Key::Name, &info.name},
        {Key::OrderNumber, &info.orderNumber},
        {Key::SoftwareRelease, &info.softwareRelease},
        {Key::SubCategory, &info.subCategory},
    };
    char separator = '{';
    for (const auto& [name, value] : fields) {
        out += separator;
        separator = ',';
        out += '"';
        out += name;
        out += "\":";
        RpcClient::AppendJsonString(out, value->data(), value->data() + value->size());
    }
    out += '}';
}

Json::Value DapBaseInfo(const std::string& gsd, const GsdFile& file, const AccessPoint& dap) {
    Json::Value value = BaseInfo(gsd, dap.info);
    // An access point without a category of its own is filed under the
    // device's family.
    if (dap.info.category.empty()) {
        value[Member(Key::Category)] = file.mainFamily;
    }
    if (dap.info.subCategory.empty()) {
        value[Member(Key::SubCategory)] = file.productFamily;
    }
    return value;
}

Json::Value DataBaseInfo(const ItemInfo& info) {
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdID)] = info.id;
    value[Member(Key::Name)] = info.name;
    value[Member(Key::OrderNumber)] = info.orderNumber;
    value[Member(Key::FirmwareVersion)] = info.hardwareRelease;
    value[Member(Key::SoftwareVerison)] = info.softwareRelease;
    value[Member(Key::Description)] = info.infoText;
    value[Member(Key::IdentNumber)] = info.identNumber;
    return value;
}

InstalledGsdPtr RequireGsd(CatalogService& service, const std::string& name) {
    InstalledGsdPtr installed = service.Store().Find(name);
    if (!installed) {
        throw RpcFault{kGsdNotInstalled, "GSD file \"" + name + "\" is not installed"};
    }
    return installed;
}

// The access point named by a param that may be empty: when it is, the first
// access point that can hold `moduleId` (or the first one at all).
const AccessPoint& DapForModule(const GsdFile& file, const std::string& gsd,
                                const std::string& dapId, const std::string& moduleId) {
    if (!dapId.empty()) {
        return FindDap(file, gsd, dapId);
    }
    for (const AccessPoint& dap : file.accessPoints) {
        if (dap.info.id == moduleId || FindRef(dap.useableModules, moduleId)) {
            return dap;
        }
    }
    return file.accessPoints.front();
}

}  // namespace detail
}  // namespace GsdCatalog
