// SPDX-License-Identifier: Apache-2.0
#pragma once

// The GSD catalogue methods of the configuration server: one handler per
// wire method, answering from the catalogue's in-memory index. The meaning of
// every method's params and answer is tabled in docs/gsd-service.md.

#include "GsdStore.h"

#include <RpcDispatcher.h>

#include <json/value.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace GsdCatalog {

// Error codes of the catalogue's own JSON-RPC errors (server error range).
enum CatalogErrorCode : int {
    kGsdNotInstalled = -32001,  // the first param names no installed GSD file
    kItemNotFound = -32002,  // an access point, module, submodule or diagnosis is not in the file
    // An installed file cannot be read back as it was checked: removed,
    // unreadable or changed behind the catalogue's back since it was indexed.
    kGsdUnreadable = -32003,
};

// Environment variable that moves the catalogue when no option does.
constexpr const char* kCatalogEnvironmentVariable = "TAVREL_GSD_CATALOG";

struct CatalogOptions {
    std::filesystem::path directory;
    std::string language;  // the "-l " value; empty for the primary language
    // Vendor whose devices are marked as the house's own templates
    // ("IsKeltolineTemplate"); 0 marks none.
    std::uint32_t templateVendorId = 0;
};

// The catalogue directory: the option's value when given, else the
// environment variable's value when set and not empty, else "catalog" beside
// the executable.
std::filesystem::path ResolveCatalogDirectory(const std::string& option, const char* environment,
                                              const std::filesystem::path& executable);

// Reads the catalogue's own options from the server's arguments:
// "--catalog=<dir>" (or "--catalog" "<dir>") and "--template-vendor=<id>".
// Arguments after "-l" belong to the language and are not looked at. Unknown
// arguments are ignored. The directory is resolved with
// ResolveCatalogDirectory using the process environment.
CatalogOptions ParseCatalogArguments(const std::vector<std::string>& arguments,
                                     const std::filesystem::path& executable);

class CatalogService {
public:
    explicit CatalogService(CatalogOptions options);

    // Answers one catalogue method. Throws ServerKit::RpcFault: -32602 for
    // missing or mistyped params, kGsdNotInstalled and kItemNotFound for names
    // the catalogue does not know, -32601 for a method that is not a catalogue
    // method, kGsdUnreadable when an installed file the answer needs was
    // removed or changed on disk since the catalogue checked it (a refresh
    // picks up the change). Bad GSD files given to import are reported in
    // the answer.
    Json::Value Call(const std::string& method, const Json::Value& params);

    // The wire names of every catalogue method, in table order.
    static const std::vector<std::string>& MethodNames();

    GsdStore& Store() { return store_; }
    const CatalogOptions& Options() const { return options_; }

private:
    CatalogOptions options_;
    GsdStore store_;
};

// Registers every catalogue method on the dispatcher; all of them share one
// catalogue built from `options`, which is returned for the server's other
// services to read.
std::shared_ptr<CatalogService> RegisterCatalogMethods(ServerKit::RpcDispatcher& dispatcher,
                                                       CatalogOptions options);

}  // namespace GsdCatalog
