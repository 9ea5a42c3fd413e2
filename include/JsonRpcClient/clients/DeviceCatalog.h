// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/clients/BaseInfo.h>
#include <JsonRpcClient/clients/SupportRTType.h>

#include <string>

namespace Tavrel {
namespace Gsd {

// One device (device access point) of the catalogue. The four family texts
// keep the service's UTF-8 bytes.
class JSONRPCCLIENT_API DeviceCatalog {
public:
    DeviceCatalog() = default;
    DeviceCatalog(const DeviceCatalog&) = default;
    DeviceCatalog(DeviceCatalog&&) = default;
    DeviceCatalog& operator=(const DeviceCatalog&) = default;
    DeviceCatalog& operator=(DeviceCatalog&&) = default;

    // The text the host shows for this entry: the description of BaseInfo.
    virtual std::string GetCatalogText() const;
    virtual ~DeviceCatalog();

    std::string MainFamily;
    std::string VendorName;
    std::string ProductFamily;
    std::string DNSCompatibleName;
    baseInfo BaseInfo;
    supportRTType SupportRTType = SupportRTNone;
    unsigned int VendorIdentNumber = 0;
    unsigned int DeviceIdentNumber = 0;
    // Only filled for template devices; plain device lists leave it false.
    bool IsG2 = false;
};

// One template device of the catalogue.
class JSONRPCCLIENT_API GSDTemplateCatalog : public DeviceCatalog {
public:
    GSDTemplateCatalog() = default;
    GSDTemplateCatalog(const GSDTemplateCatalog&) = default;
    GSDTemplateCatalog(GSDTemplateCatalog&&) = default;
    GSDTemplateCatalog& operator=(const GSDTemplateCatalog&) = default;
    GSDTemplateCatalog& operator=(GSDTemplateCatalog&&) = default;

    // Templates are listed by their software release, not their description.
    std::string GetCatalogText() const override;
    ~GSDTemplateCatalog() override;

    bool IsKeltolineTemplate = false;
};

}  // namespace Gsd
}  // namespace Tavrel
