// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/clients/PNconfigGSDParser.h>

#include <JsonRpcClient/clients/PnGsdClient.h>
#include <JsonRpcClient/rpc/FailureCodes.h>

#include <initializer_list>
#include <utility>

namespace Tavrel {
namespace Gsd {

namespace {

using RpcClient::Tavrel::PnGsdClient;
namespace FailureCode = RpcClient::FailureCode;

// How the temporary client's error list becomes the status. The two listing
// calls that feed the host's catalogue tree only ever say "failed"; the
// others hand on the precise code.
enum class StatusRule {
    LastErrorCode,
    AnyError,
};

long StatusOf(const PnGsdClient& client, StatusRule rule) {
    if (rule == StatusRule::AnyError) {
        return client.HasError() ? FailureCode::Fail : FailureCode::Ok;
    }
    return client.GetLastErrCode();
}

bool AnyEmpty(std::initializer_list<const std::string*> required) {
    for (const std::string* text : required) {
        if (text->empty()) {
            return true;
        }
    }
    return false;
}

// One query on a client of its own: the client is bound to whichever server
// is the registry's default now, and is gone (with its error list) before
// the status is returned.
template <class Output, class Call>
long Query(Output& output, StatusRule rule, Call call) {
    PnGsdClient client;
    output = call(client);
    return StatusOf(client, rule);
}

}  // namespace

PNconfigGSDParser& PNconfigGSDParser::getInstance() {
    static PNconfigGSDParser instance;
    return instance;
}

PNconfigGSDParser::PNconfigGSDParser() = default;
PNconfigGSDParser::~PNconfigGSDParser() = default;

long PNconfigGSDParser::LoadAllGsd(std::vector<std::string>& names) {
    names.clear();
    return Query(names, StatusRule::AnyError,
                 [](PnGsdClient& client) { return client.GetInstalledGSDsNames(); });
}

std::string PNconfigGSDParser::GetGSDPath(const std::string& a) {
    if (a.empty()) {
        return std::string();
    }
    PnGsdClient client;
    std::string path = client.GetGSDPath(a);
    return client.HasError() ? std::string() : path;
}

long PNconfigGSDParser::GetGsdDeviceInfo(const std::string& a, GsdDeviceInfo& info) {
    if (AnyEmpty({&a})) {
        return FailureCode::InvalidArg;
    }
    return Query(info, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetGsdDeviceInfo(a); });
}

long PNconfigGSDParser::GetDeviceCatalog(const std::string& a,
                                         std::vector<DeviceCatalog>& devices) {
    devices.clear();
    if (AnyEmpty({&a})) {
        return FailureCode::Fail;
    }
    return Query(devices, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetDeviceCatalogs(a); });
}

long PNconfigGSDParser::GetGSDTemplateCatalogs(std::vector<GSDTemplateCatalog>& templates) {
    templates.clear();
    return Query(templates, StatusRule::AnyError,
                 [](PnGsdClient& client) { return client.GetGSDTemplateCatalogs(); });
}

long PNconfigGSDParser::GetPluggableModuleCatalog(const std::string& a, const std::string& b,
                                                  std::vector<moduleCatalog>& modules) {
    modules.clear();
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(modules, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetPluggableModuleCatalog(a, b); });
}

long PNconfigGSDParser::GetPluggableSubModuleListCatalog(
    const std::string& a, const std::string& b, const std::string& c,
    std::vector<subModuleCatalog>& submodules) {
    submodules.clear();
    if (AnyEmpty({&a, &c})) {
        return FailureCode::Fail;
    }
    return Query(submodules, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetPluggableSubModuleListCatalog(a, b, c);
    });
}

long PNconfigGSDParser::GetPluggableSubModuleListCatalogByDevID(
    const std::string& a, const std::string& b, std::vector<subModuleCatalog>& submodules) {
    submodules.clear();
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(submodules, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetPluggableSubModuleListCatalogByDevID(a, b);
    });
}

long PNconfigGSDParser::GetBuildInModuleData(const std::string& a, const std::string& b,
                                             std::vector<moduleData>& modules) {
    modules.clear();
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(modules, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetBuildInModuleData(a, b); });
}

long PNconfigGSDParser::GetDevicePhysicalSlots(const std::string& a, const std::string& b,
                                               std::vector<int>& slots) {
    slots.clear();
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(slots, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetDevicePhysicalSlots(a, b); });
}

long PNconfigGSDParser::GetModulePhysicalSubSlots(const std::string& a, const std::string& b,
                                                  const std::string& c,
                                                  std::vector<int>& subslots) {
    subslots.clear();
    if (AnyEmpty({&a, &b, &c})) {
        return FailureCode::Fail;
    }
    return Query(subslots, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetModulePhysicalSubSlots(a, b, c); });
}

long PNconfigGSDParser::GetPluggableModuleSlotRelation(const std::string& a, const std::string& b,
                                                       const std::string& c,
                                                       std::vector<int>& slots) {
    slots.clear();
    if (AnyEmpty({&a, &c})) {
        return FailureCode::Fail;
    }
    return Query(slots, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetPluggableModuleSlotRelation(a, b, c);
    });
}

long PNconfigGSDParser::GetPluggableSubModuleSlotRelation(
    const std::string& a, const std::string& b, const std::string& c,
    std::vector<subModuleSlotRelation>& relations) {
    relations.clear();
    if (AnyEmpty({&a, &c})) {
        return FailureCode::Fail;
    }
    return Query(relations, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetPluggableSubModuleSlotRelation(a, b, c);
    });
}

long PNconfigGSDParser::GetDapModuleInfo(const std::string& a, const std::string& b,
                                         baseInfo& info) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(info, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetDapModuleInfo(a, b); });
}

long PNconfigGSDParser::GetModuleData(const std::string& a, const std::string& b,
                                      const std::string& c, moduleData& data) {
    if (AnyEmpty({&a, &b, &c})) {
        return FailureCode::Fail;
    }
    return Query(data, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetModuleData(a, b, c); });
}

long PNconfigGSDParser::GetSubModuleData(const std::string& a, const std::string& b,
                                         const std::string& c, moduleItem& item) {
    if (AnyEmpty({&a, &c})) {
        return FailureCode::Fail;
    }
    return Query(item, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubModuleData(a, b, c); });
}

long PNconfigGSDParser::GetSubModuleParameter(const std::string& a, const std::string& b,
                                              const std::string& c,
                                              std::vector<parameterRecord>& records) {
    if (AnyEmpty({&a, &c})) {
        return FailureCode::Fail;
    }
    records.clear();
    return Query(records, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubModuleParameter(a, b, c); });
}

long PNconfigGSDParser::GetWriteableIMRecords(const std::string& a, const std::string& b,
                                              const std::string& c, std::vector<int>& records) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    records.clear();
    return Query(records, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetWriteableIMRecords(a, b, c); });
}

long PNconfigGSDParser::GetPortSubModuleParameter(const std::string& a, const std::string& b,
                                                  const std::string& c, const std::string& d,
                                                  portParameter& port) {
    if (AnyEmpty({&a, &b, &c})) {
        return FailureCode::Fail;
    }
    return Query(port, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetPortSubModuleParameter(a, b, c, d); });
}

long PNconfigGSDParser::GetSubmoduleIRTsupportType(const std::string& a, const std::string& b,
                                                   supportRTType& type) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(type, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubmoduleIRTsupportType(a, b); });
}

long PNconfigGSDParser::GetSubmoduleAPI(const std::string& a, const std::string& b, int& api) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(api, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubmoduleAPI(a, b); });
}

long PNconfigGSDParser::GetModuleVirSubSlotAndAPI(const std::string& a, const std::string& b,
                                                  const std::string& c,
                                                  ModuleVirSubSlotAndAPI& virtualSubslot) {
    // Modules without a virtual subslot are asked about with empty ids; that
    // is not an error for the host, just nothing to report.
    if (AnyEmpty({&a, &c})) {
        return FailureCode::Ok;
    }
    return Query(virtualSubslot, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetModuleVirSubSlotAndAPI(a, b, c); });
}

long PNconfigGSDParser::GetSubmoduleParamDisallowed(const std::string& a, const std::string& b,
                                                    bool& disallowed) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(disallowed, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubmoduleParamDisallowed(a, b); });
}

long PNconfigGSDParser::TavrelRefreshGsds(std::vector<std::string>& names) {
    // The host keeps showing its previous list when a refresh fails.
    PnGsdClient client;
    std::vector<std::string> refreshed = client.TavrelRefreshGsds();
    if (!client.HasError()) {
        names = std::move(refreshed);
    }
    return StatusOf(client, StatusRule::LastErrorCode);
}

long PNconfigGSDParser::GetUnitDiagDescription(const std::string& a, const std::string& b,
                                               const std::vector<unsigned char>& bytes,
                                               AlarmData& alarm) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::Fail;
    }
    return Query(alarm, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetUnitDiagDescription(a, b, bytes); });
}

long PNconfigGSDParser::GetChannalDiagDescription(const std::string& a, unsigned short u, bool flag,
                                                  unsigned short v, unsigned short w,
                                                  unsigned int k, ChannelAlarmData& alarm) {
    if (AnyEmpty({&a})) {
        return FailureCode::Fail;
    }
    return Query(alarm, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetChannalDiagDescription(a, u, flag, v, w, k);
    });
}

long PNconfigGSDParser::CalcIoDeviceUpdateTime(const std::string& a, const std::string& b, float x,
                                               std::vector<double>& times) {
    if (AnyEmpty({&a})) {
        return FailureCode::InvalidArg;
    }
    return Query(times, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.CalcIoDeviceUpdateTime(a, b, x); });
}

long PNconfigGSDParser::GetSubMoudleIsoParam(const std::string& a, const std::string& b,
                                             const std::string& c, isochroneMode& mode) {
    if (AnyEmpty({&a, &b, &c})) {
        return FailureCode::InvalidArg;
    }
    return Query(mode, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubMoudleIsoParam(a, b, c); });
}

long PNconfigGSDParser::GetKeltoTemplateGSDNameForPNView(const std::string& a, bool flag,
                                                         std::string& name) {
    if (AnyEmpty({&a})) {
        return FailureCode::InvalidArg;
    }
    return Query(name, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetKeltoTemplateGSDNameForPNView(a, flag);
    });
}

long PNconfigGSDParser::GetKeltoTemplateGSDVersionForWizard(const std::string& a,
                                                            std::string& version) {
    if (AnyEmpty({&a})) {
        return FailureCode::InvalidArg;
    }
    return Query(version, StatusRule::LastErrorCode, [&](PnGsdClient& client) {
        return client.GetKeltoTemplateGSDVersionForWizard(a);
    });
}

long PNconfigGSDParser::GetSubModuleBaseInfo(const std::string& a, const std::string& b,
                                             const std::string& c, const std::string& d,
                                             ModuleDataBaseInfo& info) {
    if (AnyEmpty({&b, &c, &d})) {
        return FailureCode::InvalidArg;
    }
    return Query(info, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.GetSubModuleBaseInfo(a, b, c, d); });
}

long PNconfigGSDParser::IsSubmodulePROFIsafeSupported(const std::string& a, const std::string& b,
                                                      bool& supported) {
    if (AnyEmpty({&a, &b})) {
        return FailureCode::InvalidArg;
    }
    return Query(supported, StatusRule::LastErrorCode,
                 [&](PnGsdClient& client) { return client.IsSubmodulePROFIsafeSupported(a, b); });
}

}  // namespace Gsd
}  // namespace Tavrel
