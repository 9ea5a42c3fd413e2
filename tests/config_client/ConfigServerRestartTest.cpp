// SPDX-License-Identifier: Apache-2.0
// A configuration server killed from outside comes back as a new process
// under the same URL. Built against the library's internals to tell the
// processes apart by id: a handle value says nothing, since a closed handle's
// value is handed out again at once.

#include "ConfigServerFixture.h"
#include "platform/Platform.h"

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

namespace {

namespace P = RpcClient::Platform;
using RpcClient::Tavrel::PnConfigClient;

TEST_F(ConfigServer, KilledServerIsRestartedUnderTheSameUrlWithItsArguments) {
    PnConfigClient client(server_);
    ASSERT_EQ(client.GetVersion(), JSONRPCCLIENT_VERSION);
    // Held until the end, so the first process's id cannot go to another
    // process meanwhile.
    void* const firstProcess = P::DuplicateHandle(server_->GetSrvProcessHandle());
    ASSERT_NE(firstProcess, nullptr);
    const unsigned long firstId = P::GetProcessId(firstProcess);
    ASSERT_NE(firstId, 0u);

    registry_.KillServers();
    EXPECT_EQ(server_->WaitForExit(5000), 0u);
    EXPECT_EQ(server_->IsRpcServerRunning(), 0);

    // The arguments came along: the language is still the one given at start.
    EXPECT_EQ(client.GetLanguage(), "de");
    EXPECT_FALSE(client.HasError()) << client.GetLastErrMsg();
    EXPECT_EQ(server_->IsRpcServerRunning(), 1);
    const unsigned long secondId = P::GetProcessId(server_->GetSrvProcessHandle());
    EXPECT_NE(secondId, 0u);
    EXPECT_NE(secondId, firstId);
    EXPECT_EQ(registry_.GetAt(url_), server_);

    // A second kill after the restart works the same way: the new process is
    // in the job again.
    registry_.KillServers();
    EXPECT_EQ(server_->WaitForExit(5000), 0u);
    EXPECT_EQ(client.GetVersion(), JSONRPCCLIENT_VERSION);
    EXPECT_NE(P::GetProcessId(server_->GetSrvProcessHandle()), secondId);
    EXPECT_EQ(registry_.GetAt(url_), server_);
    P::CloseHandle(firstProcess);
}

}  // namespace
