// SPDX-License-Identifier: Apache-2.0
#include "../ToolRunner.h"

#include <cstdlib>

namespace PnctlTest {

namespace {

// One word for the C runtime's argument parser: double quotes, inner quotes
// and the backslashes before them escaped.
std::string Quote(const std::string& word) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
        } else if (c == '"') {
            quoted.append(backslashes + 1, '\\');
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

}  // namespace

int RunCommand(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& outFile, const std::string& errFile) {
    std::string command = Quote(program);
    for (const std::string& argument : arguments) {
        command += ' ' + Quote(argument);
    }
    command += " <NUL >" + Quote(outFile) + " 2>" + Quote(errFile);
    // cmd.exe strips one pair of outer quotes from the whole line.
    return std::system(("\"" + command + "\"").c_str());
}

}  // namespace PnctlTest
