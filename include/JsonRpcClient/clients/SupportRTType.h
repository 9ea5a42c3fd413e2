// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace Tavrel {
namespace Gsd {

// Real-time classes a device or submodule supports. The catalogue service
// sends a plain integer; the library stores it and hands it on unchanged, so
// any value the service sends is a valid supportRTType.
enum supportRTType : int {
    SupportRTNone = 0,
};

}  // namespace Gsd
}  // namespace Tavrel
