// SPDX-License-Identifier: Apache-2.0
// POSIX backend: directories, paths, wide text and error texts.
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

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"

namespace RpcClient {
namespace Platform {
namespace Posix {

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = 0;
        std::size_t extra = 0;
        std::uint32_t minimum = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k <= extra && i + k < n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) {
                break;
            }
            c = (c << 6) | (t & 0x3F);
        }
        if (k <= extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            i += k;
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        i += k;
    }
    return out;
}

}  // namespace Posix

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

unsigned long GetLastError() {
    return static_cast<unsigned long>(errno);
}

void SetLastError(unsigned long code) {
    errno = static_cast<int>(code);
}

std::string FormatSystemMessage(unsigned long code) {
    char buffer[256];
    // The GNU strerror_r returns its text, which may not be in the buffer.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (text == nullptr || *text == '\0') {
        return std::string();
    }
    return std::string(text) + "\r\n";
}

std::string FormatHResultMessage(long hresult) {
    struct Entry {
        std::uint32_t code;
        const char* text;
    };
    // This system keeps no texts for the RPC facility's codes; these are the
    // library's own, for the codes it produces.
    static const Entry kTexts[] = {
        {0x8001FFFFu, "An internal error occurred in the remote procedure call."},
        {0x80010105u, "The server failed to handle the call or its answer could not be read."},
        {0x80010001u, "The call was rejected: the server sent no usable response."},
        {0x80010110u, "The response is not a message of the expected protocol version."},
        {0x8001011Fu, "The server's connection could not be obtained in time."},
        {0x80010120u, "The response does not belong to the request that was sent."},
        {0x8001000Fu, "The data sent or received is not valid."},
        {0x80010107u, "The server does not know the method that was called."},
        {0x80010010u, "The parameters of the call are not valid."},
        {0x8001000Bu, "A value could not be converted for the call."},
        {0x80004005u, "Unspecified error."},
        {0x80070057u, "One or more arguments are not valid."},
    };
    const auto bits = static_cast<std::uint32_t>(hresult);
    for (const Entry& entry : kTexts) {
        if (entry.code == bits) {
            return std::string(entry.text) + "\r\n";
        }
    }
    return std::string();
}

}  // namespace Platform
}  // namespace RpcClient
