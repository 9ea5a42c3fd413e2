// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the two known servers live, relative to the directory that holds the
// library: each in a folder of its own name. Windows adds ".exe" to the
// executables. Kept in this one place so the build that lays the servers out
// and the code that finds them cannot disagree.

namespace RpcClient {
namespace KnownServers {

// The PROFINET configuration server: `<library dir>/TavrelPNRunner/TavrelPNRunner`
constexpr const wchar_t* kPNConfigName = L"TavrelPNRunner";

// The servo tuning server: `<library dir>/PellavonCli/PellavonCli`
constexpr const wchar_t* kServoName = L"PellavonCli";

// The six companion libraries the servo tuning server expects beside itself,
// in the order they are checked. The file name is the platform's shared
// library form of each base name: NAME.dll on Windows, libNAME.so on Linux
// (CMake: ${CMAKE_SHARED_LIBRARY_PREFIX}NAME${CMAKE_SHARED_LIBRARY_SUFFIX}).
// One name per line, so build scripts can read this list too.
constexpr int kServoCompanionCount = 6;
// clang-format off
constexpr const wchar_t* kServoCompanionBaseNames[kServoCompanionCount] = {
    L"PellavonCore",
    L"PellavonMotion",
    L"PellavonDrive",
    L"PellavonFieldbus",
    L"PellavonParams",
    L"PellavonLicense",
};
// clang-format on

}  // namespace KnownServers
}  // namespace RpcClient
