// SPDX-License-Identifier: Apache-2.0
#pragma once

// Helpers shared by the GSD client tests: JSON literals, a legacy narrow
// code page for the text conversions and, for the facade, a stand-in server.

#include "AnsiCodePage.h"
#include "support/JsonText.h"

#include <JsonRpcClient/hosting/JobInstanceMgr.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace gsdtest {

using TestJson::Compact;
using TestJson::ParseJson;

// UTF-8 spellings used across the tests.
constexpr const char* kUtf8EAcute = "\xC3\xA9";
constexpr const char* kUtf8NoBreakSpace = "\xC2\xA0";

// Puts the library's narrow code page on a legacy one for the lifetime of the
// object, so that UTF-8 answers visibly change bytes when converted, and
// tells the bytes of "é" and of the no-break space in it. Single-byte code
// pages are preferred; a double-byte one serves where it is the one in force
// (936 has no no-break space; it becomes the default character).
class LegacyLocale {
public:
    LegacyLocale() {
        static const Sample samples[] = {
            {28605, {"en_US.ISO-8859-15", "en_US.iso885915"}, "\xE9", "\xA0"},
            {1252, {"en_US.CP1252"}, "\xE9", "\xA0"},
            {936, {"zh_CN.GBK"}, "\xA8\xA6", "?"},
        };
        for (const Sample& sample : samples) {
            codePage_ =
                std::make_unique<TestText::ScopedAnsiCodePage>(sample.codePage, sample.locales);
            if (codePage_->IsActive()) {
                sample_ = &sample;
                return;
            }
            codePage_.reset();
        }
    }

    bool Active() const { return sample_ != nullptr; }
    // Only while Active().
    const std::string& EAcute() const { return sample_->eAcute; }
    const std::string& NoBreakSpace() const { return sample_->noBreakSpace; }

private:
    struct Sample {
        unsigned int codePage;
        std::vector<const char*> locales;
        std::string eAcute;
        std::string noBreakSpace;
    };
    std::unique_ptr<TestText::ScopedAnsiCodePage> codePage_;
    const Sample* sample_ = nullptr;
};

}  // namespace gsdtest

#ifdef GSD_SCRIPTED_SERVER
// Starts the stand-in server (ScriptedGsdServer.cpp) as the process's default
// server, so that the facade's temporary clients reach it; each test scripts
// the answers and reads back the requests.
class ScriptedServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = std::filesystem::temp_directory_path() / ("gsd-facade-" + std::to_string(stamp));
        std::filesystem::create_directories(dir_);
        Script("{}");
        const std::string args =
            (dir_ / "script.json").string() + " " + (dir_ / "requests.log").string();
        const std::string server = GSD_SCRIPTED_SERVER;
        ASSERT_EQ(RpcClient::JobInstanceMgr::Startup({server.begin(), server.end()},
                                                     {args.begin(), args.end()}, nullptr, nullptr),
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
#endif
