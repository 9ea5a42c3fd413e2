// SPDX-License-Identifier: Apache-2.0
#pragma once

// Starts the stand-in server (ScriptedGsdServer.cpp) as the process's default
// server, so that the facade's temporary clients reach it, and lets each test
// script the answers and read back the requests.

#include "GsdTestSupport.h"

#include <JsonRpcClient/hosting/JobInstanceMgr.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

inline std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// Starts the stand-in server as the process's default server and lets each
// test script its answers.
class ScriptedServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = std::filesystem::temp_directory_path() / ("gsd-facade-" + std::to_string(stamp));
        std::filesystem::create_directories(dir_);
        Script("{}");
        const std::wstring args =
            Widen((dir_ / "script.json").string() + " " + (dir_ / "requests.log").string());
        ASSERT_EQ(
            RpcClient::JobInstanceMgr::Startup(Widen(GSD_SCRIPTED_SERVER), args, nullptr, nullptr),
            1);
        ASSERT_NE(RpcClient::JobInstanceMgr::Default(), nullptr);
    }

    void TearDown() override {
        RpcClient::JobInstanceMgr::ShutdownRpcInst(L"", nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    void Script(const std::string& json) {
        std::ofstream(dir_ / "script.json", std::ios::binary | std::ios::trunc) << json;
    }

    std::vector<Json::Value> Requests() const {
        std::vector<Json::Value> requests;
        std::ifstream in(dir_ / "requests.log", std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            requests.push_back(gsdtest::ParseJson(line));
        }
        return requests;
    }

    std::filesystem::path dir_;
};
