// SPDX-License-Identifier: Apache-2.0
#pragma once

// SHA-256 of a byte string as 64 lower-case hex digits. One function so the
// platform's own hash service can stand in for the crypto library where that
// library is not shipped.

#include <string>
#include <string_view>

namespace GsdCatalog {

// Throws std::runtime_error when the hash service fails.
std::string Sha256Hex(std::string_view bytes);

}  // namespace GsdCatalog
