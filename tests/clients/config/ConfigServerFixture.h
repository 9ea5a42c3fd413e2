// SPDX-License-Identifier: Apache-2.0
#pragma once

// A configuration server started from the build tree into a registry of the
// test's own, with the language "de"; every server is shut down afterwards.

#include "support/ServerRegistry.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class ConfigServer : public testing::Test {
protected:
    void SetUp() override {
        std::vector<wchar_t> buffer = UrlBuffer();
        ASSERT_EQ(RpcClient::JobInstanceMgr::StartupPNConfig(L"de", buffer.data(), &registry_), 1);
        url_ = UrlFromBuffer(buffer);
        server_ = registry_.GetAt(url_);
        ASSERT_NE(server_, nullptr);
    }

    void TearDown() override {
        EXPECT_EQ(RpcClient::JobInstanceMgr::ShutdownRpcInst(L"", &registry_), 1);
    }

    TestRegistry registry_;
    std::wstring url_;
    RpcClient::RpcLocalSrvConfig* server_ = nullptr;
};
