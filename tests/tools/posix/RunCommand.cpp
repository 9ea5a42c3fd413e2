// SPDX-License-Identifier: Apache-2.0
#include "../ToolRunner.h"

#include <sys/wait.h>

#include <cstdlib>

namespace PnctlTest {

namespace {

// One word for /bin/sh: single quotes, each inner quote written as '\''.
std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

int RunCommand(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& outFile, const std::string& errFile) {
    std::string command = Quote(program);
    for (const std::string& argument : arguments) {
        command += ' ' + Quote(argument);
    }
    command += " </dev/null >" + Quote(outFile) + " 2>" + Quote(errFile);
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace PnctlTest
