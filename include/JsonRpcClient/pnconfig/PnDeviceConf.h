// SPDX-License-Identifier: Apache-2.0
#pragma once

// Configuration of one PROFINET IO device: its device reference, its
// interface (Ethernet addressing, real-time settings, ports, optional
// isochronous mode, interface parameter records), its modules and its
// device-level parameter records.
//
// DeviceRefId of PnDeviceConf and InterfaceRefId of PnDeviceInterface are held
// in the ANSI code page and written as UTF-8, as is the device name inside the
// Ethernet addresses; ToJson() throws std::runtime_error when one of these
// conversions fails. Every other text is written byte for byte.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnDeviceModule.h>
#include <JsonRpcClient/pnconfig/PnDevicePort.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct JSONRPCCLIENT_API PnDeviceAdvancedOptionsRealTimeSettingsSynchronization
    : public PnObjectBase {
    PnDeviceAdvancedOptionsRealTimeSettingsSynchronization();
    PnDeviceAdvancedOptionsRealTimeSettingsSynchronization(
        const PnDeviceAdvancedOptionsRealTimeSettingsSynchronization&);
    PnDeviceAdvancedOptionsRealTimeSettingsSynchronization& operator=(
        const PnDeviceAdvancedOptionsRealTimeSettingsSynchronization&);
    ~PnDeviceAdvancedOptionsRealTimeSettingsSynchronization() override;
    Json::Value ToJson() const override;

    // Synchronisation role code of the configuration server.
    std::int32_t SyncRole = 1;
    std::string SyncDomainRefId = "Sync-Domain1";
};

struct JSONRPCCLIENT_API PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime
    : public PnObjectBase {
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime();
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime(
        const PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime&);
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime& operator=(
        const PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime&);
    ~PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime() override;
    Json::Value ToJson() const override;

    // Update time mode code of the configuration server.
    std::int32_t UpdateTimeMode = 0;
    float UpdateTime = 0;
};

struct JSONRPCCLIENT_API PnDeviceAdvancedOptionsRealTimeSettingsIoCycle : public PnObjectBase {
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycle();
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycle(
        const PnDeviceAdvancedOptionsRealTimeSettingsIoCycle&);
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycle& operator=(
        const PnDeviceAdvancedOptionsRealTimeSettingsIoCycle&);
    ~PnDeviceAdvancedOptionsRealTimeSettingsIoCycle() override;
    Json::Value ToJson() const override;

    std::uint32_t AcceptedUpdateCyclesWithoutIoData = 3;
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycleUpdateTime IoCycleUpdateTime;
};

struct JSONRPCCLIENT_API PnDeviceAdvancedOptionsRealTimeSettings : public PnObjectBase {
    PnDeviceAdvancedOptionsRealTimeSettings();
    PnDeviceAdvancedOptionsRealTimeSettings(const PnDeviceAdvancedOptionsRealTimeSettings&);
    PnDeviceAdvancedOptionsRealTimeSettings& operator=(
        const PnDeviceAdvancedOptionsRealTimeSettings&);
    ~PnDeviceAdvancedOptionsRealTimeSettings() override;
    Json::Value ToJson() const override;

    PnDeviceAdvancedOptionsRealTimeSettingsSynchronization Synchronization;
    PnDeviceAdvancedOptionsRealTimeSettingsIoCycle IoCycle;
};

struct JSONRPCCLIENT_API PnDeviceAdvancedOptions : public PnObjectBase {
    PnDeviceAdvancedOptions();
    PnDeviceAdvancedOptions(const PnDeviceAdvancedOptions&);
    PnDeviceAdvancedOptions& operator=(const PnDeviceAdvancedOptions&);
    ~PnDeviceAdvancedOptions() override;
    Json::Value ToJson() const override;

    PnDeviceAdvancedOptionsRealTimeSettings RealTimeSettings;
    std::vector<PnDevicePort> Ports;
};

// How the isochronous Ti/To times are chosen. The codes belong to the
// configuration server and are passed through as numbers.
enum IsochronousTiToModeType : std::int32_t {
    IsochronousTiToModeType_Mode0 = 0,
    IsochronousTiToModeType_Mode1 = 1,
};

struct JSONRPCCLIENT_API IsochronousModeTypeTiToValuesManual : public PnObjectBase {
    IsochronousModeTypeTiToValuesManual();
    IsochronousModeTypeTiToValuesManual(float tiValue, float toValue);
    IsochronousModeTypeTiToValuesManual(const IsochronousModeTypeTiToValuesManual&);
    IsochronousModeTypeTiToValuesManual& operator=(const IsochronousModeTypeTiToValuesManual&);
    ~IsochronousModeTypeTiToValuesManual() override;
    Json::Value ToJson() const override;

    float TiValue = 0;
    float ToValue = 0;
};

struct JSONRPCCLIENT_API PnDeviceIsochronousModeTiToValues : public PnObjectBase {
    PnDeviceIsochronousModeTiToValues();
    // Manual values 0 and 0.
    PnDeviceIsochronousModeTiToValues(IsochronousTiToModeType mode);
    PnDeviceIsochronousModeTiToValues(const PnDeviceIsochronousModeTiToValues&);
    PnDeviceIsochronousModeTiToValues& operator=(const PnDeviceIsochronousModeTiToValues&);
    ~PnDeviceIsochronousModeTiToValues() override;
    Json::Value ToJson() const override;

    IsochronousTiToModeType IsochronousModeTiTo = IsochronousTiToModeType_Mode0;
    IsochronousModeTypeTiToValuesManual TiToValuesManual;
};

// A submodule that takes part in isochronous mode.
struct JSONRPCCLIENT_API PnDeviceIsochronousSubmodule : public PnObjectBase {
    PnDeviceIsochronousSubmodule(const std::string& moduleRefId, const std::string& subModuleRefId);
    PnDeviceIsochronousSubmodule(const PnDeviceIsochronousSubmodule&);
    PnDeviceIsochronousSubmodule& operator=(const PnDeviceIsochronousSubmodule&);
    ~PnDeviceIsochronousSubmodule() override;
    Json::Value ToJson() const override;

    std::string ModuleRefId;
    std::string SubModuleRefId;
};

struct JSONRPCCLIENT_API PnDeviceIsochronousMode : public PnObjectBase {
    PnDeviceIsochronousMode();
    PnDeviceIsochronousMode(bool isoModeEnabled,
                            const PnDeviceIsochronousModeTiToValues& tiToValues,
                            const std::vector<PnDeviceIsochronousSubmodule>& submodules);
    PnDeviceIsochronousMode(const PnDeviceIsochronousMode&);
    PnDeviceIsochronousMode& operator=(const PnDeviceIsochronousMode&);
    ~PnDeviceIsochronousMode() override;
    Json::Value ToJson() const override;

    bool IsoModeEnabled = false;
    PnDeviceIsochronousModeTiToValues TiToValues;
    std::vector<PnDeviceIsochronousSubmodule> IsochronousSubmodules;
};

struct JSONRPCCLIENT_API PnDeviceEthernetAddresses : public PnObjectBase {
    // Both constructors refer to subnet "PNIE_1" and IO system
    // "PROFINETIO-System_100".
    PnDeviceEthernetAddresses();
    PnDeviceEthernetAddresses(const PnDeviceIpProtocol& ipProtocol, const PnDeviceName& deviceName);
    PnDeviceEthernetAddresses(const PnDeviceEthernetAddresses&);
    PnDeviceEthernetAddresses& operator=(const PnDeviceEthernetAddresses&);
    ~PnDeviceEthernetAddresses() override;
    Json::Value ToJson() const override;

    std::string SubnetRefId = "PNIE_1";
    std::string IoSystemRefId = "PROFINETIO-System_100";
    PnDeviceIpProtocol IpProtocol;
    PnDeviceName ProfinetDeviceName;
};

struct JSONRPCCLIENT_API PnDeviceInterface : public PnObjectBase {
    // No isochronous mode.
    PnDeviceInterface();
    // Copies the three objects; the isochronous mode is present (even when
    // it holds only defaults) and there are no parameter records.
    PnDeviceInterface(const std::string& interfaceRefId,
                      const PnDeviceEthernetAddresses& ethernetAddresses,
                      const PnDeviceAdvancedOptions& advancedOptions,
                      const PnDeviceIsochronousMode& isochronousMode);
    PnDeviceInterface(const PnDeviceInterface&);
    PnDeviceInterface& operator=(const PnDeviceInterface&);
    ~PnDeviceInterface() override;
    Json::Value ToJson() const override;

    // Replaces the isochronous mode by a copy of mode; it is written from
    // then on.
    void SetIsochronousMode(PnDeviceIsochronousMode mode);
    void SetParameterRecordDataItems(const std::vector<PnParameterRecordDataItem>& records);

    std::string InterfaceRefId;
    PnDeviceEthernetAddresses EthernetAddresses;
    PnDeviceAdvancedOptions AdvancedOptions;
    // Empty when absent; a copy of the interface gets a copy of this object.
    std::shared_ptr<PnDeviceIsochronousMode> IsochronousMode;
    std::vector<PnParameterRecordDataItem> ParameterRecordDataItems;
};

struct JSONRPCCLIENT_API PnDeviceConf : public PnObjectBase {
    PnDeviceConf();
    // No device-level parameter records.
    PnDeviceConf(const std::string& deviceRefId, const PnDeviceInterface& deviceInterface,
                 const std::vector<PnDeviceModule>& modules);
    PnDeviceConf(const PnDeviceConf&);
    PnDeviceConf& operator=(const PnDeviceConf&);
    ~PnDeviceConf() override;
    Json::Value ToJson() const override;

    // Replaces the whole interface by a deep copy of deviceInterface; an
    // interface without isochronous mode removes the one held so far.
    void SetDeviceInterface(const PnDeviceInterface& deviceInterface);
    void SetDeviceModuleList(const std::vector<PnDeviceModule>& modules);
    // Device-level parameter records, independent of the interface's own.
    void SetDeviceParameterList(const std::vector<PnParameterRecordDataItem>& records);

    std::string DeviceRefId;
    PnDeviceInterface DeviceInterface;
    std::vector<PnDeviceModule> DeviceModules;
    std::vector<PnParameterRecordDataItem> ParameterRecordDataItems;
};
