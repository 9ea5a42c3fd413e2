// SPDX-License-Identifier: Apache-2.0
// The catalogue methods about access points and modules: what plugs where,
// and the module data of what comes plugged.
#include "CatalogMethods.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace GsdCatalog {
namespace detail {

namespace {

Json::Value IoData(const IoSizes& io) {
    Json::Value value(Json::objectValue);
    value[Member(Key::IoType)] = (io.hasInput ? 1 : 0) | (io.hasOutput ? 2 : 0);
    value[Member(Key::Isize)] = io.inputBytes;
    value[Member(Key::Osize)] = io.outputBytes;
    return value;
}

// Adds `instances` times the sizes of one submodule; a file that claims more
// than an int can count gets the largest int, not an overflow.
void AddIo(IoSizes& sum, const IoSizes& io, std::size_t instances) {
    if (instances == 0) {
        return;
    }
    const auto add = [instances](int total, int bytes) {
        const long long wide =
            total + static_cast<long long>(bytes) * static_cast<long long>(instances);
        return static_cast<int>(std::clamp<long long>(wide, std::numeric_limits<int>::min(),
                                                      std::numeric_limits<int>::max()));
    };
    sum.hasInput = sum.hasInput || io.hasInput;
    sum.hasOutput = sum.hasOutput || io.hasOutput;
    sum.inputBytes = add(sum.inputBytes, io.inputBytes);
    sum.outputBytes = add(sum.outputBytes, io.outputBytes);
}

// Subslots where a reference plugs its submodule by default: fixed, then
// pre-plugged, each once.
std::vector<int> DefaultSubslots(const ItemRef& ref) {
    std::vector<int> subslots = ref.fixed;
    for (int subslot : ref.used) {
        if (std::find(subslots.begin(), subslots.end(), subslot) == subslots.end()) {
            subslots.push_back(subslot);
        }
    }
    return subslots;
}

// The IO data of a module as it comes plugged: every instance of its virtual
// submodules and of the submodules it fixes or pre-plugs.
IoSizes ModuleIo(const GsdFile& file, const Module& module) {
    IoSizes sum;
    for (const Submodule& submodule : module.virtualSubmodules) {
        AddIo(sum, submodule.io, submodule.Subslots().size());
    }
    for (const ItemRef& ref : module.useableSubmodules) {
        if (const Submodule* submodule = file.FindListedSubmodule(ref.target)) {
            AddIo(sum, submodule->io, DefaultSubslots(ref).size());
        }
    }
    return sum;
}

std::string NameOf(const std::map<int, std::string>& names, int number) {
    const auto found = names.find(number);
    return found == names.end() ? std::string() : found->second;
}

// The name of a slot or subslot: from the container's SlotList/SubslotList,
// else the name of the item in it.
std::string SlotNameOf(const std::map<int, std::string>& names, int number, const ItemInfo& item) {
    std::string name = NameOf(names, number);
    return name.empty() ? item.name : name;
}

// One rule for every answer that shows a submodule in a subslot; `owner` is
// the access point or module whose subslot it is (null: none known).
Json::Value SubmoduleItem(const Submodule& submodule, int subslot, bool mandatory,
                          const Module* owner) {
    Json::Value item(Json::objectValue);
    item[Member(Key::Info)] = DataBaseInfo(submodule.info);
    item[Member(Key::IoData)] = IoData(submodule.io);
    item[Member(Key::Type)] = static_cast<int>(submodule.kind);
    item[Member(Key::IsMandatory)] = mandatory;
    item[Member(Key::SlotNumber)] = subslot;
    item[Member(Key::SlotName)] =
        owner ? SlotNameOf(owner->subslotNames, subslot, submodule.info) : submodule.info.name;
    return item;
}

Json::Value ModuleData(const GsdFile& file, const AccessPoint& dap, const Module& module, int slot,
                       bool mandatory) {
    const bool isDap = &module == static_cast<const Module*>(&dap);
    Json::Value data(Json::objectValue);
    Json::Value item(Json::objectValue);
    item[Member(Key::Info)] = DataBaseInfo(module.info);
    item[Member(Key::IoData)] = IoData(ModuleIo(file, module));
    item[Member(Key::Type)] =
        static_cast<int>(isDap ? ItemKind::DeviceAccessPoint : ItemKind::Module);
    item[Member(Key::IsMandatory)] = mandatory;
    item[Member(Key::SlotNumber)] = slot;
    item[Member(Key::SlotName)] = SlotNameOf(dap.slotNames, slot, module.info);
    data[Member(Key::Item)] = std::move(item);
    data[Member(Key::virSubmoduleRefId)] =
        module.virtualSubmodules.empty() ? "" : module.virtualSubmodules.front().info.id;
    data[Member(Key::virSubSlotNumber)] =
        module.virtualSubmodules.empty() ? 0 : module.virtualSubmodules.front().subslot;
    Json::Value subItems(Json::arrayValue);
    for (const auto* list : {&module.virtualSubmodules, &module.systemSubmodules}) {
        for (const Submodule& submodule : *list) {
            if (submodule.info.name.empty() && submodule.info.identNumber.empty()) {
                continue;  // the implicit interface of an old file has nothing to show
            }
            for (int subslot : submodule.Subslots()) {
                subItems.append(SubmoduleItem(submodule, subslot, true, &module));
            }
        }
    }
    // Submodules the file fixes or pre-plugs into subslots of this module.
    for (const ItemRef& ref : module.useableSubmodules) {
        const Submodule* submodule = file.FindListedSubmodule(ref.target);
        if (!submodule) {
            continue;
        }
        for (int subslot : ref.fixed) {
            subItems.append(SubmoduleItem(*submodule, subslot, true, &module));
        }
        for (int subslot : ref.used) {
            if (std::find(ref.fixed.begin(), ref.fixed.end(), subslot) == ref.fixed.end()) {
                subItems.append(SubmoduleItem(*submodule, subslot, false, &module));
            }
        }
    }
    data[Member(Key::SubItems)] = std::move(subItems);
    return data;
}

Json::Value PluggableSubmoduleList(const InstalledGsd& gsd, const AccessPoint& dap,
                                   const Module& module) {
    Json::Value list(Json::arrayValue);
    for (const ItemRef& ref : module.useableSubmodules) {
        const Submodule* submodule = gsd.file->FindListedSubmodule(ref.target);
        if (submodule && IsPluggable(ref)) {
            Json::Value entry(Json::objectValue);
            entry[Member(Key::BaseInfo)] = BaseInfo(gsd.name, submodule->info);
            entry[Member(Key::SupportRTType)] = RtClassesOf({submodule, &dap});
            list.append(std::move(entry));
        }
    }
    return list;
}

// Where a pluggable submodule goes first: the first subslot its reference
// allows that no submodule fixed in the module holds (in safety modules
// subslot 1 is taken by a fixed submodule); the first allowed one when all
// are held.
int FirstFreeSubslot(const Module& module, const ItemRef& ref) {
    std::set<int> held;
    for (const auto* list : {&module.virtualSubmodules, &module.systemSubmodules}) {
        for (const Submodule& submodule : *list) {
            const std::vector<int> subslots = submodule.Subslots();
            held.insert(subslots.begin(), subslots.end());
        }
    }
    for (const ItemRef& other : module.useableSubmodules) {
        if (&other != &ref) {
            held.insert(other.fixed.begin(), other.fixed.end());
        }
    }
    const std::vector<int> candidates = SlotsOf(ref);
    for (int subslot : candidates) {
        if (held.count(subslot) == 0) {
            return subslot;
        }
    }
    return candidates.empty() ? 1 : candidates.front();
}

}  // namespace

Json::Value PluggableModules(const Request& request) {
    const AccessPoint& dap = *request.dap;
    Json::Value list(Json::arrayValue);
    for (const ItemRef& ref : dap.useableModules) {
        const Module* module = request.File().FindModule(ref.target);
        if (module && IsPluggable(ref)) {
            Json::Value entry(Json::objectValue);
            entry[Member(Key::BaseInfo)] = BaseInfo(request.gsdName, module->info);
            list.append(std::move(entry));
        }
    }
    return list;
}

void PluggableModulesText(const Request& request, std::string& out) {
    const AccessPoint& dap = *request.dap;
    char separator = '[';
    for (const ItemRef& ref : dap.useableModules) {
        const Module* module = request.File().FindModule(ref.target);
        if (module && IsPluggable(ref)) {
            out += separator;
            separator = ',';
            out += "{\"";
            out += Key::BaseInfo;
            out += "\":";
            AppendBaseInfo(out, request.gsdName, module->info);
            out += '}';
        }
    }
    out += separator == '[' ? "[]" : "]";
}

Json::Value PluggableSubmodules(const Request& request) {
    const AccessPoint& dap = *request.dap;
    return PluggableSubmoduleList(*request.gsd, dap, *request.module);
}

Json::Value DeviceSubmodules(const Request& request) {
    const AccessPoint& dap = *request.dap;
    return PluggableSubmoduleList(*request.gsd, dap, dap);
}

Json::Value ModuleSlotRelation(const Request& request) {
    const std::string& moduleId = request.moduleId;
    const AccessPoint& dap = *request.dap;
    if (moduleId == dap.info.id) {
        return IntArray(dap.fixedInSlots);
    }
    const ItemRef* ref = FindRef(dap.useableModules, moduleId);
    if (!ref) {
        throw NotFound("module \"" + moduleId + "\" cannot be used with \"" + dap.info.id + "\"");
    }
    return IntArray(SlotsOf(*ref));
}

Json::Value SubmoduleSlotRelation(const Request& request) {
    const Module& module = *request.module;
    Json::Value list(Json::arrayValue);
    for (const ItemRef& ref : module.useableSubmodules) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::ModuleRefId)] = ref.target;
        entry[Member(Key::Subslots)] = IntArray(SlotsOf(ref));
        list.append(std::move(entry));
    }
    return list;
}

Json::Value BuildInModules(const Request& request) {
    const GsdFile& file = request.File();
    const AccessPoint& dap = *request.dap;
    Json::Value list(Json::arrayValue);
    list.append(ModuleData(file, dap, dap, dap.fixedInSlots.front(), true));
    for (const ItemRef& ref : dap.useableModules) {
        const Module* module = file.FindModule(ref.target);
        if (!module) {
            continue;
        }
        for (int slot : ref.fixed) {
            list.append(ModuleData(file, dap, *module, slot, true));
        }
        for (int slot : ref.used) {
            if (std::find(ref.fixed.begin(), ref.fixed.end(), slot) == ref.fixed.end()) {
                list.append(ModuleData(file, dap, *module, slot, false));
            }
        }
    }
    return list;
}

Json::Value DevicePhysicalSlots(const Request& request) {
    const AccessPoint& dap = *request.dap;
    if (!dap.physicalSlots.empty()) {
        return IntArray(dap.physicalSlots);
    }
    // Without a declaration the device has the slots its items may take.
    std::set<int> slots(dap.fixedInSlots.begin(), dap.fixedInSlots.end());
    for (const ItemRef& ref : dap.useableModules) {
        const std::vector<int> more = SlotsOf(ref);
        slots.insert(more.begin(), more.end());
    }
    return IntArray(std::vector<int>(slots.begin(), slots.end()));
}

Json::Value ModulePhysicalSubslots(const Request& request) {
    const Module& module = *request.module;
    if (!module.physicalSubslots.empty()) {
        return IntArray(module.physicalSubslots);
    }
    std::set<int> subslots;
    for (const auto* list : {&module.virtualSubmodules, &module.systemSubmodules}) {
        for (const Submodule& submodule : *list) {
            if (!submodule.info.identNumber.empty() || !submodule.info.name.empty()) {
                const std::vector<int> held = submodule.Subslots();
                subslots.insert(held.begin(), held.end());
            }
        }
    }
    for (const ItemRef& ref : module.useableSubmodules) {
        const std::vector<int> more = SlotsOf(ref);
        subslots.insert(more.begin(), more.end());
    }
    return IntArray(std::vector<int>(subslots.begin(), subslots.end()));
}

Json::Value DapModuleInfo(const Request& request) {
    return DapBaseInfo(request.gsdName, request.File(), *request.dap);
}

Json::Value ModuleDataOf(const Request& request) {
    const GsdFile& file = request.File();
    const std::string& moduleId = request.moduleId;
    const AccessPoint& dap = *request.dap;
    const Module& module = *request.module;
    if (&module == static_cast<const Module*>(&dap)) {
        return ModuleData(file, dap, dap, dap.fixedInSlots.front(), true);
    }
    const ItemRef* ref = FindRef(dap.useableModules, moduleId);
    const std::vector<int> slots = ref ? SlotsOf(*ref) : std::vector<int>();
    const bool fixed = ref && !ref->fixed.empty();
    const int slot = fixed ? ref->fixed.front() : (slots.empty() ? 0 : slots.front());
    return ModuleData(file, dap, module, slot, fixed);
}

Json::Value SubmoduleDataOf(const Request& request) {
    const AccessPoint* dap = request.dap;
    const SubmoduleHit hit =
        FindSubmodule(request.File(), request.gsdName, dap, TextParam(request.params, 2));
    Json::Value value(Json::objectValue);
    bool builtIn = hit.submodule->kind != ItemKind::Submodule;
    int subslot = hit.submodule->subslot;
    const ItemRef* ref = hit.owner && !builtIn
                             ? FindRef(hit.owner->useableSubmodules, hit.submodule->info.id)
                             : nullptr;
    if (ref) {
        subslot = FirstFreeSubslot(*hit.owner, *ref);
        builtIn = std::find(ref->fixed.begin(), ref->fixed.end(), subslot) != ref->fixed.end();
    }
    value[Member(Key::Item)] = SubmoduleItem(*hit.submodule, subslot, builtIn, hit.owner);
    return value;
}

Json::Value VirtualSubslotAndApi(const Request& request) {
    const Module& module = *request.module;
    Json::Value value(Json::objectValue);
    value[Member(Key::isExist)] = !module.virtualSubmodules.empty();
    value[Member(Key::virSubslot)] =
        module.virtualSubmodules.empty() ? 0 : module.virtualSubmodules.front().subslot;
    value[Member(Key::virAPI)] = module.virtualSubmodules.empty()
                                     ? 0
                                     : static_cast<int>(module.virtualSubmodules.front().api);
    return value;
}

Json::Value SubmoduleBaseInfo(const Request& request) {
    const std::string gsdName = TextParam(request.params, 0);
    const std::string dapId = TextParam(request.params, 1);
    const std::string moduleId = TextParam(request.params, 2);
    const std::string submoduleId = TextParam(request.params, 3);
    // Without a file name every installed file is searched, in name order.
    std::vector<InstalledGsdPtr> candidates;
    if (gsdName.empty()) {
        candidates = request.service.Store().Installed();
    } else {
        candidates.push_back(RequireGsd(request.service, gsdName));
    }
    for (const InstalledGsdPtr& gsd : candidates) {
        const GsdFile& file = *gsd->file;
        const AccessPoint* dap = file.FindAccessPoint(dapId);
        if (!dap) {
            continue;
        }
        const Module* module = moduleId == dapId ? dap : file.FindModule(moduleId);
        if (!module) {
            continue;
        }
        if (const Submodule* submodule = FindInModule(file, *module, submoduleId)) {
            return DataBaseInfo(submodule->info);
        }
    }
    throw NotFound("submodule \"" + submoduleId + "\" of module \"" + moduleId + "\" in \"" +
                   dapId + "\" is not described" +
                   (gsdName.empty() ? std::string() : " in \"" + gsdName + "\""));
}

}  // namespace detail
}  // namespace GsdCatalog
