// SPDX-License-Identifier: Apache-2.0
#pragma once

// The configuration document: controller, IO devices and the subnet with its
// IO system and sync domains. None of the subnet's texts is converted.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnControllerConf.h>
#include <JsonRpcClient/pnconfig/PnDeviceConf.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

struct JSONRPCCLIENT_API IoSystemGeneral : public PnObjectBase {
    IoSystemGeneral();
    IoSystemGeneral(const IoSystemGeneral&);
    IoSystemGeneral& operator=(const IoSystemGeneral&);
    ~IoSystemGeneral() override;
    Json::Value ToJson() const override;

    std::string IoSystemName = "PROFINET IO-System";
    std::uint16_t IoSystemNumber = 100;
};

struct JSONRPCCLIENT_API PnIoSystem : public PnObjectBase {
    PnIoSystem();
    PnIoSystem(const PnIoSystem&);
    PnIoSystem& operator=(const PnIoSystem&);
    ~PnIoSystem() override;
    Json::Value ToJson() const override;

    std::string IoSystemId = "PROFINETIO-System_100";
    IoSystemGeneral General;
};

struct JSONRPCCLIENT_API PnSyncDomain : public PnObjectBase {
    PnSyncDomain();
    PnSyncDomain(const PnSyncDomain&);
    PnSyncDomain& operator=(const PnSyncDomain&);
    ~PnSyncDomain() override;
    Json::Value ToJson() const override;

    // The id is what real-time settings refer to; the name is for display.
    std::string SyncDomainId = "Sync-Domain1";
    std::string SyncDomainName = "Sync-Domain_1";
    float SendClock = 0;
    bool ActivateHighPerformance = false;
    bool PermitUsageOfFastForwarding = false;
};

// With an empty list ToJson() returns null.
struct JSONRPCCLIENT_API PnSyncDomains : public PnObjectBase {
    // One default sync domain.
    PnSyncDomains();
    PnSyncDomains(const PnSyncDomains&);
    PnSyncDomains& operator=(const PnSyncDomains&);
    ~PnSyncDomains() override;
    Json::Value ToJson() const override;

    std::vector<PnSyncDomain> SyncDomainList;
};

struct JSONRPCCLIENT_API PnDomainManagement : public PnObjectBase {
    PnDomainManagement();
    PnDomainManagement(const PnDomainManagement&);
    PnDomainManagement& operator=(const PnDomainManagement&);
    ~PnDomainManagement() override;
    Json::Value ToJson() const override;

    PnSyncDomains SyncDomains;
};

struct JSONRPCCLIENT_API PnSubnetConf : public PnObjectBase {
    PnSubnetConf();
    PnSubnetConf(const PnSubnetConf&);
    PnSubnetConf& operator=(const PnSubnetConf&);
    ~PnSubnetConf() override;
    Json::Value ToJson() const override;

    std::string SubnetId = "PNIE_1";
    PnIoSystem IoSystem;
    PnDomainManagement DomainManagement;
};

// Configuration document. Unlike every other list of the model, the device
// list is always written: as null when it is empty.
struct JSONRPCCLIENT_API PnConfiguration : public PnObjectBase {
    PnConfiguration();
    PnConfiguration(const PnControllerConf& controllerConf,
                    const std::vector<PnDeviceConf>& deviceListConf,
                    const PnSubnetConf& subnetConf);
    PnConfiguration(const PnConfiguration&);
    PnConfiguration& operator=(const PnConfiguration&);
    ~PnConfiguration() override;
    // Throws std::runtime_error when a device's converted text cannot be
    // converted; no document is returned then.
    Json::Value ToJson() const override;

    PnControllerConf ControllerConf;
    std::vector<PnDeviceConf> DeviceListConf;
    PnSubnetConf SubnetConf;
};
