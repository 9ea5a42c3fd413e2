// SPDX-License-Identifier: Apache-2.0
#include "ToolRunner.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace PnctlTest {

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("pnctl-test-" + std::to_string(random()) + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

ToolRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    TempDir capture;
    const std::string outFile = capture / "stdout";
    const std::string errFile = capture / "stderr";
    ToolRun run;
    run.exitCode = RunCommand(program, arguments, outFile, errFile);
    run.out = ReadFile(outFile);
    run.err = ReadFile(errFile);
    return run;
}

}  // namespace PnctlTest
