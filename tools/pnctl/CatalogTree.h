// SPDX-License-Identifier: Apache-2.0
#pragma once

// One installed GSD file as a tree: file → device access points → the
// modules they come with (fixed or pre-plugged, with their submodules in
// their subslots) and the pluggable modules → submodules, each with the
// slots it may go into and its IO sizes.

#include "Common.h"

#include <JsonRpcClient/clients/PnGsdClient.h>

#include <json/value.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace Pnctl {

// Asks the catalogue for the tree of one file; `dapId`, when not empty,
// keeps only that access point. Throws CommandFailure(kExitFailed) with the
// failed call and its reason when the catalogue refuses a query.
//
// {"GsdName": …, "DeviceAccessPoints": [{"GsdId", "Name", "Description",
//  "OrderNumber", "Slots": […],
//  "BuiltIn": [{"GsdId", "Name", "Slot", "SlotName", "Fixed", "Io",
//               "Submodules": [{"GsdId", "Name", "Subslot", "SubslotName",
//                               "Fixed", "Io", "Records"?}]}],
//  "Modules": [{"GsdId", "Name", "Slots": […], "Io", "BuiltIn": [as above],
//               "Submodules": [{"GsdId", "Name", "Subslots": […], "Io", "Records"?}]}]}]}
// A pluggable module's "BuiltIn" are the submodules it comes with.
// "Io" is {"Input", "Output"} in bytes, a module's as it comes plugged.
// "Fixed" is false for what is pre-plugged and may be removed. "Records"
// (the submodule's parameter records) only with `records`.
Json::Value BuildCatalogTree(RpcClient::Tavrel::PnGsdClient& client, const std::string& gsdName,
                             const std::string& dapId = std::string(), bool records = false);

// The tree as indented lines.
void PrintCatalogTree(std::ostream& out, const Json::Value& tree);

// "1-4, 7" for [1, 2, 3, 4, 7]; "-" for none.
std::string FormatSlots(const Json::Value& slots);

// Throws CommandFailure(kExitFailed) naming `what` when the client's last
// call recorded an error.
void ThrowIfFailed(const RpcClient::JsonRpcClient& client, const std::string& what);

}  // namespace Pnctl
