// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace Tavrel {
namespace Gsd {

// Isochronous-mode timing of a submodule, as the GSD file states it.
struct isochroneMode {
    unsigned int T_DC_Base = 0;
    unsigned int T_DC_Min = 0;
    unsigned int T_DC_Max = 0;
    unsigned int T_IO_Base = 0;
    unsigned int T_IO_InputMin = 0;
    unsigned int T_IO_OutputMin = 0;
    bool IsIsochroneModeRequired = false;
    float T_Cycle_MinMs = 0.0f;
    float T_IO_InputMinMs = 0.0f;
    float T_IO_OutputMinMs = 0.0f;
};

}  // namespace Gsd
}  // namespace Tavrel
