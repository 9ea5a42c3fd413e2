// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the scripted server does differently per operating system; one
// implementation each in posix/ and win32/.

#include <json/json.h>

#include <string>

namespace ScriptedOs {

// Puts standard input and output in binary mode where the C runtime would
// otherwise translate line ends.
void PrepareStdio();

int CurrentProcessId();

// The process's open descriptors as [{"fd": n, "target": text}]; empty where
// the system offers no such list.
Json::Value OpenDescriptors();

// Starts a long-sleeping child of this server with its standard handles off
// the server's pipes; its process id, or -1.
int SpawnSleeper();

// Closes standard output and standard error at the system level.
void CloseOutputs();

}  // namespace ScriptedOs
