// SPDX-License-Identifier: Apache-2.0
#pragma once

// Checks the three documents a host builds with the configuration model (the
// configuration, the list of nodes and the topology) against each other and
// against the installed GSD catalogue, and keeps the last set that passed.

#include <GsdModel.h>
#include <RpcDispatcher.h>

#include <json/value.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace GsdCatalog {
class CatalogService;
}

namespace TavrelPN {

struct Finding {
    std::string severity;  // "error" or "warning"
    std::string document;  // "configuration", "listOfNodes" or "topology"
    std::string path;  // JSON pointer into that document, e.g. "/DeviceListConf/0/DeviceModules"
    std::string message;
};

// Finds the installed GSD file a device node's "GsdPath" names. Returns null
// when nothing is installed under that name; throws std::runtime_error with a
// reason when the file is installed but cannot be read.
using GsdLookup = std::function<GsdCatalog::GsdFilePtr(const std::string& gsdPath)>;

// Every problem found, in document order. Documents of an unexpected shape
// give findings, never exceptions; a null list of nodes or topology counts
// as an empty one.
std::vector<Finding> CheckDocuments(const Json::Value& configuration,
                                    const Json::Value& listOfNodes, const Json::Value& topology,
                                    const GsdLookup& lookup);

// A GsdLookup over the catalogue: the file name part of "GsdPath" (after the
// last '/' or '\') is looked up among the installed files.
GsdLookup CatalogLookup(std::shared_ptr<GsdCatalog::CatalogService> catalog);

// Registers "TavrelCheckConfiguration", "TavrelLoadConfiguration" and
// "TavrelGetLoadedConfiguration" (see docs/config-service.md).
void AddConfigDocumentMethods(ServerKit::RpcDispatcher& dispatcher, GsdLookup lookup);

}  // namespace TavrelPN
