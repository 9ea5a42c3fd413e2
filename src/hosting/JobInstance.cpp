// SPDX-License-Identifier: Apache-2.0
// The registry of started servers and the job that ends them with the host.
//
// Locks: the registry lock (recursive) serialises start and close; a server
// record's start lock is taken inside it, never the other way round. The job
// handle has its own lock, always taken last: OnRpcServerReStarted runs
// under a record's start lock without the registry lock, and must still not
// race a start or a close over creating or ending the job. Default and the
// lookups take the registry lock too, so a lookup never sees a half-changed
// map.

#include <JsonRpcClient/hosting/JobInstance.h>

#include <cstdint>
#include <cwchar>
#include <utility>

#include "platform/Platform.h"

namespace RpcClient {

JobInstance::JobInstance(const wchar_t* /*name*/) {}

JobInstance::~JobInstance() {
    TerminateAll();
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    for (auto& entry : registry_) {
        entry.second->Retire();
    }
    registry_.clear();
}

bool JobInstance::IsValid() const {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    return job_ != nullptr || IsMainInJob();
}

bool JobInstance::IsMainInJob() {
    bool inJob = false;
    if (Platform::IsProcessInJob(Platform::CurrentProcess(), nullptr, inJob)) {
        return inJob;
    }
    return Platform::IsCurrentProcessListedInOwnJob();
}

bool JobInstance::IsChildProcessCanBreakawayFromMainJob() {
    Platform::SetLastError(0);
    bool allowed = false;
    if (!Platform::QueryOwnJobBreakawayAllowed(allowed)) {
        return false;
    }
    return allowed;
}

bool JobInstance::IsChildProcessInMainJob(void* process) {
    if (process == nullptr || !IsMainInJob()) {
        return false;
    }
    bool inJob = false;
    return Platform::IsProcessInJob(process, nullptr, inJob) && inJob;
}

bool JobInstance::IsChildProcessHasBreakawayFromJobFlags(void* process) {
    return IsChildProcessCanBreakawayFromMainJob() && !IsChildProcessInMainJob(process);
}

int JobInstance::CreateJobObjectImp() {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    if (job_ != nullptr) {
        return 1;
    }
    // The platform's job is kill-on-close with no breakaway: the servers'
    // own children stay in it.
    void* job = Platform::CreateJob();
    if (job == nullptr) {
        return 0;
    }
    job_ = job;
    return 1;
}

int JobInstance::AssignChildProcessOnMainJob(void* process) {
    const bool pseudoOrNull = process == nullptr || process == Platform::CurrentProcess();
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    if (IsMainInJob() &&
        (!IsChildProcessCanBreakawayFromMainJob() || IsChildProcessInMainJob(process))) {
        // The host's job holds the server; ours is a bonus.
        if (pseudoOrNull || CreateJobObjectImp() == 0) {
            return 1;
        }
        Platform::AssignProcessToJob(job_, process);
        return 1;
    }
    if (pseudoOrNull || CreateJobObjectImp() == 0) {
        return 0;
    }
    bool inJob = false;
    if (Platform::IsProcessInJob(process, nullptr, inJob) && inJob) {
        return 0;
    }
    return Platform::AssignProcessToJob(job_, process) ? 1 : 0;
}

int JobInstance::AssignChildProcessToJobObject(void* process, int force) {
    if (process == nullptr || process == Platform::CurrentProcess()) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    if (CreateJobObjectImp() == 0) {
        return 0;
    }
    bool inJob = false;
    if (Platform::IsProcessInJob(process, nullptr, inJob) && inJob && force == 0) {
        return 0;
    }
    return Platform::AssignProcessToJob(job_, process) ? 1 : 0;
}

std::wstring JobInstance::GenerateSrvUrl(const std::wstring& srvUri, const std::wstring& args,
                                         RpcLocalSrvConfig* server) {
    std::wstring url = srvUri;
    if (!args.empty()) {
        url += L' ';
        url += args;
    }
    if (server != nullptr) {
        const auto value = static_cast<unsigned long long>(
            reinterpret_cast<std::uintptr_t>(server->GetSrvProcessHandle()));
        wchar_t digits[17];
        std::swprintf(digits, 17, L"%016llX", value);
        url += L':';
        url += digits;
    }
    return url;
}

std::pair<int, std::wstring> JobInstance::StartRpcServer(const std::wstring& srvUri,
                                                         const std::wstring& args) {
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    auto server = std::make_shared<RpcLocalSrvConfig>(srvUri, args);
    if (server->StartupRpcServer() == 0) {
        return {0, std::wstring()};
    }
    server->SetStatusObserver(this);
    void* process = server->GetSrvProcessHandle();
    if (process == nullptr || AssignChildProcessOnMainJob(process) == 0) {
        server->SetStatusObserver(nullptr);
        server->ShutdownRpcServer();
        return {0, std::wstring()};
    }
    std::wstring url = GenerateSrvUrl(srvUri, args, server.get());
    server->owner_ = server;
    std::shared_ptr<RpcLocalSrvConfig>& slot = registry_[url];
    if (slot) {
        slot->Retire();
    }
    slot = std::move(server);
    return {1, url};
}

RpcLocalSrvConfig* JobInstance::Default() const {
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    return registry_.empty() ? nullptr : registry_.begin()->second.get();
}

std::shared_ptr<RpcLocalSrvConfig> JobInstance::SharedDefault() const {
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    return registry_.empty() ? nullptr : registry_.begin()->second;
}

RpcLocalSrvConfig* JobInstance::operator[](const std::wstring& url) const {
    return GetAt(url);
}

RpcLocalSrvConfig* JobInstance::GetAt(const std::wstring& url) const {
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    const auto found = registry_.find(url);
    return found == registry_.end() ? nullptr : found->second.get();
}

void JobInstance::CloseRpcServer(const std::wstring& url) {
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    const auto found = registry_.find(url);
    if (found == registry_.end()) {
        return;
    }
    found->second->Retire();
    registry_.erase(found);
}

void JobInstance::CloseAllRpcServer() {
    std::lock_guard<std::recursive_mutex> lock(registryLock_);
    TerminateAll();
    for (auto& entry : registry_) {
        entry.second->Retire();
    }
    registry_.clear();
}

void JobInstance::OnRpcServerExited(void* /*server*/, int /*exitCode*/) {}

void JobInstance::OnRpcServerReStarted(void* server) {
    auto* record = static_cast<RpcLocalSrvConfig*>(server);
    if (record == nullptr) {
        return;
    }
    void* process = record->GetSrvProcessHandle();
    if (process != nullptr) {
        AssignChildProcessOnMainJob(process);
    }
}

void JobInstance::TerminateAll() {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    if (job_ != nullptr) {
        Platform::TerminateJob(job_, 0);
        Platform::Job(std::exchange(job_, nullptr)).Reset();
    }
}

void JobInstance::Dispose() {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    Platform::Job(std::exchange(job_, nullptr)).Reset();
}

void* JobInstance::GetJobHandle() const {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    return job_;
}

}  // namespace RpcClient
