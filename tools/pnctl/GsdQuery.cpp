// SPDX-License-Identifier: Apache-2.0
// pnctl gsd query: any operation of the PNconfigGSDParser facade by name,
// its arguments from the command line, its status and output record printed.

#include "Commands.h"
#include "ConfigServer.h"
#include "RecordJson.h"

#include <JsonRpcClient/clients/PNconfigGSDParser.h>

#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>
#include <utility>

namespace Pnctl {

namespace {

using Tavrel::Gsd::PNconfigGSDParser;
using Args = std::vector<std::string>;

struct QueryResult {
    long status = 0;
    Json::Value output;
};

struct Operation {
    // Argument names for the usage text; their count is what the operation takes.
    std::vector<std::string> arguments;
    std::function<QueryResult(PNconfigGSDParser&, const Args&)> run;
};

unsigned long ParseUnsigned(const std::string& text, unsigned long max, const std::string& what) {
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 0);
        if (used == text.size() && value <= max && text.find('-') == std::string::npos) {
            return value;
        }
    } catch (const std::exception&) {
    }
    throw CommandFailure(kExitUsage, what + " must be a number from 0 to " + std::to_string(max) +
                                         ", not \"" + text + '"');
}

bool ParseBool(const std::string& text, const std::string& what) {
    if (text == "true" || text == "1") {
        return true;
    }
    if (text == "false" || text == "0") {
        return false;
    }
    throw CommandFailure(kExitUsage, what + " must be true or false, not \"" + text + '"');
}

float ParseFloat(const std::string& text, const std::string& what) {
    try {
        std::size_t used = 0;
        const float value = std::stof(text, &used);
        if (used == text.size()) {
            return value;
        }
    } catch (const std::exception&) {
    }
    throw CommandFailure(kExitUsage, what + " must be a number, not \"" + text + '"');
}

// "0,255,16" or "0x00,0xFF"; empty text gives no bytes.
std::vector<unsigned char> ParseBytes(const std::string& text, const std::string& what) {
    std::vector<unsigned char> bytes;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        bytes.push_back(static_cast<unsigned char>(ParseUnsigned(item, 255, what)));
    }
    return bytes;
}

template <typename T>
QueryResult Result(long status, const T& output) {
    return QueryResult{status, ToJson(output)};
}

template <typename T, typename Fn, std::size_t... I>
long CallWithTexts(PNconfigGSDParser& parser, Fn op, const Args& args, T& output,
                   std::index_sequence<I...>) {
    return (parser.*op)(args[I]..., output);
}

// Operations whose N arguments are all texts and whose output is one value.
template <typename T, std::size_t N, typename Fn>
Operation TextOperation(std::vector<std::string> names, Fn op) {
    return Operation{std::move(names), [op](PNconfigGSDParser& parser, const Args& args) {
                         T output{};
                         const long status =
                             CallWithTexts(parser, op, args, output, std::make_index_sequence<N>{});
                         return Result(status, output);
                     }};
}

const std::map<std::string, Operation>& Operations() {
    static const std::map<std::string, Operation> kOperations = [] {
        std::map<std::string, Operation> ops;
        using P = PNconfigGSDParser;
        using namespace Tavrel::Gsd;
        ops["LoadAllGsd"] = TextOperation<std::vector<std::string>, 0>({}, &P::LoadAllGsd);
        ops["GetGSDPath"] = Operation{
            {"gsd"}, [](P& parser, const Args& a) { return Result(0L, parser.GetGSDPath(a[0])); }};
        ops["GetGsdDeviceInfo"] = TextOperation<GsdDeviceInfo, 1>({"gsd"}, &P::GetGsdDeviceInfo);
        ops["GetDeviceCatalog"] =
            TextOperation<std::vector<DeviceCatalog>, 1>({"gsd"}, &P::GetDeviceCatalog);
        ops["GetGSDTemplateCatalogs"] =
            TextOperation<std::vector<GSDTemplateCatalog>, 0>({}, &P::GetGSDTemplateCatalogs);
        ops["GetPluggableModuleCatalog"] = TextOperation<std::vector<moduleCatalog>, 2>(
            {"gsd", "dap"}, &P::GetPluggableModuleCatalog);
        ops["GetPluggableSubModuleListCatalog"] = TextOperation<std::vector<subModuleCatalog>, 3>(
            {"gsd", "dap", "module"}, &P::GetPluggableSubModuleListCatalog);
        ops["GetPluggableSubModuleListCatalogByDevID"] =
            TextOperation<std::vector<subModuleCatalog>, 2>(
                {"gsd", "dap"}, &P::GetPluggableSubModuleListCatalogByDevID);
        ops["GetBuildInModuleData"] =
            TextOperation<std::vector<moduleData>, 2>({"gsd", "dap"}, &P::GetBuildInModuleData);
        ops["GetDevicePhysicalSlots"] =
            TextOperation<std::vector<int>, 2>({"gsd", "dap"}, &P::GetDevicePhysicalSlots);
        ops["GetModulePhysicalSubSlots"] = TextOperation<std::vector<int>, 3>(
            {"gsd", "dap", "module"}, &P::GetModulePhysicalSubSlots);
        ops["GetPluggableModuleSlotRelation"] = TextOperation<std::vector<int>, 3>(
            {"gsd", "dap", "module"}, &P::GetPluggableModuleSlotRelation);
        ops["GetPluggableSubModuleSlotRelation"] =
            TextOperation<std::vector<subModuleSlotRelation>, 3>(
                {"gsd", "dap", "module"}, &P::GetPluggableSubModuleSlotRelation);
        ops["GetDapModuleInfo"] = TextOperation<baseInfo, 2>({"gsd", "dap"}, &P::GetDapModuleInfo);
        ops["GetModuleData"] =
            TextOperation<moduleData, 3>({"gsd", "dap", "module"}, &P::GetModuleData);
        ops["GetSubModuleData"] =
            TextOperation<moduleItem, 3>({"gsd", "dap", "submodule"}, &P::GetSubModuleData);
        ops["GetSubModuleParameter"] = TextOperation<std::vector<parameterRecord>, 3>(
            {"gsd", "dap", "submodule"}, &P::GetSubModuleParameter);
        ops["GetWriteableIMRecords"] = TextOperation<std::vector<int>, 3>(
            {"gsd", "dap", "submodule"}, &P::GetWriteableIMRecords);
        ops["GetPortSubModuleParameter"] = TextOperation<portParameter, 4>(
            {"gsd", "dap", "portsubmodule", "module"}, &P::GetPortSubModuleParameter);
        ops["GetSubmoduleIRTsupportType"] =
            Operation{{"gsd", "submodule"}, [](P& parser, const Args& a) {
                          supportRTType type = SupportRTNone;
                          const long status = parser.GetSubmoduleIRTsupportType(a[0], a[1], type);
                          return Result(status, static_cast<int>(type));
                      }};
        ops["GetSubmoduleAPI"] = TextOperation<int, 2>({"gsd", "submodule"}, &P::GetSubmoduleAPI);
        ops["GetModuleVirSubSlotAndAPI"] = TextOperation<ModuleVirSubSlotAndAPI, 3>(
            {"gsd", "dap", "module"}, &P::GetModuleVirSubSlotAndAPI);
        ops["GetSubmoduleParamDisallowed"] =
            TextOperation<bool, 2>({"gsd", "submodule"}, &P::GetSubmoduleParamDisallowed);
        ops["TavrelRefreshGsds"] =
            TextOperation<std::vector<std::string>, 0>({}, &P::TavrelRefreshGsds);
        ops["GetUnitDiagDescription"] =
            Operation{{"gsd", "structureid", "bytes"}, [](P& parser, const Args& a) {
                          AlarmData alarm;
                          const long status = parser.GetUnitDiagDescription(
                              a[0], a[1], ParseBytes(a[2], "bytes"), alarm);
                          return Result(status, alarm);
                      }};
        ops["GetChannalDiagDescription"] = Operation{
            {"gsd", "errortype", "extended", "exterrortype", "channel", "addvalue"},
            [](P& parser, const Args& a) {
                constexpr unsigned long kShort = std::numeric_limits<unsigned short>::max();
                constexpr unsigned long kInt = std::numeric_limits<unsigned int>::max();
                ChannelAlarmData alarm;
                const long status = parser.GetChannalDiagDescription(
                    a[0], static_cast<unsigned short>(ParseUnsigned(a[1], kShort, "errortype")),
                    ParseBool(a[2], "extended"),
                    static_cast<unsigned short>(ParseUnsigned(a[3], kShort, "exterrortype")),
                    static_cast<unsigned short>(ParseUnsigned(a[4], kShort, "channel")),
                    static_cast<unsigned int>(ParseUnsigned(a[5], kInt, "addvalue")), alarm);
                return Result(status, alarm);
            }};
        ops["CalcIoDeviceUpdateTime"] =
            Operation{{"gsd", "dap", "sendclock"}, [](P& parser, const Args& a) {
                          std::vector<double> times;
                          const long status = parser.CalcIoDeviceUpdateTime(
                              a[0], a[1], ParseFloat(a[2], "sendclock"), times);
                          return Result(status, times);
                      }};
        ops["GetSubMoudleIsoParam"] =
            TextOperation<isochroneMode, 3>({"gsd", "dap", "submodule"}, &P::GetSubMoudleIsoParam);
        ops["GetKeltoTemplateGSDNameForPNView"] =
            Operation{{"gsd", "flag"}, [](P& parser, const Args& a) {
                          std::string name;
                          const long status = parser.GetKeltoTemplateGSDNameForPNView(
                              a[0], ParseBool(a[1], "flag"), name);
                          return Result(status, name);
                      }};
        ops["GetKeltoTemplateGSDVersionForWizard"] =
            TextOperation<std::string, 1>({"gsd"}, &P::GetKeltoTemplateGSDVersionForWizard);
        ops["GetSubModuleBaseInfo"] = TextOperation<ModuleDataBaseInfo, 4>(
            {"gsd", "dap", "module", "submodule"}, &P::GetSubModuleBaseInfo);
        ops["IsSubmodulePROFIsafeSupported"] =
            TextOperation<bool, 2>({"gsd", "submodule"}, &P::IsSubmodulePROFIsafeSupported);
        return ops;
    }();
    return kOperations;
}

std::string Usage(const std::string& name, const Operation& operation) {
    std::string usage = name;
    for (const std::string& argument : operation.arguments) {
        usage += ' ' + argument;
    }
    return usage;
}

}  // namespace

std::vector<std::string> GsdQueryMethods() {
    std::vector<std::string> methods;
    for (const auto& entry : Operations()) {
        methods.push_back(Usage(entry.first, entry.second));
    }
    return methods;
}

int RunGsdQuery(const std::string& method, const std::vector<std::string>& args,
                const GlobalOptions& global) {
    const auto found = Operations().find(method);
    if (found == Operations().end()) {
        throw CommandFailure(kExitUsage,
                             "unknown operation \"" + method + "\" (see pnctl gsd query --help)");
    }
    const Operation& operation = found->second;
    if (args.size() != operation.arguments.size()) {
        throw CommandFailure(kExitUsage, "usage: pnctl gsd query " + Usage(method, operation));
    }

    ConfigServer server(global);
    const QueryResult result = operation.run(PNconfigGSDParser::getInstance(), args);
    if (global.json) {
        Json::Value document(Json::objectValue);
        document["status"] = static_cast<Json::Int64>(result.status);
        document["hex"] = HexCode(result.status);
        document["output"] = result.output;
        PrintJson(std::cout, document);
    } else {
        std::cout << "status " << HexCode(result.status) << '\n';
        PrintJson(std::cout, result.output);
    }
    if (result.status != 0) {
        throw CommandFailure(kExitFailed, method + ": " + DescribeFailure(result.status, {}));
    }
    return kExitOk;
}

}  // namespace Pnctl
