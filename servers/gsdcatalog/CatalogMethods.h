// SPDX-License-Identifier: Apache-2.0
#pragma once

// The catalogue's methods, split by area, and what they share. Internal to
// the catalogue: CatalogService.cpp tables the methods and resolves, once
// for all of them, the installed file, access point and module their params
// name (see Needs), so a handler starts from what it asks about.

#include "CatalogService.h"
#include "GsdWireKeys.h"

#include <json/value.h>

#include <string>
#include <vector>

namespace GsdCatalog {
namespace detail {

namespace Key = GsdWire::Key;
using ServerKit::RpcFault;

// What a method's params name, resolved before its handler runs. Each level
// includes the ones above it, and params are checked in the order given.
enum class Needs {
    Nothing,       // the handler reads its params itself
    Gsd,           // param 1: an installed file
    Dap,           // param 2: an access point of it ("" for the first)
    DapOrAny,      // param 2: an access point, or "" to search the whole file
    DapForModule,  // param 3: a module id; param 2 its access point, or "" for the
                   // first that can hold it
    Module,        // as DapForModule, and the module itself must be described
};

// One call of a method, with what its Needs resolved.
struct Request {
    Request(CatalogService& service, const Json::Value& params)
        : service(service), params(params) {}

    CatalogService& service;
    const Json::Value& params;
    std::string gsdName;               // Gsd and beyond
    InstalledGsdPtr gsd;               // Gsd and beyond
    const AccessPoint* dap = nullptr;  // Dap, DapForModule, Module; DapOrAny: null for ""
    std::string moduleId;              // DapForModule, Module
    const Module* module = nullptr;    // Module: the access point itself or a listed module

    // The installed file's index, built on first use: a handler that checks
    // more params does so before it touches the file.
    const GsdFile& File() const { return *gsd->file; }
    const CatalogOptions& Options() const { return service.Options(); }
};

using Handler = Json::Value (*)(const Request&);
// A hot method's answer written as text: byte for byte what the compact
// JSON text of its Handler's value is (see RpcDispatcher::TextHandler).
using TextWriter = void (*)(const Request&, std::string& out);

// ---- params ---------------------------------------------------------------

const Json::Value& Param(const Json::Value& params, Json::ArrayIndex index);
std::string TextParam(const Json::Value& params, Json::ArrayIndex index);
long long IntegerParam(const Json::Value& params, Json::ArrayIndex index);

// ---- lookups ----------------------------------------------------------------

ServerKit::RpcFault NotFound(const std::string& what);

InstalledGsdPtr RequireGsd(CatalogService& service, const std::string& name);

// The access point `id`; the file's first one for "".
const AccessPoint& FindDap(const GsdFile& file, const std::string& gsd, const std::string& id);

// The access point named by a param that may be empty: when it is, the first
// access point that can hold `moduleId` (or the first one at all).
const AccessPoint& DapForModule(const GsdFile& file, const std::string& gsd,
                                const std::string& dapId, const std::string& moduleId);

const ItemRef* FindRef(const std::vector<ItemRef>& refs, const std::string& target);

// The module named `id` as seen from `dap`: the access point itself when the
// id is its own, else a module of the file's module list.
const Module& FindModule(const GsdFile& file, const std::string& gsd, const AccessPoint& dap,
                         const std::string& id);

const Submodule* FindInModule(const GsdFile& file, const Module& module, const std::string& id);

// A submodule together with the access point it belongs to or is used with,
// and the access point or module that holds or can hold it.
struct SubmoduleHit {
    const Submodule* submodule = nullptr;
    const AccessPoint* dap = nullptr;
    const Module* owner = nullptr;
};

// Finds a submodule anywhere in the file, preferring `dap` when given.
SubmoduleHit FindSubmodule(const GsdFile& file, const std::string& gsd, const AccessPoint* dap,
                           const std::string& id);

const Submodule* InterfaceOf(const AccessPoint& dap);
int RtClassesOf(const SubmoduleHit& hit);

// Slots an item may take: where it is allowed, or else where it is fixed or
// pre-plugged.
std::vector<int> SlotsOf(const ItemRef& ref);

// Pluggable: some slot the item may take is not one where it is fixed.
bool IsPluggable(const ItemRef& ref);

// ---- answer parts -----------------------------------------------------------

// Member names of the answers are static arrays (GsdWireKeys.h). Passed as a
// StaticString, JsonCpp stores a name without copying it: one allocation
// less per member.
template <std::size_t N>
Json::StaticString Member(const char (&literal)[N]) {
    return Json::StaticString(literal);
}

template <typename T>
Json::Value ArrayOf(const std::vector<T>& values) {
    Json::Value array(Json::arrayValue);
    for (const T& value : values) {
        array.append(value);
    }
    return array;
}

Json::Value IntArray(const std::vector<int>& values);
Json::Value BaseInfo(const std::string& gsd, const ItemInfo& info);
// BaseInfo's object as text.
void AppendBaseInfo(std::string& out, const std::string& gsd, const ItemInfo& info);
Json::Value DapBaseInfo(const std::string& gsd, const GsdFile& file, const AccessPoint& dap);
Json::Value DataBaseInfo(const ItemInfo& info);

// ---- the methods, by area ---------------------------------------------------

// Installed files (CatalogFileMethods.cpp).
Json::Value ImportGsd(const Request& request);
Json::Value RemoveGsd(const Request& request);
Json::Value RefreshGsds(const Request& request);
Json::Value InstalledGsds(const Request& request);
Json::Value InstalledNames(const Request& request);
Json::Value GsdPath(const Request& request);
Json::Value DeviceInfo(const Request& request);
Json::Value DeviceCatalogs(const Request& request);
Json::Value TemplateCatalogs(const Request& request);
Json::Value TemplateNameForView(const Request& request);
Json::Value TemplateVersionForWizard(const Request& request);

// Access points and modules (CatalogModuleMethods.cpp).
Json::Value PluggableModules(const Request& request);
void PluggableModulesText(const Request& request, std::string& out);
Json::Value PluggableSubmodules(const Request& request);
Json::Value DeviceSubmodules(const Request& request);
Json::Value ModuleSlotRelation(const Request& request);
Json::Value SubmoduleSlotRelation(const Request& request);
Json::Value BuildInModules(const Request& request);
Json::Value DevicePhysicalSlots(const Request& request);
Json::Value ModulePhysicalSubslots(const Request& request);
Json::Value DapModuleInfo(const Request& request);
Json::Value ModuleDataOf(const Request& request);
Json::Value SubmoduleDataOf(const Request& request);
Json::Value VirtualSubslotAndApi(const Request& request);
Json::Value SubmoduleBaseInfo(const Request& request);

// Submodules: records, ports, interfaces, timing (CatalogSubmoduleMethods.cpp).
Json::Value SubmoduleParameters(const Request& request);
void SubmoduleParametersText(const Request& request, std::string& out);
Json::Value WriteableImRecords(const Request& request);
Json::Value PortParameter(const Request& request);
Json::Value IrtSupportType(const Request& request);
Json::Value ProfisafeSupported(const Request& request);
Json::Value UpdateTimes(const Request& request);
Json::Value IsoParameters(const Request& request);
Json::Value SubmoduleApi(const Request& request);
Json::Value ParamDisallowed(const Request& request);

// Diagnosis (CatalogDiagnosisMethods.cpp).
Json::Value UnitDiagDescription(const Request& request);
Json::Value ChannelDiagDescription(const Request& request);

}  // namespace detail
}  // namespace GsdCatalog
