// SPDX-License-Identifier: Apache-2.0
#pragma once

// The POSIX side, as /proc and the allocator show it (Linux).

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

extern char** environ;

namespace HostingTest {

// The numbered entries of a folder, without the descriptor listing them.
inline std::set<int> NumberedEntries(const char* folder) {
    std::set<int> numbers;
    if (DIR* dir = opendir(folder)) {
        while (dirent* entry = readdir(dir)) {
            const int number = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && number != dirfd(dir)) {
                numbers.insert(number);
            }
        }
        closedir(dir);
    }
    return numbers;
}

inline std::set<int> OpenDescriptors() {
    return NumberedEntries("/proc/self/fd");
}

// The fields of /proc/<pid>/stat from the state on; empty once it is gone.
inline std::string StatFields(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::string::size_type paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() ? line.substr(paren + 2) : "";
}

inline bool IsAlive(int pid) {
    const char state = StatFields(pid).c_str()[0];
    return state != 0 && state != 'Z';
}

inline bool IsZombie(int pid) {
    return StatFields(pid).c_str()[0] == 'Z';
}

inline bool Kill(int pid) {
    return kill(pid, SIGKILL) == 0;
}

inline bool KillAndReap(int pid) {
    return kill(pid, SIGKILL) == 0 && waitpid(pid, nullptr, 0) == pid;
}

// True while this process has any child, running or ended and not reaped.
inline bool HasChildProcess() {
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

// Runs the test host with the server, its arguments and a mode; the host's
// pid and the pid of the grandchild its server started (from its output).
inline std::pair<int, int> RunTestHost(const std::string& testHost, std::string server,
                                       std::string arguments, std::string mode) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return {-1, -1};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    std::string host = testHost;
    char* argv[] = {&host[0], &server[0], &arguments[0], &mode[0], nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, host.c_str(), &actions, nullptr, argv, environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string line;
    for (char c; read(pipeFds[0], &c, 1) == 1 && c != '\n';) {
        line.push_back(c);
    }
    close(pipeFds[0]);
    return {pid, line.empty() ? -1 : std::atoi(line.c_str())};
}

inline std::string TempPath(const std::string& stem) {
    return "/tmp/jrc-" + stem + "-" + std::to_string(getpid()) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

inline int ThreadCount() {
    return static_cast<int>(NumberedEntries("/proc/self/task").size());
}

// Bytes the allocator has handed out (meaningless under AddressSanitizer).
inline std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

inline int ParentOf(int pid) {
    std::istringstream fields(StatFields(pid));
    char state = 0;
    int parent = -1;
    fields >> state >> parent;
    return parent;
}

}  // namespace HostingTest
