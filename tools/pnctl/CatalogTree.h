// SPDX-License-Identifier: Apache-2.0
#pragma once

// One installed GSD file as a tree: file → device access points → pluggable
// modules → submodules, each with the slots it may go into.

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
//  "OrderNumber", "Slots": […], "Modules": [{"GsdId", "Name", "Slots": […],
//  "Submodules": [{"GsdId", "Name", "Subslots": […]}]}]}]}
Json::Value BuildCatalogTree(RpcClient::Tavrel::PnGsdClient& client, const std::string& gsdName,
                             const std::string& dapId = std::string());

// The tree as indented lines.
void PrintCatalogTree(std::ostream& out, const Json::Value& tree);

// "1-4, 7" for [1, 2, 3, 4, 7]; "-" for none.
std::string FormatSlots(const Json::Value& slots);

// Throws CommandFailure(kExitFailed) naming `what` when the client's last
// call recorded an error.
void ThrowIfFailed(const RpcClient::JsonRpcClient& client, const std::string& what);

}  // namespace Pnctl
