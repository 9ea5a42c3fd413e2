// SPDX-License-Identifier: Apache-2.0
// Imports GSD files into the configuration server's catalogue, then walks
// the catalogue: file -> device access points -> pluggable modules -> their
// pluggable submodules.
//
//   gsd-catalog FILE.xml...
//
// The server keeps its catalogue in catalog/ beside its executable, or in the
// directory that the environment variable TAVREL_GSD_CATALOG names.

#include <JsonRpcClient/JsonRpcClient.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every operation returns a value; whether it failed is in the error list,
// which each call empties first.
bool Failed(const RpcClient::Tavrel::PnGsdClient& gsd, const std::string& what) {
    if (!gsd.HasError()) {
        return false;
    }
    std::fprintf(stderr, "%s failed: 0x%08lX %s\n", what.c_str(),
                 static_cast<unsigned long>(gsd.GetLastErrCode()) & 0xFFFFFFFFUL,
                 gsd.GetLastErrMsg().c_str());
    return true;
}

int ImportAndWalk(RpcClient::Tavrel::PnGsdClient& gsd, const std::vector<std::string>& files) {
    int status = 0;
    for (const std::string& file : files) {
        const auto result = gsd.TavrelImportGsdFile(file);
        if (Failed(gsd, "import " + file)) {
            return 1;
        }
        // A refused file is an answer with reasons, not a failed call.
        std::printf("%s %s\n", result.IsSuccess ? "imported" : "refused", result.GsdName.c_str());
        for (const std::string& reason : result.ErrorMessages) {
            std::printf("  %s\n", reason.c_str());
        }
        status |= result.IsSuccess ? 0 : 1;
    }

    std::printf("\ncatalogue:\n");
    const std::vector<std::string> names = gsd.GetInstalledGSDsNames();
    if (Failed(gsd, "GetInstalledGSDsNames")) {
        return 1;
    }
    for (const std::string& name : names) {
        std::printf("%s\n", name.c_str());
        const auto accessPoints = gsd.GetDeviceCatalogs(name);
        if (Failed(gsd, "GetDeviceCatalogs " + name)) {
            return 1;
        }
        for (const auto& dap : accessPoints) {
            const std::string& dapId = dap.BaseInfo.GsdId;
            std::printf("  access point %s: %s\n", dapId.c_str(), dap.GetCatalogText().c_str());
            const auto modules = gsd.GetPluggableModuleCatalog(name, dapId);
            if (Failed(gsd, "GetPluggableModuleCatalog " + dapId)) {
                return 1;
            }
            for (const auto& module : modules) {
                const std::string& moduleId = module.BaseInfo.GsdId;
                std::printf("    module %s: %s\n", moduleId.c_str(), module.BaseInfo.Name.c_str());
                const auto submodules = gsd.GetPluggableSubModuleListCatalog(name, dapId, moduleId);
                if (Failed(gsd, "GetPluggableSubModuleListCatalog " + moduleId)) {
                    return 1;
                }
                for (const auto& submodule : submodules) {
                    std::printf("      submodule %s: %s\n", submodule.BaseInfo.GsdId.c_str(),
                                submodule.BaseInfo.Name.c_str());
                }
            }
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<wchar_t> url(32768, L'\0');
    if (RpcClient::JobInstanceMgr::StartupPNConfig(L"", url.data(), nullptr) == 0) {
        std::fprintf(stderr, "cannot start TavrelPNRunner\n");
        return 1;
    }
    int status = 0;
    {
        RpcClient::Tavrel::PnGsdClient gsd(
            RpcClient::JobInstanceMgr::Instance()->GetAt(url.data()));
        status = ImportAndWalk(gsd, std::vector<std::string>(argv + 1, argv + argc));
    }
    RpcClient::JobInstanceMgr::ShutdownRpcInst(url.data(), nullptr);
    return status;
}
