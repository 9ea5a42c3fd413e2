// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

namespace Tavrel {
namespace Gsd {

// General data of one GSD file's device family. All texts are in the
// process's ANSI code page.
struct GsdDeviceInfo {
    std::string MainFamily;
    std::string ProductFamily;
    std::string InfoText;
    std::string VendorName;
    unsigned int VendorIdentNumber = 0;
    unsigned int DeviceIdentNumber = 0;
};

}  // namespace Gsd
}  // namespace Tavrel
