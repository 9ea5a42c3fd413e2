// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs a program to completion with its standard output and error captured.

#include <filesystem>
#include <string>
#include <vector>

namespace PnctlTest {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (passed as separate words, quoted for the
// system's shell) and waits for it.
ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// A fresh directory under the system's temporary folder, removed on
// destruction.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The system part: runs the command line and returns the program's exit
// code; stdout and stderr go to the two files.
int RunCommand(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& outFile, const std::string& errFile);

}  // namespace PnctlTest
