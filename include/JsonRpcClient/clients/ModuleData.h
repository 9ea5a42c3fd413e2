// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace Tavrel {
namespace Gsd {

// Identity of a module or submodule as seen in its data. Name and
// Description are in the ANSI code page with no-break spaces made ordinary;
// the other texts keep the service's UTF-8 bytes.
struct ModuleDataBaseInfo {
    std::string GsdID;
    std::string Name;
    std::string OrderNumber;
    std::string FirmwareVersion;
    std::string SoftwareVerison;
    std::string Description;
    std::string IdentNumber;
};

// Input/output sizes of an item. IoType is the service's code, passed on.
struct ioDataInfo {
    int IoType = 0;
    int Isize = 0;
    int Osize = 0;
};

// One module or submodule with its slot. SlotName is in the ANSI code page.
struct moduleItem {
    bool IsMandatory = false;
    int SlotNumber = 0;
    std::string SlotName;
    ModuleDataBaseInfo Info;
    ioDataInfo IoData;
    int Type = 0;
};

// A module with its built-in submodules.
struct moduleData {
    moduleItem Item;
    std::string virSubmoduleRefId;
    int virSubSlotNumber = 0;
    std::vector<moduleItem> SubItems;
};

}  // namespace Gsd
}  // namespace Tavrel
