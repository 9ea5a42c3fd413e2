// SPDX-License-Identifier: Apache-2.0
// The startup entry points. This test is linked statically, so "beside the
// library" means beside this executable, where the build laid out the
// scripted server as both known servers, with the six companion files.

#include <gtest/gtest.h>

#include <JsonRpcClient/JsonRpcClient.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

using namespace RpcClient;

namespace {

std::wstring Beside(const std::wstring& relative) {
    return Platform::PathAppend(Platform::GetExecutableDirectory(), relative);
}

std::string ArgvOf(RpcLocalSrvConfig* server) {
    JsonRpcClient client(server);
    JsonRequest request("argv");
    JsonResponse response;
    if (client.Request(request, response) != 0) {
        return "<no answer>";
    }
    std::string words;
    const Json::Value argv = response.GetResult();
    for (Json::Value::ArrayIndex i = 1; i < argv.size(); ++i) {
        words += (i > 1 ? "|" : "") + argv[i].asString();
    }
    return words;
}

TEST(StartupPNConfig, StartsTheServerBesideTheLibraryWithTheOptionalValue) {
    JobInstance jobs;
    std::vector<wchar_t> url(4096, L'#');
    ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"", url.data(), &jobs), 1);
    const std::wstring plain(url.data());
    const std::wstring path =
        Beside(L"TavrelPNRunner\\" + Platform::ExecutableName(L"TavrelPNRunner"));
    EXPECT_EQ(plain.substr(0, path.size() + 1), path + L":");
    EXPECT_EQ(ArgvOf(jobs.GetAt(plain)), "");

    ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"2", url.data(), &jobs), 1);
    const std::wstring withValue(url.data());
    EXPECT_EQ(withValue.substr(0, path.size() + 6), path + L" -l 2:");
    EXPECT_EQ(ArgvOf(jobs.GetAt(withValue)), "-l|2");

    // A second start of the same server is a second process with its own URL.
    ASSERT_EQ(JobInstanceMgr::StartupPNConfig(L"", nullptr, &jobs), 1);
    EXPECT_NE(jobs.Default(), nullptr);
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(L"", &jobs), 1);
    EXPECT_EQ(jobs.Default(), nullptr);
}

TEST(StartupMC, AsksTheCheckAboutTheExecutableAndEachCompanionInOrderAndStopsAtARefusal) {
    JobInstance jobs;
    int calls = 0;
    auto refuseSecond = [&calls](const std::wstring&) { return ++calls < 2; };
    EXPECT_EQ(JobInstanceMgr::StartupMC(L"", refuseSecond, nullptr, &jobs), 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(jobs.Default(), nullptr);

    std::vector<std::wstring> asked;
    auto acceptAll = [&asked](const std::wstring& file) {
        asked.push_back(file);
        return true;
    };
    ASSERT_EQ(JobInstanceMgr::StartupMC(L"--flag \"a b\"", acceptAll, nullptr, &jobs), 1);
    ASSERT_EQ(asked.size(), 7u);
    EXPECT_EQ(asked[0], Beside(L"PellavonCli\\" + Platform::ExecutableName(L"PellavonCli")));
    for (int i = 0; i < KnownServers::kServoCompanionCount; ++i) {
        EXPECT_EQ(asked[static_cast<std::size_t>(i) + 1],
                  Beside(L"PellavonCli\\" + Platform::SharedLibraryFileName(
                                                KnownServers::kServoCompanionBaseNames[i])));
    }
    EXPECT_EQ(ArgvOf(jobs.Default()), "--flag|a b") << "arguments pass unchanged";
    // Without a check the server starts.
    EXPECT_EQ(JobInstanceMgr::StartupMC(L"", nullptr, nullptr, &jobs), 1);
}

TEST(Startup, FailureLeavesTheBufferUntouchedAndUnknownUrlsCloseNothing) {
    JobInstance jobs;
    std::vector<wchar_t> url(16, L'#');
    EXPECT_EQ(JobInstanceMgr::Startup(L"/nonexistent/server", L"", url.data(), &jobs), 0);
    EXPECT_EQ(url[0], L'#');
    ASSERT_EQ(JobInstanceMgr::Startup(HostingTest::ScriptedServer(), L"", nullptr, &jobs), 1);
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(L"no such url", &jobs), 1);
    EXPECT_NE(jobs.Default(), nullptr);
}

}  // namespace
