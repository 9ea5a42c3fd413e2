// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/clients/PnGsdClient.h>

#include <JsonRpcClient/rpc/CodePageText.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/JsonRequest.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include "GsdFieldTable.h"
#include "GsdReaders.h"

#include <json/value.h>

#include <cstdint>
#include <stdexcept>
#include <utility>

namespace RpcClient {
namespace Tavrel {

namespace Gsd = ::Tavrel::Gsd;
using Gsd::detail::ShapeErrorSink;

namespace {

const char kInvalidDataMessage[] = "Invalid data: RPC return null or invalid data.";

// What the whole "result" must look like before it is read. A wrong shape is
// invalid data; operations whose reader judges the shape itself use Any.
enum class Shape {
    Any,
    NonNull,
    Object,
    Array,
    Boolean,
};

bool HasShape(const Json::Value& result, Shape shape) {
    switch (shape) {
        case Shape::Any:
            return true;
        case Shape::NonNull:
            return !result.isNull();
        case Shape::Object:
            return result.isObject();
        case Shape::Array:
            return result.isArray();
        case Shape::Boolean:
            return result.isBool();
    }
    return false;
}

// Encoding of the arguments. The service's integers are signed, so unsigned
// shorts and bytes go out as plain JSON ints; float is widened so the value
// sent is exactly the single-precision value the host holds.
Json::Value Encode(const std::string& text) {
    return Json::Value(text);
}
Json::Value Encode(bool flag) {
    return Json::Value(flag);
}
Json::Value Encode(unsigned short number) {
    return Json::Value(static_cast<int>(number));
}
Json::Value Encode(unsigned int number) {
    return Json::Value(number);
}
Json::Value Encode(float number) {
    return Json::Value(static_cast<double>(number));
}
Json::Value Encode(const std::vector<unsigned char>& bytes) {
    Json::Value array(Json::arrayValue);
    for (unsigned char byte : bytes) {
        array.append(Json::Value(static_cast<int>(byte)));
    }
    return array;
}

// A file system path of the host, which the service expects in UTF-8.
struct HostPath {
    const std::string& path;
};
Json::Value Encode(const HostPath& host) {
    return Json::Value(AnsiToUtf8(host.path));
}

// Readers of results that are single values or lists of plain values.
struct ReadTextResult {
    std::string operator()(const Json::Value& result, ShapeErrorSink&) const {
        return result.asString();
    }
};

struct ReadIntList {
    std::vector<int> operator()(const Json::Value& result, ShapeErrorSink&) const {
        return Gsd::detail::ReadArray(result, &Gsd::detail::ReadInt);
    }
};

// Adapts a reader that needs no sink to the common call form.
template <class Result>
struct Plain {
    Result (*read)(const Json::Value&);
    Result operator()(const Json::Value& result, ShapeErrorSink&) const { return read(result); }
};

template <class Result>
Plain<Result> Unchecked(Result (*read)(const Json::Value&)) {
    return Plain<Result>{read};
}

using Gsd::detail::Field;
using Gsd::detail::FieldTable;
using Gsd::detail::ListAt;
using Gsd::detail::ListWhen;
using Gsd::detail::TextAt;
using Gsd::detail::TextForm;

// The file-management records, read by the same tables as the catalogue's.
const FieldTable<PnGsdClient::GsdImportResult>& ImportResultFields() {
    using R = PnGsdClient::GsdImportResult;
    static const FieldTable<R> table = {
        TextAt("GsdName", &R::GsdName),
        TextAt("GsdPath", &R::GsdPath, TextForm::Local),
        Gsd::detail::BoolAt("IsSuccess", &R::IsSuccess),
        Gsd::detail::BoolAt("IsValid", &R::IsValid),
        ListAt("ErrorMessages", &R::ErrorMessages, &Gsd::detail::ReadTextLocal, ListWhen::IsArray),
    };
    return table;
}

const FieldTable<PnGsdClient::GsdRemoveResult>& RemoveResultFields() {
    using R = PnGsdClient::GsdRemoveResult;
    static const FieldTable<R> table = {
        TextAt("GsdName", &R::GsdName),
        TextAt("GsdPath", &R::GsdPath, TextForm::Local),
        Gsd::detail::BoolAt("IsSuccess", &R::IsSuccess),
        ListAt("ErrorMessages", &R::ErrorMessages, &Gsd::detail::ReadTextLocal, ListWhen::IsArray),
    };
    return table;
}

const FieldTable<PnGsdClient::GsdFileInstallCache>& InstallCacheFields() {
    using R = PnGsdClient::GsdFileInstallCache;
    static const FieldTable<R> table = {
        TextAt("GsdName", &R::GsdName),
        TextAt("FilePath", &R::FilePath, TextForm::Local),
        TextAt("InstallDateTime", &R::InstallDateTime),
        TextAt("HashValueString", &R::HashValueString),
    };
    return table;
}

PnGsdClient::GsdImportResult ReadImportResult(const Json::Value& value) {
    return Gsd::detail::ReadFields(value, ImportResultFields());
}

PnGsdClient::GsdRemoveResult ReadRemoveResult(const Json::Value& value) {
    return Gsd::detail::ReadFields(value, RemoveResultFields());
}

PnGsdClient::GsdFileInstallCache ReadInstallCache(const Json::Value& value) {
    return Gsd::detail::ReadFields(value, InstallCacheFields());
}

}  // namespace

struct PnGsdClient::Operation {
    // Bad shapes found by a reader land in the client's error list.
    struct ErrorListSink final : ShapeErrorSink {
        explicit ErrorListSink(PnGsdClient& owner) : client(owner) {}
        void ReportBadShape() override {
            client.PushError(FailureCode::InvalidData, kInvalidDataMessage);
        }
        PnGsdClient& client;
    };

    // Runs one operation. A failed exchange has already recorded its cause,
    // so only the shape check and the text conversions add entries here.
    // JsonCpp's exceptions are not std::runtime_error and pass through.
    template <class Result, class Reader, class... Args>
    static Result Run(PnGsdClient& client, const char* method, Shape shape, Reader read,
                      const Args&... args) {
        try {
            JsonResponse response;
            JsonRequest request(method, false);
            Json::Value& params = request.GetParams();
            (params.append(Encode(args)), ...);
            if (client.Request(request, response) < 0) {
                return Result{};
            }
            const Json::Value result = response.TakeResult();
            if (!HasShape(result, shape)) {
                client.PushError(FailureCode::InvalidData, kInvalidDataMessage);
                return Result{};
            }
            ErrorListSink sink(client);
            return read(result, sink);
        } catch (const std::runtime_error& error) {
            client.PushError(FailureCode::CantMarshalData, error.what());
            return Result{};
        }
    }
};

PnGsdClient::PnGsdClient() = default;

PnGsdClient::PnGsdClient(RpcLocalSrvConfig* server) : PnConfigClient(server) {}

PnGsdClient::GsdImportResult PnGsdClient::TavrelImportGsdFile(const std::string& path) {
    return Operation::Run<GsdImportResult>(*this, "TavrelImportGsdFile", Shape::Object,
                                           Unchecked(&ReadImportResult), HostPath{path});
}

PnGsdClient::GsdRemoveResult PnGsdClient::TavrelRemoveGsdFile(const std::string& gsdName) {
    return Operation::Run<GsdRemoveResult>(*this, "TavrelRemoveGsdFile", Shape::Object,
                                           Unchecked(&ReadRemoveResult), gsdName);
}

std::vector<std::string> PnGsdClient::TavrelRefreshGsds() {
    return Operation::Run<std::vector<std::string>>(
        *this, "TavrelRefreshGsds", Shape::Any, [](const Json::Value& result, ShapeErrorSink&) {
            return Gsd::detail::ReadArray(result, &Gsd::detail::ReadTextLocal);
        });
}

std::vector<PnGsdClient::GsdFileInstallCache> PnGsdClient::TavrelGetInstalledGsds() {
    return Operation::Run<std::vector<GsdFileInstallCache>>(
        *this, "TavrelGetInstalledGsds", Shape::Any,
        [](const Json::Value& result, ShapeErrorSink&) {
            return Gsd::detail::ReadArray(result, &ReadInstallCache);
        });
}

std::vector<std::string> PnGsdClient::GetInstalledGSDsNames() {
    return Operation::Run<std::vector<std::string>>(
        *this, "GetInstalledGSDsNames", Shape::Any, [](const Json::Value& result, ShapeErrorSink&) {
            return Gsd::detail::ReadArray(result, &Gsd::detail::ReadTextAsReceived);
        });
}

std::string PnGsdClient::GetGSDPath(const std::string& gsdName) {
    return Operation::Run<std::string>(*this, "GetGSDPath", Shape::Any, ReadTextResult{}, gsdName);
}

Gsd::GsdDeviceInfo PnGsdClient::GetGsdDeviceInfo(const std::string& a) {
    return Operation::Run<Gsd::GsdDeviceInfo>(*this, "GetGsdDeviceInfo", Shape::Object,
                                              Unchecked(&Gsd::detail::ReadGsdDeviceInfo), a);
}

std::vector<Gsd::DeviceCatalog> PnGsdClient::GetDeviceCatalogs(const std::string& a) {
    return Operation::Run<std::vector<Gsd::DeviceCatalog>>(
        *this, "GetDeviceCatalogs", Shape::Array, Unchecked(&Gsd::detail::ReadDeviceCatalogs), a);
}

std::vector<Gsd::GSDTemplateCatalog> PnGsdClient::GetGSDTemplateCatalogs() {
    return Operation::Run<std::vector<Gsd::GSDTemplateCatalog>>(
        *this, "GetGSDTemplateCatalogs", Shape::Any, Unchecked(&Gsd::detail::ReadTemplateCatalogs));
}

std::vector<Gsd::moduleCatalog> PnGsdClient::GetPluggableModuleCatalog(const std::string& a,
                                                                       const std::string& b) {
    return Operation::Run<std::vector<Gsd::moduleCatalog>>(
        *this, "GetPluggableModuleCatalog", Shape::Array,
        Unchecked(&Gsd::detail::ReadModuleCatalogs), a, b);
}

std::vector<Gsd::subModuleCatalog> PnGsdClient::GetPluggableSubModuleListCatalog(
    const std::string& a, const std::string& b, const std::string& c) {
    return Operation::Run<std::vector<Gsd::subModuleCatalog>>(
        *this, "GetPluggableSubModuleListCatalog", Shape::Array,
        Unchecked(&Gsd::detail::ReadSubModuleCatalogs), a, b, c);
}

std::vector<Gsd::subModuleCatalog> PnGsdClient::GetPluggableSubModuleListCatalogByDevID(
    const std::string& a, const std::string& b) {
    return Operation::Run<std::vector<Gsd::subModuleCatalog>>(
        *this, "GetDeviceSubModuleListCatalog", Shape::Array,
        Unchecked(&Gsd::detail::ReadSubModuleCatalogs), a, b);
}

std::vector<int> PnGsdClient::GetPluggableModuleSlotRelation(const std::string& a,
                                                             const std::string& b,
                                                             const std::string& c) {
    return Operation::Run<std::vector<int>>(*this, "GetPluggableModuleSlotRelation", Shape::Array,
                                            ReadIntList{}, a, b, c);
}

std::vector<Gsd::subModuleSlotRelation> PnGsdClient::GetPluggableSubModuleSlotRelation(
    const std::string& a, const std::string& b, const std::string& c) {
    return Operation::Run<std::vector<Gsd::subModuleSlotRelation>>(
        *this, "GetPluggableSubModuleSlotRelation", Shape::Array,
        Unchecked(&Gsd::detail::ReadSlotRelations), a, b, c);
}

std::vector<Gsd::moduleData> PnGsdClient::GetBuildInModuleData(const std::string& a,
                                                               const std::string& b) {
    return Operation::Run<std::vector<Gsd::moduleData>>(*this, "GetBuildInModuleData", Shape::Any,
                                                        &Gsd::detail::ReadModuleDataList, a, b);
}

std::vector<int> PnGsdClient::GetDevicePhysicalSlots(const std::string& a, const std::string& b) {
    return Operation::Run<std::vector<int>>(*this, "GetDevicePhysicalSlots", Shape::Array,
                                            ReadIntList{}, a, b);
}

std::vector<int> PnGsdClient::GetModulePhysicalSubSlots(const std::string& a, const std::string& b,
                                                        const std::string& c) {
    return Operation::Run<std::vector<int>>(*this, "GetModulePhysicalSlots", Shape::Array,
                                            ReadIntList{}, a, b, c);
}

Gsd::baseInfo PnGsdClient::GetDapModuleInfo(const std::string& a, const std::string& b) {
    return Operation::Run<Gsd::baseInfo>(*this, "GetDapModuleInfo", Shape::Object,
                                         Unchecked(&Gsd::detail::ReadBaseInfo), a, b);
}

Gsd::moduleData PnGsdClient::GetModuleData(const std::string& a, const std::string& b,
                                           const std::string& c) {
    return Operation::Run<Gsd::moduleData>(*this, "GetModuleData", Shape::Any,
                                           &Gsd::detail::ReadModuleData, a, b, c);
}

Gsd::moduleItem PnGsdClient::GetSubModuleData(const std::string& a, const std::string& b,
                                              const std::string& c) {
    return Operation::Run<Gsd::moduleItem>(*this, "GetSubModuleData", Shape::Any,
                                           &Gsd::detail::ReadSubModuleData, a, b, c);
}

std::vector<Gsd::parameterRecord> PnGsdClient::GetSubModuleParameter(const std::string& a,
                                                                     const std::string& b,
                                                                     const std::string& c) {
    return Operation::Run<std::vector<Gsd::parameterRecord>>(
        *this, "GetSubMouleParameter", Shape::NonNull,
        Unchecked(&Gsd::detail::ReadParameterRecords), a, b, c);
}

std::vector<int> PnGsdClient::GetWriteableIMRecords(const std::string& a, const std::string& b,
                                                    const std::string& c) {
    return Operation::Run<std::vector<int>>(*this, "GetWriteableIMRecords", Shape::Array,
                                            ReadIntList{}, a, b, c);
}

Gsd::portParameter PnGsdClient::GetPortSubModuleParameter(const std::string& a,
                                                          const std::string& b,
                                                          const std::string& c,
                                                          const std::string& d) {
    return Operation::Run<Gsd::portParameter>(*this, "GetPortParameter", Shape::Any,
                                              &Gsd::detail::ReadPortParameter, a, b, c, d);
}

Gsd::supportRTType PnGsdClient::GetSubmoduleIRTsupportType(const std::string& a,
                                                           const std::string& b) {
    return Operation::Run<Gsd::supportRTType>(
        *this, "GetSubmoduleIRTsupportType", Shape::NonNull,
        [](const Json::Value& result, ShapeErrorSink&) {
            return static_cast<Gsd::supportRTType>(result.asInt());
        },
        a, b);
}

bool PnGsdClient::IsSubmodulePROFIsafeSupported(const std::string& a, const std::string& b) {
    return Operation::Run<bool>(
        *this, "IsSubmodulePROFIsafeSupported", Shape::Boolean,
        [](const Json::Value& result, ShapeErrorSink&) { return result.asBool(); }, a, b);
}

Gsd::AlarmData PnGsdClient::GetUnitDiagDescription(const std::string& a, const std::string& b,
                                                   const std::vector<unsigned char>& bytes) {
    return Operation::Run<Gsd::AlarmData>(*this, "GetUnitDiagDescription", Shape::Any,
                                          &Gsd::detail::ReadAlarmData, a, b, bytes);
}

Gsd::ChannelAlarmData PnGsdClient::GetChannalDiagDescription(const std::string& a, unsigned short u,
                                                             bool flag, unsigned short v,
                                                             unsigned short w, unsigned int k) {
    return Operation::Run<Gsd::ChannelAlarmData>(*this, "GetChannalDiagDescription", Shape::Any,
                                                 &Gsd::detail::ReadChannelAlarmData, a, u, flag, v,
                                                 w, k);
}

std::vector<double> PnGsdClient::CalcIoDeviceUpdateTime(const std::string& a, const std::string& b,
                                                        float x) {
    return Operation::Run<std::vector<double>>(*this, "CalcIoDeviceUpdateTime", Shape::Any,
                                               &Gsd::detail::ReadUpdateTimes, a, b, x);
}

Gsd::isochroneMode PnGsdClient::GetSubMoudleIsoParam(const std::string& a, const std::string& b,
                                                     const std::string& c) {
    return Operation::Run<Gsd::isochroneMode>(*this, "GetSubMoudleIsoParam", Shape::Any,
                                              &Gsd::detail::ReadIsochroneMode, a, b, c);
}

int PnGsdClient::GetSubmoduleAPI(const std::string& a, const std::string& b) {
    // API numbers are unsigned 32-bit on the wire; the host keeps them in an
    // int, so the top half of the range reads as negative numbers.
    return Operation::Run<int>(
        *this, "GetSubmoduleAPI", Shape::NonNull,
        [](const Json::Value& result, ShapeErrorSink&) {
            return static_cast<int>(static_cast<std::int32_t>(result.asUInt()));
        },
        a, b);
}

Gsd::ModuleVirSubSlotAndAPI PnGsdClient::GetModuleVirSubSlotAndAPI(const std::string& a,
                                                                   const std::string& b,
                                                                   const std::string& c) {
    return Operation::Run<Gsd::ModuleVirSubSlotAndAPI>(*this, "GetModuleVirSubSlotAndAPI",
                                                       Shape::Any,
                                                       &Gsd::detail::ReadVirSubSlotAndAPI, a, b, c);
}

bool PnGsdClient::GetSubmoduleParamDisallowed(const std::string& a, const std::string& b) {
    return Operation::Run<bool>(
        *this, "GetSubmoduleParamDisallowed", Shape::Boolean,
        [](const Json::Value& result, ShapeErrorSink&) { return result.asBool(); }, a, b);
}

std::string PnGsdClient::GetKeltoTemplateGSDNameForPNView(const std::string& a, bool flag) {
    return Operation::Run<std::string>(*this, "GetKeltoTemplateGSDNameForPNView", Shape::Any,
                                       ReadTextResult{}, a, flag);
}

std::string PnGsdClient::GetKeltoTemplateGSDVersionForWizard(const std::string& a) {
    return Operation::Run<std::string>(*this, "GetKeltoTemplateGSDVersionForWizard", Shape::Any,
                                       ReadTextResult{}, a);
}

Gsd::ModuleDataBaseInfo PnGsdClient::GetSubModuleBaseInfo(const std::string& a,
                                                          const std::string& b,
                                                          const std::string& c,
                                                          const std::string& d) {
    return Operation::Run<Gsd::ModuleDataBaseInfo>(*this, "GetSubModuleBaseInfo", Shape::Any,
                                                   &Gsd::detail::ReadModuleDataBaseInfo, a, b, c,
                                                   d);
}

}  // namespace Tavrel
}  // namespace RpcClient
