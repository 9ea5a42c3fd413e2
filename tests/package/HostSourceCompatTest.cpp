// SPDX-License-Identifier: Apache-2.0
// Host code written the way the host writes it, against the umbrella header
// only. Most of the value is that this file compiles at all: one-argument
// constructors used in copy-initialisation, optional model parts as
// shared_ptr members, free text conversions, the default registry argument
// and the SDK's failure-code names. The tests pin down what that code does.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
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

// Compiled, not run: starting servers is the hosting tests' business.
[[maybe_unused]] int StartWithTheDefaultRegistry(wchar_t* url) {
    return JobInstanceMgr::StartupPNConfig(L"", url) + JobInstanceMgr::StartupMC(L"", {}, url) +
           JobInstanceMgr::Startup(L"server", L"", url) + JobInstanceMgr::ShutdownRpcInst(L"");
}

TEST(HostSource, FailureCodeNamesCarryTheirValuesAndAreWhatCallsReturn) {
    const struct {
        long code;
        std::uint32_t bits;
    } names[] = {
        {S_OK, 0x00000000u},
        {RPC_E_UNEXPECTED, 0x8001FFFFu},
        {RPC_E_SERVERFAULT, 0x80010105u},
        {RPC_E_CALL_REJECTED, 0x80010001u},
        {RPC_E_VERSION_MISMATCH, 0x80010110u},
        {RPC_E_TIMEOUT, 0x8001011Fu},
        {RPC_E_NO_SYNC, 0x80010120u},
        {RPC_E_INVALID_DATA, 0x8001000Fu},
        {RPC_E_INVALIDMETHOD, 0x80010107u},
        {RPC_E_INVALID_PARAMETER, 0x80010010u},
        {RPC_E_CLIENT_CANTMARSHAL_DATA, 0x8001000Bu},
        {E_FAIL, 0x80004005u},
        {E_INVALIDARG, 0x80070057u},
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name.bits);
        EXPECT_EQ(static_cast<std::uint32_t>(name.code), name.bits);
        EXPECT_EQ(name.code < 0, name.bits != 0);  // "failed" is "negative" everywhere
    }

    JsonRpcClient client = static_cast<RpcLocalSrvConfig*>(nullptr);
    JsonRequest request("Any");
    JsonResponse response = Json::Value(Json::objectValue);
    EXPECT_EQ(client.Request(request, response), RPC_E_UNEXPECTED);
    EXPECT_EQ(JobInstanceMgr::ShutdownRpcInst(L"not filed"), 1);
}

TEST(HostSource, TextConversionsAreFreeFunctions) {
    EXPECT_EQ(RpcClient::FromUtf8("caf\xC3\xA9").GetWideText(), L"caf\u00E9");
    EXPECT_EQ(FromAnsi("plain").ToUtf8(), "plain");
}

// Optional model parts are shared_ptr members the host reads directly, none
// by default; a holder copied or assigned (itself included) owns a part of
// its own, and assigning a holder without one leaves none.
template <class Holder, class Part>
void ExpectDeepCopies(Holder& source, std::shared_ptr<Part> Holder::*part) {
    EXPECT_FALSE(Holder().*part);
    source.*part = std::make_shared<Part>();
    Holder assigned;
    assigned = source;
    assigned = static_cast<const Holder&>(assigned);
    Holder copied = source;
    for (const Holder* copy : {&copied, &assigned}) {
        ASSERT_TRUE(copy->*part);
        EXPECT_NE((copy->*part).get(), (source.*part).get());
        EXPECT_EQ(copy->ToJson(), source.ToJson());
    }
    source = Holder();
    EXPECT_FALSE(source.*part);
}

TEST(HostSource, OptionalPartsAreSharedPtrMembersCopiedDeeply) {
    PnDeviceInterface iface("if", PnDeviceEthernetAddresses(), PnDeviceAdvancedOptions(), {});
    if (iface.IsochronousMode) {
        iface.IsochronousMode->IsoModeEnabled = true;
    }
    EXPECT_TRUE(iface.ToJson()["IsochronousMode"]["IsoModeEnabled"].asBool());
    iface.EthernetAddresses.SubnetRefId = "net";
    iface.AdvancedOptions.Ports = {PnDevicePort(1)};
    iface.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {})});
    ExpectDeepCopies(iface, &PnDeviceInterface::IsochronousMode);

    PnControllerAdvancedOptions options;
    options.RealTimeSettings.Synchronization.SyncRole = 1;
    options.Ports = {PnDevicePort(2)};
    ExpectDeepCopies(options.RealTimeSettings,
                     &PnControllerAdvancedOptionsRealTimeSettings::IoCommunication);
    options.RealTimeSettings.Synchronization.SyncRole = 1;
    ExpectDeepCopies(options, &PnControllerAdvancedOptions::IsochronousMode);
}

}  // namespace
