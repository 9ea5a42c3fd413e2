// SPDX-License-Identifier: Apache-2.0
#include "ConfigCheck.h"

#include <CatalogService.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

namespace TavrelPN {

namespace {

using GsdCatalog::AccessPoint;
using GsdCatalog::GsdFilePtr;
using GsdCatalog::ItemKind;
using GsdCatalog::ItemRef;
using GsdCatalog::Module;
using GsdCatalog::Submodule;

// Documents come from hosts and from files users edit, so every member is read
// through these: a member of the wrong type is a finding, never a JsonCpp
// exception (operator[] on a non-object throws).
const Json::Value& Member(const Json::Value& object, const char* key) {
    static const Json::Value null;
    return object.isObject() ? object[key] : null;
}

std::string Join(const std::string& path, const std::string& key) {
    return path + '/' + key;
}

std::string Join(const std::string& path, Json::ArrayIndex index) {
    return path + '/' + std::to_string(index);
}

std::string Slots(const std::set<int>& slots) {
    std::string text;
    for (auto it = slots.begin(); it != slots.end();) {
        auto last = it;
        while (std::next(last) != slots.end() && *std::next(last) == *last + 1) {
            ++last;
        }
        text += (text.empty() ? "" : ", ") + std::to_string(*it);
        if (last != it) {
            text += ".." + std::to_string(*last);
        }
        it = std::next(last);
    }
    return text.empty() ? "none" : text;
}

std::set<int> SlotsOf(const ItemRef& ref) {
    std::set<int> slots(ref.allowed.begin(), ref.allowed.end());
    slots.insert(ref.fixed.begin(), ref.fixed.end());
    slots.insert(ref.used.begin(), ref.used.end());
    return slots;
}

const ItemRef* FindRef(const std::vector<ItemRef>& refs, const std::string& target) {
    for (const ItemRef& ref : refs) {
        if (ref.target == target) {
            return &ref;
        }
    }
    return nullptr;
}

std::optional<std::uint32_t> ParseIpv4(const std::string& text) {
    std::uint32_t address = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return std::nullopt;
            }
            ++at;
        }
        const std::size_t start = at;
        unsigned value = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
               at - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[at++] - '0');
        }
        if (at == start || value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | value;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return address;
}

bool IsContiguousMask(std::uint32_t mask) {
    return mask != 0 && ((~mask + 1) & ~mask) == 0;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// One block of IO addresses: [start, start + length) in the input or the
// output address space of the controller.
struct IoRange {
    bool output = false;
    std::uint64_t start = 0;
    std::uint64_t length = 1;
    std::string path;
};

// Ports a topology may name on one device, with where they were learnt.
struct DeviceEntry {
    std::string path;  // of the device in the configuration
    std::string interfaceId;
    std::set<int> ports;
    bool portsFromGsd = false;
};

class Checker {
public:
    Checker(const GsdLookup& lookup) : lookup_(lookup) {}

    std::vector<Finding> Run(const Json::Value& configuration, const Json::Value& listOfNodes,
                             const Json::Value& topology) {
        if (!Expect(configuration, Json::objectValue, kConfiguration, "")) {
            return findings_;
        }
        ReadNodes(listOfNodes);
        CheckController(Member(configuration, "ControllerConf"));
        CheckSubnetOf(configuration);
        CheckDevices(configuration);
        CheckIoRanges();
        CheckTopology(topology);
        return findings_;
    }

private:
    static constexpr const char* kConfiguration = "configuration";
    static constexpr const char* kNodes = "listOfNodes";
    static constexpr const char* kTopology = "topology";

    void Error(const char* document, const std::string& path, const std::string& message) {
        findings_.push_back({"error", document, path, message});
    }
    void Warning(const char* document, const std::string& path, const std::string& message) {
        findings_.push_back({"warning", document, path, message});
    }

    // A null value is "absent" and passes (the model leaves out what is
    // empty); any other type than the expected one is an error.
    bool Expect(const Json::Value& value, Json::ValueType type, const char* document,
                const std::string& path) {
        if (value.type() == type) {
            return true;
        }
        if (!value.isNull()) {
            static const std::map<Json::ValueType, const char*> names = {
                {Json::objectValue, "an object"},
                {Json::arrayValue, "an array"},
                {Json::stringValue, "a string"}};
            Error(document, path.empty() ? "/" : path, std::string("must be ") + names.at(type));
        }
        return false;
    }

    std::string Text(const Json::Value& object, const char* key, const char* document,
                     const std::string& path) {
        const Json::Value& value = Member(object, key);
        return Expect(value, Json::stringValue, document, Join(path, key)) ? value.asString()
                                                                           : std::string();
    }

    std::optional<long long> Number(const Json::Value& object, const char* key,
                                    const char* document, const std::string& path) {
        const Json::Value& value = Member(object, key);
        if (value.isIntegral()) {
            return value.asLargestInt();
        }
        Error(document, Join(path, key), value.isNull() ? "is missing" : "must be an integer");
        return std::nullopt;
    }

    // Calls each(element, path of the element) for the array under key. An
    // absent member has no elements; any other type than an array is an error.
    template <class Each>
    void ForEachIn(const Json::Value& object, const char* key, const char* document,
                   const std::string& path, Each each) {
        const Json::Value& list = Member(object, key);
        const std::string listPath = Join(path, key);
        if (Expect(list, Json::arrayValue, document, listPath)) {
            for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
                each(list[i], Join(listPath, i));
            }
        }
    }

    // A new entry for id (read at path under key), or null with an error when
    // an earlier entry has that id already.
    template <class Entry>
    Entry* Claim(std::map<std::string, Entry>& entries, const std::string& id, const char* key,
                 const char* document, const std::string& path) {
        if (entries.count(id) != 0) {
            Error(document, Join(path, key),
                  "device id \"" + id + "\" is already used by " + entries[id].path);
            return nullptr;
        }
        Entry& entry = entries[id];
        entry.path = path;
        return &entry;
    }

    // ---- list of nodes --------------------------------------------------------

    struct Node {
        std::string path;
        GsdFilePtr gsd;
        const AccessPoint* dap = nullptr;
        bool used = false;
    };

    void ReadNodes(const Json::Value& listOfNodes) {
        if (!Expect(listOfNodes, Json::objectValue, kNodes, "")) {
            return;
        }
        ForEachIn(
            listOfNodes, "DeviceNodeList", kNodes, "",
            [this](const Json::Value& node, const std::string& path) { ReadNode(node, path); });
    }

    void ReadNode(const Json::Value& node, const std::string& path) {
        const std::string id = Text(node, "DeviceId", kNodes, path);
        Node* const claimed = Claim(nodes_, id, "DeviceId", kNodes, path);
        if (claimed == nullptr) {
            return;
        }
        Node& entry = *claimed;
        const std::string gsdPath = Text(node, "GsdPath", kNodes, path);
        try {
            entry.gsd = lookup_(gsdPath);
        } catch (const std::exception& e) {
            Error(kNodes, Join(path, "GsdPath"), e.what());
            return;
        }
        if (!entry.gsd) {
            Error(kNodes, Join(path, "GsdPath"), "\"" + gsdPath + "\" names no installed GSD file");
            return;
        }
        const std::string dapId = Text(node, "GsdRefId", kNodes, path);
        entry.dap = entry.gsd->FindAccessPoint(dapId);
        if (entry.dap == nullptr) {
            Error(kNodes, Join(path, "GsdRefId"),
                  "\"" + gsdPath + "\" has no device access point \"" + dapId + "\"");
        }
    }

    // ---- controller, subnet, addresses ----------------------------------------

    void CheckController(const Json::Value& controller) {
        const std::string path = "/ControllerConf";
        if (!Expect(controller, Json::objectValue, kConfiguration, path)) {
            return;
        }
        const std::string ifacePath = Join(path, "DeviceInterface");
        const Json::Value& iface = Member(controller, "DeviceInterface");
        const Json::Value& addresses = Member(iface, "EthernetAddresses");
        const std::string addressesPath = Join(ifacePath, "EthernetAddresses");
        const std::string ipPath = addressesPath + "/IpProtocol/IpProtocolSetInProject";
        const Json::Value& ip = Member(Member(addresses, "IpProtocol"), "IpProtocolSetInProject");
        const auto address = ParseIpv4(Text(ip, "IpAddress", kConfiguration, ipPath));
        const auto mask = ParseIpv4(Text(ip, "SubnetMask", kConfiguration, ipPath));
        if (!address) {
            Error(kConfiguration, Join(ipPath, "IpAddress"),
                  "the controller has no valid IPv4 address");
        } else if (!mask || !IsContiguousMask(*mask)) {
            Error(kConfiguration, Join(ipPath, "SubnetMask"),
                  "the controller has no valid subnet mask");
        } else {
            network_ = std::make_pair(*address & *mask, *mask);
            Claim(*address, "the controller", Join(ipPath, "IpAddress"));
        }
        const std::string station = Text(Member(addresses, "StationName"), "DeviceName",
                                         kConfiguration, Join(addressesPath, "StationName"));
        if (!station.empty()) {
            names_[Lower(station)] = "the controller";
        }
        DeviceEntry entry;
        entry.path = path;
        entry.interfaceId = Text(iface, "InterfaceRefId", kConfiguration, ifacePath);
        const Json::Value& ports = Member(Member(iface, "AdvancedOptions"), "Ports");
        if (ports.isArray()) {
            for (const Json::Value& port : ports) {
                if (Member(port, "PortNumber").isIntegral()) {
                    entry.ports.insert(Member(port, "PortNumber").asInt());
                }
            }
        }
        devices_[Text(controller, "DeviceRefId", kConfiguration, path)] = entry;
    }

    void CheckSubnetOf(const Json::Value& configuration) {
        const Json::Value& subnet = Member(configuration, "SubnetConf");
        subnetId_ = Text(subnet, "SubnetId", kConfiguration, "/SubnetConf");
        ioSystemId_ =
            Text(Member(subnet, "IoSystem"), "IoSystemId", kConfiguration, "/SubnetConf/IoSystem");
    }

    // Records an IP address as taken; a second holder is an error.
    void Claim(std::uint32_t address, const std::string& holder, const std::string& path) {
        const auto taken = addresses_.emplace(address, holder);
        if (!taken.second) {
            Error(kConfiguration, path, "IP address already used by " + taken.first->second);
        }
    }

    void CheckDeviceAddresses(const Json::Value& addresses, const std::string& path,
                              const std::string& holder) {
        const std::string subnet = Text(addresses, "SubnetRefId", kConfiguration, path);
        if (subnet != subnetId_) {
            Error(kConfiguration, Join(path, "SubnetRefId"),
                  "subnet \"" + subnet + "\" is not the configuration's subnet \"" + subnetId_ +
                      "\"");
        }
        const std::string ioSystem = Text(addresses, "IoSystemRefId", kConfiguration, path);
        if (ioSystem != ioSystemId_) {
            Error(kConfiguration, Join(path, "IoSystemRefId"),
                  "IO system \"" + ioSystem + "\" is not the configuration's IO system \"" +
                      ioSystemId_ + "\"");
        }
        const std::string namePath = Join(path, "ProfinetDeviceName");
        const std::string name =
            Text(Member(addresses, "ProfinetDeviceName"), "DeviceName", kConfiguration, namePath);
        if (name.empty()) {
            Error(kConfiguration, Join(namePath, "DeviceName"), "the device has no name");
        } else if (!names_.emplace(Lower(name), holder).second) {
            Error(kConfiguration, Join(namePath, "DeviceName"),
                  "device name \"" + name + "\" is already used by " + names_[Lower(name)]);
        }

        const std::string ipPath = path + "/IpProtocol/IpProtocolSetInTheProject";
        const Json::Value& ip =
            Member(Member(addresses, "IpProtocol"), "IpProtocolSetInTheProject");
        const std::string text = Text(ip, "IpAddress", kConfiguration, ipPath);
        const auto address = ParseIpv4(text);
        if (!address) {
            Error(kConfiguration, Join(ipPath, "IpAddress"),
                  "\"" + text + "\" is not an IPv4 address");
            return;
        }
        Claim(*address, holder, Join(ipPath, "IpAddress"));
        if (!network_) {
            return;
        }
        const std::uint32_t mask = network_->second;
        if ((*address & mask) != network_->first) {
            Error(kConfiguration, Join(ipPath, "IpAddress"),
                  text + " lies outside the controller's subnet");
        } else if ((*address & ~mask) == 0 || (*address & ~mask) == ~mask) {
            Error(kConfiguration, Join(ipPath, "IpAddress"),
                  text + " is the subnet's network or broadcast address");
        }
        const auto deviceMask = ParseIpv4(Text(ip, "SubnetMask", kConfiguration, ipPath));
        if (deviceMask != mask) {
            Warning(kConfiguration, Join(ipPath, "SubnetMask"),
                    "the subnet mask differs from the controller's");
        }
    }

    // ---- devices, modules, submodules -----------------------------------------

    void CheckDevices(const Json::Value& configuration) {
        ForEachIn(configuration, "DeviceListConf", kConfiguration, "",
                  [this](const Json::Value& device, const std::string& path) {
                      CheckDevice(device, path);
                  });
        WarnUnusedNodes();
    }

    void WarnUnusedNodes() {
        for (const auto& [id, node] : nodes_) {
            if (!node.used) {
                Warning(kNodes, node.path, "no device of the configuration is \"" + id + "\"");
            }
        }
    }

    void CheckDevice(const Json::Value& device, const std::string& path) {
        if (!Expect(device, Json::objectValue, kConfiguration, path)) {
            return;
        }
        const std::string id = Text(device, "DeviceRefId", kConfiguration, path);
        const std::string holder = "device \"" + id + "\" (" + path + ")";
        DeviceEntry* const claimed = Claim(devices_, id, "DeviceRefId", kConfiguration, path);
        if (claimed == nullptr) {
            return;
        }
        DeviceEntry& entry = *claimed;
        const std::string ifacePath = Join(path, "DeviceInterface");
        const Json::Value& iface = Member(device, "DeviceInterface");
        entry.interfaceId = Text(iface, "InterfaceRefId", kConfiguration, ifacePath);
        CheckDeviceAddresses(Member(iface, "EthernetAddresses"),
                             Join(ifacePath, "EthernetAddresses"), holder);
        const Json::Value& ports = Member(Member(iface, "AdvancedOptions"), "Ports");
        if (ports.isArray()) {
            for (const Json::Value& port : ports) {
                if (Member(port, "PortNumber").isIntegral()) {
                    entry.ports.insert(Member(port, "PortNumber").asInt());
                }
            }
        }

        const Node* node = nullptr;
        const auto found = nodes_.find(id);
        if (found == nodes_.end()) {
            Error(kConfiguration, Join(path, "DeviceRefId"),
                  "device \"" + id + "\" has no entry in the list of nodes");
        } else {
            found->second.used = true;
            node = found->second.dap != nullptr ? &found->second : nullptr;
        }
        if (node != nullptr) {
            AddGsdPorts(*node->dap, entry);
        }

        std::map<long long, std::string> slotsTaken;
        ForEachIn(device, "DeviceModules", kConfiguration, path,
                  [&](const Json::Value& module, const std::string& modulePath) {
                      CheckModule(module, modulePath, node, slotsTaken, entry);
                  });
    }

    static void AddGsdPorts(const Module& module, DeviceEntry& entry) {
        for (const Submodule& submodule : module.systemSubmodules) {
            if (submodule.kind == ItemKind::PortSubmodule) {
                if (!entry.portsFromGsd) {
                    entry.ports.clear();  // the description replaces what was configured
                    entry.portsFromGsd = true;
                }
                entry.ports.insert(submodule.subslot & 0xFF);
            }
        }
    }

    // The GSD item a module entry names, and the slots it may take; null when
    // the access point cannot hold it (a finding is recorded).
    const Module* ResolveModule(const Node& node, const std::string& id, const std::string& path,
                                std::set<int>& slots) {
        const AccessPoint& dap = *node.dap;
        if (id == dap.info.id) {
            slots.insert(dap.fixedInSlots.begin(), dap.fixedInSlots.end());
            if (slots.empty()) {
                slots.insert(0);
            }
            return &dap;
        }
        const ItemRef* ref = FindRef(dap.useableModules, id);
        const Module* module = node.gsd->FindModule(id);
        if (ref == nullptr || module == nullptr) {
            Error(kConfiguration, Join(path, "GsdRefId"),
                  module == nullptr
                      ? "\"" + id + "\" is not a module of the device's GSD file"
                      : "module \"" + id + "\" cannot be plugged into access point \"" +
                            dap.info.id + "\"");
            return nullptr;
        }
        slots = SlotsOf(*ref);
        return module;
    }

    // Notes the (sub)slot number read at path under key as taken by path; an
    // error when an earlier entry took it already.
    void Occupy(std::map<long long, std::string>& taken, const std::optional<long long>& number,
                const char* what, const std::string& path, const char* key) {
        if (number && !taken.emplace(*number, path).second) {
            Error(kConfiguration, Join(path, key),
                  std::string(what) + ' ' + std::to_string(*number) + " is already taken by " +
                      taken[*number]);
        }
    }

    void CheckModule(const Json::Value& module, const std::string& path, const Node* node,
                     std::map<long long, std::string>& slotsTaken, DeviceEntry& entry) {
        if (!Expect(module, Json::objectValue, kConfiguration, path)) {
            return;
        }
        const auto slot = Number(module, "SlotNumber", kConfiguration, path);
        const std::string id = Text(module, "GsdRefId", kConfiguration, path);
        Occupy(slotsTaken, slot, "slot", path, "SlotNumber");
        const Module* gsdModule = nullptr;
        if (node != nullptr) {
            std::set<int> allowed;
            gsdModule = ResolveModule(*node, id, path, allowed);
            if (gsdModule != nullptr && slot && allowed.count(static_cast<int>(*slot)) == 0) {
                Error(kConfiguration, Join(path, "SlotNumber"),
                      "module \"" + id + "\" is not allowed in slot " + std::to_string(*slot) +
                          " (allowed: " + Slots(allowed) + ")");
            }
            if (gsdModule != nullptr && gsdModule != node->dap) {
                AddGsdPorts(*gsdModule, entry);
            }
        }
        AddIoRanges(Member(module, "IoAddress"), Join(path, "IoAddress"), 0,
                    gsdModule != nullptr ? &gsdModule->virtualSubmodules : nullptr);

        std::map<long long, std::string> subslotsTaken;
        ForEachIn(module, "SubModuleList", kConfiguration, path,
                  [&](const Json::Value& submodule, const std::string& submodulePath) {
                      CheckSubmodule(submodule, submodulePath, node, gsdModule, subslotsTaken);
                  });
    }

    void CheckSubmodule(const Json::Value& submodule, const std::string& path, const Node* node,
                        const Module* module, std::map<long long, std::string>& subslotsTaken) {
        if (!Expect(submodule, Json::objectValue, kConfiguration, path)) {
            return;
        }
        const auto subslot = Number(submodule, "SubSlotNumber", kConfiguration, path);
        const std::string id = Text(submodule, "GsdRefId", kConfiguration, path);
        Occupy(subslotsTaken, subslot, "subslot", path, "SubSlotNumber");
        const Submodule* gsdSubmodule = nullptr;
        if (module != nullptr) {
            std::set<int> allowed;
            for (const auto* list : {&module->virtualSubmodules, &module->systemSubmodules}) {
                for (const Submodule& own : *list) {
                    if (own.info.id == id) {
                        gsdSubmodule = &own;
                        allowed.insert(own.subslot);
                    }
                }
            }
            if (const ItemRef* ref = FindRef(module->useableSubmodules, id)) {
                const std::set<int> refSlots = SlotsOf(*ref);
                allowed.insert(refSlots.begin(), refSlots.end());
                gsdSubmodule = node->gsd->LocateSubmodule(node->dap, id).submodule;
            }
            if (allowed.empty()) {
                Error(kConfiguration, Join(path, "GsdRefId"),
                      "submodule \"" + id + "\" cannot be plugged into module \"" +
                          module->info.id + "\"");
            } else if (subslot && allowed.count(static_cast<int>(*subslot)) == 0) {
                Error(kConfiguration, Join(path, "SubSlotNumber"),
                      "submodule \"" + id + "\" is not allowed in subslot " +
                          std::to_string(*subslot) + " (allowed: " + Slots(allowed) + ")");
            }
        }
        const Json::Value& ioLength = Member(submodule, "IoLength");
        const std::uint64_t length = ioLength.isUInt() ? ioLength.asUInt() : 0;
        std::vector<Submodule> described;
        if (gsdSubmodule != nullptr) {
            described.push_back(*gsdSubmodule);
        }
        AddIoRanges(Member(submodule, "IoAddress"), Join(path, "IoAddress"), length,
                    gsdSubmodule != nullptr ? &described : nullptr);
    }

    // ---- IO addresses ---------------------------------------------------------

    // The length of a block: the configured IO length, else the IO data the
    // GSD describes for the item, else one byte (an address takes at least
    // its own byte).
    void AddIoRanges(const Json::Value& io, const std::string& path, std::uint64_t length,
                     const std::vector<Submodule>* described) {
        if (!Expect(io, Json::objectValue, kConfiguration, path)) {
            return;
        }
        for (const bool output : {false, true}) {
            const char* key = output ? "OutputAddress" : "InputAddress";
            const Json::Value& block = Member(io, key);
            if (!Expect(block, Json::objectValue, kConfiguration, Join(path, key))) {
                continue;
            }
            const std::string blockPath = Join(path, key);
            const auto start = Number(block, "StartAddress", kConfiguration, blockPath);
            if (!start || *start < 0) {
                continue;
            }
            std::uint64_t size = length;
            if (size == 0 && described != nullptr) {
                for (const Submodule& submodule : *described) {
                    size += static_cast<std::uint64_t>(
                        std::max(0, output ? submodule.io.outputBytes : submodule.io.inputBytes));
                }
            }
            ioRanges_.push_back({output, static_cast<std::uint64_t>(*start),
                                 std::max<std::uint64_t>(size, 1),
                                 Join(blockPath, "StartAddress")});
        }
    }

    void CheckIoRanges() {
        std::stable_sort(
            ioRanges_.begin(), ioRanges_.end(), [](const IoRange& a, const IoRange& b) {
                return std::make_pair(a.output, a.start) < std::make_pair(b.output, b.start);
            });
        const IoRange* reach = nullptr;  // the block that ends last so far
        for (const IoRange& range : ioRanges_) {
            if (reach != nullptr && reach->output == range.output &&
                range.start < reach->start + reach->length) {
                Error(kConfiguration, range.path,
                      std::string(range.output ? "output" : "input") + " addresses " +
                          std::to_string(range.start) + ".." +
                          std::to_string(range.start + range.length - 1) + " overlap those at " +
                          reach->path);
            }
            if (reach == nullptr || reach->output != range.output ||
                range.start + range.length > reach->start + reach->length) {
                reach = &range;
            }
        }
    }

    // ---- topology -------------------------------------------------------------

    void CheckPort(const Json::Value& port, const std::string& path,
                   std::map<std::pair<std::string, long long>, std::string>& connected) {
        if (!Expect(port, Json::objectValue, kTopology, path)) {
            return;
        }
        const std::string device = Text(port, "DeviceRefId", kTopology, path);
        const std::string iface = Text(port, "InterfaceRefId", kTopology, path);
        const auto number = Number(port, "PortNumber", kTopology, path);
        const auto found = devices_.find(device);
        if (found == devices_.end()) {
            Error(kTopology, Join(path, "DeviceRefId"),
                  "\"" + device + "\" is neither the controller nor a device of the configuration");
            return;
        }
        if (iface != found->second.interfaceId) {
            Error(kTopology, Join(path, "InterfaceRefId"),
                  "\"" + device + "\" has no interface \"" + iface + "\"");
        }
        if (!number) {
            return;
        }
        if (found->second.ports.count(static_cast<int>(*number)) == 0) {
            Error(kTopology, Join(path, "PortNumber"),
                  "\"" + device + "\" has no port " + std::to_string(*number) +
                      " (ports: " + Slots(found->second.ports) + ")");
        } else if (!connected.emplace(std::make_pair(device, *number), path).second) {
            Error(kTopology, Join(path, "PortNumber"),
                  "port " + std::to_string(*number) + " of \"" + device +
                      "\" is already connected at " + connected[{device, *number}]);
        }
    }

    void CheckTopology(const Json::Value& topology) {
        if (!Expect(topology, Json::objectValue, kTopology, "")) {
            return;
        }
        std::map<std::pair<std::string, long long>, std::string> connected;
        ForEachIn(topology, "PortInterconnectionList", kTopology, "",
                  [&](const Json::Value& link, const std::string& path) {
                      if (Expect(link, Json::objectValue, kTopology, path)) {
                          CheckPort(Member(link, "LocalPort"), Join(path, "LocalPort"), connected);
                          CheckPort(Member(link, "PartnerPort"), Join(path, "PartnerPort"),
                                    connected);
                      }
                  });
    }

    const GsdLookup& lookup_;
    std::vector<Finding> findings_;
    std::map<std::string, Node> nodes_;
    std::map<std::string, DeviceEntry> devices_;  // controller and devices by reference id
    std::map<std::string, std::string> names_;    // lower-case device name -> holder
    std::map<std::uint32_t, std::string> addresses_;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> network_;  // network, mask
    std::string subnetId_;
    std::string ioSystemId_;
    std::vector<IoRange> ioRanges_;
};

// ---- wire methods --------------------------------------------------------------

struct Documents {
    Json::Value configuration;
    Json::Value listOfNodes;
    Json::Value topology;
};

Documents DocumentParams(const Json::Value& params) {
    if (!params.isArray() || params.size() != 3) {
        throw ServerKit::RpcFault{
            ServerKit::kInvalidParams,
            "Invalid params: expected [configuration, list of nodes, topology]"};
    }
    if (!params[0].isObject() || !(params[1].isObject() || params[1].isNull()) ||
        !(params[2].isObject() || params[2].isNull())) {
        throw ServerKit::RpcFault{ServerKit::kInvalidParams,
                                  "Invalid params: the configuration must be an object, the "
                                  "list of nodes and the topology objects or null"};
    }
    return {params[0], params[1], params[2]};
}

Json::Value Answer(const std::vector<Finding>& findings) {
    Json::Value answer(Json::objectValue);
    answer["Accepted"] = true;
    answer["Findings"] = Json::Value(Json::arrayValue);
    for (const Finding& finding : findings) {
        Json::Value entry(Json::objectValue);
        entry["Severity"] = finding.severity;
        entry["Document"] = finding.document;
        entry["Path"] = finding.path;
        entry["Message"] = finding.message;
        answer["Findings"].append(entry);
        if (finding.severity == "error") {
            answer["Accepted"] = false;
        }
    }
    return answer;
}

// The last set of documents "TavrelLoadConfiguration" accepted.
struct LoadedDocuments {
    std::mutex mutex;
    Json::Value documents;  // null until one is accepted
};

}  // namespace

std::vector<Finding> CheckDocuments(const Json::Value& configuration,
                                    const Json::Value& listOfNodes, const Json::Value& topology,
                                    const GsdLookup& lookup) {
    return Checker(lookup).Run(configuration, listOfNodes, topology);
}

GsdLookup CatalogLookup(std::shared_ptr<GsdCatalog::CatalogService> catalog) {
    return [catalog](const std::string& gsdPath) -> GsdFilePtr {
        const std::string name = gsdPath.substr(gsdPath.find_last_of("/\\") + 1);
        if (!GsdCatalog::IsPlainFileName(name)) {
            return nullptr;
        }
        const GsdCatalog::InstalledGsdPtr installed = catalog->Store().Find(name);
        return installed ? installed->file.Get() : nullptr;
    };
}

void AddConfigDocumentMethods(ServerKit::RpcDispatcher& dispatcher, GsdLookup lookup) {
    auto loaded = std::make_shared<LoadedDocuments>();
    dispatcher.Add("TavrelCheckConfiguration", [lookup](const Json::Value& params) {
        const Documents d = DocumentParams(params);
        return Answer(CheckDocuments(d.configuration, d.listOfNodes, d.topology, lookup));
    });
    dispatcher.Add("TavrelLoadConfiguration", [lookup, loaded](const Json::Value& params) {
        const Documents d = DocumentParams(params);
        Json::Value answer =
            Answer(CheckDocuments(d.configuration, d.listOfNodes, d.topology, lookup));
        if (answer["Accepted"].asBool()) {
            Json::Value documents(Json::objectValue);
            documents["Configuration"] = d.configuration;
            documents["ListOfNodes"] = d.listOfNodes;
            documents["Topology"] = d.topology;
            const std::lock_guard<std::mutex> lock(loaded->mutex);
            loaded->documents = documents;
        }
        return answer;
    });
    dispatcher.Add("TavrelGetLoadedConfiguration", [loaded](const Json::Value&) {
        const std::lock_guard<std::mutex> lock(loaded->mutex);
        return loaded->documents;
    });
}

}  // namespace TavrelPN
