// SPDX-License-Identifier: Apache-2.0
#pragma once

// Shared helpers of the hosting tests: where the scripted server is, and
// ways to look at processes and descriptors from outside.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>

// OpenDescriptors, IsAlive, IsZombie, Kill and TempPath, per system.
#include "HostingTestOs.h"

namespace HostingTest {

inline std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

inline std::wstring ScriptedServer() {
    return Widen(JRC_SCRIPTED_SERVER);
}

// Waits up to `limit` for the process to be gone; true when it is.
inline bool WaitGone(int pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!IsAlive(pid)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !IsAlive(pid);
}

inline int ReadPidFile(const std::string& path, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(path);
        int pid = 0;
        if (in >> pid && pid > 0) {
            return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

}  // namespace HostingTest
