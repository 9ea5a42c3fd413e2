// SPDX-License-Identifier: Apache-2.0
// Builds a complete PROFINET IO configuration the way a host application
// would: one controller, two IO devices with modules, submodules, ports, IO
// addresses, parameter records and isochronous mode, a subnet with two sync
// domains, the list of nodes and the port topology. Prints the three
// documents, each after a "== <name> ==" line, as a configuration server
// receives them.

#include <JsonRpcClient/JsonRpcClient.h>

#include <json/json.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

PnControllerConf MakeController() {
    PnControllerIpProtocol ip(
        PnControllerIpProtocolSetInProject("192.168.0.1", "255.255.255.0", "0.0.0.0"));
    PnControllerEthernetAddresses addresses(ip, PnControllerName("plc-1"));

    PnControllerAdvancedOptions options;
    PnControllerAdvancedOptionsIsochronousMode iso;
    iso.ApplicationCycle = 2.0F;
    options.SetIsochronousMode(iso);
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication io;
    io.SendClock = 1.0F;
    options.RealTimeSettings.SetIoCommunication(io);
    options.RealTimeSettings.Synchronization.SyncDomainRefId = "Sync-Domain1";
    for (int number = 1; number <= 2; ++number) {
        PnDevicePort port(number);
        port.SetSubslotNumber(0x8000 + number);
        port.PortOptions.Rate = GetTransmissionRateByString("TP 100-Mbps Full Duplex");
        options.Ports.push_back(port);
    }

    PnControllerConf controller;
    controller.SetDeviceRefId("PN_Ostrel_1");
    controller.SetDeviceInterface(
        PnControllerInterface("PN_Ostrel_1_Interface", addresses, options));
    return controller;
}

// One digital IO module per slot; each has an input and an output submodule.
PnDeviceModule MakeModule(const std::string& device, unsigned short slot, unsigned int address) {
    PnDeviceModule module(device + "_DIO_" + std::to_string(slot), slot, "ID_MOD_DIO8");

    PnDeviceSubmoduleInOutAddress inputs;
    inputs.SetInputStartAddress(address);
    PnDeviceSubModule in(module.ModuleId + "_IN", 1, "ID_SUB_DI8", inputs);
    in.IoLength = 1;
    in.SetParameterRecordDataItems({PnParameterRecordDataItem(
        1, {PnParameterRecordDataItemRef(0, 0, "1"), PnParameterRecordDataItemRef(1, -1, "20")})});

    PnDeviceSubmoduleInOutAddress outputs;
    outputs.SetOutputStartAddress(address);
    PnDeviceSubModule out(module.ModuleId + "_OUT", 2, "ID_SUB_DQ8", outputs);
    out.IoLength = 1;

    module.SetSubModuleList({in, out});
    PnDeviceSubmoduleInOutAddress moduleAddresses;
    moduleAddresses.SetInputStartAddress(address);
    moduleAddresses.SetOutputStartAddress(address);
    module.SetInoutStartAddress(moduleAddresses);
    module.SetParameterRecordDataItems({PnParameterRecordDataItem(2, {{0, -1, "0"}})});
    return module;
}

PnDeviceConf MakeDevice(const std::string& name, const std::string& ip, unsigned int number,
                        const std::string& syncDomain, unsigned int firstAddress) {
    PnDeviceEthernetAddresses addresses(
        PnDeviceIpProtocol(ItemChoiceType_IpProtocolSetInTheProject,
                           PnDeviceIpProtocolSetInTheProject(ip, "255.255.255.0")),
        PnDeviceName(name, number));

    PnDeviceAdvancedOptions options;
    options.RealTimeSettings.Synchronization.SyncDomainRefId = syncDomain;
    options.RealTimeSettings.IoCycle.IoCycleUpdateTime.UpdateTime = 2.0F;
    for (int portNumber = 1; portNumber <= 2; ++portNumber) {
        PnDevicePort port(portNumber);
        port.SetSubslotNumber(0x8000 + portNumber);
        port.GsdRefId = "ID_PORT_" + std::to_string(portNumber);
        port.PortOptions.Rate = GetTransmissionRateByString("TP 100-Mbps Full Duplex");
        options.Ports.push_back(port);
    }
    options.Ports.back().PortOptions.EndOfTheSyncDomain = true;

    std::vector<PnDeviceModule> modules;
    for (unsigned short slot = 1; slot <= 2; ++slot) {
        modules.push_back(MakeModule(name, slot, firstAddress + slot - 1U));
    }

    PnDeviceIsochronousModeTiToValues tiTo(IsochronousTiToModeType_Mode1);
    tiTo.TiToValuesManual = IsochronousModeTypeTiToValuesManual(0.25F, 0.5F);
    PnDeviceIsochronousMode iso(
        true, tiTo,
        {PnDeviceIsochronousSubmodule(modules[0].ModuleId, modules[0].SubModuleList[0].SubModuleId),
         PnDeviceIsochronousSubmodule(modules[1].ModuleId,
                                      modules[1].SubModuleList[1].SubModuleId)});

    PnDeviceInterface iface(name + "_interface", addresses, options, iso);
    iface.SetParameterRecordDataItems({PnParameterRecordDataItem(3, {{0, -1, "1"}})});

    PnDeviceConf device(name, iface, modules);
    device.SetDeviceParameterList({PnParameterRecordDataItem(4, {{2, 3, "1"}})});
    return device;
}

PnSubnetConf MakeSubnet() {
    PnSubnetConf subnet;
    PnSyncDomain fast;
    fast.SyncDomainId = "Sync-Domain2";
    fast.SyncDomainName = "Sync-Domain_2";
    fast.SendClock = 0.5F;
    fast.ActivateHighPerformance = true;
    PnSyncDomains& domains = subnet.DomainManagement.SyncDomains;
    domains.SyncDomainList[0].SendClock = 1.0F;
    domains.SyncDomainList.push_back(fast);
    return subnet;
}

void Print(const char* name, const Json::Value& document) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    std::cout << "== " << name << " ==\n" << Json::writeString(writer, document) << '\n';
}

}  // namespace

int main() {
    try {
        const PnConfiguration configuration(
            MakeController(),
            {MakeDevice("io-device-1", "192.168.0.10", 1, "Sync-Domain1", 0),
             MakeDevice("io-device-2", "192.168.0.11", 2, "Sync-Domain2", 10)},
            MakeSubnet());

        PnListOfNodes nodes;
        nodes.DeviceNodeList = {PnDeviceNode("io-device-1", "gsd/example-io-device.xml", "DAP_1"),
                                PnDeviceNode("io-device-2", "gsd/example-io-device.xml", "DAP_1")};
        for (PnDeviceNode& node : nodes.DeviceNodeList) {
            node.DeviceId = node.DeviceName;
        }

        // A line: controller port 1 to device 1 port 1, device 1 port 2 to
        // device 2 port 1.
        PnTopology topology;
        const auto connect = [&topology](PnPort local, PnPort partner) {
            PnPortInterconnection link;
            link.LocalPort = local;
            link.PartnerPort = partner;
            topology.PortInterconnectionList.push_back(link);
        };
        connect(PnPort("PN_Ostrel_1", "PN_Ostrel_1_Interface", 1),
                PnPort("io-device-1", "io-device-1_interface", 1));
        connect(PnPort("io-device-1", "io-device-1_interface", 2),
                PnPort("io-device-2", "io-device-2_interface", 1));

        Print("Configuration", configuration.ToJson());
        Print("List of nodes", nodes.ToJson());
        Print("Topology", topology.ToJson());
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "pnconfig-example: " << e.what() << '\n';
        return 1;
    }
}
