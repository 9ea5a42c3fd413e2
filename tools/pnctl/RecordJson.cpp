// SPDX-License-Identifier: Apache-2.0
#include "RecordJson.h"

namespace Pnctl {

using namespace Tavrel::Gsd;

Json::Value Object(std::initializer_list<Member> members) {
    Json::Value value(Json::objectValue);
    for (const Member& member : members) {
        value[member.first] = member.second;
    }
    return value;
}

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
Json::Value ToJson(const std::pair<std::string, std::string>& choice) {
    Json::Value pair(Json::arrayValue);
    pair.append(choice.first);
    pair.append(choice.second);
    return pair;
}

Json::Value ToJson(const ImportResult& r) {
    return Object({Member("GsdName", r.GsdName), Member("GsdPath", r.GsdPath),
                   Member("IsSuccess", r.IsSuccess), Member("IsValid", r.IsValid),
                   Member("ErrorMessages", ToJson(r.ErrorMessages))});
}

Json::Value ToJson(const RemoveResult& r) {
    return Object({Member("GsdName", r.GsdName), Member("GsdPath", r.GsdPath),
                   Member("IsSuccess", r.IsSuccess),
                   Member("ErrorMessages", ToJson(r.ErrorMessages))});
}

Json::Value ToJson(const InstalledGsd& g) {
    return Object({Member("GsdName", g.GsdName), Member("FilePath", g.FilePath),
                   Member("InstallDateTime", g.InstallDateTime),
                   Member("HashValueString", g.HashValueString)});
}

Json::Value ToJson(const baseInfo& i) {
    return Object({Member("GsdName", i.GsdName), Member("GsdId", i.GsdId),
                   Member("Category", i.Category), Member("SubCategory", i.SubCategory),
                   Member("Name", i.Name), Member("SoftwareRelease", i.SoftwareRelease),
                   Member("OrderNumber", i.OrderNumber), Member("Description", i.Description)});
}

Json::Value ToJson(const GsdDeviceInfo& i) {
    return Object({Member("MainFamily", i.MainFamily), Member("ProductFamily", i.ProductFamily),
                   Member("InfoText", i.InfoText), Member("VendorName", i.VendorName),
                   Member("VendorIdentNumber", i.VendorIdentNumber),
                   Member("DeviceIdentNumber", i.DeviceIdentNumber)});
}

Json::Value ToJson(const DeviceCatalog& d) {
    return Object({Member("MainFamily", d.MainFamily), Member("VendorName", d.VendorName),
                   Member("ProductFamily", d.ProductFamily),
                   Member("DNSCompatibleName", d.DNSCompatibleName),
                   Member("BaseInfo", ToJson(d.BaseInfo)),
                   Member("SupportRTType", static_cast<int>(d.SupportRTType)),
                   Member("VendorIdentNumber", d.VendorIdentNumber),
                   Member("DeviceIdentNumber", d.DeviceIdentNumber), Member("IsG2", d.IsG2),
                   Member("CatalogText", d.GetCatalogText())});
}

Json::Value ToJson(const GSDTemplateCatalog& d) {
    Json::Value value = ToJson(static_cast<const DeviceCatalog&>(d));
    value["IsKeltolineTemplate"] = d.IsKeltolineTemplate;
    value["CatalogText"] = d.GetCatalogText();
    return value;
}

Json::Value ToJson(const moduleCatalog& m) {
    return Object({Member("BaseInfo", ToJson(m.BaseInfo))});
}

Json::Value ToJson(const subModuleCatalog& s) {
    return Object({Member("BaseInfo", ToJson(s.BaseInfo)),
                   Member("SupportRTType", static_cast<int>(s.SupportRTType))});
}

Json::Value ToJson(const subModuleSlotRelation& r) {
    return Object({Member("ModuleRefId", r.ModuleRefId), Member("Subslots", ToJson(r.Subslots))});
}

Json::Value ToJson(const ModuleDataBaseInfo& i) {
    return Object(
        {Member("GsdID", i.GsdID), Member("Name", i.Name), Member("OrderNumber", i.OrderNumber),
         Member("FirmwareVersion", i.FirmwareVersion), Member("SoftwareVerison", i.SoftwareVerison),
         Member("Description", i.Description), Member("IdentNumber", i.IdentNumber)});
}

Json::Value ToJson(const ioDataInfo& io) {
    return Object(
        {Member("IoType", io.IoType), Member("Isize", io.Isize), Member("Osize", io.Osize)});
}

Json::Value ToJson(const moduleItem& m) {
    return Object({Member("IsMandatory", m.IsMandatory), Member("SlotNumber", m.SlotNumber),
                   Member("SlotName", m.SlotName), Member("Info", ToJson(m.Info)),
                   Member("IoData", ToJson(m.IoData)), Member("Type", m.Type)});
}

Json::Value ToJson(const moduleData& d) {
    return Object({Member("Item", ToJson(d.Item)), Member("virSubmoduleRefId", d.virSubmoduleRefId),
                   Member("virSubSlotNumber", d.virSubSlotNumber),
                   Member("SubItems", ToJson(d.SubItems))});
}

Json::Value ToJson(const recordDataItem& r) {
    return Object({Member("TextId", r.TextId), Member("Name", r.Name),
                   Member("IsChangeable", r.IsChangeable), Member("ByteOffset", r.ByteOffset),
                   Member("BitOffset", r.BitOffset), Member("DataType", r.DataType),
                   Member("DefaultValue", r.DefaultValue), Member("Values", ToJson(r.Values)),
                   Member("MinValue", r.MinValue), Member("MaxValue", r.MaxValue)});
}

Json::Value ToJson(const menuItem& m) {
    return Object({Member("GsdId", m.GsdId), Member("Name", m.Name),
                   Member("RecordDataList", ToJson(m.RecordDataList)),
                   Member("MenuItems", ToJson(m.MenuItems))});
}

Json::Value ToJson(const parameterRecord& r) {
    return Object({Member("Index", r.Index), Member("Length", r.Length),
                   Member("MenuItem", ToJson(r.MenuItem))});
}

Json::Value ToJson(const transmissionValue& rate) {
    return Object({Member("Value", rate.Value), Member("Description", rate.Description)});
}

Json::Value ToJson(const portParameter& p) {
    return Object({Member("PortDeactivationSupported", p.PortDeactivationSupported),
                   Member("transmissionValueList", ToJson(p.transmissionValueList)),
                   Member("DCP_BoundarySupported", p.DCP_BoundarySupported),
                   Member("PTP_BoundarySupported", p.PTP_BoundarySupported)});
}

Json::Value ToJson(const AlarmData& a) {
    return Object({Member("Description", a.Description), Member("RefText", a.RefText),
                   Member("Help", a.Help)});
}

Json::Value ToJson(const ChannelAlarmData& a) {
    return Object({Member("AlarmNameText", a.AlarmNameText),
                   Member("AlarmHelpText", a.AlarmHelpText),
                   Member("AlarmExtNameText", a.AlarmExtNameText),
                   Member("AlarmExtHelpText", a.AlarmExtHelpText)});
}

Json::Value ToJson(const isochroneMode& m) {
    return Object(
        {Member("T_DC_Base", m.T_DC_Base), Member("T_DC_Min", m.T_DC_Min),
         Member("T_DC_Max", m.T_DC_Max), Member("T_IO_Base", m.T_IO_Base),
         Member("T_IO_InputMin", m.T_IO_InputMin), Member("T_IO_OutputMin", m.T_IO_OutputMin),
         Member("IsIsochroneModeRequired", m.IsIsochroneModeRequired),
         Member("T_Cycle_MinMs", m.T_Cycle_MinMs), Member("T_IO_InputMinMs", m.T_IO_InputMinMs),
         Member("T_IO_OutputMinMs", m.T_IO_OutputMinMs)});
}

Json::Value ToJson(const ModuleVirSubSlotAndAPI& s) {
    return Object({Member("isExist", s.isExist), Member("virSubslot", s.virSubslot),
                   Member("virAPI", s.virAPI)});
}

}  // namespace Pnctl
