// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

namespace Tavrel {
namespace Gsd {

// Texts of a unit diagnosis, in the ANSI code page.
struct AlarmData {
    std::string Description;
    std::string RefText;
    std::string Help;
};

// Texts of a channel diagnosis, in the ANSI code page.
struct ChannelAlarmData {
    std::string AlarmNameText;
    std::string AlarmHelpText;
    std::string AlarmExtNameText;
    std::string AlarmExtHelpText;
};

}  // namespace Gsd
}  // namespace Tavrel
