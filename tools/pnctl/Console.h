// SPDX-License-Identifier: Apache-2.0
#pragma once

// The few host services pnctl needs that C++ does not offer portably. One
// implementation per system (posix/, win32/), chosen by the build.

#include <cstdio>
#include <filesystem>
#include <string>

namespace Pnctl {

// Is the stream a terminal (and so worth a progress bar)?
bool IsTerminal(std::FILE* stream);

// Sets a variable in this process's environment, which servers started
// afterwards inherit. False when the system refuses.
bool SetEnvVar(const std::string& name, const std::string& value);

// Full path of the running pnctl executable; empty when unknown.
std::filesystem::path ExecutablePath();

}  // namespace Pnctl
