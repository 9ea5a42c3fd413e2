// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnConfiguration.h>

#include "pnconfig/PnJsonWriting.h"

#include <utility>

IoSystemGeneral::IoSystemGeneral() = default;
PN_DEFAULT_COPY_AND_DESTROY(IoSystemGeneral);

Json::Value IoSystemGeneral::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IoSystemName")] = IoSystemName;
    out[PnJson::Key("IoSystemNumber")] = PnJson::Int(IoSystemNumber);
    return out;
}

PnIoSystem::PnIoSystem() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnIoSystem);

Json::Value PnIoSystem::ToJson() const {
    Json::Value out;
    out[PnJson::Key("IoSystemId")] = IoSystemId;
    out[PnJson::Key("IoSystemGeneral")] = General.ToJson();
    return out;
}

PnSyncDomain::PnSyncDomain() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnSyncDomain);

Json::Value PnSyncDomain::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SyncDomainId")] = SyncDomainId;
    out[PnJson::Key("SyncDomainName")] = SyncDomainName;
    out[PnJson::Key("SendClock")] = double{SendClock};
    out[PnJson::Key("ActivateHighPerformance")] = ActivateHighPerformance;
    out[PnJson::Key("PermitUsageOfFastForwarding")] = PermitUsageOfFastForwarding;
    return out;
}

PnSyncDomains::PnSyncDomains() : SyncDomainList(1) {}
PN_DEFAULT_COPY_AND_DESTROY(PnSyncDomains);

Json::Value PnSyncDomains::ToJson() const {
    Json::Value out;
    PnJson::WriteList(out, "SyncDomainList", SyncDomainList);
    return out;
}

PnDomainManagement::PnDomainManagement() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnDomainManagement);

Json::Value PnDomainManagement::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SyncDomains")] = SyncDomains.ToJson();
    return out;
}

PnSubnetConf::PnSubnetConf() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnSubnetConf);

Json::Value PnSubnetConf::ToJson() const {
    Json::Value out;
    out[PnJson::Key("SubnetId")] = SubnetId;
    out[PnJson::Key("IoSystem")] = IoSystem.ToJson();
    out[PnJson::Key("DomainManagement")] = DomainManagement.ToJson();
    return out;
}

PnConfiguration::PnConfiguration() = default;
PnConfiguration::PnConfiguration(const PnControllerConf& controllerConf,
                                 const std::vector<PnDeviceConf>& deviceListConf,
                                 const PnSubnetConf& subnetConf)
    : ControllerConf(controllerConf), DeviceListConf(deviceListConf), SubnetConf(subnetConf) {}
PN_DEFAULT_COPY_AND_DESTROY(PnConfiguration);

Json::Value PnConfiguration::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ControllerConf")] = ControllerConf.ToJson();
    // The server expects this key in every document, so it is written even
    // for an empty list: the value then stays null.
    Json::Value devices;
    for (const PnDeviceConf& device : DeviceListConf) {
        devices.append(device.ToJson());
    }
    out[PnJson::Key("DeviceListConf")] = std::move(devices);
    out[PnJson::Key("SubnetConf")] = SubnetConf.ToJson();
    return out;
}
