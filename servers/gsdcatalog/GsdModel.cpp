// SPDX-License-Identifier: Apache-2.0
// Lookups of the in-memory index of one GSD file.
#include "GsdModel.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace GsdCatalog {

namespace {

template <class Item>
const Item* FindById(const std::unordered_map<std::string, std::size_t>& index,
                     const std::vector<Item>& items, const std::string& id) {
    const auto found = index.find(id);
    return found == index.end() ? nullptr : &items[found->second];
}

template <class Item>
void IndexById(std::unordered_map<std::string, std::size_t>& index,
               const std::vector<Item>& items) {
    index.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        index.emplace(items[i].info.id, i);  // the first of duplicate IDs wins
    }
}

}  // namespace

const AccessPoint* GsdFile::FindAccessPoint(const std::string& id) const {
    return FindById(accessPointById_, accessPoints, id);
}

const Module* GsdFile::FindModule(const std::string& id) const {
    return FindById(moduleById_, modules, id);
}

const Submodule* GsdFile::FindListedSubmodule(const std::string& id) const {
    return FindById(submoduleById_, submodules, id);
}

void GsdFile::IndexModuleSubmodules(const Module& module, SubmoduleIndex& index) const {
    // The first entry of an ID wins, so adding in search order makes a lookup
    // give what a walk in that order would find first.
    for (const auto* list : {&module.virtualSubmodules, &module.systemSubmodules}) {
        for (const Submodule& submodule : *list) {
            index.emplace(submodule.info.id, IndexedSubmodule{&submodule, &module});
        }
    }
    for (const ItemRef& ref : module.useableSubmodules) {
        if (const Submodule* listed = FindListedSubmodule(ref.target)) {
            index.emplace(ref.target, IndexedSubmodule{listed, &module});
        }
    }
}

void GsdFile::BuildLookup() {
    IndexById(accessPointById_, accessPoints);
    IndexById(moduleById_, modules);
    IndexById(submoduleById_, submodules);
    // Submodule lookups by ID, so a query about a submodule of the last of
    // thousands of modules does not walk them all.
    submodulesByDap_.assign(accessPoints.size(), {});
    for (std::size_t i = 0; i < accessPoints.size(); ++i) {
        IndexModuleSubmodules(accessPoints[i], submodulesByDap_[i]);
        for (const ItemRef& ref : accessPoints[i].useableModules) {
            if (const Module* module = FindModule(ref.target)) {
                IndexModuleSubmodules(*module, submodulesByDap_[i]);
            }
        }
    }
    submodulesOfModules_.clear();
    for (const Module& module : modules) {
        IndexModuleSubmodules(module, submodulesOfModules_);
    }
}

GsdFile::SubmoduleAt GsdFile::LocateSubmodule(const AccessPoint* preferred,
                                              const std::string& id) const {
    auto find = [&id](const SubmoduleIndex& index) -> const IndexedSubmodule* {
        const auto found = index.find(id);
        return found == index.end() ? nullptr : &found->second;
    };
    if (accessPoints.empty()) {
        return {};
    }
    if (preferred) {
        const auto at = static_cast<std::size_t>(preferred - accessPoints.data());
        if (const IndexedSubmodule* hit = find(submodulesByDap_[at])) {
            return {hit->submodule, preferred, hit->owner};
        }
    }
    for (std::size_t i = 0; i < accessPoints.size(); ++i) {
        if (const IndexedSubmodule* hit = find(submodulesByDap_[i])) {
            return {hit->submodule, &accessPoints[i], hit->owner};
        }
    }
    const AccessPoint* fallback = preferred ? preferred : &accessPoints.front();
    if (const IndexedSubmodule* hit = find(submodulesOfModules_)) {
        return {hit->submodule, fallback, hit->owner};
    }
    if (const Submodule* listed = FindListedSubmodule(id)) {
        return {listed, fallback, nullptr};
    }
    return {};
}

}  // namespace GsdCatalog
