// SPDX-License-Identifier: Apache-2.0
#include "CatalogService.h"

#include "CatalogMethods.h"

#include <cstdlib>

namespace GsdCatalog {

namespace fs = std::filesystem;
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

using namespace detail;
namespace Method = GsdWire::Method;

struct MethodEntry {
    const char* name;
    Needs needs;
    Handler handler;
    TextWriter text = nullptr;
};

const std::vector<MethodEntry>& MethodTable() {
    static const std::vector<MethodEntry> kTable = {
        {Method::TavrelImportGsdFile, Needs::Nothing, ImportGsd},
        {Method::TavrelRemoveGsdFile, Needs::Nothing, RemoveGsd},
        {Method::TavrelRefreshGsds, Needs::Nothing, RefreshGsds},
        {Method::TavrelGetInstalledGsds, Needs::Nothing, InstalledGsds},
        {Method::GetInstalledGSDsNames, Needs::Nothing, InstalledNames},
        {Method::GetGSDPath, Needs::Nothing, GsdPath},
        {Method::GetGsdDeviceInfo, Needs::Gsd, DeviceInfo},
        {Method::GetDeviceCatalogs, Needs::Gsd, DeviceCatalogs},
        {Method::GetGSDTemplateCatalogs, Needs::Nothing, TemplateCatalogs},
        {Method::GetPluggableModuleCatalog, Needs::Dap, PluggableModules, PluggableModulesText},
        {Method::GetPluggableSubModuleListCatalog, Needs::Module, PluggableSubmodules},
        {Method::GetDeviceSubModuleListCatalog, Needs::Dap, DeviceSubmodules},
        {Method::GetPluggableModuleSlotRelation, Needs::DapForModule, ModuleSlotRelation},
        {Method::GetPluggableSubModuleSlotRelation, Needs::Module, SubmoduleSlotRelation},
        {Method::GetBuildInModuleData, Needs::Dap, BuildInModules},
        {Method::GetDevicePhysicalSlots, Needs::Dap, DevicePhysicalSlots},
        {Method::GetModulePhysicalSlots, Needs::Module, ModulePhysicalSubslots},
        {Method::GetDapModuleInfo, Needs::Dap, DapModuleInfo},
        {Method::GetModuleData, Needs::Module, ModuleDataOf},
        {Method::GetSubModuleData, Needs::DapOrAny, SubmoduleDataOf},
        {Method::GetSubMouleParameter, Needs::DapOrAny, SubmoduleParameters,
         SubmoduleParametersText},
        {Method::GetWriteableIMRecords, Needs::Dap, WriteableImRecords},
        {Method::GetPortParameter, Needs::Dap, PortParameter},
        {Method::GetSubmoduleIRTsupportType, Needs::Gsd, IrtSupportType},
        {Method::IsSubmodulePROFIsafeSupported, Needs::Gsd, ProfisafeSupported},
        {Method::GetUnitDiagDescription, Needs::Gsd, UnitDiagDescription},
        {Method::GetChannalDiagDescription, Needs::Gsd, ChannelDiagDescription},
        {Method::CalcIoDeviceUpdateTime, Needs::Dap, UpdateTimes},
        {Method::GetSubMoudleIsoParam, Needs::DapOrAny, IsoParameters},
        {Method::GetSubmoduleAPI, Needs::Gsd, SubmoduleApi},
        {Method::GetModuleVirSubSlotAndAPI, Needs::Module, VirtualSubslotAndApi},
        {Method::GetSubmoduleParamDisallowed, Needs::Gsd, ParamDisallowed},
        {Method::GetKeltoTemplateGSDNameForPNView, Needs::Nothing, TemplateNameForView},
        {Method::GetKeltoTemplateGSDVersionForWizard, Needs::Gsd, TemplateVersionForWizard},
        {Method::GetSubModuleBaseInfo, Needs::Nothing, SubmoduleBaseInfo},
    };
    return kTable;
}

// Resolves what the method needs from its params, in the order the params
// are checked: the file, then the module (when one is named) and then the
// access point, since finding the access point may depend on the module.
Request Resolve(CatalogService& service, Needs needs, const Json::Value& params) {
    Request request(service, params);
    if (needs == Needs::Nothing) {
        return request;
    }
    request.gsdName = TextParam(params, 0);
    request.gsd = RequireGsd(service, request.gsdName);
    switch (needs) {
        case Needs::Nothing:
        case Needs::Gsd:
            break;
        case Needs::Dap: {
            const std::string dapId = TextParam(params, 1);
            request.dap = &FindDap(request.File(), request.gsdName, dapId);
            break;
        }
        case Needs::DapOrAny: {
            const std::string dapId = TextParam(params, 1);
            request.dap =
                dapId.empty() ? nullptr : &FindDap(request.File(), request.gsdName, dapId);
            break;
        }
        case Needs::DapForModule:
        case Needs::Module: {
            request.moduleId = TextParam(params, 2);
            const std::string dapId = TextParam(params, 1);
            request.dap = &DapForModule(request.File(), request.gsdName, dapId, request.moduleId);
            if (needs == Needs::Module) {
                request.module =
                    &FindModule(request.File(), request.gsdName, *request.dap, request.moduleId);
            }
            break;
        }
    }
    return request;
}

// Runs one method. An installed file is read back when first asked about;
// one that went missing or changed on disk fails the query with its own
// code, whichever method met it.
Json::Value Invoke(const MethodEntry& method, CatalogService& service, const Json::Value& params) {
    try {
        return method.handler(Resolve(service, method.needs, params));
    } catch (const GsdFileUnreadable& unreadable) {
        throw RpcFault{kGsdUnreadable, unreadable.what()};
    }
}

void InvokeText(const MethodEntry& method, CatalogService& service, const Json::Value& params,
                std::string& out) {
    try {
        method.text(Resolve(service, method.needs, params), out);
    } catch (const GsdFileUnreadable& unreadable) {
        throw RpcFault{kGsdUnreadable, unreadable.what()};
    }
}

}  // namespace

CatalogService::CatalogService(CatalogOptions options)
    : options_(std::move(options)), store_(options_.directory, options_.language) {}

Json::Value CatalogService::Call(const std::string& method, const Json::Value& params) {
    for (const MethodEntry& entry : MethodTable()) {
        if (method == entry.name) {
            return Invoke(entry, *this, params);
        }
    }
    throw RpcFault{ServerKit::kMethodNotFound, "Method not found: " + method};
}

const std::vector<std::string>& CatalogService::MethodNames() {
    static const std::vector<std::string> kNames = [] {
        std::vector<std::string> names;
        for (const MethodEntry& entry : MethodTable()) {
            names.push_back(entry.name);
        }
        return names;
    }();
    return kNames;
}

std::shared_ptr<CatalogService> RegisterCatalogMethods(ServerKit::RpcDispatcher& dispatcher,
                                                       CatalogOptions options) {
    auto service = std::make_shared<CatalogService>(std::move(options));
    for (const MethodEntry& entry : MethodTable()) {
        const MethodEntry* method = &entry;
        auto handler = [service, method](const Json::Value& params) {
            return Invoke(*method, *service, params);
        };
        if (entry.text == nullptr) {
            dispatcher.Add(entry.name, handler);
            continue;
        }
        dispatcher.Add(entry.name, handler,
                       [service, method](const Json::Value& params, std::string& out) {
                           InvokeText(*method, *service, params, out);
                       });
    }
    return service;
}

}  // namespace GsdCatalog
