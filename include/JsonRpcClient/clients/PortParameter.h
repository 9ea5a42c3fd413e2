// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace Tavrel {
namespace Gsd {

// One transmission setting a port offers. Description keeps the service's
// UTF-8 bytes.
struct transmissionValue {
    int Value = 0;
    std::string Description;
};

// Properties of a port submodule.
struct portParameter {
    bool PortDeactivationSupported = false;
    std::vector<transmissionValue> transmissionValueList;
    bool DCP_BoundarySupported = false;
    bool PTP_BoundarySupported = false;
};

}  // namespace Gsd
}  // namespace Tavrel
