// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs a program through the system's shell to completion, its standard
// output and error captured.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace PnctlTest {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A fresh directory under the system's temporary folder, removed on
// destruction.
class TempDir {
public:
    TempDir()
        : path_(std::filesystem::temp_directory_path() /
                ("pnctl-test-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
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

#ifdef _WIN32
// One word for the C runtime's argument parser: double quotes, inner quotes
// and the backslashes before them escaped.
inline std::string Quote(const std::string& word) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '"') {
            quoted.append(backslashes + 1, '\\');
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
        quoted += c;
    }
    return quoted.append(backslashes, '\\') + "\"";
}
constexpr const char* kNoInput = " <NUL";
#else
// One word for /bin/sh: single quotes, each inner quote written as '\''.
inline std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
constexpr const char* kNoInput = " </dev/null";
#endif

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string read = text.str();
#ifdef _WIN32
    // Text-mode output ends its lines with CR LF there.
    read.erase(std::remove(read.begin(), read.end(), '\r'), read.end());
#endif
    return read;
}

inline ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    TempDir capture;
    std::string command = Quote(program);
    for (const std::string& argument : arguments) {
        command += ' ' + Quote(argument);
    }
    command += kNoInput + (" >" + Quote(capture / "stdout")) + " 2>" + Quote(capture / "stderr");
    ToolRun run;
#ifdef _WIN32
    // cmd.exe strips one pair of outer quotes from the whole line.
    run.exitCode = std::system(("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.out = ReadFile(capture / "stdout");
    run.err = ReadFile(capture / "stderr");
    return run;
}

}  // namespace PnctlTest
