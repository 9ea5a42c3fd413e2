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
#include <JsonRpcClient/clients/PnConfigClient.h>
#include <JsonRpcClient/clients/PortParameter.h>
#include <JsonRpcClient/clients/SupportRTType.h>

#include <string>
#include <vector>

namespace RpcClient {

class RpcLocalSrvConfig;

namespace Tavrel {

// Typed client of the GSD catalogue service of the configuration server.
//
// Every operation sends one request and always returns a value. On failure
// it returns the default value (empty text or list, zero, false, default
// record) and leaves the cause in the error list, so callers check
// HasError() / GetLastErrCode() afterwards; an empty result alone is not a
// failure. The entries an operation may add to those of the call cycle:
//   FailureCode::InvalidData, "Invalid data: RPC return null or invalid data."
//       the result is missing or not of the shape the operation needs;
//   FailureCode::CantMarshalData, the conversion's message
//       a text could not be converted between UTF-8 and the ANSI code page.
// A result member of a JSON type that cannot be converted to the field's type
// makes JsonCpp throw; that exception leaves the operation.
//
// Texts the host passes are sent with their bytes unchanged, except the path
// of TavrelImportGsdFile, which is converted from the ANSI code page to UTF-8.
class JSONRPCCLIENT_API PnGsdClient : public PnConfigClient {
public:
    // Outcome of importing one GSD file. GsdPath and ErrorMessages are in the
    // ANSI code page; GsdName keeps the service's bytes.
    struct GsdImportResult {
        std::string GsdName;
        std::string GsdPath;
        bool IsSuccess = false;
        bool IsValid = false;
        std::vector<std::string> ErrorMessages;
    };

    // Outcome of removing one GSD file; texts as in GsdImportResult.
    struct GsdRemoveResult {
        std::string GsdName;
        std::string GsdPath;
        bool IsSuccess = false;
        std::vector<std::string> ErrorMessages;
    };

    // One installed GSD file. FilePath is in the ANSI code page; the other
    // texts keep the service's bytes (InstallDateTime is ISO 8601 UTC).
    struct GsdFileInstallCache {
        std::string GsdName;
        std::string FilePath;
        std::string InstallDateTime;
        std::string HashValueString;
    };

    // Bound to the registry's default server, or to none when no server is
    // registered (every call then fails in the call cycle, recording nothing).
    PnGsdClient();
    // Bound to the given server, which is not owned and may be null.
    PnGsdClient(RpcLocalSrvConfig* server);

    // GSD file management.
    GsdImportResult TavrelImportGsdFile(const std::string& path);
    GsdRemoveResult TavrelRemoveGsdFile(const std::string& gsdName);
    // Names in the ANSI code page. A result that is not a list gives an empty
    // list without an entry.
    std::vector<std::string> TavrelRefreshGsds();
    std::vector<GsdFileInstallCache> TavrelGetInstalledGsds();
    // Names as the service sends them. Not a list: empty, no entry.
    std::vector<std::string> GetInstalledGSDsNames();
    // The service's text; a missing result gives "" without an entry.
    std::string GetGSDPath(const std::string& gsdName);

    // Devices and catalogue.
    ::Tavrel::Gsd::GsdDeviceInfo GetGsdDeviceInfo(const std::string& a);
    std::vector<::Tavrel::Gsd::DeviceCatalog> GetDeviceCatalogs(const std::string& a);
    // Not a list: empty, no entry.
    std::vector<::Tavrel::Gsd::GSDTemplateCatalog> GetGSDTemplateCatalogs();
    std::vector<::Tavrel::Gsd::moduleCatalog> GetPluggableModuleCatalog(const std::string& a,
                                                                        const std::string& b);
    std::vector<::Tavrel::Gsd::subModuleCatalog> GetPluggableSubModuleListCatalog(
        const std::string& a, const std::string& b, const std::string& c);
    std::vector<::Tavrel::Gsd::subModuleCatalog> GetPluggableSubModuleListCatalogByDevID(
        const std::string& a, const std::string& b);
    std::vector<int> GetPluggableModuleSlotRelation(const std::string& a, const std::string& b,
                                                    const std::string& c);
    std::vector<::Tavrel::Gsd::subModuleSlotRelation> GetPluggableSubModuleSlotRelation(
        const std::string& a, const std::string& b, const std::string& c);

    // Modules and submodules.
    std::vector<::Tavrel::Gsd::moduleData> GetBuildInModuleData(const std::string& a,
                                                                const std::string& b);
    std::vector<int> GetDevicePhysicalSlots(const std::string& a, const std::string& b);
    std::vector<int> GetModulePhysicalSubSlots(const std::string& a, const std::string& b,
                                               const std::string& c);
    ::Tavrel::Gsd::baseInfo GetDapModuleInfo(const std::string& a, const std::string& b);
    ::Tavrel::Gsd::moduleData GetModuleData(const std::string& a, const std::string& b,
                                            const std::string& c);
    ::Tavrel::Gsd::moduleItem GetSubModuleData(const std::string& a, const std::string& b,
                                               const std::string& c);
    // A non-null result that is not a list gives an empty list, no entry.
    std::vector<::Tavrel::Gsd::parameterRecord> GetSubModuleParameter(const std::string& a,
                                                                      const std::string& b,
                                                                      const std::string& c);
    std::vector<int> GetWriteableIMRecords(const std::string& a, const std::string& b,
                                           const std::string& c);
    ::Tavrel::Gsd::portParameter GetPortSubModuleParameter(const std::string& a,
                                                           const std::string& b,
                                                           const std::string& c,
                                                           const std::string& d);
    ::Tavrel::Gsd::supportRTType GetSubmoduleIRTsupportType(const std::string& a,
                                                            const std::string& b);
    // The result must be a JSON boolean; anything else is invalid data.
    bool IsSubmodulePROFIsafeSupported(const std::string& a, const std::string& b);

    // Diagnosis texts. bytes go out as integers 0 to 255; u, v, w as
    // integers 0 to 65535.
    ::Tavrel::Gsd::AlarmData GetUnitDiagDescription(const std::string& a, const std::string& b,
                                                    const std::vector<unsigned char>& bytes);
    ::Tavrel::Gsd::ChannelAlarmData GetChannalDiagDescription(const std::string& a,
                                                              unsigned short u, bool flag,
                                                              unsigned short v, unsigned short w,
                                                              unsigned int k);

    // Timing. x is sent widened to double. The update times are the numeric
    // choices of a valid answer; an answer marked invalid is invalid data.
    std::vector<double> CalcIoDeviceUpdateTime(const std::string& a, const std::string& b, float x);
    ::Tavrel::Gsd::isochroneMode GetSubMoudleIsoParam(const std::string& a, const std::string& b,
                                                      const std::string& c);
    // The unsigned API number, reinterpreted as int (4294967295 gives -1).
    int GetSubmoduleAPI(const std::string& a, const std::string& b);
    ::Tavrel::Gsd::ModuleVirSubSlotAndAPI GetModuleVirSubSlotAndAPI(const std::string& a,
                                                                    const std::string& b,
                                                                    const std::string& c);
    // The result must be a JSON boolean; anything else is invalid data.
    bool GetSubmoduleParamDisallowed(const std::string& a, const std::string& b);

    // Templates. A missing result gives "" without an entry.
    std::string GetKeltoTemplateGSDNameForPNView(const std::string& a, bool flag);
    std::string GetKeltoTemplateGSDVersionForWizard(const std::string& a);

    ::Tavrel::Gsd::ModuleDataBaseInfo GetSubModuleBaseInfo(const std::string& a,
                                                           const std::string& b,
                                                           const std::string& c,
                                                           const std::string& d);

private:
    // The sequence every operation runs: encode, exchange, judge the shape,
    // read. Defined beside the operations.
    struct Operation;
};

}  // namespace Tavrel
}  // namespace RpcClient
