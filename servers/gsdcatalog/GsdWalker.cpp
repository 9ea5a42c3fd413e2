// SPDX-License-Identifier: Apache-2.0
// The walker over a parsed GSDML document. Every reference (texts,
// categories, value lists, modules, submodules, menus) is resolved while
// walking, and anything unresolved is collected as a reason to refuse the
// file. The walk is written once and instantiated twice: checking stores
// nothing, building fills the index. A file is checked when it is imported or
// found and built when first asked about, and the two give the same reasons
// in the same order because they are the same code. Parameter records are
// only checked on the walk over the file: in a large file they are most of
// the elements, and most are never asked for. Each submodule's records are
// built on first use by the same walk over the record list.
#include "GsdDocument.h"
#include "GsdValues.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_set>

namespace GsdCatalog {

namespace {

using pugi::xml_attribute;
using pugi::xml_node;

// IDs of one record's parameters or menus: few, so a sorted vector serves
// better than a hash table. The first of duplicate IDs wins.
using IdIndex = std::vector<std::pair<std::string_view, std::size_t>>;

void SortIndex(IdIndex& index) {
    // Records hold a handful of IDs: an insertion sort (stable, like the
    // general sort) spares the buffer a stable sort allocates.
    if (index.size() <= 16) {
        for (std::size_t i = 1; i < index.size(); ++i) {
            for (std::size_t j = i; j > 0 && index[j].first < index[j - 1].first; --j) {
                std::swap(index[j], index[j - 1]);
            }
        }
        return;
    }
    std::stable_sort(index.begin(), index.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

const std::size_t* FindInIndex(const IdIndex& index, std::string_view id) {
    const auto found =
        std::lower_bound(index.begin(), index.end(), id,
                         [](const auto& entry, std::string_view key) { return entry.first < key; });
    return found != index.end() && found->first == id ? &found->second : nullptr;
}

// Several attributes of one element found in a single walk over its
// attributes, instead of one walk per name; the first of repeated attributes
// counts, as with a lookup by name.
template <std::size_t N>
std::array<xml_attribute, N> AttributesOf(const xml_node& element,
                                          const std::array<std::string_view, N>& names) {
    std::array<xml_attribute, N> found{};
    for (xml_attribute attribute : element.attributes()) {
        const std::string_view name = attribute.name();
        for (std::size_t i = 0; i < N; ++i) {
            if (name == names[i]) {
                if (!found[i]) {
                    found[i] = attribute;
                }
                break;
            }
        }
    }
    return found;
}

// Where a parameter's attributes are; the first of repeated attributes wins,
// as with a lookup by name. Parameters are the most numerous elements of a
// large file, so their attributes are found in one pass.
struct ParameterAttributes {
    xml_attribute id, textId, changeable, visible, byteOffset, bitOffset, bitLength, dataType,
        defaultValue, valueItem, allowed;
};

// Compares a name with a literal; short fixed-size compares the compiler
// inlines, where string_view's compare is a call.
template <std::size_t N>
bool NameIs(std::string_view name, const char (&literal)[N]) {
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

ParameterAttributes ParameterAttributesOf(const xml_node& ref) {
    ParameterAttributes a;
    for (xml_attribute attribute = ref.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::string_view name = attribute.name();
        xml_attribute* slot = nullptr;
        switch (name.size()) {
            case 2:
                slot = NameIs(name, "ID") ? &a.id : nullptr;
                break;
            case 6:
                slot = NameIs(name, "TextId") ? &a.textId : nullptr;
                break;
            case 7:
                slot = NameIs(name, "Visible") ? &a.visible : nullptr;
                break;
            case 8:
                slot = NameIs(name, "DataType") ? &a.dataType : nullptr;
                break;
            case 9:
                slot = NameIs(name, "BitOffset")   ? &a.bitOffset
                       : NameIs(name, "BitLength") ? &a.bitLength
                                                   : nullptr;
                break;
            case 10:
                slot = NameIs(name, "Changeable")   ? &a.changeable
                       : NameIs(name, "ByteOffset") ? &a.byteOffset
                                                    : nullptr;
                break;
            case 12:
                slot = NameIs(name, "DefaultValue") ? &a.defaultValue : nullptr;
                break;
            case 13:
                slot = NameIs(name, "AllowedValues") ? &a.allowed : nullptr;
                break;
            case 15:
                slot = NameIs(name, "ValueItemTarget") ? &a.valueItem : nullptr;
                break;
            default:
                break;
        }
        if (slot && !*slot) {
            *slot = attribute;
        }
    }
    return a;
}

// Menus are answered as a tree, and read back by recursion: a menu that
// contains itself would make that tree endless, and a very deep one would
// exhaust a reader's stack. Returns the index of the first menu from which
// such a tree starts and whether it is endless (else too deep), or nothing.
// Heights are memoised, so menus shared by several parents are measured once.
constexpr int kMaxMenuDepth = 32;

template <class Submenus>
std::optional<std::pair<std::size_t, bool>> MenuTreeProblem(std::size_t count,
                                                            Submenus&& submenusOf) {
    constexpr int kOnPath = -2;
    constexpr int kCycle = -1;
    constexpr int kTooDeep = kMaxMenuDepth + 1;
    std::vector<int> height(count, 0);  // 0 not yet measured
    auto measure = [&](auto& self, std::size_t at, int depth) -> int {
        if (height[at] == kOnPath) {
            return kCycle;
        }
        if (height[at] > 0) {
            return height[at];
        }
        if (depth > kMaxMenuDepth) {
            return kTooDeep;
        }
        height[at] = kOnPath;
        int tallest = 1;
        for (std::size_t next : submenusOf(at)) {
            const int below = self(self, next, depth + 1);
            if (below == kCycle || below >= kTooDeep) {
                return below;
            }
            tallest = std::max(tallest, below + 1);
        }
        height[at] = tallest;
        return tallest;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const int result = measure(measure, i, 1);
        if (result == kCycle) {
            return std::make_pair(i, true);
        }
        if (result > kMaxMenuDepth) {
            return std::make_pair(i, false);
        }
    }
    return std::nullopt;
}

std::string MenuTreeReason(const std::string& menuId, bool endless) {
    return endless ? "menu \"" + menuId + "\" contains itself"
                   : "menu \"" + menuId + "\" nests menus deeper than " +
                         std::to_string(kMaxMenuDepth) + " levels";
}

class Walker {
public:
    explicit Walker(const std::shared_ptr<ParsedDocument>& document)
        : document_(document),
          root_(document->document.document_element()),
          language_(document->language),
          primaryTexts_(document->primaryTexts),
          languageTexts_(document->languageTexts),
          categories_(document->categories),
          valueItems_(document->valueItems),
          resolvedValues_(document->resolvedValues) {}

    std::vector<std::string>& Errors() { return errors_; }

    // The whole file. Checked, nothing is built and the answer carries only
    // the reasons; built, it carries the index (when there are no reasons).
    template <bool kStore>
    ParseOutcome WalkFile() {
        const xml_node body = root_.child("ProfileBody");
        const xml_node process = body.child("ApplicationProcess");
        if (!body || !process) {
            errors_.push_back("the GSDML document has no ProfileBody/ApplicationProcess element");
            return Finish(nullptr);
        }
        if (!document_->collected) {
            CollectTexts(process.child("ExternalTextList"));
            CollectIds(process);
            document_->collected = true;
        }
        std::shared_ptr<GsdFile> built = kStore ? std::make_shared<GsdFile>() : nullptr;
        GsdFile& file = kStore ? *built : scratchFile_;
        if constexpr (kStore) {
            file.schemaVersion = SchemaVersion();
        }
        const xml_node identity = body.child("DeviceIdentity");
        if (!identity) {
            errors_.push_back("the GSDML document has no DeviceIdentity element");
        }
        file.vendorId = Unsigned(identity, "VendorID");
        file.deviceId = Unsigned(identity, "DeviceID");
        Put<kStore>(file.vendorName,
                    Utf8<kStore>(identity.child("VendorName").attribute("Value").value()));
        Put<kStore>(file.infoText, Text<kStore>(identity.child("InfoText")));
        const xml_node family = body.child("DeviceFunction").child("Family");
        Put<kStore>(file.mainFamily, Utf8<kStore>(family.attribute("MainFamily").value()));
        Put<kStore>(file.productFamily, Utf8<kStore>(family.attribute("ProductFamily").value()));

        for (xml_node item : process.child("ModuleList").children("ModuleItem")) {
            const std::string_view id = FileId(item.attribute("ID").value());
            knownModules_.insert(id);
            owners_.push_back({id, false, 0, 0, 0, 0});
            Module& module = Next<kStore>(file.modules, scratchModule_);
            WalkInfo<kStore>(item, "ModuleIdentNumber", module.info);
            WalkModuleBody<kStore>(item, module, owners_.back());
        }
        for (xml_node item : process.child("SubmoduleList").children()) {
            if (item.type() == pugi::node_element) {
                knownSubmodules_.insert(FileId(item.attribute("ID").value()));
                WalkSubmodule<kStore>(item, KindOf(item.name()), 1,
                                      Next<kStore>(file.submodules, scratchSubmodule_));
            }
        }
        bool anyDap = false;
        for (xml_node item :
             process.child("DeviceAccessPointList").children("DeviceAccessPointItem")) {
            anyDap = true;
            owners_.push_back({FileId(item.attribute("ID").value()), true, 0, 0, 0, 0});
            WalkAccessPoint<kStore>(item, Next<kStore>(file.accessPoints, scratchDap_),
                                    owners_.back());
        }
        if (!anyDap) {
            errors_.push_back("the GSDML document describes no device access point");
        }
        WalkDiagnosis<kStore>(process, file);
        if constexpr (kStore) {
            file.BuildLookup();
        }
        CheckReferences();
        return Finish(std::move(built));
    }

    // The records of one RecordDataList, in the file's order; true when it
    // has any. Checked, `records` is left alone.
    template <bool kStore>
    bool WalkRecords(const xml_node& list, std::vector<ParameterRecord>& records) {
        bool any = false;
        for (xml_node record : list.children()) {
            const std::string_view name = record.name();
            if (name == "ParameterRecordDataItem") {
                WalkRecord<kStore>(record, Next<kStore>(records, scratchRecord_));
                any = true;
            } else if (name == "F_ParameterRecordDataItem") {
                WalkSafetyRecord<kStore>(record, Next<kStore>(records, scratchRecord_));
                any = true;
            }
        }
        return any;
    }

private:
    // Who refers to which submodules and modules, for CheckReferences; ranges
    // into refTargets_.
    struct OwnerRefs {
        std::string_view id;
        bool accessPoint;
        std::size_t submodulesBegin, submodulesEnd;
        std::size_t modulesBegin, modulesEnd;
    };

    // Where the next item goes: a new entry of its list when building, the
    // one scratch item when checking. A scratch item keeps the capacity of
    // its lists from one item to the next.
    template <bool kStore, class Item>
    static Item& Next([[maybe_unused]] std::vector<Item>& list, [[maybe_unused]] Item& scratch) {
        if constexpr (kStore) {
            return list.emplace_back();
        } else {
            // Never read back: a check writes only what it reads again itself.
            return scratch;
        }
    }

    // A text as the index keeps it; checking only looks it up.
    template <bool kStore>
    std::string TextById(std::string_view id) {
        [[maybe_unused]] const char* text = FindText(id);
        if constexpr (kStore) {
            return text ? ValidUtf8(text) : std::string();
        } else {
            return {};
        }
    }

    template <bool kStore>
    std::string Text(const xml_node& element) {
        return element ? TextById<kStore>(element.attribute("TextId").value()) : std::string();
    }

    template <bool kStore>
    static std::string Utf8([[maybe_unused]] const char* raw) {
        if constexpr (kStore) {
            return ValidUtf8(raw);
        } else {
            return {};
        }
    }

    // Where a walk stores a text: the field when building, nowhere when
    // checking (the text was still looked up, and its reasons collected).
    template <bool kStore>
    static void Put([[maybe_unused]] std::string& field, [[maybe_unused]] std::string&& value) {
        if constexpr (kStore) {
            field = std::move(value);
        }
    }

    template <bool kStore>
    std::string CategoryText(const char* id) {
        if (*id == '\0') {
            return {};
        }
        const auto found = categories_.find(id);
        if (found == categories_.end()) {
            errors_.push_back(std::string("category \"") + id +
                              "\" is referred to but not defined");
            return {};
        }
        return Text<kStore>(found->second);
    }

    template <bool kStore>
    std::vector<int> List(const xml_node& element, const char* name) {
        return List<kStore>(element, element.attribute(name));
    }

    // A number list; checking only counts its values (into `count`, when
    // given), which needs no memory however long the list.
    template <bool kStore>
    std::vector<int> List(const xml_node& element, const xml_attribute& attribute,
                          std::size_t* count = nullptr) {
        std::vector<int> values;
        unsigned long long counted = 0;
        const bool valid =
            !attribute || (kStore ? ParseValueList(attribute.value(), values)
                                  : CountValueList(attribute.value(), 65536, counted));
        if (!valid) {
            errors_.push_back(std::string("attribute ") + attribute.name() + " of " +
                              element.name() + " \"" + attribute.value() +
                              "\" is not a valid list of numbers");
            values.clear();
            counted = 0;
        }
        if (count) {
            *count = kStore ? values.size() : static_cast<std::size_t>(counted);
        }
        return values;
    }

    // Fills `info` in place: the identity is part of larger items, and
    // building it apart and moving it in copies nine strings once more.
    template <bool kStore>
    void WalkInfo(const xml_node& item, const char* identAttribute, ItemInfo& info) {
        const xml_node moduleInfo = item.child("ModuleInfo");
        // The identity elements are found in one walk over the children; the
        // first of repeated elements counts, as a lookup by name would give.
        // A check looks only for the texts, which may be undefined.
        xml_node name, infoText, orderNumber, hardwareRelease, softwareRelease;
        for (xml_node child : moduleInfo.children()) {
            const std::string_view tag = child.name();
            xml_node* slot = tag == "Name"              ? &name
                             : tag == "InfoText"        ? &infoText
                             : !kStore                  ? nullptr
                             : tag == "OrderNumber"     ? &orderNumber
                             : tag == "HardwareRelease" ? &hardwareRelease
                             : tag == "SoftwareRelease" ? &softwareRelease
                                                        : nullptr;
            if (slot && !*slot) {
                *slot = child;
            }
        }
        if constexpr (kStore) {
            const auto [id, ident, textId] =
                AttributesOf<3>(item, {"ID", identAttribute, "TextId"});
            info.id = ValidUtf8(id.value());
            info.identNumber = ValidUtf8(ident.value());
            info.name = moduleInfo ? Text<true>(name) : TextById<true>(textId.value());
        } else if (moduleInfo) {
            Text<false>(name);
        } else {
            FindText(item.attribute("TextId").value());
        }
        Put<kStore>(info.infoText, Text<kStore>(infoText));
        Put<kStore>(info.category,
                    CategoryText<kStore>(moduleInfo.attribute("CategoryRef").value()));
        Put<kStore>(info.subCategory,
                    CategoryText<kStore>(moduleInfo.attribute("SubCategory1Ref").value()));
        Put<kStore>(info.orderNumber, Utf8<kStore>(orderNumber.attribute("Value").value()));
        Put<kStore>(info.hardwareRelease, Utf8<kStore>(hardwareRelease.attribute("Value").value()));
        Put<kStore>(info.softwareRelease, Utf8<kStore>(softwareRelease.attribute("Value").value()));
    }

    template <bool kStore>
    IoSizes WalkIo(const xml_node& ioData) {
        IoSizes io;
        auto sum = [this](const xml_node& direction) {
            int bytes = 0;
            for (xml_node item : direction.children("DataItem")) {
                if (const xml_attribute length = item.attribute("Length")) {
                    bytes += Signed(item, length, 0);
                } else if constexpr (kStore) {
                    bytes += DataTypeBytes(item.attribute("DataType").value());
                }
            }
            return bytes;
        };
        if (const xml_node input = ioData.child("Input")) {
            io.hasInput = true;
            io.inputBytes = sum(input);
        }
        if (const xml_node output = ioData.child("Output")) {
            io.hasOutput = true;
            io.outputBytes = sum(output);
        }
        return io;
    }

    template <bool kStore>
    void WalkTiming(const xml_node& relations, [[maybe_unused]] Submodule& submodule) {
        const xml_node timing = relations.child("TimingProperties");
        const std::vector<int> clocks = List<kStore>(timing, "SendClock");
        std::vector<int> ratios = List<kStore>(timing, "ReductionRatio");
        for (const char* name : {"ReductionRatioPow2", "ReductionRatioNonPow2"}) {
            const std::vector<int> more = List<kStore>(timing, name);
            ratios.insert(ratios.end(), more.begin(), more.end());
        }
        if constexpr (kStore) {
            // Without timing properties a device supports the 1 ms send clock
            // (32 x 31.25 us) and the power-of-two reduction ratios up to 512.
            submodule.sendClocks = timing.attribute("SendClock") ? clocks : std::vector<int>{32};
            if (ratios.empty()) {
                ratios = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
            }
            std::sort(ratios.begin(), ratios.end());
            ratios.erase(std::unique(ratios.begin(), ratios.end()), ratios.end());
            submodule.reductionRatios = std::move(ratios);
        }
    }

    template <bool kStore>
    std::vector<int> WalkMauTypes(const xml_node& port) {
        std::vector<int> types;
        std::size_t count = 0;
        for (xml_node item : port.child("MAUTypeList").children("MAUTypeItem")) {
            types.push_back(Signed(item, "Value"));
            ++count;
        }
        if (count == 0 && port.attribute("MAUTypes")) {
            types = List<kStore>(port, port.attribute("MAUTypes"), &count);
        }
        if (count == 0 && port.attribute("MAUType")) {
            const std::string name = port.attribute("MAUType").value();
            if (const int value = MauTypeFromName(name)) {
                types.push_back(value);
            } else {
                errors_.push_back("port \"" + std::string(port.attribute("ID").value()) +
                                  "\" names an unknown MAU type \"" + name + "\"");
            }
        }
        return types;
    }

    // Fills `submodule` in place, where its list keeps it, rather than moving
    // the finished item in. Its parameter records are only checked: they are
    // built when first asked for.
    template <bool kStore>
    void WalkSubmodule(const xml_node& item, ItemKind kind, int defaultSubslot,
                       Submodule& submodule) {
        submodule.kind = kind;
        WalkInfo<kStore>(item, "SubmoduleIdentNumber", submodule.info);
        const auto [subslot, api, profisafe, noParameters, imRecords] =
            AttributesOf<5>(item, {"SubslotNumber", "API", "PROFIsafeSupported",
                                   "ParameterizationDisallowed", "Writeable_IM_Records"});
        submodule.subslot = Signed(item, subslot, defaultSubslot);
        if (kind == ItemKind::VirtualSubmodule) {
            // Where a virtual submodule sits is its FixedInSubslots list; the
            // subslot number some files give it instead is the fallback.
            submodule.fixedSubslots = List<kStore>(item, "FixedInSubslots");
            if (!submodule.fixedSubslots.empty()) {
                submodule.subslot = submodule.fixedSubslots.front();
            }
            if (submodule.fixedSubslots.size() == 1) {
                submodule.fixedSubslots.clear();  // the common case keeps no list
            }
        }
        submodule.api = Unsigned(item, api, 0);
        submodule.profisafe = Flag(profisafe);
        submodule.parameterizationDisallowed = Flag(noParameters);
        submodule.writeableImRecords = List<kStore>(item, imRecords);
        submodule.io = WalkIo<kStore>(item.child("IOData"));
        const xml_node recordList = item.child("RecordDataList");
        std::vector<ParameterRecord> unused;
        if (WalkRecords<false>(recordList, unused) && kStore) {
            submodule.records =
                RecordList(std::make_shared<DeferredRecords>(document_, recordList));
        }
        if (const xml_node iso = item.child("IsochroneMode")) {
            IsochroneTiming timing;
            timing.tDcBase = Unsigned(iso, "T_DC_Base", 1);
            timing.tDcMin = Unsigned(iso, "T_DC_Min", 1);
            timing.tDcMax = Unsigned(iso, "T_DC_Max", 1);
            timing.tIoBase = Unsigned(iso, "T_IO_Base");
            timing.tIoInputMin = Unsigned(iso, "T_IO_InputMin");
            timing.tIoOutputMin = Unsigned(iso, "T_IO_OutputMin");
            timing.required = Flag(iso, "IsochroneModeRequired");
            submodule.isochrone = timing;
        }
        // Flags and class names have no wrong values: only a build reads them.
        if (kind == ItemKind::InterfaceSubmodule) {
            WalkTiming<kStore>(item.child("ApplicationRelations"), submodule);
            if constexpr (kStore) {
                submodule.rtClasses = RtClasses(item);
                submodule.dcpBoundarySupported = Flag(item, "DCP_BoundarySupported");
                submodule.ptpBoundarySupported = Flag(item, "PTP_BoundarySupported");
            }
        } else if (kind == ItemKind::PortSubmodule) {
            submodule.mauTypes = WalkMauTypes<kStore>(item);
            if constexpr (kStore) {
                submodule.portDeactivationSupported = Flag(item, "PortDeactivationSupported");
                submodule.dcpBoundarySupported = Flag(item, "DCP_BoundarySupported");
                submodule.ptpBoundarySupported = Flag(item, "PTP_BoundarySupported");
            }
        }
    }

    // Returns the range of refTargets_ the references' targets went to.
    template <bool kStore>
    std::pair<std::size_t, std::size_t> WalkRefs(const xml_node& list, const char* element,
                                                 const char* targetAttribute, const char* allowed,
                                                 const char* fixed, const char* used,
                                                 std::vector<ItemRef>& refs) {
        const std::size_t begin = refTargets_.size();
        for (xml_node ref : list.children(element)) {
            const auto [target, allowedIn, fixedIn, usedIn] =
                AttributesOf<4>(ref, {targetAttribute, allowed, fixed, used});
            refTargets_.push_back(FileId(target.value()));
            ItemRef entry;
            entry.allowed = List<kStore>(ref, allowedIn);
            entry.fixed = List<kStore>(ref, fixedIn);
            entry.used = List<kStore>(ref, usedIn);
            if constexpr (kStore) {
                entry.target = std::string(refTargets_.back());
                refs.push_back(std::move(entry));
            }
        }
        return {begin, refTargets_.size()};
    }

    template <bool kStore>
    void WalkModuleBody(const xml_node& item, Module& module, OwnerRefs& owner) {
        for (xml_node sub : item.child("VirtualSubmoduleList").children("VirtualSubmoduleItem")) {
            WalkSubmodule<kStore>(sub, ItemKind::VirtualSubmodule, 1,
                                  Next<kStore>(module.virtualSubmodules, scratchSubmodule_));
        }
        int nextPort = 0x8001;
        const xml_node system = item.child("SystemDefinedSubmoduleList");
        for (xml_node sub : system.children()) {
            const ItemKind kind = KindOf(sub.name());
            if (kind == ItemKind::InterfaceSubmodule) {
                WalkSubmodule<kStore>(sub, kind, 0x8000,
                                      Next<kStore>(module.systemSubmodules, scratchSubmodule_));
            } else if (kind == ItemKind::PortSubmodule) {
                Submodule& port = Next<kStore>(module.systemSubmodules, scratchSubmodule_);
                WalkSubmodule<kStore>(sub, kind, nextPort, port);
                nextPort = port.subslot + 1;
                // Boundaries set on the interface hold for its ports unless a
                // port says otherwise.
                const xml_node owner = system.child("InterfaceSubmoduleItem");
                if (kStore && !sub.attribute("DCP_BoundarySupported")) {
                    port.dcpBoundarySupported = Flag(owner, "DCP_BoundarySupported");
                }
                if (kStore && !sub.attribute("PTP_BoundarySupported")) {
                    port.ptpBoundarySupported = Flag(owner, "PTP_BoundarySupported");
                }
            }
        }
        std::tie(owner.submodulesBegin, owner.submodulesEnd) = WalkRefs<kStore>(
            item.child("UseableSubmodules"), "SubmoduleItemRef", "SubmoduleItemTarget",
            "AllowedInSubslots", "FixedInSubslots", "UsedInSubslots", module.useableSubmodules);
        module.physicalSubslots = List<kStore>(item, "PhysicalSubslots");
        for (xml_node slot : item.child("SubslotList").children("SubslotItem")) {
            std::string text = Text<kStore>(slot);
            [[maybe_unused]] const int number = Signed(slot, "SubslotNumber");
            if constexpr (kStore) {
                module.subslotNames[number] = std::move(text);
            }
        }
    }

    template <bool kStore>
    void WalkAccessPoint(const xml_node& item, AccessPoint& dap, OwnerRefs& owner) {
        WalkInfo<kStore>(item, "ModuleIdentNumber", dap.info);
        WalkModuleBody<kStore>(item, dap, owner);
        if constexpr (kStore) {
            dap.dnsCompatibleName = ValidUtf8(item.attribute("DNS_CompatibleName").value());
            dap.pnioVersion = ValidUtf8(item.attribute("PNIO_Version").value());
        }
        dap.fixedInSlots = List<kStore>(item, "FixedInSlots");
        if (kStore && dap.fixedInSlots.empty()) {
            dap.fixedInSlots.push_back(0);
        }
        dap.physicalSlots = List<kStore>(item, "PhysicalSlots");
        std::tie(owner.modulesBegin, owner.modulesEnd) =
            WalkRefs<kStore>(item.child("UseableModules"), "ModuleItemRef", "ModuleItemTarget",
                             "AllowedInSlots", "FixedInSlots", "UsedInSlots", dap.useableModules);
        for (xml_node slot : item.child("SlotList").children("SlotItem")) {
            std::string text = Text<kStore>(slot);
            [[maybe_unused]] const int number = Signed(slot, "SlotNumber");
            if constexpr (kStore) {
                dap.slotNames[number] = std::move(text);
            }
        }
        // Files older than the interface submodule describe the access point's
        // timing on the access point itself; give such a device an implicit
        // interface so the update-time and real-time queries have an answer.
        bool hasInterface = false;
        for (xml_node sub : item.child("SystemDefinedSubmoduleList").children()) {
            hasInterface = hasInterface || KindOf(sub.name()) == ItemKind::InterfaceSubmodule;
        }
        if (!hasInterface) {
            Submodule implicit;
            implicit.kind = ItemKind::InterfaceSubmodule;
            implicit.subslot = 0x8000;
            WalkTiming<kStore>(item.child("ApplicationRelations"), implicit);
            if constexpr (kStore) {
                implicit.rtClasses = RtClasses(item);
                implicit.info.id = dap.info.id + " Interface";
                dap.systemSubmodules.insert(dap.systemSubmodules.begin(), std::move(implicit));
            }
        }
    }

    template <bool kStore>
    void WalkDiagnosis(const xml_node& process, [[maybe_unused]] GsdFile& file) {
        for (xml_node item : process.child("ChannelDiagList").children()) {
            const std::string_view name = item.name();
            if (name != "ChannelDiagItem" && name != "SystemDefinedChannelDiagItem" &&
                name != "ProfileChannelDiagItem") {
                continue;
            }
            ChannelDiag diag;
            diag.texts.name = Text<kStore>(item.child("Name"));
            diag.texts.help = Text<kStore>(item.child("Help"));
            for (xml_node ext : item.child("ExtChannelDiagList").children()) {
                DiagTexts texts{Text<kStore>(ext.child("Name")), Text<kStore>(ext.child("Help"))};
                [[maybe_unused]] const int type = Signed(ext, "ErrorType");
                if constexpr (kStore) {
                    diag.extended[type] = std::move(texts);
                }
            }
            [[maybe_unused]] const int type = Signed(item, "ErrorType");
            if constexpr (kStore) {
                file.channelDiags[type] = std::move(diag);
            }
        }
        for (xml_node item : process.child("UnitDiagTypeList").children("UnitDiagTypeItem")) {
            UnitDiag diag;
            diag.texts.name = Text<kStore>(item.child("Name"));
            diag.texts.help = Text<kStore>(item.child("Help"));
            for (xml_node ref : item.children("Ref")) {
                UnitDiagRef entry;
                entry.byteOffset = Signed(ref, "ByteOffset");
                entry.bitOffset = Signed(ref, "BitOffset");
                [[maybe_unused]] const char* dataType = ref.attribute("DataType").value();
                const int bytes = DataTypeBytes(dataType);
                entry.bitLength = Signed(ref, "BitLength", bytes > 0 ? bytes * 8 : 1);
                Put<kStore>(entry.name, Text<kStore>(ref));
                [[maybe_unused]] const SharedValues& values =
                    Assignments(ref.attribute("ValueItemTarget").value());
                if constexpr (kStore) {
                    entry.values = values;
                    entry.dataTypeName = dataType;
                    diag.refs.push_back(std::move(entry));
                }
            }
            [[maybe_unused]] const int identifier = Signed(item, "UserStructureIdentifier");
            if constexpr (kStore) {
                file.unitDiags[identifier] = std::move(diag);
            }
        }
    }

    // Returns the parameter's ID as the index keeps it.
    template <bool kStore>
    std::string_view WalkParameter(const xml_node& ref, ParameterItem& item) {
        const auto [id, textId, changeable, visible, byteOffset, bitOffset, bitLength, dataType,
                    defaultValue, valueItem, allowed] = ParameterAttributesOf(ref);
        // IDs are kept repaired to UTF-8, and texts looked up by the repaired
        // TextId.
        const std::string_view repairedId = Repaired(id.value());
        const std::string_view repairedTextId = Repaired(textId.value());
        Put<kStore>(item.name, TextById<kStore>(repairedTextId));
        item.byteOffset = Signed(ref, byteOffset, 0);
        item.bitOffset = Signed(ref, bitOffset, 0);
        item.bitLength = Signed(ref, bitLength, 1);
        [[maybe_unused]] const SharedValues& values = Assignments(valueItem.value());
        if constexpr (kStore) {
            item.values = values;
            item.id = std::string(repairedId);
            item.textId = std::string(repairedTextId);
            item.changeable = changeable ? changeable.as_bool() : true;
            item.visible = visible ? visible.as_bool() : true;
            item.dataTypeName = dataType.value();
            item.dataType = DataTypeCode(item.dataTypeName);
            item.defaultValue = ValidUtf8(defaultValue.value());

            long long low = 0;
            long long high = 0;
            const std::string_view allowedText = allowed.value();
            if (!allowedText.empty() && ValueBounds(allowedText, low, high)) {
                item.minValue = std::to_string(low);
                item.maxValue = std::to_string(high);
            } else if (!allowedText.empty()) {
                // A range too wide to expand (or of floating-point numbers): keep its ends as
                // written.
                const std::size_t dots = allowedText.find("..");
                item.minValue = std::string(allowedText.substr(0, dots));
                item.maxValue = std::string(
                    dots == std::string_view::npos ? allowedText : allowedText.substr(dots + 2));
            } else if (!item.values.empty()) {
                long long low = std::numeric_limits<long long>::max();
                long long high = std::numeric_limits<long long>::min();
                for (const auto& value : item.values) {
                    long long number = 0;
                    if (ParseNumber(value.first, number)) {
                        low = std::min(low, number);
                        high = std::max(high, number);
                    }
                }
                if (low <= high) {
                    item.minValue = std::to_string(low);
                    item.maxValue = std::to_string(high);
                }
            } else {
                std::tie(item.minValue, item.maxValue) =
                    DataTypeRange(item.dataTypeName, item.bitLength);
            }
        }
        return repairedId;
    }

    template <bool kStore>
    void WalkRecord(const xml_node& element, ParameterRecord& record) {
        record.index = Signed(element, "Index");
        record.length = Signed(element, "Length");
        if constexpr (kStore) {
            record.id = element.attribute("ID") ? ValidUtf8(element.attribute("ID").value())
                                                : std::to_string(record.index);
        }
        // One walk over the children finds the name, the menus and the
        // parameters, so the item list is allocated once.
        xml_node nameElement;
        xml_node menus;
        refs_.clear();
        for (xml_node child = element.first_child(); child; child = child.next_sibling()) {
            const std::string_view name = child.name();
            if (name == "Ref") {
                refs_.push_back(child);
            } else if (name == "Name" && !nameElement) {
                nameElement = child;
            } else if (name == "MenuList" && !menus) {
                menus = child;
            }
        }
        Put<kStore>(record.name, Text<kStore>(nameElement));
        record.items.clear();
        if constexpr (kStore) {
            record.items.reserve(refs_.size());
        }
        parameters_.clear();
        repairedIds_.clear();
        for (std::size_t i = 0; i < refs_.size(); ++i) {
            ParameterItem& item = kStore ? record.items.emplace_back() : scratchParameter_;
            const std::string_view id = WalkParameter<kStore>(refs_[i], item);
            if (!id.empty()) {
                parameters_.emplace_back(id, i);
            }
        }
        if (menus) {
            SortIndex(parameters_);
            WalkMenus<kStore>(menus, record);
        }
    }

    template <bool kStore>
    void WalkMenus(const xml_node& list, ParameterRecord& record) {
        menuIndex_.clear();
        std::size_t count = 0;
        for (xml_node menu : list.children("MenuItem")) {
            (void)menu;
            ++count;
        }
        // A check reuses the scratch record's menus, and their lists, from one
        // record to the next.
        record.menus.resize(count);
        std::size_t at = 0;
        for (xml_node menu : list.children("MenuItem")) {
            menuIndex_.emplace_back(menu.attribute("ID").value(), at);
            Menu& entry = record.menus[at++];
            entry.id = ValidUtf8(menu.attribute("ID").value());
            Put<kStore>(entry.name, Text<kStore>(menu.child("Name")));
            entry.parameters.clear();
            entry.submenus.clear();
        }
        SortIndex(menuIndex_);
        std::size_t index = 0;
        for (xml_node menu : list.children("MenuItem")) {
            Menu& entry = record.menus[index++];
            for (xml_node child : menu.children()) {
                const std::string_view name = child.name();
                if (name == "ParameterRef") {
                    const char* target = child.attribute("ParameterTarget").value();
                    if (const std::size_t* found = FindInIndex(parameters_, target)) {
                        if constexpr (kStore) {
                            entry.parameters.push_back(*found);
                        }
                    } else {
                        errors_.push_back(std::string("menu \"") + entry.id +
                                          "\" refers to unknown parameter \"" + target + "\"");
                    }
                } else if (name == "MenuRef") {
                    const char* target = child.attribute("MenuTarget").value();
                    if (const std::size_t* found = FindInIndex(menuIndex_, target)) {
                        entry.submenus.push_back(*found);
                    } else {
                        errors_.push_back(std::string("menu \"") + entry.id +
                                          "\" refers to unknown menu \"" + target + "\"");
                    }
                }
            }
        }
        const auto problem = MenuTreeProblem(
            record.menus.size(), [&](std::size_t at) -> const std::vector<std::size_t>& {
                return record.menus[at].submenus;
            });
        if (problem) {
            errors_.push_back(MenuTreeReason(record.menus[problem->first].id, problem->second));
            record.menus.clear();
        }
    }

    // The safety parameters travel in a record of their own whose items are
    // named after their elements (F_SIL, F_WD_Time, ...).
    template <bool kStore>
    void WalkSafetyRecord(const xml_node& element, ParameterRecord& record) {
        record.index = Signed(element, "Index");
        record.length = Signed(element, "Length");
        if constexpr (kStore) {
            record.id = element.attribute("ID") ? ValidUtf8(element.attribute("ID").value())
                                                : std::to_string(record.index);
            record.name = "F-Parameter";
            for (xml_node child : element.children()) {
                if (child.type() != pugi::node_element) {
                    continue;
                }
                ParameterItem item;
                item.id = child.name();
                item.textId = child.name();
                item.name = child.name();
                item.changeable = Flag(child, "Changeable", true);
                item.visible = Flag(child, "Visible", true);
                item.defaultValue = ValidUtf8(child.attribute("DefaultValue").value());
                long long low = 0;
                long long high = 0;
                if (ValueBounds(child.attribute("AllowedValues").value(), low, high)) {
                    item.minValue = std::to_string(low);
                    item.maxValue = std::to_string(high);
                }
                record.items.push_back(std::move(item));
            }
        }
    }

    // Every module and submodule a module or access point refers to must be
    // described; the IDs are compared as the index keeps them.
    void CheckReferences() {
        auto checkSubmoduleRefs = [&](const OwnerRefs& owner) {
            for (std::size_t i = owner.submodulesBegin; i < owner.submodulesEnd; ++i) {
                if (!knownSubmodules_.count(refTargets_[i])) {
                    errors_.push_back("\"" + std::string(owner.id) +
                                      "\" refers to unknown submodule \"" +
                                      std::string(refTargets_[i]) + "\"");
                }
            }
        };
        for (const OwnerRefs& owner : owners_) {
            if (!owner.accessPoint) {
                checkSubmoduleRefs(owner);
            }
        }
        for (const OwnerRefs& owner : owners_) {
            if (!owner.accessPoint) {
                continue;
            }
            checkSubmoduleRefs(owner);
            for (std::size_t i = owner.modulesBegin; i < owner.modulesEnd; ++i) {
                if (!knownModules_.count(refTargets_[i])) {
                    errors_.push_back("device access point \"" + std::string(owner.id) +
                                      "\" refers to unknown module \"" +
                                      std::string(refTargets_[i]) + "\"");
                }
            }
        }
    }

    // An ID as the index stores it (repaired to UTF-8), kept as long as the
    // walk runs.
    std::string_view FileId(const char* raw) {
        const std::string_view text = raw;
        if (IsValidUtf8(text)) {
            return text;
        }
        return repairedFileIds_.emplace_back(ValidUtf8(raw));
    }

    // `raw` as the index stores it: unchanged when it is UTF-8 (almost
    // always), else repaired into storage that lives until the next record.
    std::string_view Repaired(const char* raw) {
        const std::string_view text = raw;
        if (IsValidUtf8(text)) {
            return text;
        }
        return repairedIds_.emplace_back(ValidUtf8(raw));
    }

    ParseOutcome Finish(std::shared_ptr<GsdFile> file) {
        ParseOutcome outcome;
        // A file with hundreds of dangling references says the same thing
        // hundreds of times; a few reasons are enough to act on.
        constexpr std::size_t kMaxReasons = 20;
        if (errors_.size() > kMaxReasons) {
            const std::size_t more = errors_.size() - kMaxReasons;
            errors_.resize(kMaxReasons);
            errors_.push_back("... and " + std::to_string(more) + " more problems");
        }
        outcome.errors = std::move(errors_);
        if (outcome.errors.empty()) {
            outcome.file = std::move(file);
        }
        return outcome;
    }

    // "V2.43" from the schema file name ("...DeviceProfile-V2.43.xsd"); some
    // vendors write the name in lower case.
    std::string SchemaVersion() const {
        const std::string_view location = root_.attribute("xsi:schemaLocation").value();
        constexpr std::string_view kMarker = "deviceprofile-v";
        const auto lower = [](char c) {
            return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        };
        for (std::size_t at = 0; at + kMarker.size() <= location.size(); ++at) {
            if (!std::equal(kMarker.begin(), kMarker.end(), location.begin() + at,
                            [&](char a, char b) { return a == lower(b); })) {
                continue;
            }
            const std::size_t begin = at + kMarker.size();
            std::size_t end = begin;
            while (
                end < location.size() &&
                (location[end] == '.' || std::isdigit(static_cast<unsigned char>(location[end])))) {
                ++end;
            }
            while (end > begin && location[end - 1] == '.') {
                --end;  // the dot before "xsd"
            }
            return "V" + std::string(location.substr(begin, end - begin));
        }
        return {};
    }

    void CollectTexts(const xml_node& list) {
        auto collect = [](const xml_node& language,
                          std::unordered_map<std::string_view, const char*>& into) {
            for (xml_node text : language.children("Text")) {
                into.emplace(text.attribute("TextId").value(), text.attribute("Value").value());
            }
        };
        collect(list.child("PrimaryLanguage"), primaryTexts_);
        if (language_.empty()) {
            return;
        }
        for (xml_node language : list.children("Language")) {
            if (LanguageMatches(language.attribute("xml:lang").value(), language_)) {
                collect(language, languageTexts_);
                break;
            }
        }
    }

    void CollectIds(const xml_node& process) {
        for (xml_node item : process.child("CategoryList").children("CategoryItem")) {
            categories_.emplace(item.attribute("ID").value(), item);
        }
        for (xml_node item : process.child("ValueList").children("ValueItem")) {
            valueItems_.emplace(item.attribute("ID").value(), item);
        }
    }

    // Finds a text by its TextId; an unknown id is a reason to refuse the
    // file. Null for an empty or unknown id.
    const char* FindText(std::string_view id) {
        if (id.empty()) {
            return nullptr;
        }
        auto found = languageTexts_.find(id);
        if (found == languageTexts_.end()) {
            found = primaryTexts_.find(id);
            if (found == primaryTexts_.end()) {
                errors_.push_back("text \"" + std::string(id) +
                                  "\" is referred to but not defined in the primary language");
                return nullptr;
            }
        }
        return found->second;
    }

    std::uint32_t Unsigned(const xml_node& element, const char* name, std::uint32_t fallback = 0) {
        return Unsigned(element, element.attribute(name), fallback);
    }

    std::uint32_t Unsigned(const xml_node& element, const xml_attribute& attribute,
                           std::uint32_t fallback) {
        const char* name = attribute.name();
        long long value = 0;
        if (!attribute) {
            return fallback;
        }
        if (!ParseNumber(attribute.value(), value) || value < 0 ||
            value > static_cast<long long>(std::numeric_limits<std::uint32_t>::max())) {
            errors_.push_back(std::string("attribute ") + name + " of " + element.name() +
                              " is not a number: \"" + attribute.value() + "\"");
            return fallback;
        }
        return static_cast<std::uint32_t>(value);
    }

    int Signed(const xml_node& element, const char* name, int fallback = 0) {
        return Signed(element, element.attribute(name), fallback);
    }

    int Signed(const xml_node& element, const xml_attribute& attribute, int fallback) {
        const char* name = attribute.name();
        long long value = 0;
        if (!attribute) {
            return fallback;
        }
        if (!ParseNumber(attribute.value(), value) || value < std::numeric_limits<int>::min() ||
            value > std::numeric_limits<int>::max()) {
            errors_.push_back(std::string("attribute ") + name + " of " + element.name() +
                              " is not a number: \"" + attribute.value() + "\"");
            return fallback;
        }
        return static_cast<int>(value);
    }

    static bool Flag(const xml_node& element, const char* name, bool fallback = false) {
        return Flag(element.attribute(name), fallback);
    }

    static bool Flag(const xml_attribute& attribute, bool fallback = false) {
        return attribute ? attribute.as_bool() : fallback;
    }

    static ItemKind KindOf(std::string_view elementName) {
        if (elementName == "InterfaceSubmoduleItem") {
            return ItemKind::InterfaceSubmodule;
        }
        if (elementName == "PortSubmoduleItem") {
            return ItemKind::PortSubmodule;
        }
        if (elementName == "VirtualSubmoduleItem") {
            return ItemKind::VirtualSubmodule;
        }
        return ItemKind::Submodule;
    }

    // The assignments of a value list. Many parameters share one list; it is
    // resolved once, with its texts, and shared by the check and the build.
    // A reference into the cache (whose entries stay where they are), so a
    // check that only wants the list resolved copies nothing.
    const SharedValues& Assignments(const char* valueItemId) {
        static const SharedValues kNone;
        if (*valueItemId == '\0') {
            return kNone;
        }
        const auto found = valueItems_.find(valueItemId);
        if (found == valueItems_.end()) {
            errors_.push_back(std::string("value item \"") + valueItemId +
                              "\" is referred to but not defined");
            return kNone;
        }
        const auto cached = resolvedValues_.find(found->first);
        if (cached != resolvedValues_.end()) {
            return cached->second;
        }
        auto values = std::make_shared<ValueAssignments>();
        for (xml_node assign : found->second.child("Assignments").children("Assign")) {
            values->emplace_back(ValidUtf8(assign.attribute("Content").value()),
                                 Text<true>(assign));
        }
        return resolvedValues_.emplace(found->first, SharedValues(std::move(values))).first->second;
    }

    int RtClasses(const xml_node& interfaceItem) {
        int mask = 0;
        const std::string classes = interfaceItem.attribute("SupportedRT_Classes").value();
        if (!classes.empty()) {
            if (classes.find("RT_CLASS_1") != std::string::npos) {
                mask |= kRtClass1;
            }
            if (classes.find("RT_CLASS_2") != std::string::npos) {
                mask |= kRtClass2;
            }
            if (classes.find("RT_CLASS_3") != std::string::npos) {
                mask |= kRtClass3;
            }
            if (classes.find("RT_CLASS_UDP") != std::string::npos) {
                mask |= kRtClassUdp;
            }
            return mask;
        }
        // The older single attribute names the highest class supported.
        const std::string single = interfaceItem.attribute("SupportedRT_Class").value();
        if (single == "Class3") {
            return kRtClass1 | kRtClass2 | kRtClass3;
        }
        if (single == "Class2") {
            return kRtClass1 | kRtClass2;
        }
        return kRtClass1;
    }

    std::shared_ptr<ParsedDocument> document_;
    const xml_node root_;
    const std::string& language_;
    std::vector<std::string> errors_;
    std::unordered_map<std::string_view, const char*>& primaryTexts_;
    std::unordered_map<std::string_view, const char*>& languageTexts_;
    std::unordered_map<std::string_view, xml_node>& categories_;
    std::unordered_map<std::string_view, xml_node>& valueItems_;
    std::unordered_map<std::string_view, SharedValues>& resolvedValues_;
    // Where a check puts what it reads, and scratch of the record walks, kept
    // from one item to the next to spare allocations.
    GsdFile scratchFile_;
    Module scratchModule_;
    AccessPoint scratchDap_;
    Submodule scratchSubmodule_;
    ParameterRecord scratchRecord_;
    ParameterItem scratchParameter_;
    std::vector<xml_node> refs_;
    IdIndex parameters_;
    IdIndex menuIndex_;
    std::deque<std::string> repairedIds_;
    // Who refers to what, for the reference check at the end of the walk.
    std::deque<std::string> repairedFileIds_;
    std::vector<OwnerRefs> owners_;
    std::vector<std::string_view> refTargets_;
    std::unordered_set<std::string_view> knownModules_;
    std::unordered_set<std::string_view> knownSubmodules_;
};

}  // namespace

std::vector<std::string> CheckDocument(const std::shared_ptr<ParsedDocument>& document) {
    return Walker(document).WalkFile<false>().errors;
}

ParseOutcome BuildDocument(const std::shared_ptr<ParsedDocument>& document) {
    return Walker(document).WalkFile<true>();
}

void DeferredRecords::BuildOnce() {
    std::call_once(once_, [this] {
        // Held until the lock below is gone: the document may die with the
        // last list that needs it, and its mutex with it.
        const std::shared_ptr<ParsedDocument> document = document_;
        const std::lock_guard<std::mutex> lock(document->deferredBuild);
        Walker walker(document);
        std::vector<ParameterRecord> records;
        walker.WalkRecords<true>(list_, records);
        problems_ = std::move(walker.Errors());
        records_ = std::move(records);
        // Built: the document is no longer needed by this list.
        list_ = xml_node();
        document_.reset();
    });
}

}  // namespace GsdCatalog
