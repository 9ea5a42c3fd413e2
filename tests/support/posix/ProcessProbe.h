// SPDX-License-Identifier: Apache-2.0
#pragma once

// Looks at this test process from outside, through /proc: its descriptors,
// threads, heap and child processes. Linux only, like the tests using it.

#include "HostingTestOs.h"

#include <dirent.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace probe {

using HostingTest::IsAlive;
using HostingTest::OpenDescriptors;
using HostingTest::ProcessState;
using HostingTest::TempPath;

inline int ThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Threads:") {
            int count = 0;
            status >> count;
            return count;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Bytes the allocator has handed out and not got back. Meaningless under
// AddressSanitizer, which brings its own allocator (its leak check covers
// that build instead).
inline std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

inline int ParentOf(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return -1;
    }
    const std::string::size_type paren = line.rfind(')');
    if (paren == std::string::npos) {
        return -1;
    }
    std::istringstream rest(line.substr(paren + 2));
    char state = 0;
    int parent = -1;
    rest >> state >> parent;
    return parent;
}

// Child processes of `parent` with their states.
inline std::map<int, char> ChildrenOf(int parent) {
    std::map<int, char> children;
    DIR* dir = opendir("/proc");
    if (dir == nullptr) {
        return children;
    }
    while (dirent* entry = readdir(dir)) {
        const int pid = std::atoi(entry->d_name);
        if (pid > 0 && ParentOf(pid) == parent) {
            children[pid] = ProcessState(pid);
        }
    }
    closedir(dir);
    return children;
}

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

inline int ReadPid(const std::string& path) {
    std::ifstream in(path);
    int pid = 0;
    in >> pid;
    return pid;
}

}  // namespace probe
