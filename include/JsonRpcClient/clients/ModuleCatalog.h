// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/clients/BaseInfo.h>
#include <JsonRpcClient/clients/SupportRTType.h>

#include <string>
#include <vector>

namespace Tavrel {
namespace Gsd {

// One pluggable module of the catalogue.
struct moduleCatalog {
    baseInfo BaseInfo;
};

// One pluggable submodule of the catalogue.
struct subModuleCatalog {
    baseInfo BaseInfo;
    supportRTType SupportRTType = SupportRTNone;
};

// Which subslots a module offers. ModuleRefId keeps the service's bytes.
struct subModuleSlotRelation {
    std::string ModuleRefId;
    std::vector<int> Subslots;
};

}  // namespace Gsd
}  // namespace Tavrel
