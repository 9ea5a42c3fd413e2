#include "ServerTour.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <clocale>
#include <ostream>
#include <string>
#include <vector>

namespace {

using RpcClient::JobInstanceMgr;
using RpcClient::Tavrel::PnConfigClient;

// The client's error list, newest first, for a step that failed.
void PrintErrors(std::ostream& out, const RpcClient::JsonRpcClient& client) {
    for (const auto& entry : client.GetErrList()) {
        out << "    error 0x" << std::hex
            << (static_cast<unsigned long>(entry.first) & 0xFFFFFFFFul) << std::dec << ": "
            << entry.second << "\n";
    }
}

void PrintRecord(std::ostream& out, const PnConfigClient::TestStruct& r) {
    out << "{TestInt " << r.TestInt << ", TestString \"" << r.TestString << "\", TestBool "
        << std::boolalpha << r.TestBool << ", TestDouble " << r.TestDouble << ", TestFloat "
        << r.TestFloat << ",\n     InnerStruct {InnerInt " << r.InnerStruct.InnerInt
        << ", InnerString \"" << r.InnerStruct.InnerString << "\", InnerBool "
        << r.InnerStruct.InnerBool << ", InnerDouble " << r.InnerStruct.InnerDouble
        << ", InnerFloat " << r.InnerStruct.InnerFloat << "}}" << std::noboolalpha;
}

}  // namespace

int RunServerTour(std::ostream& out) {
    std::setlocale(LC_CTYPE, "");
    out << "Starting the configuration server beside the library with language \"de\"\n";
    std::vector<wchar_t> url(4096, L'\0');
    if (JobInstanceMgr::StartupPNConfig(L"de", url.data(), nullptr) != 1) {
        out << "  the server could not be started (is TavrelPNRunner beside the library?)\n";
        return 1;
    }
    out << "  server URL: " << RpcClient::CodePageText(std::wstring(url.data())).ToAnsi() << "\n\n";

    int failures = 0;
    {
        // The default client talks to the registry's default server: the one
        // just started.
        PnConfigClient client;
        const auto check = [&](const char* step) {
            if (client.HasError()) {
                out << "  " << step << " failed:\n";
                PrintErrors(out, client);
                ++failures;
            }
        };

        const std::string version = client.GetVersion();
        check("GetVersion");
        out << "  GetVersion      -> " << version << "\n";

        const std::string language = client.GetLanguage();
        check("GetLanguage");
        out << "  GetLanguage     -> " << language << "\n";

        const PnConfigClient::AssemblyInfo info = client.GetAssemblyInfo();
        check("GetAssemblyInfo");
        out << "  GetAssemblyInfo -> Version     " << info.Version << "\n"
            << "                     Company     " << info.Company << "\n"
            << "                     Copyright   " << info.Copyright << "\n"
            << "                     Description " << info.Description << "\n"
            << "                     Author      " << info.Author << "\n";

        const PnConfigClient::TestStruct echoed = client.RunTest(42, "hello", true, 2.5, 0.25f);
        check("RunTest");
        out << "  RunTest(42, \"hello\", true, 2.5, 0.25)\n    -> ";
        PrintRecord(out, echoed);
        out << "\n\n";
    }

    out << "Shutting the server down\n";
    JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
    out << "  servers left in the registry: "
        << (JobInstanceMgr::Default() == nullptr ? "none" : "some") << "\n\n";
    return failures == 0 ? 0 : 1;
}
