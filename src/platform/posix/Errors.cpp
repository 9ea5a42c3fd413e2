// SPDX-License-Identifier: Apache-2.0
// POSIX backend: the calling thread's last error (errno) and the texts for
// error codes, in the form the Windows system gives them (ending in CR LF).

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Platform.h"

namespace RpcClient {
namespace Platform {

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
