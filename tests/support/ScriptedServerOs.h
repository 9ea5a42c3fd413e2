// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the scripted server does differently per system (posix/, win32/).

#include <json/json.h>

namespace ScriptedOs {

// Binary standard streams where the C runtime would translate line ends.
void PrepareStdio();
int CurrentProcessId();
// The open descriptors as [{"fd": n, "target": text}] where the system lists them.
Json::Value OpenDescriptors();
// The id of a long-sleeping child off the server's pipes, or -1.
int SpawnSleeper();
// Closes standard output and standard error at the system level.
void CloseOutputs();

}  // namespace ScriptedOs
