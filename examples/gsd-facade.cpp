// SPDX-License-Identifier: Apache-2.0
// Queries the catalogue through the facade, PNconfigGSDParser: one
// process-wide object whose calls return a status code and fill output
// arguments. Each call uses its own client of the registry's default server,
// so calls share no state and may come from several threads; the facade
// starts no server of its own.
//
//   gsd-facade FILE.xml...
//
// The facade has no import, so the files are imported with a client first.

#include <JsonRpcClient/JsonRpcClient.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

unsigned long Hex(long status) {
    return static_cast<unsigned long>(status) & 0xFFFFFFFFUL;
}

int Query() {
    Tavrel::Gsd::PNconfigGSDParser& parser = Tavrel::Gsd::PNconfigGSDParser::getInstance();

    std::vector<std::string> names;
    long status = parser.LoadAllGsd(names);
    if (status != 0) {
        std::fprintf(stderr, "LoadAllGsd: status 0x%08lX\n", Hex(status));
        return 1;
    }
    for (const std::string& name : names) {
        Tavrel::Gsd::GsdDeviceInfo info;
        std::vector<Tavrel::Gsd::DeviceCatalog> accessPoints;
        status = parser.GetGsdDeviceInfo(name, info);
        if (status == 0) {
            status = parser.GetDeviceCatalog(name, accessPoints);
        }
        if (status != 0) {
            std::fprintf(stderr, "%s: status 0x%08lX\n", name.c_str(), Hex(status));
            return 1;
        }
        std::printf("%s: %s, vendor 0x%04X, device 0x%04X\n", name.c_str(), info.VendorName.c_str(),
                    info.VendorIdentNumber, info.DeviceIdentNumber);
        for (const auto& dap : accessPoints) {
            std::vector<int> slots;
            status = parser.GetDevicePhysicalSlots(name, dap.BaseInfo.GsdId, slots);
            std::printf("  %s: %lu slots (status 0x%08lX)\n", dap.BaseInfo.GsdId.c_str(),
                        static_cast<unsigned long>(slots.size()), Hex(status));
        }
    }

    // Arguments are checked before anything is sent: an empty file name is
    // refused with E_INVALIDARG here.
    Tavrel::Gsd::GsdDeviceInfo none;
    std::printf("empty name: status 0x%08lX\n", Hex(parser.GetGsdDeviceInfo("", none)));
    return 0;
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
        // The only server started is the registry's default server, which
        // both this client and the facade use.
        RpcClient::Tavrel::PnGsdClient gsd;
        for (int i = 1; i < argc && status == 0; ++i) {
            const auto result = gsd.TavrelImportGsdFile(argv[i]);
            if (gsd.HasError() || !result.IsSuccess) {
                std::fprintf(stderr, "%s was not imported\n", argv[i]);
                status = 1;
            }
        }
    }
    if (status == 0) {
        status = Query();
    }
    RpcClient::JobInstanceMgr::ShutdownRpcInst(url.data(), nullptr);
    return status;
}
