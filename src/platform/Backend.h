// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the platform layer's shared code asks of each backend. Only the
// platform folders include this.

#include <cstddef>

namespace RpcClient::Platform {

// The backend's part of CopyWideString: copies a text already known to fit
// (Win32: wcscpy_s). Only CopyWideString calls it.
bool CopyFittingWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source);

}  // namespace RpcClient::Platform
