// SPDX-License-Identifier: Apache-2.0
// The model's only shared state is the transmission-rate table; copies of a
// model object share nothing, so each thread may work on its own copy. Run
// under ThreadSanitizer this catches a racy table or a copy that still shares
// a sub-object with its source.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

TEST(PnThreads, FirstLookupsAndCopiesChangedOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    PnDeviceInterface iface;
    iface.SetIsochronousMode(PnDeviceIsochronousMode());
    PnDeviceModule module("m", 1, "g");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "g", PnDeviceSubmoduleInOutAddress())});
    PnConfiguration original(PnControllerConf(), {PnDeviceConf("dev", iface, {module})},
                             PnSubnetConf());
    original.ControllerConf.DeviceInterface.AdvancedOptions.RealTimeSettings.SetIoCommunication(
        PnControllerAdvancedOptionsRealTimeSettingsIOCommunication());
    std::vector<PnConfiguration> copies(kThreads, original);

    std::promise<void> go;
    const std::shared_future<void> start = go.get_future().share();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.wait();
            PnConfiguration& mine = copies[static_cast<size_t>(t)];
            for (int round = 0; round < 100; ++round) {
                if (GetTransmissionRateByString("FO 100-Mbps Full Duplex LD") != 13 ||
                    GetTransmissionRateByString("TP 10-Mbps Half Duplex") != 0 ||
                    GetTransmissionRateByString("TP 10-Mbps Half Duplex ") != 14) {
                    ++wrong;
                }
                PnDeviceConf& device = mine.DeviceListConf[0];
                device.DeviceInterface.IsochronousMode->IsoModeEnabled = (round % 2) == 0;
                device.DeviceModules[0].SubModuleList[0].IoAddress.SetInputStartAddress(
                    static_cast<unsigned int>(t));
                mine.ControllerConf.DeviceInterface.AdvancedOptions.RealTimeSettings
                    .IoCommunication->SendClock = static_cast<float>(t);
                const Json::Value json = mine.ToJson();
                if (json["DeviceListConf"][0]["DeviceModules"][0]["SubModuleList"][0]["IoAddress"]
                        ["InputAddress"]["StartAddress"]
                            .asUInt() != static_cast<unsigned int>(t) ||
                    json["ControllerConf"]["DeviceInterface"]["AdvancedOptions"]["RealTimeSettings"]
                        ["IoCommunication"]["SendClock"]
                            .asDouble() != t) {
                    ++wrong;
                }
            }
        });
    }
    go.set_value();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
