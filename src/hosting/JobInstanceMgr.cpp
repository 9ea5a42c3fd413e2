// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/hosting/KnownServers.h>

#include "platform/Platform.h"

namespace RpcClient {

namespace {

JobInstance* Choose(JobInstance* registry) {
    return registry != nullptr ? registry : JobInstanceMgr::Instance();
}

// <library dir>/<name>/<name>[.exe]; empty when the path is too long.
std::wstring KnownServerPath(const std::wstring& name) {
    return Platform::PathAppend(Platform::GetLibraryDirectory(),
                                L".\\" + name + L"\\" + Platform::ExecutableName(name));
}

}  // namespace

JobInstance* JobInstanceMgr::Instance() {
    static JobInstance instance;
    return &instance;
}

int JobInstanceMgr::Startup(const std::wstring& srvUri, const std::wstring& args, void* urlBuffer,
                            JobInstance* registry) {
    const std::pair<int, std::wstring> started = Choose(registry)->StartRpcServer(srvUri, args);
    if (started.first == 0) {
        return 0;
    }
    if (urlBuffer != nullptr) {
        // The buffer is the caller's; its size is taken on trust as the
        // URL's length plus the terminator.
        auto* out = static_cast<wchar_t*>(urlBuffer);
        if (!Platform::CopyWideString(out, started.second.size() + 1, started.second.c_str())) {
            return 0;
        }
    }
    return 1;
}

int JobInstanceMgr::StartupPNConfig(const std::wstring& value, void* urlBuffer,
                                    JobInstance* registry) {
    const std::wstring path = KnownServerPath(KnownServers::kPNConfigName);
    if (!Platform::PathFileExists(path)) {
        return 0;
    }
    const std::wstring args = value.empty() ? std::wstring() : L"-l " + value;
    return Startup(path, args, urlBuffer, registry);
}

int JobInstanceMgr::StartupMC(const std::wstring& args,
                              std::function<bool(const std::wstring&)> check, void* urlBuffer,
                              JobInstance* registry) {
    const std::wstring name = KnownServers::kServoName;
    const std::wstring path = KnownServerPath(name);
    if (!Platform::PathFileExists(path)) {
        return 0;
    }
    if (check) {
        std::vector<std::wstring> files{path};
        const std::wstring folder = Platform::PathAppend(Platform::GetLibraryDirectory(), name);
        for (const wchar_t* base : KnownServers::kServoCompanionBaseNames) {
            files.push_back(Platform::PathAppend(folder, Platform::SharedLibraryFileName(base)));
        }
        for (const std::wstring& file : files) {
            if (Platform::PathFileExists(file) && !check(file)) {
                return 0;
            }
        }
    }
    // The check is the caller's; it goes before the start.
    check = nullptr;
    return Startup(path, args, urlBuffer, registry);
}

int JobInstanceMgr::ShutdownRpcInst(const std::wstring& url, JobInstance* registry) {
    JobInstance* chosen = Choose(registry);
    if (url.empty()) {
        chosen->CloseAllRpcServer();
    } else {
        chosen->CloseRpcServer(url);
    }
    return 1;
}

RpcLocalSrvConfig* JobInstanceMgr::Default() {
    return Instance()->Default();
}

}  // namespace RpcClient
