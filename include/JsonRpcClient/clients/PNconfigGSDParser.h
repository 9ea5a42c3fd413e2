// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/clients/AlarmData.h>
#include <JsonRpcClient/clients/BaseInfo.h>
#include <JsonRpcClient/clients/DeviceCatalog.h>
#include <JsonRpcClient/clients/GsdDeviceInfo.h>
#include <JsonRpcClient/clients/IsochroneMode.h>
#include <JsonRpcClient/clients/ModuleCatalog.h>
#include <JsonRpcClient/clients/ModuleData.h>
#include <JsonRpcClient/clients/ModuleVirSubSlotAndAPI.h>
#include <JsonRpcClient/clients/ParameterRecord.h>
#include <JsonRpcClient/clients/PortParameter.h>
#include <JsonRpcClient/clients/SupportRTType.h>

#include <string>
#include <vector>

namespace Tavrel {
namespace Gsd {

// Process-wide entry point for catalogue queries with status codes instead
// of client objects. Each call uses its own client bound to the registry's
// default server at the time of the call, so calls share no state and may
// run on several threads. The facade neither starts nor stops servers.
//
// Status codes:
//   0                            success (also when no server is registered)
//   RpcClient::FailureCode::Fail a required text argument is empty (where
//                                noted), or, for LoadAllGsd and
//                                GetGSDTemplateCatalogs, any recorded error
//   RpcClient::FailureCode::InvalidArg  a required text argument is empty
//                                (where noted)
//   any other negative code      the client's last error code, e.g.
//                                InvalidData for a missing or malformed
//                                result, Timeout when no connection was had
//
// Output arguments: "emptied" lists are cleared before anything else (even
// when an argument is then refused); otherwise an output is left as it was on
// a refused argument and receives the client's result, which is its default
// value after a failure. JsonCpp exceptions from an unreadable result pass
// through.
class JSONRPCCLIENT_API PNconfigGSDParser {
public:
    static PNconfigGSDParser& getInstance();

    PNconfigGSDParser(const PNconfigGSDParser&) = delete;
    PNconfigGSDParser& operator=(const PNconfigGSDParser&) = delete;

    // Installed file names as the service sends them; emptied.
    virtual long LoadAllGsd(std::vector<std::string>& names);
    // "" for an empty name or after any recorded error.
    virtual std::string GetGSDPath(const std::string& a);
    // a required (InvalidArg).
    virtual long GetGsdDeviceInfo(const std::string& a, GsdDeviceInfo& info);
    // Emptied; a required (Fail).
    virtual long GetDeviceCatalog(const std::string& a, std::vector<DeviceCatalog>& devices);
    // Emptied.
    virtual long GetGSDTemplateCatalogs(std::vector<GSDTemplateCatalog>& templates);
    // Emptied; a, b required (Fail).
    virtual long GetPluggableModuleCatalog(const std::string& a, const std::string& b,
                                           std::vector<moduleCatalog>& modules);
    // Emptied; a, c required (Fail).
    virtual long GetPluggableSubModuleListCatalog(const std::string& a, const std::string& b,
                                                  const std::string& c,
                                                  std::vector<subModuleCatalog>& submodules);
    // Emptied; a, b required (Fail).
    virtual long GetPluggableSubModuleListCatalogByDevID(const std::string& a, const std::string& b,
                                                         std::vector<subModuleCatalog>& submodules);
    // Emptied; a, b required (Fail).
    virtual long GetBuildInModuleData(const std::string& a, const std::string& b,
                                      std::vector<moduleData>& modules);
    // Emptied; a, b required (Fail).
    virtual long GetDevicePhysicalSlots(const std::string& a, const std::string& b,
                                        std::vector<int>& slots);
    // Emptied; a, b, c required (Fail).
    virtual long GetModulePhysicalSubSlots(const std::string& a, const std::string& b,
                                           const std::string& c, std::vector<int>& subslots);
    // Emptied; a, c required (Fail).
    virtual long GetPluggableModuleSlotRelation(const std::string& a, const std::string& b,
                                                const std::string& c, std::vector<int>& slots);
    // Emptied; a, c required (Fail).
    virtual long GetPluggableSubModuleSlotRelation(const std::string& a, const std::string& b,
                                                   const std::string& c,
                                                   std::vector<subModuleSlotRelation>& relations);
    // a, b required (Fail).
    virtual long GetDapModuleInfo(const std::string& a, const std::string& b, baseInfo& info);
    // a, b, c required (Fail).
    virtual long GetModuleData(const std::string& a, const std::string& b, const std::string& c,
                               moduleData& data);
    // a, c required (Fail).
    virtual long GetSubModuleData(const std::string& a, const std::string& b, const std::string& c,
                                  moduleItem& item);
    // a, c required (Fail); emptied only once they passed.
    virtual long GetSubModuleParameter(const std::string& a, const std::string& b,
                                       const std::string& c, std::vector<parameterRecord>& records);
    // a, b required (Fail); emptied only once they passed.
    virtual long GetWriteableIMRecords(const std::string& a, const std::string& b,
                                       const std::string& c, std::vector<int>& records);
    // a, b, c required (Fail).
    virtual long GetPortSubModuleParameter(const std::string& a, const std::string& b,
                                           const std::string& c, const std::string& d,
                                           portParameter& port);
    // a, b required (Fail).
    virtual long GetSubmoduleIRTsupportType(const std::string& a, const std::string& b,
                                            supportRTType& type);
    // a, b required (Fail).
    virtual long GetSubmoduleAPI(const std::string& a, const std::string& b, int& api);
    // An empty a or c returns 0 and leaves the output as it was.
    virtual long GetModuleVirSubSlotAndAPI(const std::string& a, const std::string& b,
                                           const std::string& c,
                                           ModuleVirSubSlotAndAPI& virtualSubslot);
    // a, b required (Fail).
    virtual long GetSubmoduleParamDisallowed(const std::string& a, const std::string& b,
                                             bool& disallowed);
    // Names in the ANSI code page; the list changes only when the call
    // recorded no error.
    virtual long TavrelRefreshGsds(std::vector<std::string>& names);
    // a, b required (Fail).
    virtual long GetUnitDiagDescription(const std::string& a, const std::string& b,
                                        const std::vector<unsigned char>& bytes, AlarmData& alarm);
    // a required (Fail).
    virtual long GetChannalDiagDescription(const std::string& a, unsigned short u, bool flag,
                                           unsigned short v, unsigned short w, unsigned int k,
                                           ChannelAlarmData& alarm);
    // a required (InvalidArg).
    virtual long CalcIoDeviceUpdateTime(const std::string& a, const std::string& b, float x,
                                        std::vector<double>& times);
    // a, b, c required (InvalidArg).
    virtual long GetSubMoudleIsoParam(const std::string& a, const std::string& b,
                                      const std::string& c, isochroneMode& mode);
    // a required (InvalidArg).
    virtual long GetKeltoTemplateGSDNameForPNView(const std::string& a, bool flag,
                                                  std::string& name);
    // a required (InvalidArg).
    virtual long GetKeltoTemplateGSDVersionForWizard(const std::string& a, std::string& version);
    // b, c, d required (InvalidArg); a may be empty.
    virtual long GetSubModuleBaseInfo(const std::string& a, const std::string& b,
                                      const std::string& c, const std::string& d,
                                      ModuleDataBaseInfo& info);
    // a, b required (InvalidArg).
    virtual long IsSubmodulePROFIsafeSupported(const std::string& a, const std::string& b,
                                               bool& supported);

private:
    PNconfigGSDParser();
    ~PNconfigGSDParser();
};

}  // namespace Gsd
}  // namespace Tavrel
