// SPDX-License-Identifier: Apache-2.0
#pragma once

// The in-memory form of one GSDML file: everything the catalogue methods
// answer from, with every text already resolved to the server's language.
// Built once per file by ParseGsdml, or by BuildChecked from a document that
// CheckGsdml accepted. Parameter records, the bulk of a large
// file, are checked then but built on first use from the parsed document,
// which is kept for that while any submodule still needs it. The catalogue
// builds them all with the index (LazyGsdFile), so its files keep no document.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace GsdCatalog {

// Real-time classes, combined as a bit mask in the "SupportRTType" answers.
enum RtClassBits : int {
    kRtClass1 = 1,
    kRtClass2 = 2,
    kRtClass3 = 4,  // isochronous real time (IRT)
    kRtClassUdp = 8,
};

// Kinds of items reported in the "Type" member of module data.
enum class ItemKind : int {
    DeviceAccessPoint = 0,
    Module = 1,
    VirtualSubmodule = 2,
    Submodule = 3,
    InterfaceSubmodule = 4,
    PortSubmodule = 5,
};

// Identity texts shared by access points, modules and submodules.
struct ItemInfo {
    std::string id;
    std::string name;
    std::string infoText;
    std::string category;
    std::string subCategory;
    std::string orderNumber;
    std::string hardwareRelease;
    std::string softwareRelease;
    std::string identNumber;  // as written in the file, e.g. "0x00000102"
};

struct IoSizes {
    bool hasInput = false;
    bool hasOutput = false;
    int inputBytes = 0;
    int outputBytes = 0;
};

using ValueAssignments = std::vector<std::pair<std::string, std::string>>;  // content -> text

// A value list as parameters refer to it: many parameters name the same list,
// so they share one resolved copy instead of each holding its own.
class SharedValues {
public:
    SharedValues() = default;
    explicit SharedValues(std::shared_ptr<const ValueAssignments> list) : list_(std::move(list)) {}
    const ValueAssignments& List() const { return list_ ? *list_ : Empty(); }
    ValueAssignments::const_iterator begin() const { return List().begin(); }
    ValueAssignments::const_iterator end() const { return List().end(); }
    std::size_t size() const { return List().size(); }
    bool empty() const { return List().empty(); }

private:
    static const ValueAssignments& Empty() {
        static const ValueAssignments empty;
        return empty;
    }
    std::shared_ptr<const ValueAssignments> list_;
};

// One parameter of a parameter record (a "Ref" element).
struct ParameterItem {
    std::string id;  // the Ref's ID, if any
    std::string textId;
    std::string name;
    bool changeable = true;
    bool visible = true;
    int byteOffset = 0;
    int bitOffset = 0;
    int bitLength = 1;
    int dataType = 0;  // DataTypeCode
    std::string dataTypeName;
    std::string defaultValue;
    std::string minValue;
    std::string maxValue;
    SharedValues values;
};

struct Menu {
    std::string id;
    std::string name;
    std::vector<std::size_t> parameters;  // indices into ParameterRecord::items
    std::vector<std::size_t> submenus;    // indices into ParameterRecord::menus
};

struct ParameterRecord {
    std::string id;
    std::string name;
    int index = 0;
    int length = 0;
    std::vector<ParameterItem> items;
    std::vector<Menu> menus;  // menus[0] is the root menu when there is a menu list
};

class DeferredRecords;  // the parsed elements a record list is built from

// The parameter records of one submodule, built on first use (from any
// thread; the first caller builds them, others wait). A file whose records
// failed their check is refused, so building finds nothing new to report.
class RecordList {
public:
    RecordList() = default;
    explicit RecordList(std::shared_ptr<DeferredRecords> deferred)
        : deferred_(std::move(deferred)) {}

    // Builds the records on the first call; throws only std::bad_alloc.
    const std::vector<ParameterRecord>& Get() const;
    // Problems met while building; always empty for a file that was accepted.
    const std::vector<std::string>& BuildProblems() const;

    std::size_t size() const { return Get().size(); }
    bool empty() const { return Get().empty(); }
    const ParameterRecord& operator[](std::size_t i) const { return Get()[i]; }
    const ParameterRecord& at(std::size_t i) const { return Get().at(i); }
    std::vector<ParameterRecord>::const_iterator begin() const { return Get().begin(); }
    std::vector<ParameterRecord>::const_iterator end() const { return Get().end(); }

private:
    std::shared_ptr<DeferredRecords> deferred_;
};

struct IsochroneTiming {
    std::uint32_t tDcBase = 0;
    std::uint32_t tDcMin = 0;
    std::uint32_t tDcMax = 0;
    std::uint32_t tIoBase = 0;
    std::uint32_t tIoInputMin = 0;
    std::uint32_t tIoOutputMin = 0;
    bool required = false;
};

struct Submodule {
    ItemInfo info;
    ItemKind kind = ItemKind::Submodule;
    int subslot = 1;  // fixed subslot number, where the file gives one
    std::uint32_t api = 0;
    bool profisafe = false;
    bool parameterizationDisallowed = false;
    IoSizes io;
    std::vector<int> writeableImRecords;
    RecordList records;
    std::optional<IsochroneTiming> isochrone;
    // Interface submodules
    int rtClasses = 0;
    std::vector<int> sendClocks;
    std::vector<int> reductionRatios;
    // Port submodules
    bool portDeactivationSupported = false;
    bool dcpBoundarySupported = false;
    bool ptpBoundarySupported = false;
    std::vector<int> mauTypes;
};

// A reference from a container to an item it can hold, with the slots or
// subslots where it may go, where it is fixed and where it is pre-plugged.
struct ItemRef {
    std::string target;
    std::vector<int> allowed;
    std::vector<int> fixed;
    std::vector<int> used;
};

struct Module {
    ItemInfo info;
    std::vector<Submodule> virtualSubmodules;
    std::vector<Submodule> systemSubmodules;  // interface and ports
    std::vector<ItemRef> useableSubmodules;
    std::vector<int> physicalSubslots;
    std::map<int, std::string> subslotNames;
};

struct AccessPoint : Module {
    std::string dnsCompatibleName;
    std::string pnioVersion;
    std::vector<int> fixedInSlots;
    std::vector<int> physicalSlots;
    std::vector<ItemRef> useableModules;
    std::map<int, std::string> slotNames;
};

struct DiagTexts {
    std::string name;
    std::string help;
};

struct ChannelDiag {
    DiagTexts texts;
    std::map<int, DiagTexts> extended;  // by ExtChannelErrorType
};

struct UnitDiagRef {
    int byteOffset = 0;
    int bitOffset = 0;
    int bitLength = 8;
    std::string dataTypeName;
    std::string name;
    SharedValues values;
};

struct UnitDiag {
    DiagTexts texts;
    std::vector<UnitDiagRef> refs;
};

struct GsdFile {
    std::string schemaVersion;  // e.g. "V2.35"; empty when the file names none
    std::uint32_t vendorId = 0;
    std::uint32_t deviceId = 0;
    std::string vendorName;
    std::string infoText;
    std::string mainFamily;
    std::string productFamily;
    std::vector<AccessPoint> accessPoints;
    std::vector<Module> modules;
    std::vector<Submodule> submodules;  // the file's pluggable submodule list
    std::map<int, ChannelDiag> channelDiags;
    std::map<int, UnitDiag> unitDiags;

    // Lookups by ID; they need BuildLookup() after the lists are filled.
    const AccessPoint* FindAccessPoint(const std::string& id) const;
    const Module* FindModule(const std::string& id) const;
    const Submodule* FindListedSubmodule(const std::string& id) const;

    // A submodule wherever the file describes it, and the access point it was
    // found with. The search order: `preferred` (may be null) with the modules
    // it can hold, then every access point so, then the module list, then the
    // submodule list; in the last two cases the access point is `preferred`,
    // else the first. Within an item its own submodules come before those it
    // can hold. Null submodule when the ID is nowhere.
    struct SubmoduleAt {
        const Submodule* submodule = nullptr;
        const AccessPoint* dap = nullptr;
    };
    SubmoduleAt LocateSubmodule(const AccessPoint* preferred, const std::string& id) const;

    void BuildLookup();

private:
    using SubmoduleIndex = std::unordered_map<std::string_view, const Submodule*>;
    void IndexModuleSubmodules(const Module& module, SubmoduleIndex& index) const;

    std::unordered_map<std::string, std::size_t> accessPointById_;
    std::unordered_map<std::string, std::size_t> moduleById_;
    std::unordered_map<std::string, std::size_t> submoduleById_;
    std::vector<SubmoduleIndex> submodulesByDap_;  // per access point, with its modules
    SubmoduleIndex submodulesOfModules_;           // the module list's
};

using GsdFilePtr = std::shared_ptr<const GsdFile>;

}  // namespace GsdCatalog
