#pragma once

// Shared helpers of the hosting tests: where the scripted server is, and
// ways to look at processes and descriptors from outside.

#include <dirent.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace HostingTest {

inline std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

inline std::wstring ScriptedServer() {
    return Widen(JRC_SCRIPTED_SERVER);
}

// Descriptor numbers open in this process right now.
inline std::set<int> OpenDescriptors() {
    std::set<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    const int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own) {
            fds.insert(std::atoi(entry->d_name));
        }
    }
    closedir(dir);
    return fds;
}

// True while the process exists and is not a zombie.
inline bool IsAlive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const std::string::size_type paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] != 'Z';
}

// True when the process is a zombie (ended, not reaped).
inline bool IsZombie(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const std::string::size_type paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
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

inline std::string TempPath(const std::string& stem) {
    return "/tmp/jrc-" + stem + "-" + std::to_string(getpid()) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

}  // namespace HostingTest
