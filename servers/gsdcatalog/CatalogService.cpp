// SPDX-License-Identifier: Apache-2.0
#include "CatalogService.h"

#include "GsdWireKeys.h"

#include <json/value.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <utility>

namespace GsdCatalog {

namespace fs = std::filesystem;
namespace Key = GsdWire::Key;
namespace Method = GsdWire::Method;
using ServerKit::RpcFault;

fs::path ResolveCatalogDirectory(const std::string& option, const char* environment,
                                 const fs::path& executable) {
    if (!option.empty()) {
        return fs::u8path(option);
    }
    if (environment != nullptr && *environment != '\0') {
        return fs::u8path(environment);
    }
    return executable.parent_path() / "catalog";
}

CatalogOptions ParseCatalogArguments(const std::vector<std::string>& arguments,
                                     const fs::path& executable) {
    CatalogOptions options;
    std::string directory;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.rfind("-l", 0) == 0 && (argument.size() == 2 || argument[2] == ' ')) {
            break;  // everything from here on is the language value
        }
        if (argument.rfind("--catalog=", 0) == 0) {
            directory = argument.substr(10);
        } else if (argument == "--catalog" && i + 1 < arguments.size()) {
            directory = arguments[++i];
        } else if (argument.rfind("--template-vendor=", 0) == 0) {
            options.templateVendorId =
                static_cast<std::uint32_t>(std::strtoul(argument.c_str() + 18, nullptr, 0));
        }
    }
    options.directory =
        ResolveCatalogDirectory(directory, std::getenv(kCatalogEnvironmentVariable), executable);
    return options;
}

namespace {

// ---- params ---------------------------------------------------------------

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

// ---- lookups ----------------------------------------------------------------

RpcFault NotFound(const std::string& what) {
    return RpcFault{kItemNotFound, what};
}

// A submodule together with the access point it belongs to or is used with,
// and the access point or module that holds or can hold it.
struct SubmoduleHit {
    const Submodule* submodule = nullptr;
    const AccessPoint* dap = nullptr;
    const Module* owner = nullptr;
};

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

template <typename T>
Json::Value ArrayOf(const std::vector<T>& values) {
    Json::Value array(Json::arrayValue);
    for (const T& value : values) {
        array.append(value);
    }
    return array;
}

Json::Value IntArray(const std::vector<int>& values) {
    return ArrayOf(values);
}

// ---- answer builders --------------------------------------------------------

// Member names of the answers are static arrays (GsdWireKeys.h). Passed as a
// StaticString, JsonCpp stores a name without copying it: one allocation
// less per member.
template <std::size_t N>
Json::StaticString Member(const char (&literal)[N]) {
    return Json::StaticString(literal);
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

Json::Value RecordItem(const ParameterItem& parameter) {
    Json::Value item(Json::objectValue);
    item[Member(Key::TextId)] = parameter.textId;
    item[Member(Key::Name)] = parameter.name;
    item[Member(Key::IsChangeable)] = parameter.changeable;
    item[Member(Key::ByteOffset)] = parameter.byteOffset;
    item[Member(Key::BitOffset)] = parameter.bitOffset;
    item[Member(Key::DataType)] = parameter.dataType;
    item[Member(Key::DefaultValue)] = parameter.defaultValue;
    item[Member(Key::MinValue)] = parameter.minValue;
    item[Member(Key::MaxValue)] = parameter.maxValue;
    Json::Value values(Json::objectValue);
    // An object lists its members by name ("0", "100", "16"); the file's
    // order of the assignments goes beside it.
    Json::Value order(Json::arrayValue);
    for (const auto& [content, text] : parameter.values) {
        values[content] = text;
        order.append(content);
    }
    item[Member(Key::Values)] = std::move(values);
    item[Member(Key::ValueOrder)] = std::move(order);
    return item;
}

Json::Value MenuJson(const ParameterRecord& record, const Menu& menu) {
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdId)] = menu.id;
    value[Member(Key::Name)] = menu.name;
    Json::Value items(Json::arrayValue);
    for (std::size_t index : menu.parameters) {
        items.append(RecordItem(record.items[index]));
    }
    value[Member(Key::RecordDataList)] = std::move(items);
    Json::Value submenus(Json::arrayValue);
    for (std::size_t index : menu.submenus) {
        submenus.append(MenuJson(record, record.menus[index]));  // the parser refused cycles
    }
    value[Member(Key::MenuItems)] = std::move(submenus);
    return value;
}

Json::Value RecordJson(const ParameterRecord& record) {
    Json::Value value(Json::objectValue);
    value[Member(Key::Index)] = record.index;
    value[Member(Key::Length)] = record.length;
    Json::Value top(Json::objectValue);
    if (!record.menus.empty()) {
        // The first menu of a record's menu list is its root.
        top = MenuJson(record, record.menus.front());
        top[Member(Key::GsdId)] = record.id;
        if (!record.name.empty()) {
            top[Member(Key::Name)] = record.name;
        }
    } else {
        top[Member(Key::GsdId)] = record.id;
        top[Member(Key::Name)] = record.name;
        Json::Value items(Json::arrayValue);
        for (const ParameterItem& item : record.items) {
            items.append(RecordItem(item));
        }
        top[Member(Key::RecordDataList)] = std::move(items);
        top[Member(Key::MenuItems)] = Json::Value(Json::arrayValue);
    }
    value[Member(Key::MenuItem)] = std::move(top);
    return value;
}

std::string MauDescription(int type) {
    static const std::map<int, const char*> kNames = {
        {5, "10BASE-T"},
        {10, "10BASE-T half duplex"},
        {11, "10BASE-T full duplex"},
        {15, "100BASE-TX half duplex"},
        {16, "100BASE-TX full duplex"},
        {17, "100BASE-FX half duplex"},
        {18, "100BASE-FX full duplex"},
        {21, "1000BASE-X half duplex"},
        {22, "1000BASE-X full duplex"},
        {23, "1000BASE-LX half duplex"},
        {24, "1000BASE-LX full duplex"},
        {25, "1000BASE-SX half duplex"},
        {26, "1000BASE-SX full duplex"},
        {29, "1000BASE-T half duplex"},
        {30, "1000BASE-T full duplex"},
        {46, "100BASE-LX10"},
        {54, "100BASE-PX full duplex"},
    };
    const auto found = kNames.find(type);
    return found != kNames.end() ? found->second : "MAU type " + std::to_string(type);
}

// Texts of the channel error types every device shares, for files that
// describe only their own ones.
DiagTexts StandardChannelError(int type) {
    static const std::map<int, const char*> kNames = {
        {1, "Short circuit"},
        {2, "Undervoltage"},
        {3, "Overvoltage"},
        {4, "Overload"},
        {5, "Overtemperature"},
        {6, "Wire break"},
        {7, "Upper limit value exceeded"},
        {8, "Lower limit value exceeded"},
        {9, "Error"},
    };
    const auto found = kNames.find(type);
    if (found != kNames.end()) {
        return {found->second, ""};
    }
    char text[48];
    std::snprintf(text, sizeof text, "Unknown error type 0x%04X", static_cast<unsigned>(type));
    return {text, ""};
}

// Reads a field of a unit diagnosis: `bitLength` bits starting `bitOffset`
// bits above the least significant bit of the big-endian value that starts
// at `byteOffset`. Returns false when the data is too short.
bool ExtractBits(const std::vector<unsigned char>& data, int byteOffset, int bitOffset,
                 int bitLength, unsigned long long& value) {
    if (byteOffset < 0 || bitOffset < 0 || bitLength <= 0 || bitLength > 64) {
        return false;
    }
    const int bytes = (bitOffset + bitLength + 7) / 8;
    if (bytes > 8 || static_cast<std::size_t>(byteOffset) + bytes > data.size()) {
        return false;
    }
    unsigned long long raw = 0;
    for (int i = 0; i < bytes; ++i) {
        raw = (raw << 8) | data[static_cast<std::size_t>(byteOffset + i)];
    }
    raw >>= bitOffset;
    value = bitLength == 64 ? raw : raw & ((1ULL << bitLength) - 1);
    return true;
}

// Orders GSDML versions such as "V2.4" and "V2.35" numerically.
std::pair<int, int> VersionKey(const std::string& version) {
    int major = 0;
    int minor = 0;
    if (!version.empty() && (version[0] == 'V' || version[0] == 'v')) {
        std::sscanf(version.c_str() + 1, "%d.%d", &major, &minor);
    }
    // "V2.4" is newer than "V2.35": the minor part is a decimal fraction.
    const std::size_t dot = version.find('.');
    const std::size_t digits = dot == std::string::npos ? 0 : version.size() - dot - 1;
    for (std::size_t i = digits; i < 3 && dot != std::string::npos; ++i) {
        minor *= 10;
    }
    return {major, minor};
}

using MethodFn = Json::Value (*)(CatalogService&, const CatalogOptions&, const Json::Value&);

InstalledGsdPtr RequireGsd(CatalogService& service, const std::string& name) {
    InstalledGsdPtr installed = service.Store().Find(name);
    if (!installed) {
        throw RpcFault{kGsdNotInstalled, "GSD file \"" + name + "\" is not installed"};
    }
    return installed;
}

Json::Value DeviceCatalogJson(const InstalledGsd& gsd, const AccessPoint& dap) {
    const GsdFile& file = *gsd.file;
    Json::Value value(Json::objectValue);
    value[Member(Key::MainFamily)] = file.mainFamily;
    value[Member(Key::VendorName)] = file.vendorName;
    value[Member(Key::ProductFamily)] = file.productFamily;
    value[Member(Key::DNSCompatibleName)] = dap.dnsCompatibleName;
    value[Member(Key::BaseInfo)] = DapBaseInfo(gsd.name, file, dap);
    const Submodule* interfaceItem = InterfaceOf(dap);
    value[Member(Key::SupportRTType)] =
        interfaceItem ? interfaceItem->rtClasses : static_cast<int>(kRtClass1);
    value[Member(Key::VendorIdentNumber)] = file.vendorId;
    value[Member(Key::DeviceIdentNumber)] = file.deviceId;
    value[Member(Key::IsG2)] = VersionKey(file.schemaVersion).first >= 2;
    return value;
}

// For every device (vendor and device ident number) the installed file with
// the newest schema version, and among equals the last by name (GSDML names
// end with their release date).
std::vector<InstalledGsdPtr> TemplateFiles(CatalogService& service) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, InstalledGsdPtr> newest;
    for (const InstalledGsdPtr& gsd : service.Store().Installed()) {
        auto& slot = newest[{gsd->file->vendorId, gsd->file->deviceId}];
        if (!slot || std::make_pair(VersionKey(gsd->file->schemaVersion), gsd->name) >
                         std::make_pair(VersionKey(slot->file->schemaVersion), slot->name)) {
            slot = gsd;
        }
    }
    std::vector<InstalledGsdPtr> files;
    for (auto& entry : newest) {
        files.push_back(entry.second);
    }
    std::sort(files.begin(), files.end(),
              [](const InstalledGsdPtr& a, const InstalledGsdPtr& b) { return a->name < b->name; });
    return files;
}

bool IsHouseTemplate(const CatalogOptions& options, const GsdFile& file) {
    return options.templateVendorId != 0 && file.vendorId == options.templateVendorId;
}

// ---- the methods ------------------------------------------------------------

Json::Value ImportGsd(CatalogService& service, const CatalogOptions&, const Json::Value& params) {
    const ImportReport report = service.Store().Import(TextParam(params, 0));
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdName)] = report.name;
    value[Member(Key::GsdPath)] = report.path;
    value[Member(Key::IsSuccess)] = report.success;
    value[Member(Key::IsValid)] = report.valid;
    value[Member(Key::ErrorMessages)] = ArrayOf(report.errors);
    return value;
}

Json::Value RemoveGsd(CatalogService& service, const CatalogOptions&, const Json::Value& params) {
    const RemoveReport report = service.Store().Remove(TextParam(params, 0));
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdName)] = report.name;
    value[Member(Key::GsdPath)] = report.path;
    value[Member(Key::IsSuccess)] = report.success;
    value[Member(Key::ErrorMessages)] = ArrayOf(report.errors);
    return value;
}

Json::Value RefreshGsds(CatalogService& service, const CatalogOptions&, const Json::Value&) {
    return ArrayOf(service.Store().Refresh());
}

Json::Value InstalledGsds(CatalogService& service, const CatalogOptions&, const Json::Value&) {
    Json::Value list(Json::arrayValue);
    for (const InstalledGsdPtr& gsd : service.Store().Installed()) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::GsdName)] = gsd->name;
        entry[Member(Key::FilePath)] = gsd->path.u8string();
        entry[Member(Key::InstallDateTime)] = gsd->installTime;
        entry[Member(Key::HashValueString)] = gsd->sha256;
        list.append(std::move(entry));
    }
    return list;
}

Json::Value InstalledNames(CatalogService& service, const CatalogOptions&, const Json::Value&) {
    Json::Value names(Json::arrayValue);
    for (const InstalledGsdPtr& gsd : service.Store().Installed()) {
        names.append(gsd->name);
    }
    return names;
}

Json::Value GsdPath(CatalogService& service, const CatalogOptions&, const Json::Value& params) {
    const InstalledGsdPtr gsd = service.Store().Find(TextParam(params, 0));
    return gsd ? gsd->path.u8string() : std::string();
}

Json::Value DeviceInfo(CatalogService& service, const CatalogOptions&, const Json::Value& params) {
    const InstalledGsdPtr gsd = RequireGsd(service, TextParam(params, 0));
    const GsdFile& file = *gsd->file;
    Json::Value value(Json::objectValue);
    value[Member(Key::MainFamily)] = file.mainFamily;
    value[Member(Key::ProductFamily)] = file.productFamily;
    value[Member(Key::InfoText)] = file.infoText;
    value[Member(Key::VendorName)] = file.vendorName;
    value[Member(Key::VendorIdentNumber)] = file.vendorId;
    value[Member(Key::DeviceIdentNumber)] = file.deviceId;
    return value;
}

Json::Value DeviceCatalogs(CatalogService& service, const CatalogOptions&,
                           const Json::Value& params) {
    const InstalledGsdPtr gsd = RequireGsd(service, TextParam(params, 0));
    Json::Value list(Json::arrayValue);
    for (const AccessPoint& dap : gsd->file->accessPoints) {
        list.append(DeviceCatalogJson(*gsd, dap));
    }
    return list;
}

Json::Value TemplateCatalogs(CatalogService& service, const CatalogOptions& options,
                             const Json::Value&) {
    Json::Value list(Json::arrayValue);
    for (const InstalledGsdPtr& gsd : TemplateFiles(service)) {
        for (const AccessPoint& dap : gsd->file->accessPoints) {
            Json::Value entry = DeviceCatalogJson(*gsd, dap);
            entry[Member(Key::IsKeltolineTemplate)] = IsHouseTemplate(options, *gsd->file);
            list.append(std::move(entry));
        }
    }
    return list;
}

Json::Value PluggableModules(CatalogService& service, const CatalogOptions&,
                             const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const AccessPoint& dap = FindDap(*gsd->file, name, TextParam(params, 1));
    Json::Value list(Json::arrayValue);
    for (const ItemRef& ref : dap.useableModules) {
        const Module* module = gsd->file->FindModule(ref.target);
        if (module && IsPluggable(ref)) {
            Json::Value entry(Json::objectValue);
            entry[Member(Key::BaseInfo)] = BaseInfo(name, module->info);
            list.append(std::move(entry));
        }
    }
    return list;
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

Json::Value PluggableSubmodules(CatalogService& service, const CatalogOptions&,
                                const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string moduleId = TextParam(params, 2);
    const AccessPoint& dap = DapForModule(*gsd->file, name, TextParam(params, 1), moduleId);
    return PluggableSubmoduleList(*gsd, dap, FindModule(*gsd->file, name, dap, moduleId));
}

Json::Value DeviceSubmodules(CatalogService& service, const CatalogOptions&,
                             const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const AccessPoint& dap = FindDap(*gsd->file, name, TextParam(params, 1));
    return PluggableSubmoduleList(*gsd, dap, dap);
}

Json::Value ModuleSlotRelation(CatalogService& service, const CatalogOptions&,
                               const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string moduleId = TextParam(params, 2);
    const AccessPoint& dap = DapForModule(*gsd->file, name, TextParam(params, 1), moduleId);
    if (moduleId == dap.info.id) {
        return IntArray(dap.fixedInSlots);
    }
    const ItemRef* ref = FindRef(dap.useableModules, moduleId);
    if (!ref) {
        throw NotFound("module \"" + moduleId + "\" cannot be used with \"" + dap.info.id + "\"");
    }
    return IntArray(SlotsOf(*ref));
}

Json::Value SubmoduleSlotRelation(CatalogService& service, const CatalogOptions&,
                                  const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string moduleId = TextParam(params, 2);
    const AccessPoint& dap = DapForModule(*gsd->file, name, TextParam(params, 1), moduleId);
    const Module& module = FindModule(*gsd->file, name, dap, moduleId);
    Json::Value list(Json::arrayValue);
    for (const ItemRef& ref : module.useableSubmodules) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::ModuleRefId)] = ref.target;
        entry[Member(Key::Subslots)] = IntArray(SlotsOf(ref));
        list.append(std::move(entry));
    }
    return list;
}

Json::Value BuildInModules(CatalogService& service, const CatalogOptions&,
                           const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const GsdFile& file = *gsd->file;
    const AccessPoint& dap = FindDap(file, name, TextParam(params, 1));
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

Json::Value DevicePhysicalSlots(CatalogService& service, const CatalogOptions&,
                                const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const AccessPoint& dap = FindDap(*gsd->file, name, TextParam(params, 1));
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

Json::Value ModulePhysicalSubslots(CatalogService& service, const CatalogOptions&,
                                   const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string moduleId = TextParam(params, 2);
    const AccessPoint& dap = DapForModule(*gsd->file, name, TextParam(params, 1), moduleId);
    const Module& module = FindModule(*gsd->file, name, dap, moduleId);
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

Json::Value DapModuleInfo(CatalogService& service, const CatalogOptions&,
                          const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    return DapBaseInfo(name, *gsd->file, FindDap(*gsd->file, name, TextParam(params, 1)));
}

Json::Value ModuleDataOf(CatalogService& service, const CatalogOptions&,
                         const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const GsdFile& file = *gsd->file;
    const std::string moduleId = TextParam(params, 2);
    const AccessPoint& dap = DapForModule(file, name, TextParam(params, 1), moduleId);
    const Module& module = FindModule(file, name, dap, moduleId);
    if (&module == static_cast<const Module*>(&dap)) {
        return ModuleData(file, dap, dap, dap.fixedInSlots.front(), true);
    }
    const ItemRef* ref = FindRef(dap.useableModules, moduleId);
    const std::vector<int> slots = ref ? SlotsOf(*ref) : std::vector<int>();
    const bool fixed = ref && !ref->fixed.empty();
    const int slot = fixed ? ref->fixed.front() : (slots.empty() ? 0 : slots.front());
    return ModuleData(file, dap, module, slot, fixed);
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

Json::Value SubmoduleDataOf(CatalogService& service, const CatalogOptions&,
                            const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string dapId = TextParam(params, 1);
    const AccessPoint* dap = dapId.empty() ? nullptr : &FindDap(*gsd->file, name, dapId);
    const SubmoduleHit hit = FindSubmodule(*gsd->file, name, dap, TextParam(params, 2));
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

Json::Value SubmoduleParameters(CatalogService& service, const CatalogOptions&,
                                const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string dapId = TextParam(params, 1);
    const AccessPoint* dap = dapId.empty() ? nullptr : &FindDap(*gsd->file, name, dapId);
    const SubmoduleHit hit = FindSubmodule(*gsd->file, name, dap, TextParam(params, 2));
    Json::Value list(Json::arrayValue);
    for (const ParameterRecord& record : hit.submodule->records) {
        list.append(RecordJson(record));
    }
    return list;
}

Json::Value WriteableImRecords(CatalogService& service, const CatalogOptions&,
                               const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const AccessPoint& dap = FindDap(*gsd->file, name, TextParam(params, 1));
    const std::string submoduleId = TextParam(params, 2);
    if (submoduleId.empty()) {
        return dap.virtualSubmodules.empty()
                   ? Json::Value(Json::arrayValue)
                   : IntArray(dap.virtualSubmodules.front().writeableImRecords);
    }
    return IntArray(
        FindSubmodule(*gsd->file, name, &dap, submoduleId).submodule->writeableImRecords);
}

Json::Value PortParameter(CatalogService& service, const CatalogOptions&,
                          const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const GsdFile& file = *gsd->file;
    const AccessPoint& dap = FindDap(file, name, TextParam(params, 1));
    const std::string portId = TextParam(params, 2);
    const std::string moduleId = params.size() > 3 ? TextParam(params, 3) : std::string();
    const Submodule* port = nullptr;
    if (!moduleId.empty()) {
        port = FindInModule(file, FindModule(file, name, dap, moduleId), portId);
    } else {
        port = FindSubmodule(file, name, &dap, portId).submodule;
    }
    if (!port || port->kind != ItemKind::PortSubmodule) {
        throw NotFound("\"" + portId + "\" is not a port submodule of \"" + name + "\"");
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::PortDeactivationSupported)] = port->portDeactivationSupported;
    value[Member(Key::PTP_BoundarySupported)] = port->ptpBoundarySupported;
    value[Member(Key::DCP_BoundarySupported)] = port->dcpBoundarySupported;
    Json::Value list(Json::arrayValue);
    for (int type : port->mauTypes) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::Value)] = type;
        entry[Member(Key::Description)] = MauDescription(type);
        list.append(std::move(entry));
    }
    value[Member(Key::transmissionValueList)] = std::move(list);
    return value;
}

Json::Value IrtSupportType(CatalogService& service, const CatalogOptions&,
                           const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    return RtClassesOf(FindSubmodule(*gsd->file, name, nullptr, TextParam(params, 1)));
}

Json::Value ProfisafeSupported(CatalogService& service, const CatalogOptions&,
                               const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    return FindSubmodule(*gsd->file, name, nullptr, TextParam(params, 1)).submodule->profisafe;
}

Json::Value UnitDiagDescription(CatalogService& service, const CatalogOptions&,
                                const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string structure = TextParam(params, 1);
    // Decimal, or hexadecimal with 0x; a leading zero does not mean octal.
    const bool hex =
        structure.size() > 2 && structure[0] == '0' && (structure[1] == 'x' || structure[1] == 'X');
    char* end = nullptr;
    const long identifier = std::strtol(structure.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (structure.empty() || *end != '\0') {
        throw RpcFault{ServerKit::kInvalidParams,
                       "Invalid params: param 2 must be a user structure identifier, not \"" +
                           structure + "\""};
    }
    const Json::Value& bytes = Param(params, 2);
    std::vector<unsigned char> data;
    if (!bytes.isArray()) {
        throw RpcFault{ServerKit::kInvalidParams,
                       "Invalid params: param 3 must be an array of bytes"};
    }
    for (const Json::Value& byte : bytes) {
        if (!byte.isIntegral() || byte.asLargestInt() < 0 || byte.asLargestInt() > 255) {
            throw RpcFault{ServerKit::kInvalidParams,
                           "Invalid params: param 3 must hold bytes 0 to 255"};
        }
        data.push_back(static_cast<unsigned char>(byte.asInt()));
    }
    const auto found = gsd->file->unitDiags.find(static_cast<int>(identifier));
    if (found == gsd->file->unitDiags.end()) {
        throw NotFound("unit diagnosis " + structure + " is not described in \"" + name + "\"");
    }
    const UnitDiag& diag = found->second;
    std::string refText;
    for (const UnitDiagRef& ref : diag.refs) {
        unsigned long long raw = 0;
        std::string shown = "?";
        if (ExtractBits(data, ref.byteOffset, ref.bitOffset, ref.bitLength, raw)) {
            shown = std::to_string(raw);
            for (const auto& [content, text] : ref.values) {
                if (content == shown) {
                    shown = text;
                    break;
                }
            }
        }
        if (!refText.empty()) {
            refText += "\n";
        }
        refText += ref.name + ": " + shown;
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::Description)] = diag.texts.name;
    value[Member(Key::RefText)] = refText;
    value[Member(Key::Help)] = diag.texts.help;
    return value;
}

Json::Value ChannelDiagDescription(CatalogService& service, const CatalogOptions&,
                                   const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const int errorType = static_cast<int>(IntegerParam(params, 1));
    const Json::Value& extended = Param(params, 2);
    if (!extended.isBool()) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: param 3 must be a boolean"};
    }
    const int extType = static_cast<int>(IntegerParam(params, 3));
    IntegerParam(params, 4);  // channel number: checked, not part of the texts
    IntegerParam(params, 5);  // additional value: checked, not part of the texts
    DiagTexts main = StandardChannelError(errorType);
    DiagTexts ext;
    const auto found = gsd->file->channelDiags.find(errorType);
    if (found != gsd->file->channelDiags.end()) {
        if (!found->second.texts.name.empty()) {
            main = found->second.texts;
        } else {
            main.help = found->second.texts.help;
        }
        if (extended.asBool()) {
            const auto extFound = found->second.extended.find(extType);
            if (extFound != found->second.extended.end()) {
                ext = extFound->second;
            }
        }
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::AlarmNameText)] = main.name;
    value[Member(Key::AlarmHelpText)] = main.help;
    value[Member(Key::AlarmExtNameText)] = ext.name;
    value[Member(Key::AlarmExtHelpText)] = ext.help;
    return value;
}

Json::Value UpdateTimes(CatalogService& service, const CatalogOptions&, const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const AccessPoint& dap = FindDap(*gsd->file, name, TextParam(params, 1));
    const Json::Value& clock = Param(params, 2);
    if (!clock.isNumeric()) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: param 3 must be a number"};
    }
    const double sendClockMs = clock.asDouble();
    const Submodule* interfaceItem = InterfaceOf(dap);
    std::vector<int> clocks = interfaceItem ? interfaceItem->sendClocks : std::vector<int>{32};
    const std::vector<int> ratios = interfaceItem
                                        ? interfaceItem->reductionRatios
                                        : std::vector<int>{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
    constexpr double kTickMs = 0.03125;  // one send clock tick is 31.25 us
    if (sendClockMs > 0) {
        // The controller's send clock, given in milliseconds, must be one the
        // device supports; it is matched on whole ticks.
        const long long ticks = std::llround(sendClockMs / kTickMs);
        const bool supported = std::find(clocks.begin(), clocks.end(), ticks) != clocks.end();
        clocks = supported ? std::vector<int>{static_cast<int>(ticks)} : std::vector<int>{};
    }
    std::map<double, std::pair<int, int>> times;  // ms -> (send clock, ratio); sorted, unique
    for (int sendClock : clocks) {
        for (int ratio : ratios) {
            times.emplace(sendClock * static_cast<double>(ratio) * kTickMs,
                          std::make_pair(sendClock, ratio));
        }
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::IsValid)] = !times.empty();
    Json::Value selector(Json::arrayValue);
    for (const auto& [ms, origin] : times) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::Value)] = ms;
        entry[Member(Key::SendClock)] = origin.first;
        entry[Member(Key::ReductionRatio)] = origin.second;
        selector.append(std::move(entry));
    }
    value[Member(Key::Selector)] = std::move(selector);
    return value;
}

Json::Value IsoParameters(CatalogService& service, const CatalogOptions&,
                          const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string dapId = TextParam(params, 1);
    const AccessPoint* dap = dapId.empty() ? nullptr : &FindDap(*gsd->file, name, dapId);
    const Submodule& submodule =
        *FindSubmodule(*gsd->file, name, dap, TextParam(params, 2)).submodule;
    const IsochroneTiming timing =
        submodule.isochrone.value_or(IsochroneTiming{0, 0, 0, 0, 0, 0, false});
    Json::Value value(Json::objectValue);
    value[Member(Key::T_DC_Base)] = timing.tDcBase;
    value[Member(Key::T_DC_Min)] = timing.tDcMin;
    value[Member(Key::T_DC_Max)] = timing.tDcMax;
    value[Member(Key::T_IO_Base)] = timing.tIoBase;
    value[Member(Key::T_IO_InputMin)] = timing.tIoInputMin;
    value[Member(Key::T_IO_OutputMin)] = timing.tIoOutputMin;
    value[Member(Key::IsIsochroneModeRequired)] = timing.required;
    // T_DC counts 31.25 us ticks, T_IO counts nanoseconds.
    value[Member(Key::T_Cycle_MinMs)] =
        static_cast<double>(timing.tDcBase) * timing.tDcMin * 0.03125;
    value[Member(Key::T_IO_InputMinMs)] =
        static_cast<double>(timing.tIoBase) * timing.tIoInputMin / 1e6;
    value[Member(Key::T_IO_OutputMinMs)] =
        static_cast<double>(timing.tIoBase) * timing.tIoOutputMin / 1e6;
    return value;
}

Json::Value SubmoduleApi(CatalogService& service, const CatalogOptions&,
                         const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    return FindSubmodule(*gsd->file, name, nullptr, TextParam(params, 1)).submodule->api;
}

Json::Value VirtualSubslotAndApi(CatalogService& service, const CatalogOptions&,
                                 const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    const std::string moduleId = TextParam(params, 2);
    const AccessPoint& dap = DapForModule(*gsd->file, name, TextParam(params, 1), moduleId);
    const Module& module = FindModule(*gsd->file, name, dap, moduleId);
    Json::Value value(Json::objectValue);
    value[Member(Key::isExist)] = !module.virtualSubmodules.empty();
    value[Member(Key::virSubslot)] =
        module.virtualSubmodules.empty() ? 0 : module.virtualSubmodules.front().subslot;
    value[Member(Key::virAPI)] = module.virtualSubmodules.empty()
                                     ? 0
                                     : static_cast<int>(module.virtualSubmodules.front().api);
    return value;
}

Json::Value ParamDisallowed(CatalogService& service, const CatalogOptions&,
                            const Json::Value& params) {
    const std::string name = TextParam(params, 0);
    const InstalledGsdPtr gsd = RequireGsd(service, name);
    return FindSubmodule(*gsd->file, name, nullptr, TextParam(params, 1))
        .submodule->parameterizationDisallowed;
}

Json::Value TemplateNameForView(CatalogService& service, const CatalogOptions& options,
                                const Json::Value& params) {
    const std::string key = TextParam(params, 0);
    const Json::Value& houseOnly = Param(params, 1);
    if (!houseOnly.isBool()) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: param 2 must be a boolean"};
    }
    for (const InstalledGsdPtr& gsd : TemplateFiles(service)) {
        if (houseOnly.asBool() && !IsHouseTemplate(options, *gsd->file)) {
            continue;
        }
        for (const AccessPoint& dap : gsd->file->accessPoints) {
            if (dap.dnsCompatibleName == key || dap.info.orderNumber == key) {
                return gsd->name;
            }
        }
    }
    return std::string();
}

Json::Value TemplateVersionForWizard(CatalogService& service, const CatalogOptions&,
                                     const Json::Value& params) {
    const InstalledGsdPtr gsd = RequireGsd(service, TextParam(params, 0));
    return gsd->file->schemaVersion;
}

Json::Value SubmoduleBaseInfo(CatalogService& service, const CatalogOptions&,
                              const Json::Value& params) {
    const std::string gsdName = TextParam(params, 0);
    const std::string dapId = TextParam(params, 1);
    const std::string moduleId = TextParam(params, 2);
    const std::string submoduleId = TextParam(params, 3);
    // Without a file name every installed file is searched, in name order.
    std::vector<InstalledGsdPtr> candidates;
    if (gsdName.empty()) {
        candidates = service.Store().Installed();
    } else {
        candidates.push_back(RequireGsd(service, gsdName));
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

const std::vector<std::pair<std::string, MethodFn>>& MethodTable() {
    static const std::vector<std::pair<std::string, MethodFn>> kTable = {
        {Method::TavrelImportGsdFile, ImportGsd},
        {Method::TavrelRemoveGsdFile, RemoveGsd},
        {Method::TavrelRefreshGsds, RefreshGsds},
        {Method::TavrelGetInstalledGsds, InstalledGsds},
        {Method::GetInstalledGSDsNames, InstalledNames},
        {Method::GetGSDPath, GsdPath},
        {Method::GetGsdDeviceInfo, DeviceInfo},
        {Method::GetDeviceCatalogs, DeviceCatalogs},
        {Method::GetGSDTemplateCatalogs, TemplateCatalogs},
        {Method::GetPluggableModuleCatalog, PluggableModules},
        {Method::GetPluggableSubModuleListCatalog, PluggableSubmodules},
        {Method::GetDeviceSubModuleListCatalog, DeviceSubmodules},
        {Method::GetPluggableModuleSlotRelation, ModuleSlotRelation},
        {Method::GetPluggableSubModuleSlotRelation, SubmoduleSlotRelation},
        {Method::GetBuildInModuleData, BuildInModules},
        {Method::GetDevicePhysicalSlots, DevicePhysicalSlots},
        {Method::GetModulePhysicalSlots, ModulePhysicalSubslots},
        {Method::GetDapModuleInfo, DapModuleInfo},
        {Method::GetModuleData, ModuleDataOf},
        {Method::GetSubModuleData, SubmoduleDataOf},
        {Method::GetSubMouleParameter, SubmoduleParameters},
        {Method::GetWriteableIMRecords, WriteableImRecords},
        {Method::GetPortParameter, PortParameter},
        {Method::GetSubmoduleIRTsupportType, IrtSupportType},
        {Method::IsSubmodulePROFIsafeSupported, ProfisafeSupported},
        {Method::GetUnitDiagDescription, UnitDiagDescription},
        {Method::GetChannalDiagDescription, ChannelDiagDescription},
        {Method::CalcIoDeviceUpdateTime, UpdateTimes},
        {Method::GetSubMoudleIsoParam, IsoParameters},
        {Method::GetSubmoduleAPI, SubmoduleApi},
        {Method::GetModuleVirSubSlotAndAPI, VirtualSubslotAndApi},
        {Method::GetSubmoduleParamDisallowed, ParamDisallowed},
        {Method::GetKeltoTemplateGSDNameForPNView, TemplateNameForView},
        {Method::GetKeltoTemplateGSDVersionForWizard, TemplateVersionForWizard},
        {Method::GetSubModuleBaseInfo, SubmoduleBaseInfo},
    };
    return kTable;
}

// Runs one handler. An installed file is read back when first asked about;
// one that went missing or changed on disk fails the query with its own
// code, whichever handler met it.
Json::Value Invoke(MethodFn method, CatalogService& service, const CatalogOptions& options,
                   const Json::Value& params) {
    try {
        return method(service, options, params);
    } catch (const GsdFileUnreadable& unreadable) {
        throw RpcFault{kGsdUnreadable, unreadable.what()};
    }
}

}  // namespace

CatalogService::CatalogService(CatalogOptions options)
    : options_(std::move(options)), store_(options_.directory, options_.language) {}

Json::Value CatalogService::Call(const std::string& method, const Json::Value& params) {
    for (const auto& [name, fn] : MethodTable()) {
        if (name == method) {
            return Invoke(fn, *this, options_, params);
        }
    }
    throw RpcFault{ServerKit::kMethodNotFound, "Method not found: " + method};
}

const std::vector<std::string>& CatalogService::MethodNames() {
    static const std::vector<std::string> kNames = [] {
        std::vector<std::string> names;
        for (const auto& entry : MethodTable()) {
            names.push_back(entry.first);
        }
        return names;
    }();
    return kNames;
}

std::shared_ptr<CatalogService> RegisterCatalogMethods(ServerKit::RpcDispatcher& dispatcher,
                                                       CatalogOptions options) {
    auto service = std::make_shared<CatalogService>(std::move(options));
    for (const auto& [name, fn] : MethodTable()) {
        const MethodFn method = fn;
        dispatcher.Add(name, [service, method](const Json::Value& params) {
            return Invoke(method, *service, service->Options(), params);
        });
    }
    return service;
}

}  // namespace GsdCatalog
