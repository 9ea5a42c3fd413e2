// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs a program to completion with its standard output and error captured.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace PnctlTest {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The system part: runs the command line (each argument one word, quoted for
// the system's shell) and returns the program's exit code; stdout and stderr
// go to the two files.
int RunCommand(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& outFile, const std::string& errFile);

// A fresh directory under the system's temporary folder, removed on
// destruction.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("pnctl-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate;
            }
        }
        if (path_.empty()) {
            throw std::runtime_error("cannot create a temporary directory");
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    TempDir capture;
    ToolRun run;
    run.exitCode = RunCommand(program, arguments, capture / "stdout", capture / "stderr");
    run.out = ReadFile(capture / "stdout");
    run.err = ReadFile(capture / "stderr");
#ifdef _WIN32
    // Text-mode output ends its lines with CR LF there.
    for (std::string* text : {&run.out, &run.err}) {
        text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    }
#endif
    return run;
}

}  // namespace PnctlTest
