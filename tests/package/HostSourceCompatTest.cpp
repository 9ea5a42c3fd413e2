// SPDX-License-Identifier: Apache-2.0
// Host code as the host writes it, against the umbrella header only: most of
// the value is that this compiles at all.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

using namespace RpcClient;

namespace {

template <class From, class To>
constexpr bool kImplicit = std::is_convertible<From, To>::value;
static_assert(kImplicit<RpcLocalSrvConfig*, JsonRpcClient> &&
                  kImplicit<RpcLocalSrvConfig*, RpcClient::Tavrel::PnConfigClient> &&
                  kImplicit<RpcLocalSrvConfig*, RpcClient::Tavrel::PnGsdClient> &&
                  kImplicit<const Json::Value&, JsonResponse> &&
                  kImplicit<Json::Value&&, JsonResponse> &&
                  kImplicit<unsigned int, PnDeviceSubModuleInputAddress> &&
                  kImplicit<unsigned int, PnDeviceSubModuleOutputAddress> &&
                  kImplicit<std::string, PnControllerName> &&
                  kImplicit<PnControllerIpProtocolSetInProject, PnControllerIpProtocol> &&
                  kImplicit<IsochronousTiToModeType, PnDeviceIsochronousModeTiToValues> &&
                  kImplicit<std::string, PnDeviceInterfaceNode> && kImplicit<int, PnDevicePort>,
              "one-argument constructors allow copy-initialisation");

constexpr bool Is(long code, std::uint32_t bits) {
    return static_cast<std::uint32_t>(code) == bits && (code < 0) == (bits != 0);
}
static_assert(Is(S_OK, 0) && Is(RPC_E_UNEXPECTED, 0x8001FFFFu) &&
                  Is(RPC_E_SERVERFAULT, 0x80010105u) && Is(RPC_E_CALL_REJECTED, 0x80010001u) &&
                  Is(RPC_E_VERSION_MISMATCH, 0x80010110u) && Is(RPC_E_TIMEOUT, 0x8001011Fu) &&
                  Is(RPC_E_NO_SYNC, 0x80010120u) && Is(RPC_E_INVALID_DATA, 0x8001000Fu) &&
                  Is(RPC_E_INVALIDMETHOD, 0x80010107u) &&
                  Is(RPC_E_INVALID_PARAMETER, 0x80010010u) &&
                  Is(RPC_E_CLIENT_CANTMARSHAL_DATA, 0x8001000Bu) && Is(E_FAIL, 0x80004005u) &&
                  Is(E_INVALIDARG, 0x80070057u),
              "failure codes carry their values and are negative");

TEST(HostSource, CallsWithTheDefaultRegistryAndFreeTextConversions) {
    // Compiled, not run: starting servers is the hosting tests' business.
    [[maybe_unused]] auto start = [](wchar_t* url) {
        return JobInstanceMgr::StartupMC(L"", {}, url) + JobInstanceMgr::Startup(L"s", L"", url);
    };
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(L"not filed"), 1);
    EXPECT_EQ(RpcClient::FromUtf8("caf\xC3\xA9").GetWideText(), L"caf\u00E9");
    EXPECT_EQ(FromAnsi("plain").ToUtf8(), "plain");
}

}  // namespace
