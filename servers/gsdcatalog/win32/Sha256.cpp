// SPDX-License-Identifier: Apache-2.0
// SHA-256 through the system's own cryptography service (CNG), which every
// Windows has, instead of a crypto library that would have to ship beside the
// server.

#include "Sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>

namespace GsdCatalog {

namespace {

constexpr ULONG kDigestSize = 32;

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        throw std::runtime_error("SHA-256 computation failed");
    }
    unsigned char digest[kDigestSize] = {};
    // BCryptHash takes a ULONG length; hash larger inputs is not needed for
    // GSD files, but refuse them rather than hash a truncated text.
    const bool fits = bytes.size() <= 0xFFFFFFFFu;
    const NTSTATUS status =
        fits ? ::BCryptHash(algorithm, nullptr, 0,
                            reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                            static_cast<ULONG>(bytes.size()), digest, kDigestSize)
             : static_cast<NTSTATUS>(-1);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!BCRYPT_SUCCESS(status)) {
        throw std::runtime_error("SHA-256 computation failed");
    }
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(kDigestSize * 2);
    for (unsigned char byte : digest) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 0x0F]);
    }
    return hex;
}

}  // namespace GsdCatalog
