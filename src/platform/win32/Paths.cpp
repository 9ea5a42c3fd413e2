// SPDX-License-Identifier: Apache-2.0
// Directories and paths, with the classic 260-character path limit that the
// library's server paths are specified with.

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace RpcClient {
namespace Platform {

namespace {

constexpr DWORD kPathCapacity = MAX_PATH;  // 260 characters with the terminator

// Directory of a loaded module (null: the host executable); empty on failure.
std::wstring ModuleDirectory(HMODULE module) {
    wchar_t path[kPathCapacity] = {};
    const DWORD length = ::GetModuleFileNameW(module, path, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) {
        return std::wstring();
    }
    ::PathRemoveFileSpecW(path);
    return path;
}

}  // namespace

std::wstring GetCurrentDirectory() {
    wchar_t path[kPathCapacity] = {};
    const DWORD length = ::GetCurrentDirectoryW(kPathCapacity, path);
    if (length == 0 || length > kPathCapacity) {
        return std::wstring();
    }
    return std::wstring(path, length);
}

std::wstring GetExecutableDirectory() {
    return ModuleDirectory(nullptr);
}

std::wstring GetLibraryDirectory() {
    // Not found under its own name (loaded under another file name, or linked
    // statically into the host), the library looks beside the host executable.
    return ModuleDirectory(::GetModuleHandleW(L"JsonRpcClient"));
}

std::wstring PathAppend(const std::wstring& directory, const std::wstring& relative) {
    if (directory.size() >= kPathCapacity) {
        return std::wstring();
    }
    wchar_t path[kPathCapacity] = {};
    directory.copy(path, directory.size());
    if (!::PathAppendW(path, relative.c_str())) {
        return std::wstring();
    }
    return path;
}

bool PathFileExists(const std::wstring& path) {
    return ::PathFileExistsW(path.c_str()) != FALSE;
}

std::wstring ExecutableName(const std::wstring& name) {
    return name + L".exe";
}

std::wstring SharedLibraryFileName(const std::wstring& baseName) {
    return baseName + L".dll";
}

}  // namespace Platform
}  // namespace RpcClient
