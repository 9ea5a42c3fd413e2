// SPDX-License-Identifier: Apache-2.0
#pragma once

// The catalogue's records as JSON, for --json output and `gsd query`. Field
// names are the records' own member names.

#include <JsonRpcClient/clients/PNconfigGSDParser.h>
#include <JsonRpcClient/clients/PnGsdClient.h>

#include <json/value.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace Pnctl {

using ImportResult = RpcClient::Tavrel::PnGsdClient::GsdImportResult;
using RemoveResult = RpcClient::Tavrel::PnGsdClient::GsdRemoveResult;
using InstalledGsd = RpcClient::Tavrel::PnGsdClient::GsdFileInstallCache;

// An object holding the given members: a record written out field by field.
using Member = std::pair<const char*, Json::Value>;
Json::Value Object(std::initializer_list<Member> members);

Json::Value ToJson(const std::string& text);
Json::Value ToJson(int value);
Json::Value ToJson(bool value);
Json::Value ToJson(double value);
Json::Value ToJson(const std::pair<std::string, std::string>& choice);
Json::Value ToJson(const ImportResult& result);
Json::Value ToJson(const RemoveResult& result);
Json::Value ToJson(const InstalledGsd& installed);
Json::Value ToJson(const Tavrel::Gsd::baseInfo& info);
Json::Value ToJson(const Tavrel::Gsd::GsdDeviceInfo& info);
Json::Value ToJson(const Tavrel::Gsd::DeviceCatalog& device);
Json::Value ToJson(const Tavrel::Gsd::GSDTemplateCatalog& device);
Json::Value ToJson(const Tavrel::Gsd::moduleCatalog& module);
Json::Value ToJson(const Tavrel::Gsd::subModuleCatalog& submodule);
Json::Value ToJson(const Tavrel::Gsd::subModuleSlotRelation& relation);
Json::Value ToJson(const Tavrel::Gsd::ModuleDataBaseInfo& info);
Json::Value ToJson(const Tavrel::Gsd::ioDataInfo& io);
Json::Value ToJson(const Tavrel::Gsd::moduleItem& item);
Json::Value ToJson(const Tavrel::Gsd::moduleData& data);
Json::Value ToJson(const Tavrel::Gsd::recordDataItem& item);
Json::Value ToJson(const Tavrel::Gsd::menuItem& menu);
Json::Value ToJson(const Tavrel::Gsd::parameterRecord& record);
Json::Value ToJson(const Tavrel::Gsd::transmissionValue& rate);
Json::Value ToJson(const Tavrel::Gsd::portParameter& port);
Json::Value ToJson(const Tavrel::Gsd::AlarmData& alarm);
Json::Value ToJson(const Tavrel::Gsd::ChannelAlarmData& alarm);
Json::Value ToJson(const Tavrel::Gsd::isochroneMode& mode);
Json::Value ToJson(const Tavrel::Gsd::ModuleVirSubSlotAndAPI& subslot);

template <typename T>
Json::Value ToJson(const std::vector<T>& list) {
    Json::Value array(Json::arrayValue);
    for (const T& item : list) {
        array.append(ToJson(item));
    }
    return array;
}

}  // namespace Pnctl
