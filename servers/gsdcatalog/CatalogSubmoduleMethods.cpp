// SPDX-License-Identifier: Apache-2.0
// The catalogue methods about one submodule: its parameter records, its
// port and interface properties, its timing.
#include "CatalogMethods.h"

#include <wire/FastJsonWriter.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace GsdCatalog {
namespace detail {

namespace {

Json::Value RecordItem(const ParameterItem& parameter) {
    Json::Value item(Json::objectValue);
    item[Member(Key::TextId)] = parameter.textId;
    item[Member(Key::Name)] = parameter.name;
    item[Member(Key::IsChangeable)] = parameter.changeable;
    item[Member(Key::ByteOffset)] = parameter.byteOffset;
    item[Member(Key::BitOffset)] = parameter.bitOffset;
    item[Member(Key::DataType)] = parameter.dataType;
    item[Member(Key::DefaultValue)] = parameter.defaultValue;
    item[Member(Key::MinValue)] = parameter.minValue;
    item[Member(Key::MaxValue)] = parameter.maxValue;
    Json::Value values(Json::objectValue);
    // An object lists its members by name ("0", "100", "16"); the file's
    // order of the assignments goes beside it.
    Json::Value order(Json::arrayValue);
    for (const auto& [content, text] : parameter.values) {
        values[content] = text;
        order.append(content);
    }
    item[Member(Key::Values)] = std::move(values);
    item[Member(Key::ValueOrder)] = std::move(order);
    return item;
}

Json::Value MenuJson(const ParameterRecord& record, const Menu& menu) {
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdId)] = menu.id;
    value[Member(Key::Name)] = menu.name;
    Json::Value items(Json::arrayValue);
    for (std::size_t index : menu.parameters) {
        items.append(RecordItem(record.items[index]));
    }
    value[Member(Key::RecordDataList)] = std::move(items);
    Json::Value submenus(Json::arrayValue);
    for (std::size_t index : menu.submenus) {
        submenus.append(MenuJson(record, record.menus[index]));  // the parser refused cycles
    }
    value[Member(Key::MenuItems)] = std::move(submenus);
    return value;
}

Json::Value RecordJson(const ParameterRecord& record) {
    Json::Value value(Json::objectValue);
    value[Member(Key::Index)] = record.index;
    value[Member(Key::Length)] = record.length;
    Json::Value top(Json::objectValue);
    if (!record.menus.empty()) {
        // The first menu of a record's menu list is its root.
        top = MenuJson(record, record.menus.front());
        top[Member(Key::GsdId)] = record.id;
        if (!record.name.empty()) {
            top[Member(Key::Name)] = record.name;
        }
    } else {
        top[Member(Key::GsdId)] = record.id;
        top[Member(Key::Name)] = record.name;
        Json::Value items(Json::arrayValue);
        for (const ParameterItem& item : record.items) {
            items.append(RecordItem(item));
        }
        top[Member(Key::RecordDataList)] = std::move(items);
        top[Member(Key::MenuItems)] = Json::Value(Json::arrayValue);
    }
    value[Member(Key::MenuItem)] = std::move(top);
    return value;
}

// The same answer parts as text. Members go in the order JsonCpp keeps them
// (by their names' bytes); the tests compare both forms byte for byte.

void AppendName(std::string& out, const char* name) {
    out += '"';
    out += name;
    out += "\":";
}

void AppendText(std::string& out, const std::string& text) {
    RpcClient::AppendJsonString(out, text.data(), text.data() + text.size());
}

void AppendNumber(std::string& out, int number) {
    RpcClient::AppendJson(out, Json::Value(number));
}

// An object of the assignments by content, a repeated content keeping its
// last text, as operator[] leaves it.
void AppendValues(std::string& out, const SharedValues& values) {
    std::vector<const std::pair<std::string, std::string>*> sorted;
    sorted.reserve(values.size());
    for (const auto& assignment : values) {
        sorted.push_back(&assignment);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto* a, const auto* b) { return a->first < b->first; });
    char separator = '{';
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i + 1 < sorted.size() && sorted[i + 1]->first == sorted[i]->first) {
            continue;
        }
        out += separator;
        separator = ',';
        AppendText(out, sorted[i]->first);
        out += ':';
        AppendText(out, sorted[i]->second);
    }
    out += separator == '{' ? "{}" : "}";
}

void AppendRecordItem(std::string& out, const ParameterItem& parameter) {
    AppendName(out.append(1, '{'), Key::BitOffset);
    AppendNumber(out, parameter.bitOffset);
    AppendName(out.append(1, ','), Key::ByteOffset);
    AppendNumber(out, parameter.byteOffset);
    AppendName(out.append(1, ','), Key::DataType);
    AppendNumber(out, parameter.dataType);
    AppendName(out.append(1, ','), Key::DefaultValue);
    AppendText(out, parameter.defaultValue);
    AppendName(out.append(1, ','), Key::IsChangeable);
    out += parameter.changeable ? "true" : "false";
    AppendName(out.append(1, ','), Key::MaxValue);
    AppendText(out, parameter.maxValue);
    AppendName(out.append(1, ','), Key::MinValue);
    AppendText(out, parameter.minValue);
    AppendName(out.append(1, ','), Key::Name);
    AppendText(out, parameter.name);
    AppendName(out.append(1, ','), Key::TextId);
    AppendText(out, parameter.textId);
    AppendName(out.append(1, ','), Key::ValueOrder);
    char separator = '[';
    for (const auto& assignment : parameter.values) {
        out += separator;
        separator = ',';
        AppendText(out, assignment.first);
    }
    out += separator == '[' ? "[]" : "]";
    AppendName(out.append(1, ','), Key::Values);
    AppendValues(out, parameter.values);
    out += '}';
}

// An array of the record's items at `indexes`, or of all of them.
void AppendItems(std::string& out, const ParameterRecord& record,
                 const std::vector<std::size_t>* indexes) {
    const std::size_t count = indexes != nullptr ? indexes->size() : record.items.size();
    out += '[';
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) {
            out += ',';
        }
        AppendRecordItem(out, record.items[indexes != nullptr ? (*indexes)[i] : i]);
    }
    out += ']';
}

// MenuJson's object, with the id and name given.
void AppendMenu(std::string& out, const ParameterRecord& record, const Menu& menu,
                const std::string& id, const std::string& name) {
    AppendName(out.append(1, '{'), Key::GsdId);
    AppendText(out, id);
    AppendName(out.append(1, ','), Key::MenuItems);
    out += '[';
    for (std::size_t i = 0; i < menu.submenus.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        const Menu& submenu = record.menus[menu.submenus[i]];
        AppendMenu(out, record, submenu, submenu.id, submenu.name);
    }
    out += ']';
    AppendName(out.append(1, ','), Key::Name);
    AppendText(out, name);
    AppendName(out.append(1, ','), Key::RecordDataList);
    AppendItems(out, record, &menu.parameters);
    out += '}';
}

void AppendRecord(std::string& out, const ParameterRecord& record) {
    AppendName(out.append(1, '{'), Key::Index);
    AppendNumber(out, record.index);
    AppendName(out.append(1, ','), Key::Length);
    AppendNumber(out, record.length);
    AppendName(out.append(1, ','), Key::MenuItem);
    if (!record.menus.empty()) {
        const Menu& root = record.menus.front();
        AppendMenu(out, record, root, record.id, record.name.empty() ? root.name : record.name);
    } else {
        AppendName(out.append(1, '{'), Key::GsdId);
        AppendText(out, record.id);
        AppendName(out.append(1, ','), Key::MenuItems);
        out += "[]";
        AppendName(out.append(1, ','), Key::Name);
        AppendText(out, record.name);
        AppendName(out.append(1, ','), Key::RecordDataList);
        AppendItems(out, record, nullptr);
        out += '}';
    }
    out += '}';
}

std::string MauDescription(int type) {
    static const std::map<int, const char*> kNames = {
        {5, "10BASE-T"},
        {10, "10BASE-T half duplex"},
        {11, "10BASE-T full duplex"},
        {15, "100BASE-TX half duplex"},
        {16, "100BASE-TX full duplex"},
        {17, "100BASE-FX half duplex"},
        {18, "100BASE-FX full duplex"},
        {21, "1000BASE-X half duplex"},
        {22, "1000BASE-X full duplex"},
        {23, "1000BASE-LX half duplex"},
        {24, "1000BASE-LX full duplex"},
        {25, "1000BASE-SX half duplex"},
        {26, "1000BASE-SX full duplex"},
        {29, "1000BASE-T half duplex"},
        {30, "1000BASE-T full duplex"},
        {46, "100BASE-LX10"},
        {54, "100BASE-PX full duplex"},
    };
    const auto found = kNames.find(type);
    return found != kNames.end() ? found->second : "MAU type " + std::to_string(type);
}

}  // namespace

Json::Value SubmoduleParameters(const Request& request) {
    const AccessPoint* dap = request.dap;
    const SubmoduleHit hit =
        FindSubmodule(request.File(), request.gsdName, dap, TextParam(request.params, 2));
    Json::Value list(Json::arrayValue);
    for (const ParameterRecord& record : hit.submodule->records) {
        list.append(RecordJson(record));
    }
    return list;
}

void SubmoduleParametersText(const Request& request, std::string& out) {
    const AccessPoint* dap = request.dap;
    const SubmoduleHit hit =
        FindSubmodule(request.File(), request.gsdName, dap, TextParam(request.params, 2));
    out += '[';
    bool first = true;
    for (const ParameterRecord& record : hit.submodule->records) {
        if (!first) {
            out += ',';
        }
        first = false;
        AppendRecord(out, record);
    }
    out += ']';
}

Json::Value WriteableImRecords(const Request& request) {
    const AccessPoint& dap = *request.dap;
    const std::string submoduleId = TextParam(request.params, 2);
    if (submoduleId.empty()) {
        return dap.virtualSubmodules.empty()
                   ? Json::Value(Json::arrayValue)
                   : IntArray(dap.virtualSubmodules.front().writeableImRecords);
    }
    return IntArray(FindSubmodule(request.File(), request.gsdName, &dap, submoduleId)
                        .submodule->writeableImRecords);
}

Json::Value PortParameter(const Request& request) {
    const GsdFile& file = request.File();
    const AccessPoint& dap = *request.dap;
    const std::string portId = TextParam(request.params, 2);
    const std::string moduleId =
        request.params.size() > 3 ? TextParam(request.params, 3) : std::string();
    const Submodule* port = nullptr;
    if (!moduleId.empty()) {
        port = FindInModule(file, FindModule(file, request.gsdName, dap, moduleId), portId);
    } else {
        port = FindSubmodule(file, request.gsdName, &dap, portId).submodule;
    }
    if (!port || port->kind != ItemKind::PortSubmodule) {
        throw NotFound("\"" + portId + "\" is not a port submodule of \"" + request.gsdName + "\"");
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::PortDeactivationSupported)] = port->portDeactivationSupported;
    value[Member(Key::PTP_BoundarySupported)] = port->ptpBoundarySupported;
    value[Member(Key::DCP_BoundarySupported)] = port->dcpBoundarySupported;
    Json::Value list(Json::arrayValue);
    for (int type : port->mauTypes) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::Value)] = type;
        entry[Member(Key::Description)] = MauDescription(type);
        list.append(std::move(entry));
    }
    value[Member(Key::transmissionValueList)] = std::move(list);
    return value;
}

Json::Value IrtSupportType(const Request& request) {
    return RtClassesOf(
        FindSubmodule(request.File(), request.gsdName, nullptr, TextParam(request.params, 1)));
}

Json::Value ProfisafeSupported(const Request& request) {
    return FindSubmodule(request.File(), request.gsdName, nullptr, TextParam(request.params, 1))
        .submodule->profisafe;
}

Json::Value UpdateTimes(const Request& request) {
    const AccessPoint& dap = *request.dap;
    const Json::Value& clock = Param(request.params, 2);
    if (!clock.isNumeric()) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: param 3 must be a number"};
    }
    const double sendClockMs = clock.asDouble();
    const Submodule* interfaceItem = InterfaceOf(dap);
    std::vector<int> clocks = interfaceItem ? interfaceItem->sendClocks : std::vector<int>{32};
    const std::vector<int> ratios = interfaceItem
                                        ? interfaceItem->reductionRatios
                                        : std::vector<int>{1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
    constexpr double kTickMs = 0.03125;  // one send clock tick is 31.25 us
    if (sendClockMs > 0) {
        // The controller's send clock, given in milliseconds, must be one the
        // device supports; it is matched on whole ticks.
        const long long ticks = std::llround(sendClockMs / kTickMs);
        const bool supported = std::find(clocks.begin(), clocks.end(), ticks) != clocks.end();
        clocks = supported ? std::vector<int>{static_cast<int>(ticks)} : std::vector<int>{};
    }
    std::map<double, std::pair<int, int>> times;  // ms -> (send clock, ratio); sorted, unique
    for (int sendClock : clocks) {
        for (int ratio : ratios) {
            times.emplace(sendClock * static_cast<double>(ratio) * kTickMs,
                          std::make_pair(sendClock, ratio));
        }
    }
    Json::Value value(Json::objectValue);
    value[Member(Key::IsValid)] = !times.empty();
    Json::Value selector(Json::arrayValue);
    for (const auto& [ms, origin] : times) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::Value)] = ms;
        entry[Member(Key::SendClock)] = origin.first;
        entry[Member(Key::ReductionRatio)] = origin.second;
        selector.append(std::move(entry));
    }
    value[Member(Key::Selector)] = std::move(selector);
    return value;
}

Json::Value IsoParameters(const Request& request) {
    const AccessPoint* dap = request.dap;
    const Submodule& submodule =
        *FindSubmodule(request.File(), request.gsdName, dap, TextParam(request.params, 2))
             .submodule;
    const IsochroneTiming timing =
        submodule.isochrone.value_or(IsochroneTiming{0, 0, 0, 0, 0, 0, false});
    Json::Value value(Json::objectValue);
    value[Member(Key::T_DC_Base)] = timing.tDcBase;
    value[Member(Key::T_DC_Min)] = timing.tDcMin;
    value[Member(Key::T_DC_Max)] = timing.tDcMax;
    value[Member(Key::T_IO_Base)] = timing.tIoBase;
    value[Member(Key::T_IO_InputMin)] = timing.tIoInputMin;
    value[Member(Key::T_IO_OutputMin)] = timing.tIoOutputMin;
    value[Member(Key::IsIsochroneModeRequired)] = timing.required;
    // T_DC counts 31.25 us ticks, T_IO counts nanoseconds.
    value[Member(Key::T_Cycle_MinMs)] =
        static_cast<double>(timing.tDcBase) * timing.tDcMin * 0.03125;
    value[Member(Key::T_IO_InputMinMs)] =
        static_cast<double>(timing.tIoBase) * timing.tIoInputMin / 1e6;
    value[Member(Key::T_IO_OutputMinMs)] =
        static_cast<double>(timing.tIoBase) * timing.tIoOutputMin / 1e6;
    return value;
}

Json::Value SubmoduleApi(const Request& request) {
    return FindSubmodule(request.File(), request.gsdName, nullptr, TextParam(request.params, 1))
        .submodule->api;
}

Json::Value ParamDisallowed(const Request& request) {
    return FindSubmodule(request.File(), request.gsdName, nullptr, TextParam(request.params, 1))
        .submodule->parameterizationDisallowed;
}

}  // namespace detail
}  // namespace GsdCatalog
