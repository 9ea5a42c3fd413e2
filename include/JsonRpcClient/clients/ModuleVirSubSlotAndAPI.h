// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace Tavrel {
namespace Gsd {

// The virtual subslot of a module, when it has one.
struct ModuleVirSubSlotAndAPI {
    bool isExist = false;
    int virSubslot = 0;
    int virAPI = 0;
};

}  // namespace Gsd
}  // namespace Tavrel
