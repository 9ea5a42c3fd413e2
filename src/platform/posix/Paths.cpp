// SPDX-License-Identifier: Apache-2.0
// POSIX backend: directories and paths.
//
// Paths and arguments are UTF-8 on the system side and wide (UTF-32) text
// on the library side. The library's own directory comes from dladdr on a
// function of this library; when the file found that way is not this
// library under its own name (for instance a host that linked the objects
// in statically, or renamed the file), the host executable's directory is
// used, which is where a host would then keep the servers.

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

namespace RpcClient {
namespace Platform {
using namespace Posix;

namespace {

std::wstring DirectoryOf(const std::string& file) {
    const std::string::size_type slash = file.rfind('/');
    if (slash == std::string::npos) {
        return std::wstring();
    }
    return FromUtf8(slash == 0 ? std::string("/") : file.substr(0, slash));
}

// The name this library's file carries (the versioned names included).
bool IsOwnLibraryFile(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    static const char kName[] = "libJsonRpcClient.so";
    const std::size_t length = sizeof(kName) - 1;
    return name.compare(0, length, kName) == 0 && (name.size() == length || name[length] == '.');
}

}  // namespace

std::wstring GetCurrentDirectory() {
    std::string buffer(PATH_MAX, '\0');
    if (getcwd(&buffer[0], buffer.size()) == nullptr) {
        return std::wstring();
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return FromUtf8(buffer);
}

std::wstring GetExecutableDirectory() {
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return std::wstring();
    }
    buffer.resize(static_cast<std::size_t>(length));
    return DirectoryOf(buffer);
}

std::wstring GetLibraryDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetLibraryDirectory), &info) != 0 &&
        info.dli_fname != nullptr && IsOwnLibraryFile(info.dli_fname)) {
        char* resolved = realpath(info.dli_fname, nullptr);
        if (resolved != nullptr) {
            const std::string path(resolved);
            std::free(resolved);
            return DirectoryOf(path);
        }
    }
    return GetExecutableDirectory();
}

std::wstring PathAppend(const std::wstring& directory, const std::wstring& relative) {
    std::wstring tail = relative;
    for (wchar_t& c : tail) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    while (tail.compare(0, 2, L"./") == 0) {
        tail.erase(0, 2);
    }
    std::wstring path = directory;
    if (!tail.empty() && tail[0] == L'/') {
        path = tail;
    } else if (!tail.empty()) {
        if (!path.empty() && path.back() != L'/') {
            path.push_back(L'/');
        }
        path += tail;
    }
    if (ToUtf8(path).size() >= PATH_MAX) {
        return std::wstring();
    }
    return path;
}

bool PathFileExists(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    struct stat info {};
    return stat(ToUtf8(path).c_str(), &info) == 0;
}

std::wstring ExecutableName(const std::wstring& name) {
    return name;
}

std::wstring SharedLibraryFileName(const std::wstring& baseName) {
    return L"lib" + baseName + L".so";
}

}  // namespace Platform
}  // namespace RpcClient
