// SPDX-License-Identifier: Apache-2.0
#pragma once

// Helpers of the tests that run processes and look at them from outside.

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

// OpenDescriptors, IsAlive, Kill, TempPath and more, per system.
#include "HostingTestOs.h"

namespace HostingTest {

inline std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

#ifdef JRC_SCRIPTED_SERVER
inline std::wstring ScriptedServer() {
    return Widen(JRC_SCRIPTED_SERVER);
}
#endif

// Polls `condition` every 10 ms for up to `limit`; its last answer.
template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline bool WaitGone(int pid, std::chrono::milliseconds limit) {
    return Eventually([pid] { return !IsAlive(pid); }, limit);
}

// The process id in a pid file, waiting up to `limit` for one; -1 when none
// appears.
inline int ReadPidFile(const std::string& path, std::chrono::milliseconds limit = {}) {
    int pid = 0;
    return Eventually([&] { return std::ifstream(path) >> pid && pid > 0; }, limit) ? pid : -1;
}

}  // namespace HostingTest
