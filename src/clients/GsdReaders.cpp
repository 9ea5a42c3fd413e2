// SPDX-License-Identifier: Apache-2.0
#include "GsdReaders.h"

#include "GsdFieldTable.h"

namespace Tavrel {
namespace Gsd {
namespace detail {

// Each table lists a record's JSON keys in the order they are read.

namespace {

const FieldTable<GsdDeviceInfo>& GsdDeviceInfoFields() {
    static const FieldTable<GsdDeviceInfo> table = {
        TextAt("MainFamily", &GsdDeviceInfo::MainFamily, TextForm::Local),
        TextAt("VendorName", &GsdDeviceInfo::VendorName, TextForm::Local),
        TextAt("ProductFamily", &GsdDeviceInfo::ProductFamily, TextForm::Local),
        TextAt("InfoText", &GsdDeviceInfo::InfoText, TextForm::Local),
        UIntAt("VendorIdentNumber", &GsdDeviceInfo::VendorIdentNumber),
        UIntAt("DeviceIdentNumber", &GsdDeviceInfo::DeviceIdentNumber),
    };
    return table;
}

const FieldTable<baseInfo>& BaseInfoFields() {
    static const FieldTable<baseInfo> table = {
        TextAt("GsdName", &baseInfo::GsdName),
        TextAt("GsdId", &baseInfo::GsdId),
        TextAt("Category", &baseInfo::Category, TextForm::LocalSpaces),
        TextAt("SubCategory", &baseInfo::SubCategory, TextForm::LocalSpaces),
        TextAt("Name", &baseInfo::Name, TextForm::LocalSpaces),
        TextAt("SoftwareRelease", &baseInfo::SoftwareRelease),
        TextAt("OrderNumber", &baseInfo::OrderNumber),
        TextAt("Description", &baseInfo::Description, TextForm::LocalSpaces),
    };
    return table;
}

// "IsG2" is not part of a plain device entry; only templates carry it.
const FieldTable<DeviceCatalog>& DeviceCatalogFields() {
    static const FieldTable<DeviceCatalog> table = {
        TextAt("MainFamily", &DeviceCatalog::MainFamily),
        TextAt("VendorName", &DeviceCatalog::VendorName),
        TextAt("ProductFamily", &DeviceCatalog::ProductFamily),
        TextAt("DNSCompatibleName", &DeviceCatalog::DNSCompatibleName),
        RecordAt("BaseInfo", &DeviceCatalog::BaseInfo, &ReadBaseInfo),
        EnumAt("SupportRTType", &DeviceCatalog::SupportRTType),
        UIntAt("VendorIdentNumber", &DeviceCatalog::VendorIdentNumber),
        UIntAt("DeviceIdentNumber", &DeviceCatalog::DeviceIdentNumber),
    };
    return table;
}

const FieldTable<GSDTemplateCatalog>& TemplateOnlyFields() {
    static const FieldTable<GSDTemplateCatalog> table = {
        BoolAt<GSDTemplateCatalog>("IsKeltolineTemplate", &GSDTemplateCatalog::IsKeltolineTemplate),
        BoolAt<GSDTemplateCatalog>("IsG2", &GSDTemplateCatalog::IsG2),
    };
    return table;
}

const FieldTable<moduleCatalog>& ModuleCatalogFields() {
    static const FieldTable<moduleCatalog> table = {
        RecordAt("BaseInfo", &moduleCatalog::BaseInfo, &ReadBaseInfo),
    };
    return table;
}

const FieldTable<subModuleCatalog>& SubModuleCatalogFields() {
    static const FieldTable<subModuleCatalog> table = {
        RecordAt("BaseInfo", &subModuleCatalog::BaseInfo, &ReadBaseInfo),
        EnumAt("SupportRTType", &subModuleCatalog::SupportRTType),
    };
    return table;
}

const FieldTable<subModuleSlotRelation>& SlotRelationFields() {
    static const FieldTable<subModuleSlotRelation> table = {
        TextAt("ModuleRefId", &subModuleSlotRelation::ModuleRefId),
        ListAt("Subslots", &subModuleSlotRelation::Subslots, &ReadInt),
    };
    return table;
}

const FieldTable<ModuleDataBaseInfo>& ModuleDataBaseInfoFields() {
    static const FieldTable<ModuleDataBaseInfo> table = {
        TextAt("GsdID", &ModuleDataBaseInfo::GsdID),
        TextAt("Name", &ModuleDataBaseInfo::Name, TextForm::LocalSpaces),
        TextAt("OrderNumber", &ModuleDataBaseInfo::OrderNumber),
        TextAt("FirmwareVersion", &ModuleDataBaseInfo::FirmwareVersion),
        TextAt("SoftwareVerison", &ModuleDataBaseInfo::SoftwareVerison),
        TextAt("Description", &ModuleDataBaseInfo::Description, TextForm::LocalSpaces),
        TextAt("IdentNumber", &ModuleDataBaseInfo::IdentNumber),
    };
    return table;
}

const FieldTable<ioDataInfo>& IoDataFields() {
    static const FieldTable<ioDataInfo> table = {
        IntAt("IoType", &ioDataInfo::IoType),
        IntAt("Isize", &ioDataInfo::Isize),
        IntAt("Osize", &ioDataInfo::Osize),
    };
    return table;
}

ModuleDataBaseInfo ReadInfoMember(const Json::Value& value) {
    return ReadFields(value, ModuleDataBaseInfoFields());
}

ioDataInfo ReadIoData(const Json::Value& value) {
    return ReadFields(value, IoDataFields());
}

const FieldTable<moduleItem>& ModuleItemFields() {
    static const FieldTable<moduleItem> table = {
        ObjectAt("Info", &moduleItem::Info, &ReadInfoMember),
        ObjectAt("IoData", &moduleItem::IoData, &ReadIoData),
        IntAt("Type", &moduleItem::Type),
        BoolAt("IsMandatory", &moduleItem::IsMandatory),
        IntAt("SlotNumber", &moduleItem::SlotNumber),
        TextAt("SlotName", &moduleItem::SlotName, TextForm::Local),
    };
    return table;
}

const FieldTable<moduleData>& ModuleDataFields() {
    static const FieldTable<moduleData> table = {
        TextAt("virSubmoduleRefId", &moduleData::virSubmoduleRefId),
        IntAt("virSubSlotNumber", &moduleData::virSubSlotNumber),
        RecordAt("Item", &moduleData::Item, &ReadModuleItem),
        ListAt("SubItems", &moduleData::SubItems, &ReadModuleItem, ListWhen::IsArray),
    };
    return table;
}

// "Values" maps option texts to their shown names. JsonCpp lists member names
// in ascending byte order, which fixes the order of the pairs; entries whose
// value is not a string are not options and are left out. An array or other
// non-object value makes JsonCpp throw.
void ReadValuePairs(recordDataItem& item, const Json::Value& values) {
    item.Values.clear();
    for (const std::string& name : values.getMemberNames()) {
        const Json::Value& text = values[name];
        if (text.isString()) {
            item.Values.emplace_back(name, ReadText(text, TextForm::Local));
        }
    }
}

const FieldTable<recordDataItem>& RecordDataItemFields() {
    static const FieldTable<recordDataItem> table = {
        TextAt("TextId", &recordDataItem::TextId),
        TextAt("Name", &recordDataItem::Name, TextForm::Local),
        BoolAt("IsChangeable", &recordDataItem::IsChangeable),
        IntAt("ByteOffset", &recordDataItem::ByteOffset),
        IntAt("BitOffset", &recordDataItem::BitOffset),
        IntAt("DataType", &recordDataItem::DataType),
        TextAt("DefaultValue", &recordDataItem::DefaultValue),
        TextAt("MinValue", &recordDataItem::MinValue),
        TextAt("MaxValue", &recordDataItem::MaxValue),
        Field<recordDataItem>{"Values", &ReadValuePairs},
    };
    return table;
}

// Menus hold menus: the table refers back to the menu reader, so nesting is
// followed as deep as the answer goes.
const FieldTable<menuItem>& MenuItemFields() {
    static const FieldTable<menuItem> table = {
        TextAt("Name", &menuItem::Name, TextForm::Local),
        TextAt("GsdId", &menuItem::GsdId),
        ListAt("RecordDataList", &menuItem::RecordDataList, &ReadRecordDataItem),
        ListAt("MenuItems", &menuItem::MenuItems, &ReadMenuItem),
    };
    return table;
}

const FieldTable<parameterRecord>& ParameterRecordFields() {
    static const FieldTable<parameterRecord> table = {
        IntAt("Index", &parameterRecord::Index),
        IntAt("Length", &parameterRecord::Length),
        RecordAt("MenuItem", &parameterRecord::MenuItem, &ReadMenuItem),
    };
    return table;
}

const FieldTable<transmissionValue>& TransmissionValueFields() {
    static const FieldTable<transmissionValue> table = {
        IntAt("Value", &transmissionValue::Value),
        TextAt("Description", &transmissionValue::Description),
    };
    return table;
}

transmissionValue ReadTransmissionValue(const Json::Value& value) {
    return ReadFields(value, TransmissionValueFields());
}

const FieldTable<portParameter>& PortParameterFields() {
    static const FieldTable<portParameter> table = {
        BoolAt("PortDeactivationSupported", &portParameter::PortDeactivationSupported),
        BoolAt("PTP_BoundarySupported", &portParameter::PTP_BoundarySupported),
        BoolAt("DCP_BoundarySupported", &portParameter::DCP_BoundarySupported),
        ListAt("transmissionValueList", &portParameter::transmissionValueList,
               &ReadTransmissionValue),
    };
    return table;
}

const FieldTable<AlarmData>& AlarmDataFields() {
    static const FieldTable<AlarmData> table = {
        TextAt("Description", &AlarmData::Description, TextForm::Local),
        TextAt("RefText", &AlarmData::RefText, TextForm::Local),
        TextAt("Help", &AlarmData::Help, TextForm::Local),
    };
    return table;
}

const FieldTable<ChannelAlarmData>& ChannelAlarmDataFields() {
    static const FieldTable<ChannelAlarmData> table = {
        TextAt("AlarmNameText", &ChannelAlarmData::AlarmNameText, TextForm::Local),
        TextAt("AlarmHelpText", &ChannelAlarmData::AlarmHelpText, TextForm::Local),
        TextAt("AlarmExtNameText", &ChannelAlarmData::AlarmExtNameText, TextForm::Local),
        TextAt("AlarmExtHelpText", &ChannelAlarmData::AlarmExtHelpText, TextForm::Local),
    };
    return table;
}

const FieldTable<isochroneMode>& IsochroneModeFields() {
    static const FieldTable<isochroneMode> table = {
        UIntAt("T_DC_Base", &isochroneMode::T_DC_Base),
        UIntAt("T_IO_Base", &isochroneMode::T_IO_Base),
        UIntAt("T_DC_Min", &isochroneMode::T_DC_Min),
        UIntAt("T_DC_Max", &isochroneMode::T_DC_Max),
        UIntAt("T_IO_InputMin", &isochroneMode::T_IO_InputMin),
        UIntAt("T_IO_OutputMin", &isochroneMode::T_IO_OutputMin),
        BoolAt("IsIsochroneModeRequired", &isochroneMode::IsIsochroneModeRequired),
        FloatAt("T_Cycle_MinMs", &isochroneMode::T_Cycle_MinMs),
        FloatAt("T_IO_InputMinMs", &isochroneMode::T_IO_InputMinMs),
        FloatAt("T_IO_OutputMinMs", &isochroneMode::T_IO_OutputMinMs),
    };
    return table;
}

const FieldTable<ModuleVirSubSlotAndAPI>& VirSubSlotFields() {
    static const FieldTable<ModuleVirSubSlotAndAPI> table = {
        BoolAt("isExist", &ModuleVirSubSlotAndAPI::isExist),
        IntAt("virSubslot", &ModuleVirSubSlotAndAPI::virSubslot),
        IntAt("virAPI", &ModuleVirSubSlotAndAPI::virAPI),
    };
    return table;
}

// Shape rules of the readers that judge the whole answer.
bool IsNonNullObject(const Json::Value& value) {
    return value.isObject();
}
bool IsNonNull(const Json::Value& value) {
    return !value.isNull();
}

// Reads a record when the answer passes the shape test; otherwise reports it
// once and gives the default record.
template <class Record, class Read>
Record ReadChecked(const Json::Value& value, ShapeErrorSink& sink,
                   bool (*shapeOk)(const Json::Value&), Read read) {
    if (!shapeOk(value)) {
        sink.ReportBadShape();
        return Record{};
    }
    return read(value);
}

DeviceCatalog ReadDeviceCatalog(const Json::Value& value) {
    return ReadFields(value, DeviceCatalogFields());
}

GSDTemplateCatalog ReadTemplateCatalog(const Json::Value& value) {
    GSDTemplateCatalog entry;
    ApplyFields(entry, value, DeviceCatalogFields());
    ApplyFields(entry, value, TemplateOnlyFields());
    return entry;
}

moduleCatalog ReadModuleCatalog(const Json::Value& value) {
    return ReadFields(value, ModuleCatalogFields());
}

subModuleCatalog ReadSubModuleCatalog(const Json::Value& value) {
    return ReadFields(value, SubModuleCatalogFields());
}

subModuleSlotRelation ReadSlotRelation(const Json::Value& value) {
    return ReadFields(value, SlotRelationFields());
}

moduleData ReadModuleDataFields(const Json::Value& value) {
    return ReadFields(value, ModuleDataFields());
}

parameterRecord ReadParameterRecord(const Json::Value& value) {
    return ReadFields(value, ParameterRecordFields());
}

}  // namespace

GsdDeviceInfo ReadGsdDeviceInfo(const Json::Value& value) {
    return ReadFields(value, GsdDeviceInfoFields());
}

baseInfo ReadBaseInfo(const Json::Value& value) {
    return ReadFields(value, BaseInfoFields());
}

std::vector<DeviceCatalog> ReadDeviceCatalogs(const Json::Value& value) {
    return ReadArray(value, &ReadDeviceCatalog);
}

std::vector<GSDTemplateCatalog> ReadTemplateCatalogs(const Json::Value& value) {
    return ReadArray(value, &ReadTemplateCatalog);
}

std::vector<moduleCatalog> ReadModuleCatalogs(const Json::Value& value) {
    return ReadArray(value, &ReadModuleCatalog);
}

std::vector<subModuleCatalog> ReadSubModuleCatalogs(const Json::Value& value) {
    return ReadArray(value, &ReadSubModuleCatalog);
}

std::vector<subModuleSlotRelation> ReadSlotRelations(const Json::Value& value) {
    return ReadArray(value, &ReadSlotRelation);
}

moduleItem ReadModuleItem(const Json::Value& value) {
    return ReadFields(value, ModuleItemFields());
}

recordDataItem ReadRecordDataItem(const Json::Value& value) {
    if (!value.isObject()) {
        return recordDataItem{};
    }
    return ReadFields(value, RecordDataItemFields());
}

menuItem ReadMenuItem(const Json::Value& value) {
    return ReadFields(value, MenuItemFields());
}

std::vector<parameterRecord> ReadParameterRecords(const Json::Value& value) {
    return ReadArray(value, &ReadParameterRecord);
}

ModuleDataBaseInfo ReadModuleDataBaseInfo(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<ModuleDataBaseInfo>(value, sink, &IsNonNullObject, &ReadInfoMember);
}

moduleData ReadModuleData(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<moduleData>(value, sink, &IsNonNullObject, &ReadModuleDataFields);
}

std::vector<moduleData> ReadModuleDataList(const Json::Value& value, ShapeErrorSink& sink) {
    if (!value.isArray()) {
        sink.ReportBadShape();
        return {};
    }
    return ReadArray(value, &ReadModuleDataFields);
}

moduleItem ReadSubModuleData(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<moduleItem>(value, sink, &IsNonNullObject,
                                   [](const Json::Value& v) { return ReadModuleItem(v["Item"]); });
}

portParameter ReadPortParameter(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<portParameter>(value, sink, &IsNonNull, [](const Json::Value& v) {
        return ReadFields(v, PortParameterFields());
    });
}

AlarmData ReadAlarmData(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<AlarmData>(value, sink, &IsNonNull, [](const Json::Value& v) {
        return ReadFields(v, AlarmDataFields());
    });
}

ChannelAlarmData ReadChannelAlarmData(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<ChannelAlarmData>(value, sink, &IsNonNull, [](const Json::Value& v) {
        return ReadFields(v, ChannelAlarmDataFields());
    });
}

// The service answers with the update times it can offer; "IsValid" tells
// whether the inputs made sense at all, and "Selector" holds one entry per
// candidate. Entries without a numeric "Value" are labels, not times.
std::vector<double> ReadUpdateTimes(const Json::Value& value, ShapeErrorSink& sink) {
    if (value.isNull() || !value.isMember("IsValid") || !value["IsValid"].asBool() ||
        !value.isMember("Selector") || !value["Selector"].isArray()) {
        sink.ReportBadShape();
        return {};
    }
    std::vector<double> times;
    for (const Json::Value& entry : value["Selector"]) {
        const Json::Value& time = entry["Value"];
        const Json::ValueType type = time.type();
        if (type == Json::intValue || type == Json::uintValue || type == Json::realValue) {
            times.push_back(time.asDouble());
        }
    }
    return times;
}

isochroneMode ReadIsochroneMode(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<isochroneMode>(value, sink, &IsNonNullObject, [](const Json::Value& v) {
        return ReadFields(v, IsochroneModeFields());
    });
}

ModuleVirSubSlotAndAPI ReadVirSubSlotAndAPI(const Json::Value& value, ShapeErrorSink& sink) {
    return ReadChecked<ModuleVirSubSlotAndAPI>(
        value, sink, &IsNonNullObject,
        [](const Json::Value& v) { return ReadFields(v, VirSubSlotFields()); });
}

}  // namespace detail
}  // namespace Gsd
}  // namespace Tavrel
