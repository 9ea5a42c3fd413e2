// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

namespace Tavrel {
namespace Gsd {

// Identity of one catalogue item (device access point, module or submodule).
// GsdName, GsdId, SoftwareRelease and OrderNumber keep the service's UTF-8
// bytes; Category, SubCategory, Name and Description are in the process's
// ANSI code page with no-break spaces turned into ordinary spaces.
struct baseInfo {
    std::string GsdName;
    std::string GsdId;
    std::string Category;
    std::string SubCategory;
    std::string Name;
    std::string SoftwareRelease;
    std::string OrderNumber;
    std::string Description;
};

}  // namespace Gsd
}  // namespace Tavrel
