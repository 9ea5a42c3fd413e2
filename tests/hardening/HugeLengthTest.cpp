// SPDX-License-Identifier: Apache-2.0
// A server that announces a two-gigabyte answer and then ends must cost the
// host no more than a few MiB: the reader believes a stated length only as
// far as bytes arrive. Checked end to end, over a real pipe, by the peak
// resident size of this process.

#include <JsonRpcClient/JsonRpcClient.h>

#include "support/HostingTestSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace RpcClient;

namespace {

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class EchoClient : public JsonRpcClient {
public:
    using JsonRpcClient::JsonRpcClient;
    long Echo() {
        JsonRequest request("echo");
        JsonResponse response;
        return Request(request, response);
    }
};

TEST(HugeLength, AnnouncedTwoGigabyteAnswerFollowedByEndOfStreamCostsAFewMiB) {
    const std::string control = HostingTest::TempPath("control");
    const std::string pidfile = HostingTest::TempPath("pid");
    std::ofstream(control) << "ok\n";
    const std::wstring args = L"--control " + std::wstring(control.begin(), control.end()) +
                              L" --pidfile " + std::wstring(pidfile.begin(), pidfile.end());
    {
        RpcLocalSrvConfig server(
            std::wstring(JRC_CHAOS_SERVER, JRC_CHAOS_SERVER + sizeof JRC_CHAOS_SERVER - 1), args);
        EchoClient client(&server);
        ASSERT_EQ(client.Echo(), 0);  // streams and buffers exist from here on

        std::ofstream(control) << "liar\n";
        const long before = PeakResidentKiB();
        EXPECT_EQ(client.Echo(), FailureCode::ServerFault);
        const long grown = PeakResidentKiB() - before;
        EXPECT_LE(grown, 8 * 1024) << "peak resident size grew by " << grown << " KiB";
        ASSERT_EQ(client.GetErrList().size(), 2u);
        EXPECT_EQ(client.GetErrList().front().second, "Call response invalid");

        // The next call starts the server again and works.
        std::ofstream(control) << "ok\n";
        EXPECT_EQ(client.Echo(), 0);
    }
    std::remove(control.c_str());
    std::remove(pidfile.c_str());
}

}  // namespace
