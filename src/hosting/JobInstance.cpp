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
#include <new>
#include <utility>

#include "platform/Platform.h"

namespace RpcClient {

namespace {

// The registry's own job: job_ holds its owner.
Platform::Job* JobOf(void* job) {
    return static_cast<Platform::Job*>(job);
}

}  // namespace

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
    if (Platform::IsCurrentProcessInJob(inJob)) {
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
    const Platform::Process child = Platform::OpenPublicProcess(process);
    if (!child || !IsMainInJob()) {
        return false;
    }
    bool inJob = false;
    return Platform::IsProcessInJob(child, nullptr, inJob) && inJob;
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
    Platform::Job job = Platform::CreateJob();
    if (!job) {
        return 0;
    }
    job_ = new (std::nothrow) Platform::Job(std::move(job));
    return job_ != nullptr ? 1 : 0;
}

int JobInstance::AssignChildProcessOnMainJob(void* process) {
    // Empty for null, for the calling process and for what is no process.
    const Platform::Process child = Platform::OpenPublicProcess(process);
    const bool pseudoOrNull = !child;
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    if (IsMainInJob() &&
        (!IsChildProcessCanBreakawayFromMainJob() || IsChildProcessInMainJob(process))) {
        // The host's job holds the server; ours is a bonus.
        if (pseudoOrNull || CreateJobObjectImp() == 0) {
            return 1;
        }
        Platform::AssignProcessToJob(*JobOf(job_), child);
        return 1;
    }
    if (pseudoOrNull || CreateJobObjectImp() == 0) {
        return 0;
    }
    bool inJob = false;
    if (Platform::IsProcessInJob(child, nullptr, inJob) && inJob) {
        return 0;
    }
    return Platform::AssignProcessToJob(*JobOf(job_), child) ? 1 : 0;
}

int JobInstance::AssignChildProcessToJobObject(void* process, int force) {
    const Platform::Process child = Platform::OpenPublicProcess(process);
    if (!child) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    if (CreateJobObjectImp() == 0) {
        return 0;
    }
    bool inJob = false;
    if (Platform::IsProcessInJob(child, nullptr, inJob) && inJob && force == 0) {
        return 0;
    }
    return Platform::AssignProcessToJob(*JobOf(job_), child) ? 1 : 0;
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
        Platform::TerminateJob(*JobOf(job_), 0);
        delete JobOf(std::exchange(job_, nullptr));
    }
}

void JobInstance::Dispose() {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    delete JobOf(std::exchange(job_, nullptr));
}

void* JobInstance::GetJobHandle() const {
    std::lock_guard<std::recursive_mutex> lock(jobLock_);
    return job_ != nullptr ? Platform::PublicHandle(*JobOf(job_)) : nullptr;
}

}  // namespace RpcClient
