// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the Win32 backend's owners hold: a HANDLE, whatever it names.

namespace RpcClient {
namespace Platform {

struct HandleTraits {
    using Native = void*;
    static bool IsEmpty(Native handle) noexcept { return handle == nullptr; }
    static void Close(Native handle) noexcept;
    static Native Duplicate(Native handle);
};

struct PipeTraits : HandleTraits {};
struct ProcessTraits : HandleTraits {};
struct JobTraits : HandleTraits {};

}  // namespace Platform
}  // namespace RpcClient
