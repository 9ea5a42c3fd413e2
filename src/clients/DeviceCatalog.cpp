// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/clients/DeviceCatalog.h>

namespace Tavrel {
namespace Gsd {

std::string DeviceCatalog::GetCatalogText() const {
    return BaseInfo.Description;
}

DeviceCatalog::~DeviceCatalog() = default;

std::string GSDTemplateCatalog::GetCatalogText() const {
    return BaseInfo.SoftwareRelease;
}

GSDTemplateCatalog::~GSDTemplateCatalog() = default;

}  // namespace Gsd
}  // namespace Tavrel
