// SPDX-License-Identifier: Apache-2.0
#include "ScriptedServerOs.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace ScriptedOs {

void PrepareStdio() {}

int CurrentProcessId() {
    return static_cast<int>(getpid());
}

Json::Value OpenDescriptors() {
    Json::Value list(Json::arrayValue);
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] == '.' || fd == dirfd(dir)) {
            continue;
        }
        char target[512] = {0};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        Json::Value item;
        item["fd"] = fd;
        item["target"] = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "";
        list.append(item);
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    return list;
}

int SpawnSleeper() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
    }
    char sleepName[] = "sleep";
    char seconds[] = "1000";
    char* argv[] = {sleepName, seconds, nullptr};
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "sleep", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? static_cast<int>(pid) : -1;
}

void CloseOutputs() {
    std::fclose(stdout);
    close(2);
}

}  // namespace ScriptedOs
