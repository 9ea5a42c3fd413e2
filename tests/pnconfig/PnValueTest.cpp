// SPDX-License-Identifier: Apache-2.0
// Number kinds, copies and the transmission-rate lookup of the configuration
// model.

#include <JsonRpcClient/JsonRpcClient.h>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "PnJsonTestSupport.h"

namespace {

TEST(PnNumbers, IntegersKeepTheirSignednessAndFloatsTheirExactValue) {
    struct KindCase {
        const char* what;
        Json::Value written;
        Json::ValueType kind;
        Json::Value expected;
    };

    PnDeviceName name("n", std::numeric_limits<std::uint32_t>::max());
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(std::numeric_limits<std::uint32_t>::max());
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycle cycle;
    IoSystemGeneral general;
    general.IoSystemNumber = 65535;
    PnDeviceModule module("m", 65535, "g");
    PnDeviceSubModule sub("s", 65535, "g", PnDeviceSubmoduleInOutAddress());
    sub.IoLength = 65535;
    PnControllerIpProtocol controllerIp;
    controllerIp.IpProtocolSet = 255;
    PnDevicePortOption option;
    option.Rate = TransmissionRate_FO100MbpsFullDuplexLD;
    PnSyncDomain domain;
    domain.SendClock = 0.1F;
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication ioComm;
    ioComm.SendClock = 0.1F;
    IsochronousModeTypeTiToValuesManual manual(1.25F, 0.3F);

    const std::vector<KindCase> cases = {
        {"device number", name.ToJson()["DeviceNumber"], Json::uintValue, Json::UInt(4294967295U)},
        {"start address", io.ToJson()["InputAddress"]["StartAddress"], Json::uintValue,
         Json::UInt(4294967295U)},
        {"accepted update cycles", cycle.ToJson()["AcceptedUpdateCyclesWithoutIoData"],
         Json::uintValue, Json::UInt(3)},
        {"IO system number", general.ToJson()["IoSystemNumber"], Json::intValue, 65535},
        {"slot number", module.ToJson()["SlotNumber"], Json::intValue, 65535},
        {"subslot number", sub.ToJson()["SubSlotNumber"], Json::intValue, 65535},
        {"IO length", sub.ToJson()["IoLength"], Json::intValue, 65535},
        {"IP protocol code", controllerIp.ToJson()["IpProtocolSet"], Json::intValue, 255},
        {"topology port number", PnPort("d", "i", 255).ToJson()["PortNumber"], Json::intValue, 255},
        {"transmission rate", option.ToJson()["TransmissionRate"], Json::intValue, 13},
        {"item choice", PnDeviceIpProtocol().ToJson()["ItemChoiceType"], Json::intValue, 2},
        {"bit offset", PnParameterRecordDataItemRef(0, -1, "").ToJson()["BitOffset"],
         Json::intValue, -1},
        {"sync domain send clock", domain.ToJson()["SendClock"], Json::realValue,
         static_cast<double>(0.1F)},
        {"controller send clock", ioComm.ToJson()["SendClock"], Json::realValue,
         static_cast<double>(0.1F)},
        {"Ti value", manual.ToJson()["TiValue"], Json::realValue, 1.25},
        {"To value", manual.ToJson()["ToValue"], Json::realValue, static_cast<double>(0.3F)},
        {"boolean", option.ToJson()["ActivateThisPortForUse"], Json::booleanValue, true},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.written.type(), c.kind);
        EXPECT_EQ(c.written, c.expected);
    }
    // The float's own value, not the decimal the caller had in mind.
    EXPECT_NE(domain.ToJson()["SendClock"].asDouble(), 0.1);
}

TEST(PnCopies, ChangingACopyLeavesTheOriginalAlone) {
    PnDeviceSubmoduleInOutAddress io;
    io.SetInputStartAddress(1);
    PnDeviceSubmoduleInOutAddress ioCopy(io);
    ioCopy.SetInputStartAddress(2);
    ioCopy.SetOutputStartAddress(3);
    EXPECT_EQ(PnTest::AsReceived(io.ToJson()),
              PnTest::Parse(R"({"InputAddress": {"StartAddress": 1}})"));
    EXPECT_EQ(io.GetInputAddress()->StartAddress, 1U);
    EXPECT_EQ(io.GetOutputAddress(), nullptr);
    EXPECT_NE(io.GetInputAddress(), ioCopy.GetInputAddress());

    PnControllerConf controller;
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication clock;
    clock.SendClock = 1;
    controller.DeviceInterface.AdvancedOptions.RealTimeSettings.SetIoCommunication(clock);
    const Json::Value controllerBefore = controller.ToJson();
    PnControllerConf controllerCopy = controller;
    controllerCopy.DeviceInterface.AdvancedOptions.RealTimeSettings.IoCommunication->SendClock = 2;
    clock.SendClock = 4;
    controllerCopy.DeviceInterface.AdvancedOptions.RealTimeSettings.SetIoCommunication(clock);
    EXPECT_EQ(controller.ToJson(), controllerBefore);

    PnDeviceModule module("m", 1, "g");
    module.SetSubModuleList({PnDeviceSubModule("s", 1, "g", io)});
    PnDeviceConf device("dev", PnDeviceInterface(), {module});
    device.DeviceInterface.SetIsochronousMode(PnDeviceIsochronousMode());
    PnConfiguration configuration(PnControllerConf(), {device, device}, PnSubnetConf());
    const Json::Value configurationBefore = configuration.ToJson();

    PnConfiguration copy;
    copy = configuration;
    PnDeviceConf& copiedDevice = copy.DeviceListConf[0];
    copiedDevice.DeviceModules[0].SubModuleList[0].IoAddress.SetOutputStartAddress(9);
    copiedDevice.DeviceModules[0].SubModuleList[0].SubModuleId = "changed";
    copiedDevice.DeviceInterface.IsochronousMode->IsoModeEnabled = true;
    copy.SubnetConf.DomainManagement.SyncDomains.SyncDomainList.clear();
    EXPECT_EQ(configuration.ToJson(), configurationBefore);

    // ...and the other way round: the copy does not follow its source.
    const Json::Value copyBefore = copy.ToJson();
    configuration.DeviceListConf[1].DeviceInterface.IsochronousMode->IsoModeEnabled = true;
    configuration.DeviceListConf[1].DeviceModules[0].IoAddress.SetInputStartAddress(7);
    EXPECT_EQ(copy.ToJson(), copyBefore);

    // Two devices copied from one do not share their optional parts either.
    EXPECT_NE(configuration.DeviceListConf[0].DeviceInterface.IsochronousMode.get(),
              configuration.DeviceListConf[1].DeviceInterface.IsochronousMode.get());
}

TEST(PnCopies, AssignmentReplacesOptionalPartsAndSelfAssignmentChangesNothing) {
    PnControllerAdvancedOptions withIso;
    withIso.SetIsochronousMode(PnControllerAdvancedOptionsIsochronousMode());
    withIso = PnControllerAdvancedOptions();
    EXPECT_FALSE(withIso.ToJson().isMember("IsochronousMode"));

    PnDeviceConf device;
    device.DeviceInterface.SetIsochronousMode(PnDeviceIsochronousMode());
    device.SetDeviceInterface(PnDeviceInterface());
    EXPECT_FALSE(device.ToJson()["DeviceInterface"].isMember("IsochronousMode"));

    PnDeviceSubmoduleInOutAddress io;
    io.SetOutputStartAddress(1);
    PnDeviceModule module;
    module.SetInoutStartAddress(io);
    module.SetInoutStartAddress(PnDeviceSubmoduleInOutAddress());
    EXPECT_TRUE(module.ToJson()["IoAddress"].isNull());

    // A setter fed from the object's own state keeps that state.
    PnDeviceInterface iface;
    iface.SetIsochronousMode(
        PnDeviceIsochronousMode(true, PnDeviceIsochronousModeTiToValues(), {}));
    iface.SetIsochronousMode(*iface.IsochronousMode);
    EXPECT_TRUE(iface.ToJson()["IsochronousMode"]["IsoModeEnabled"].asBool());

    PnDeviceModule full("m", 3, "g");
    full.SetInoutStartAddress(io);
    full.SetSubModuleList({PnDeviceSubModule(), PnDeviceSubModule()});
    full.SetPortList({PnDevicePort(1)});
    full.SetParameterRecordDataItems({PnParameterRecordDataItem(1, {{0, 0, "1"}})});
    const Json::Value before = full.ToJson();
    full.SetSubModuleList(full.SubModuleList);
    full.SetPortList(full.Ports);
    full.SetParameterRecordDataItems(full.ParameterRecordDataItems);
    full.SetInoutStartAddress(full.IoAddress);
    PnDeviceModule& alias = full;
    full = alias;
    EXPECT_EQ(full.ToJson(), before);

    PnConfiguration configuration(PnControllerConf(), {PnDeviceConf()}, PnSubnetConf());
    configuration.DeviceListConf[0].DeviceInterface.SetIsochronousMode(PnDeviceIsochronousMode());
    configuration.ControllerConf.DeviceInterface.AdvancedOptions.SetIsochronousMode(
        PnControllerAdvancedOptionsIsochronousMode());
    const Json::Value configurationBefore = configuration.ToJson();
    PnConfiguration& same = configuration;
    configuration = same;
    configuration.ControllerConf.SetDeviceInterface(configuration.ControllerConf.DeviceInterface);
    configuration.DeviceListConf[0].SetDeviceInterface(
        configuration.DeviceListConf[0].DeviceInterface);
    EXPECT_EQ(configuration.ToJson(), configurationBefore);
}

TEST(PnTransmissionRate, EveryTextMapsToItsOwnValueAndNearMissesAreUnknown) {
    const int unknown = TransmissionRate_Unknown;
    const std::vector<std::pair<std::string, int>> table = {
        {"TP 10-Mbps Half Duplex", 0},
        {"TP 10-Mbps Full Duplex", 1},
        {"AsyncFiber 10-Mbps Half Duplex", 2},
        {"AsyncFiber 10-Mbps Full Duplex", 3},
        {"TP 100-Mbps Half Duplex", 4},
        {"TP 100-Mbps Full Duplex", 5},
        {"POF/PCF 100-Mbps Full Duplex", 6},
        {"FO 100-Mbps Full Duplex", 7},
        {"X 1000-Mbps Full Duplex", 8},
        {"FO 1000-Mbps Full Duplex", 9},
        {"FO 1000-Mbps Full Duplex LD", 10},
        {"TP 1000-Mbps Full Duplex", 11},
        {"FO 10000-Mbps Full Duplex", 12},
        {"FO 100-Mbps Full Duplex LD", 13},
        {"", unknown},
        {"tp 100-Mbps Full Duplex", unknown},
        {"TP 100-Mbps Full Duplex ", unknown},
        {" TP 100-Mbps Full Duplex", unknown},
        {std::string("TP 100-Mbps Full Duplex\0", 24), unknown},
        {"TP 100-Mbps Full Duple", unknown},
        {"FO 100-Mbps Full Duplex L", unknown},
        {"5", unknown},
    };
    for (const auto& entry : table) {
        EXPECT_EQ(GetTransmissionRateByString(entry.first), entry.second)
            << '"' << entry.first << '"';
    }
}

}  // namespace
