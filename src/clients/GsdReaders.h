// SPDX-License-Identifier: Apache-2.0
#pragma once

// Readers that turn the catalogue service's JSON answers into the GSD records.
// Every reader starts from a default record and takes an absent member as
// empty, zero or false. Text conversion failures raise std::runtime_error and
// JsonCpp's own exceptions (a value of the wrong JSON type) pass through; the
// client turns the former into an error entry and lets the latter go.

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

#include <json/value.h>

#include <vector>

namespace Tavrel {
namespace Gsd {
namespace detail {

// Receives the report of an answer whose overall shape is wrong. The client
// records it as an invalid-data entry in its error list.
class ShapeErrorSink {
public:
    virtual void ReportBadShape() = 0;

protected:
    ~ShapeErrorSink() = default;
};

// Device and catalogue records. The list readers give an empty list for a
// value that is not an array.
GsdDeviceInfo ReadGsdDeviceInfo(const Json::Value& value);
baseInfo ReadBaseInfo(const Json::Value& value);
std::vector<DeviceCatalog> ReadDeviceCatalogs(const Json::Value& value);
std::vector<GSDTemplateCatalog> ReadTemplateCatalogs(const Json::Value& value);
std::vector<moduleCatalog> ReadModuleCatalogs(const Json::Value& value);
std::vector<subModuleCatalog> ReadSubModuleCatalogs(const Json::Value& value);
std::vector<subModuleSlotRelation> ReadSlotRelations(const Json::Value& value);

// Module, parameter and diagnosis records that need no shape of their own.
moduleItem ReadModuleItem(const Json::Value& value);
recordDataItem ReadRecordDataItem(const Json::Value& value);
menuItem ReadMenuItem(const Json::Value& value);
std::vector<parameterRecord> ReadParameterRecords(const Json::Value& value);

// Readers that check the answer's shape themselves: on a bad shape they
// report to the sink once and return the default record or an empty list.
ModuleDataBaseInfo ReadModuleDataBaseInfo(const Json::Value& value, ShapeErrorSink& sink);
moduleData ReadModuleData(const Json::Value& value, ShapeErrorSink& sink);
std::vector<moduleData> ReadModuleDataList(const Json::Value& value, ShapeErrorSink& sink);
moduleItem ReadSubModuleData(const Json::Value& value, ShapeErrorSink& sink);
portParameter ReadPortParameter(const Json::Value& value, ShapeErrorSink& sink);
AlarmData ReadAlarmData(const Json::Value& value, ShapeErrorSink& sink);
ChannelAlarmData ReadChannelAlarmData(const Json::Value& value, ShapeErrorSink& sink);
std::vector<double> ReadUpdateTimes(const Json::Value& value, ShapeErrorSink& sink);
isochroneMode ReadIsochroneMode(const Json::Value& value, ShapeErrorSink& sink);
ModuleVirSubSlotAndAPI ReadVirSubSlotAndAPI(const Json::Value& value, ShapeErrorSink& sink);

}  // namespace detail
}  // namespace Gsd
}  // namespace Tavrel
