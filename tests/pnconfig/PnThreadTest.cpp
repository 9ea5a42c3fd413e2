// SPDX-License-Identifier: Apache-2.0
// The model's only shared state is the transmission-rate table; copies of a
// model object share nothing, so each thread may work on its own copy. Run
// under ThreadSanitizer these catch a racy table or a copy that still shares
// a sub-object with its source.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4;

TEST(PnThreads, FirstLookupsFromSeveralThreadsAtOnceAllSeeTheWholeTable) {
    std::promise<void> go;
    const std::shared_future<void> start = go.get_future().share();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            start.wait();
            for (int round = 0; round < 200; ++round) {
                if (GetTransmissionRateByString("FO 100-Mbps Full Duplex LD") != 13 ||
                    GetTransmissionRateByString("TP 10-Mbps Half Duplex") != 0 ||
                    GetTransmissionRateByString("TP 10-Mbps Half Duplex ") != 14) {
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

TEST(PnThreads, CopiesCanBeChangedAndWrittenOnSeparateThreads) {
    PnDeviceInterface iface;
    iface.SetIsochronousMode(PnDeviceIsochronousMode());
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(1);
    PnDeviceModule module("m", 1, "g");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "g", io)});
    PnConfiguration original(PnControllerConf(), {PnDeviceConf("dev", iface, {module})},
                             PnSubnetConf());
    original.ControllerConf.DeviceInterface.AdvancedOptions.RealTimeSettings.SetIoCommunication(
        PnControllerAdvancedOptionsRealTimeSettingsIOCommunication());

    std::vector<PnConfiguration> copies(kThreads, original);
    std::vector<Json::Value> written(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            PnConfiguration& mine = copies[static_cast<size_t>(t)];
            for (int round = 0; round < 50; ++round) {
                PnDeviceConf& device = mine.DeviceListConf[0];
                device.DeviceInterface.IsochronousMode->IsoModeEnabled = (round % 2) == 0;
                device.DeviceModules[0].SubModuleList[0].IoAddress.SetInputStartAddress(
                    static_cast<unsigned int>(t));
                mine.ControllerConf.DeviceInterface.AdvancedOptions.RealTimeSettings
                    .IoCommunication->SendClock = static_cast<float>(t);
                written[static_cast<size_t>(t)] = mine.ToJson();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        const Json::Value& json = written[static_cast<size_t>(t)];
        EXPECT_EQ(json["DeviceListConf"][0]["DeviceModules"][0]["SubModuleList"][0]["IoAddress"]
                      ["InputAddress"]["StartAddress"]
                          .asUInt(),
                  static_cast<unsigned int>(t));
        EXPECT_EQ(json["ControllerConf"]["DeviceInterface"]["AdvancedOptions"]["RealTimeSettings"]
                      ["IoCommunication"]["SendClock"]
                          .asDouble(),
                  t);
    }
}

}  // namespace
