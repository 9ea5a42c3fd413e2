// SPDX-License-Identifier: Apache-2.0
// Reads what a host needs to place a module: its data (slot, identity, IO
// sizes, the submodules it brings) and, for each submodule, the parameter
// records with their fields, defaults and allowed values.
//
//   module-records FILE.xml MODULE-ID

#include <JsonRpcClient/JsonRpcClient.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool Failed(const RpcClient::Tavrel::PnGsdClient& gsd, const std::string& what) {
    if (gsd.HasError()) {
        std::fprintf(stderr, "%s failed: %s\n", what.c_str(), gsd.GetLastErrMsg().c_str());
    }
    return gsd.HasError();
}

// A record's fields sit in menus, which may nest.
void PrintMenu(const Tavrel::Gsd::menuItem& menu, int depth) {
    for (const auto& field : menu.RecordDataList) {
        std::printf("%*s%s: byte %d bit %d, default %s", depth * 2, "", field.Name.c_str(),
                    field.ByteOffset, field.BitOffset, field.DefaultValue.c_str());
        for (const auto& value : field.Values) {  // (value, text) pairs
            std::printf(" [%s=%s]", value.first.c_str(), value.second.c_str());
        }
        std::printf("\n");
    }
    for (const auto& submenu : menu.MenuItems) {
        std::printf("%*smenu %s\n", depth * 2, "", submenu.Name.c_str());
        PrintMenu(submenu, depth + 1);
    }
}

int Show(RpcClient::Tavrel::PnGsdClient& gsd, const std::string& file,
         const std::string& moduleId) {
    const auto imported = gsd.TavrelImportGsdFile(file);
    if (Failed(gsd, "import") || !imported.IsSuccess) {
        std::fprintf(stderr, "%s was not imported\n", file.c_str());
        return 1;
    }
    const std::string& gsdName = imported.GsdName;

    // An empty access point: the first one that can hold the module.
    const Tavrel::Gsd::moduleData module = gsd.GetModuleData(gsdName, "", moduleId);
    if (Failed(gsd, "GetModuleData " + moduleId)) {
        return 1;
    }
    const Tavrel::Gsd::moduleItem& item = module.Item;
    std::printf("module %s \"%s\", order number %s, ident %s, slot %d\n", moduleId.c_str(),
                item.Info.Name.c_str(), item.Info.OrderNumber.c_str(),
                item.Info.IdentNumber.c_str(), item.SlotNumber);

    for (const Tavrel::Gsd::moduleItem& submodule : module.SubItems) {
        const std::string& id = submodule.Info.GsdID;
        std::printf("  subslot %d: submodule %s, %d bytes in, %d bytes out\n", submodule.SlotNumber,
                    id.c_str(), submodule.IoData.Isize, submodule.IoData.Osize);
        const auto records = gsd.GetSubModuleParameter(gsdName, "", id);
        if (Failed(gsd, "GetSubModuleParameter " + id)) {
            return 1;
        }
        for (const Tavrel::Gsd::parameterRecord& record : records) {
            std::printf("    record %d (%d bytes) %s\n", record.Index, record.Length,
                        record.MenuItem.Name.c_str());
            PrintMenu(record.MenuItem, 3);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: module-records FILE.xml MODULE-ID\n");
        return 2;
    }
    std::vector<wchar_t> url(32768, L'\0');
    if (RpcClient::JobInstanceMgr::StartupPNConfig(L"", url.data(), nullptr) == 0) {
        std::fprintf(stderr, "cannot start TavrelPNRunner\n");
        return 1;
    }
    int status = 0;
    {
        RpcClient::Tavrel::PnGsdClient gsd(
            RpcClient::JobInstanceMgr::Instance()->GetAt(url.data()));
        status = Show(gsd, argv[1], argv[2]);
    }
    RpcClient::JobInstanceMgr::ShutdownRpcInst(url.data(), nullptr);
    return status;
}
