// SPDX-License-Identifier: Apache-2.0
#pragma once

// Configuration of the PROFINET IO controller: its device reference and its
// one PROFINET interface with Ethernet addressing and advanced options. None
// of the controller's texts is converted; all are written byte for byte.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnDevicePort.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct JSONRPCCLIENT_API PnControllerEthernetAddresses : public PnObjectBase {
    // Both references empty.
    PnControllerEthernetAddresses();
    // Copies both objects and refers to subnet "PNIE_1" and IO system
    // "PROFINETIO-System_100".
    PnControllerEthernetAddresses(const PnControllerIpProtocol& ipProtocol,
                                  const PnControllerName& stationName);
    PnControllerEthernetAddresses(const PnControllerEthernetAddresses&);
    PnControllerEthernetAddresses& operator=(const PnControllerEthernetAddresses&);
    ~PnControllerEthernetAddresses() override;
    Json::Value ToJson() const override;

    std::string SubnetRefId;
    std::string IoSystemRefId;
    PnControllerIpProtocol IpProtocol;
    PnControllerName StationName;
};

struct JSONRPCCLIENT_API PnControllerAdvancedOptionsIsochronousMode : public PnObjectBase {
    PnControllerAdvancedOptionsIsochronousMode();
    PnControllerAdvancedOptionsIsochronousMode(const PnControllerAdvancedOptionsIsochronousMode&);
    PnControllerAdvancedOptionsIsochronousMode& operator=(
        const PnControllerAdvancedOptionsIsochronousMode&);
    ~PnControllerAdvancedOptionsIsochronousMode() override;
    Json::Value ToJson() const override;

    float ApplicationCycle = 0;
};

struct JSONRPCCLIENT_API PnControllerAdvancedOptionsRealTimeSettingsSynchronization
    : public PnObjectBase {
    PnControllerAdvancedOptionsRealTimeSettingsSynchronization();
    PnControllerAdvancedOptionsRealTimeSettingsSynchronization(
        const PnControllerAdvancedOptionsRealTimeSettingsSynchronization&);
    PnControllerAdvancedOptionsRealTimeSettingsSynchronization& operator=(
        const PnControllerAdvancedOptionsRealTimeSettingsSynchronization&);
    ~PnControllerAdvancedOptionsRealTimeSettingsSynchronization() override;
    Json::Value ToJson() const override;

    // Synchronisation role code of the configuration server.
    std::int32_t SyncRole = 3;
    std::string SyncDomainRefId = "Sync-Domain1";
};

struct JSONRPCCLIENT_API PnControllerAdvancedOptionsRealTimeSettingsIOCommunication
    : public PnObjectBase {
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication();
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication(
        const PnControllerAdvancedOptionsRealTimeSettingsIOCommunication&);
    PnControllerAdvancedOptionsRealTimeSettingsIOCommunication& operator=(
        const PnControllerAdvancedOptionsRealTimeSettingsIOCommunication&);
    ~PnControllerAdvancedOptionsRealTimeSettingsIOCommunication() override;
    Json::Value ToJson() const override;

    float SendClock = 0;
};

struct JSONRPCCLIENT_API PnControllerAdvancedOptionsRealTimeSettings : public PnObjectBase {
    PnControllerAdvancedOptionsRealTimeSettings();
    PnControllerAdvancedOptionsRealTimeSettings(const PnControllerAdvancedOptionsRealTimeSettings&);
    PnControllerAdvancedOptionsRealTimeSettings& operator=(
        const PnControllerAdvancedOptionsRealTimeSettings&);
    ~PnControllerAdvancedOptionsRealTimeSettings() override;
    Json::Value ToJson() const override;

    // Replaces the IO communication settings by a copy of settings; they are
    // written from then on.
    void SetIoCommunication(
        const PnControllerAdvancedOptionsRealTimeSettingsIOCommunication& settings);

    PnControllerAdvancedOptionsRealTimeSettingsSynchronization Synchronization;
    // Empty when absent; a copy of the settings gets a copy of this object.
    std::shared_ptr<PnControllerAdvancedOptionsRealTimeSettingsIOCommunication> IoCommunication;
};

struct JSONRPCCLIENT_API PnControllerAdvancedOptions : public PnObjectBase {
    PnControllerAdvancedOptions();
    PnControllerAdvancedOptions(const PnControllerAdvancedOptions&);
    PnControllerAdvancedOptions& operator=(const PnControllerAdvancedOptions&);
    ~PnControllerAdvancedOptions() override;
    Json::Value ToJson() const override;

    // Replaces the isochronous mode by a copy of mode; it is written from
    // then on.
    void SetIsochronousMode(PnControllerAdvancedOptionsIsochronousMode mode);

    // Empty when absent; a copy of the options gets a copy of this object.
    std::shared_ptr<PnControllerAdvancedOptionsIsochronousMode> IsochronousMode;
    PnControllerAdvancedOptionsRealTimeSettings RealTimeSettings;
    std::vector<PnDevicePort> Ports;
};

struct JSONRPCCLIENT_API PnControllerInterface : public PnObjectBase {
    PnControllerInterface();
    PnControllerInterface(const std::string& interfaceRefId,
                          const PnControllerEthernetAddresses& ethernetAddresses,
                          const PnControllerAdvancedOptions& advancedOptions);
    PnControllerInterface(const PnControllerInterface&);
    PnControllerInterface& operator=(const PnControllerInterface&);
    ~PnControllerInterface() override;
    Json::Value ToJson() const override;

    std::string InterfaceRefId = "PN_Ostrel_1_Interface";
    PnControllerEthernetAddresses EthernetAddresses;
    PnControllerAdvancedOptions AdvancedOptions;
};

struct JSONRPCCLIENT_API PnControllerConf : public PnObjectBase {
    PnControllerConf();
    PnControllerConf(const std::string& deviceRefId, const PnControllerInterface& deviceInterface);
    PnControllerConf(const PnControllerConf&);
    PnControllerConf& operator=(const PnControllerConf&);
    ~PnControllerConf() override;
    Json::Value ToJson() const override;

    void SetDeviceRefId(const std::string& deviceRefId);
    // Replaces the whole interface by a deep copy of deviceInterface.
    void SetDeviceInterface(const PnControllerInterface& deviceInterface);

    std::string DeviceRefId;
    PnControllerInterface DeviceInterface;
};
