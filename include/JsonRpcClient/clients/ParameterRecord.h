// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Tavrel {
namespace Gsd {

// One parameter item of a parameter record. Name and the second text of
// every Values pair are in the ANSI code page; the other texts keep the
// service's UTF-8 bytes. Values is ordered by the first text (byte order).
struct recordDataItem {
    std::string TextId;
    std::string Name;
    bool IsChangeable = false;
    int ByteOffset = 0;
    int BitOffset = 0;
    int DataType = 0;
    std::string DefaultValue;
    std::vector<std::pair<std::string, std::string>> Values;
    std::string MinValue;
    std::string MaxValue;
};

// One menu of a parameter record; menus nest to any depth.
struct menuItem {
    std::string GsdId;
    std::string Name;  // ANSI code page
    std::vector<recordDataItem> RecordDataList;
    std::vector<menuItem> MenuItems;
};

// One parameter record of a submodule.
struct parameterRecord {
    int Index = 0;
    int Length = 0;
    menuItem MenuItem;
};

}  // namespace Gsd
}  // namespace Tavrel
