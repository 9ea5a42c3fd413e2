// SPDX-License-Identifier: Apache-2.0
// A host that is killed outright while its threads wait in calls must not
// leave its server running.

#include "support/HostingTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

extern char** environ;

using namespace std::chrono_literals;

namespace {

TEST(HostKill, HostKilledMidCallLeavesNoServerBehind) {
    const std::string control = HostingTest::TempPath("control");
    const std::string pidfile = HostingTest::TempPath("pid");
    const std::string output = HostingTest::TempPath("out");
    {
        // Every answer takes 300 ms, so the host's threads are inside a call
        // (one reading, the others waiting for the connection) when it dies.
        std::ofstream(control) << "slow\n";
    }
    // A server that would outlive its host by itself: only the job ends it.
    const std::string args = "--control " + control + " --pidfile " + pidfile + " --linger";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::string host = JRC_BUSY_HOST;
    std::string server = JRC_CHAOS_SERVER;
    std::string arguments = args;
    char* argv[] = {&host[0], &server[0], &arguments[0], nullptr};
    pid_t hostPid = -1;
    ASSERT_EQ(posix_spawn(&hostPid, host.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    const bool calling = HostingTest::Eventually(
        [&] {
            std::ifstream in(output);
            std::string line;
            return std::getline(in, line) && line == "calling";
        },
        10s);
    int serverPid = HostingTest::ReadPid(pidfile);
    std::this_thread::sleep_for(450ms);  // well inside the next answer's delay

    kill(hostPid, SIGKILL);
    int status = 0;
    waitpid(hostPid, &status, 0);
    ASSERT_TRUE(calling) << "the host never completed its first call";
    ASSERT_GT(serverPid, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(HostingTest::Eventually([&] { return !HostingTest::IsAlive(serverPid); }, 2s))
        << "server " << serverPid << " outlived its host";

    for (const std::string& path : {control, pidfile, output}) {
        std::remove(path.c_str());
    }
}

}  // namespace
