// SPDX-License-Identifier: Apache-2.0
#include "RecordJson.h"

namespace Pnctl {

namespace {

Json::Value Strings(const std::vector<std::string>& texts) {
    Json::Value array(Json::arrayValue);
    for (const std::string& text : texts) {
        array.append(text);
    }
    return array;
}

Json::Value Ints(const std::vector<int>& numbers) {
    Json::Value array(Json::arrayValue);
    for (int number : numbers) {
        array.append(number);
    }
    return array;
}

Json::Value ToJson(const Tavrel::Gsd::recordDataItem& item) {
    Json::Value value(Json::objectValue);
    value["TextId"] = item.TextId;
    value["Name"] = item.Name;
    value["IsChangeable"] = item.IsChangeable;
    value["ByteOffset"] = item.ByteOffset;
    value["BitOffset"] = item.BitOffset;
    value["DataType"] = item.DataType;
    value["DefaultValue"] = item.DefaultValue;
    Json::Value choices(Json::arrayValue);
    for (const auto& choice : item.Values) {
        Json::Value pair(Json::arrayValue);
        pair.append(choice.first);
        pair.append(choice.second);
        choices.append(pair);
    }
    value["Values"] = choices;
    value["MinValue"] = item.MinValue;
    value["MaxValue"] = item.MaxValue;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::menuItem& menu) {
    Json::Value value(Json::objectValue);
    value["GsdId"] = menu.GsdId;
    value["Name"] = menu.Name;
    Json::Value items(Json::arrayValue);
    for (const auto& item : menu.RecordDataList) {
        items.append(ToJson(item));
    }
    value["RecordDataList"] = items;
    Json::Value submenus(Json::arrayValue);
    for (const auto& submenu : menu.MenuItems) {
        submenus.append(ToJson(submenu));
    }
    value["MenuItems"] = submenus;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::ioDataInfo& io) {
    Json::Value value(Json::objectValue);
    value["IoType"] = io.IoType;
    value["Isize"] = io.Isize;
    value["Osize"] = io.Osize;
    return value;
}

}  // namespace

Json::Value ToJson(const std::string& text) {
    return Json::Value(text);
}
Json::Value ToJson(int value) {
    return Json::Value(value);
}
Json::Value ToJson(bool value) {
    return Json::Value(value);
}
Json::Value ToJson(double value) {
    return Json::Value(value);
}

Json::Value ToJson(const ImportResult& result) {
    Json::Value value(Json::objectValue);
    value["GsdName"] = result.GsdName;
    value["GsdPath"] = result.GsdPath;
    value["IsSuccess"] = result.IsSuccess;
    value["IsValid"] = result.IsValid;
    value["ErrorMessages"] = Strings(result.ErrorMessages);
    return value;
}

Json::Value ToJson(const RemoveResult& result) {
    Json::Value value(Json::objectValue);
    value["GsdName"] = result.GsdName;
    value["GsdPath"] = result.GsdPath;
    value["IsSuccess"] = result.IsSuccess;
    value["ErrorMessages"] = Strings(result.ErrorMessages);
    return value;
}

Json::Value ToJson(const InstalledGsd& installed) {
    Json::Value value(Json::objectValue);
    value["GsdName"] = installed.GsdName;
    value["FilePath"] = installed.FilePath;
    value["InstallDateTime"] = installed.InstallDateTime;
    value["HashValueString"] = installed.HashValueString;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::baseInfo& info) {
    Json::Value value(Json::objectValue);
    value["GsdName"] = info.GsdName;
    value["GsdId"] = info.GsdId;
    value["Category"] = info.Category;
    value["SubCategory"] = info.SubCategory;
    value["Name"] = info.Name;
    value["SoftwareRelease"] = info.SoftwareRelease;
    value["OrderNumber"] = info.OrderNumber;
    value["Description"] = info.Description;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::GsdDeviceInfo& info) {
    Json::Value value(Json::objectValue);
    value["MainFamily"] = info.MainFamily;
    value["ProductFamily"] = info.ProductFamily;
    value["InfoText"] = info.InfoText;
    value["VendorName"] = info.VendorName;
    value["VendorIdentNumber"] = info.VendorIdentNumber;
    value["DeviceIdentNumber"] = info.DeviceIdentNumber;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::DeviceCatalog& device) {
    Json::Value value(Json::objectValue);
    value["MainFamily"] = device.MainFamily;
    value["VendorName"] = device.VendorName;
    value["ProductFamily"] = device.ProductFamily;
    value["DNSCompatibleName"] = device.DNSCompatibleName;
    value["BaseInfo"] = ToJson(device.BaseInfo);
    value["SupportRTType"] = static_cast<int>(device.SupportRTType);
    value["VendorIdentNumber"] = device.VendorIdentNumber;
    value["DeviceIdentNumber"] = device.DeviceIdentNumber;
    value["IsG2"] = device.IsG2;
    value["CatalogText"] = device.GetCatalogText();
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::GSDTemplateCatalog& device) {
    Json::Value value = ToJson(static_cast<const Tavrel::Gsd::DeviceCatalog&>(device));
    value["IsKeltolineTemplate"] = device.IsKeltolineTemplate;
    value["CatalogText"] = device.GetCatalogText();
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::moduleCatalog& module) {
    Json::Value value(Json::objectValue);
    value["BaseInfo"] = ToJson(module.BaseInfo);
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::subModuleCatalog& submodule) {
    Json::Value value(Json::objectValue);
    value["BaseInfo"] = ToJson(submodule.BaseInfo);
    value["SupportRTType"] = static_cast<int>(submodule.SupportRTType);
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::subModuleSlotRelation& relation) {
    Json::Value value(Json::objectValue);
    value["ModuleRefId"] = relation.ModuleRefId;
    value["Subslots"] = Ints(relation.Subslots);
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::ModuleDataBaseInfo& info) {
    Json::Value value(Json::objectValue);
    value["GsdID"] = info.GsdID;
    value["Name"] = info.Name;
    value["OrderNumber"] = info.OrderNumber;
    value["FirmwareVersion"] = info.FirmwareVersion;
    value["SoftwareVerison"] = info.SoftwareVerison;
    value["Description"] = info.Description;
    value["IdentNumber"] = info.IdentNumber;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::moduleItem& item) {
    Json::Value value(Json::objectValue);
    value["IsMandatory"] = item.IsMandatory;
    value["SlotNumber"] = item.SlotNumber;
    value["SlotName"] = item.SlotName;
    value["Info"] = ToJson(item.Info);
    value["IoData"] = ToJson(item.IoData);
    value["Type"] = item.Type;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::moduleData& data) {
    Json::Value value(Json::objectValue);
    value["Item"] = ToJson(data.Item);
    value["virSubmoduleRefId"] = data.virSubmoduleRefId;
    value["virSubSlotNumber"] = data.virSubSlotNumber;
    value["SubItems"] = ToJson(data.SubItems);
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::parameterRecord& record) {
    Json::Value value(Json::objectValue);
    value["Index"] = record.Index;
    value["Length"] = record.Length;
    value["MenuItem"] = ToJson(record.MenuItem);
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::portParameter& port) {
    Json::Value value(Json::objectValue);
    value["PortDeactivationSupported"] = port.PortDeactivationSupported;
    Json::Value rates(Json::arrayValue);
    for (const auto& rate : port.transmissionValueList) {
        Json::Value entry(Json::objectValue);
        entry["Value"] = rate.Value;
        entry["Description"] = rate.Description;
        rates.append(entry);
    }
    value["transmissionValueList"] = rates;
    value["DCP_BoundarySupported"] = port.DCP_BoundarySupported;
    value["PTP_BoundarySupported"] = port.PTP_BoundarySupported;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::AlarmData& alarm) {
    Json::Value value(Json::objectValue);
    value["Description"] = alarm.Description;
    value["RefText"] = alarm.RefText;
    value["Help"] = alarm.Help;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::ChannelAlarmData& alarm) {
    Json::Value value(Json::objectValue);
    value["AlarmNameText"] = alarm.AlarmNameText;
    value["AlarmHelpText"] = alarm.AlarmHelpText;
    value["AlarmExtNameText"] = alarm.AlarmExtNameText;
    value["AlarmExtHelpText"] = alarm.AlarmExtHelpText;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::isochroneMode& mode) {
    Json::Value value(Json::objectValue);
    value["T_DC_Base"] = mode.T_DC_Base;
    value["T_DC_Min"] = mode.T_DC_Min;
    value["T_DC_Max"] = mode.T_DC_Max;
    value["T_IO_Base"] = mode.T_IO_Base;
    value["T_IO_InputMin"] = mode.T_IO_InputMin;
    value["T_IO_OutputMin"] = mode.T_IO_OutputMin;
    value["IsIsochroneModeRequired"] = mode.IsIsochroneModeRequired;
    value["T_Cycle_MinMs"] = mode.T_Cycle_MinMs;
    value["T_IO_InputMinMs"] = mode.T_IO_InputMinMs;
    value["T_IO_OutputMinMs"] = mode.T_IO_OutputMinMs;
    return value;
}

Json::Value ToJson(const Tavrel::Gsd::ModuleVirSubSlotAndAPI& subslot) {
    Json::Value value(Json::objectValue);
    value["isExist"] = subslot.isExist;
    value["virSubslot"] = subslot.virSubslot;
    value["virAPI"] = subslot.virAPI;
    return value;
}

}  // namespace Pnctl
