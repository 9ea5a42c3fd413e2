// SPDX-License-Identifier: Apache-2.0
#include "GsdReaders.h"

#include "GsdFieldTable.h"
#include "GsdWireKeys.h"

namespace Tavrel {
namespace Gsd {
namespace detail {

namespace Key = ::GsdWire::Key;

// Each table lists a record's JSON keys in the order they are read.

namespace {

const FieldTable<GsdDeviceInfo>& GsdDeviceInfoFields() {
    static const FieldTable<GsdDeviceInfo> table = {
        TextAt(Key::MainFamily, &GsdDeviceInfo::MainFamily, TextForm::Local),
        TextAt(Key::VendorName, &GsdDeviceInfo::VendorName, TextForm::Local),
        TextAt(Key::ProductFamily, &GsdDeviceInfo::ProductFamily, TextForm::Local),
        TextAt(Key::InfoText, &GsdDeviceInfo::InfoText, TextForm::Local),
        UIntAt(Key::VendorIdentNumber, &GsdDeviceInfo::VendorIdentNumber),
        UIntAt(Key::DeviceIdentNumber, &GsdDeviceInfo::DeviceIdentNumber),
    };
    return table;
}

const FieldTable<baseInfo>& BaseInfoFields() {
    static const FieldTable<baseInfo> table = {
        TextAt(Key::GsdName, &baseInfo::GsdName),
        TextAt(Key::GsdId, &baseInfo::GsdId),
        TextAt(Key::Category, &baseInfo::Category, TextForm::LocalSpaces),
        TextAt(Key::SubCategory, &baseInfo::SubCategory, TextForm::LocalSpaces),
        TextAt(Key::Name, &baseInfo::Name, TextForm::LocalSpaces),
        TextAt(Key::SoftwareRelease, &baseInfo::SoftwareRelease),
        TextAt(Key::OrderNumber, &baseInfo::OrderNumber),
        TextAt(Key::Description, &baseInfo::Description, TextForm::LocalSpaces),
    };
    return table;
}

// "IsG2" is not part of a plain device entry; only templates carry it.
const FieldTable<DeviceCatalog>& DeviceCatalogFields() {
    static const FieldTable<DeviceCatalog> table = {
        TextAt(Key::MainFamily, &DeviceCatalog::MainFamily),
        TextAt(Key::VendorName, &DeviceCatalog::VendorName),
        TextAt(Key::ProductFamily, &DeviceCatalog::ProductFamily),
        TextAt(Key::DNSCompatibleName, &DeviceCatalog::DNSCompatibleName),
        RecordAt(Key::BaseInfo, &DeviceCatalog::BaseInfo, &ReadBaseInfo),
        EnumAt(Key::SupportRTType, &DeviceCatalog::SupportRTType),
        UIntAt(Key::VendorIdentNumber, &DeviceCatalog::VendorIdentNumber),
        UIntAt(Key::DeviceIdentNumber, &DeviceCatalog::DeviceIdentNumber),
    };
    return table;
}

const FieldTable<GSDTemplateCatalog>& TemplateOnlyFields() {
    static const FieldTable<GSDTemplateCatalog> table = {
        BoolAt<GSDTemplateCatalog>(Key::IsKeltolineTemplate,
                                   &GSDTemplateCatalog::IsKeltolineTemplate),
        BoolAt<GSDTemplateCatalog>(Key::IsG2, &GSDTemplateCatalog::IsG2),
    };
    return table;
}

const FieldTable<moduleCatalog>& ModuleCatalogFields() {
    static const FieldTable<moduleCatalog> table = {
        RecordAt(Key::BaseInfo, &moduleCatalog::BaseInfo, &ReadBaseInfo),
    };
    return table;
}

const FieldTable<subModuleCatalog>& SubModuleCatalogFields() {
    static const FieldTable<subModuleCatalog> table = {
        RecordAt(Key::BaseInfo, &subModuleCatalog::BaseInfo, &ReadBaseInfo),
        EnumAt(Key::SupportRTType, &subModuleCatalog::SupportRTType),
    };
    return table;
}

const FieldTable<subModuleSlotRelation>& SlotRelationFields() {
    static const FieldTable<subModuleSlotRelation> table = {
        TextAt(Key::ModuleRefId, &subModuleSlotRelation::ModuleRefId),
        ListAt(Key::Subslots, &subModuleSlotRelation::Subslots, &ReadInt),
    };
    return table;
}

const FieldTable<ModuleDataBaseInfo>& ModuleDataBaseInfoFields() {
    static const FieldTable<ModuleDataBaseInfo> table = {
        TextAt(Key::GsdID, &ModuleDataBaseInfo::GsdID),
        TextAt(Key::Name, &ModuleDataBaseInfo::Name, TextForm::LocalSpaces),
        TextAt(Key::OrderNumber, &ModuleDataBaseInfo::OrderNumber),
        TextAt(Key::FirmwareVersion, &ModuleDataBaseInfo::FirmwareVersion),
        TextAt(Key::SoftwareVerison, &ModuleDataBaseInfo::SoftwareVerison),
        TextAt(Key::Description, &ModuleDataBaseInfo::Description, TextForm::LocalSpaces),
        TextAt(Key::IdentNumber, &ModuleDataBaseInfo::IdentNumber),
    };
    return table;
}

const FieldTable<ioDataInfo>& IoDataFields() {
    static const FieldTable<ioDataInfo> table = {
        IntAt(Key::IoType, &ioDataInfo::IoType),
        IntAt(Key::Isize, &ioDataInfo::Isize),
        IntAt(Key::Osize, &ioDataInfo::Osize),
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
        ObjectAt(Key::Info, &moduleItem::Info, &ReadInfoMember),
        ObjectAt(Key::IoData, &moduleItem::IoData, &ReadIoData),
        IntAt(Key::Type, &moduleItem::Type),
        BoolAt(Key::IsMandatory, &moduleItem::IsMandatory),
        IntAt(Key::SlotNumber, &moduleItem::SlotNumber),
        TextAt(Key::SlotName, &moduleItem::SlotName, TextForm::Local),
    };
    return table;
}

const FieldTable<moduleData>& ModuleDataFields() {
    static const FieldTable<moduleData> table = {
        TextAt(Key::virSubmoduleRefId, &moduleData::virSubmoduleRefId),
        IntAt(Key::virSubSlotNumber, &moduleData::virSubSlotNumber),
        RecordAt(Key::Item, &moduleData::Item, &ReadModuleItem),
        ListAt(Key::SubItems, &moduleData::SubItems, &ReadModuleItem, ListWhen::IsArray),
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
        TextAt(Key::TextId, &recordDataItem::TextId),
        TextAt(Key::Name, &recordDataItem::Name, TextForm::Local),
        BoolAt(Key::IsChangeable, &recordDataItem::IsChangeable),
        IntAt(Key::ByteOffset, &recordDataItem::ByteOffset),
        IntAt(Key::BitOffset, &recordDataItem::BitOffset),
        IntAt(Key::DataType, &recordDataItem::DataType),
        TextAt(Key::DefaultValue, &recordDataItem::DefaultValue),
        TextAt(Key::MinValue, &recordDataItem::MinValue),
        TextAt(Key::MaxValue, &recordDataItem::MaxValue),
        Field<recordDataItem>{Key::Values, &ReadValuePairs},
    };
    return table;
}

// Menus hold menus: the table refers back to the menu reader, so nesting is
// followed as deep as the answer goes.
const FieldTable<menuItem>& MenuItemFields() {
    static const FieldTable<menuItem> table = {
        TextAt(Key::Name, &menuItem::Name, TextForm::Local),
        TextAt(Key::GsdId, &menuItem::GsdId),
        ListAt(Key::RecordDataList, &menuItem::RecordDataList, &ReadRecordDataItem),
        ListAt(Key::MenuItems, &menuItem::MenuItems, &ReadMenuItem),
    };
    return table;
}

const FieldTable<parameterRecord>& ParameterRecordFields() {
    static const FieldTable<parameterRecord> table = {
        IntAt(Key::Index, &parameterRecord::Index),
        IntAt(Key::Length, &parameterRecord::Length),
        RecordAt(Key::MenuItem, &parameterRecord::MenuItem, &ReadMenuItem),
    };
    return table;
}

const FieldTable<transmissionValue>& TransmissionValueFields() {
    static const FieldTable<transmissionValue> table = {
        IntAt(Key::Value, &transmissionValue::Value),
        TextAt(Key::Description, &transmissionValue::Description),
    };
    return table;
}

transmissionValue ReadTransmissionValue(const Json::Value& value) {
    return ReadFields(value, TransmissionValueFields());
}

const FieldTable<portParameter>& PortParameterFields() {
    static const FieldTable<portParameter> table = {
        BoolAt(Key::PortDeactivationSupported, &portParameter::PortDeactivationSupported),
        BoolAt(Key::PTP_BoundarySupported, &portParameter::PTP_BoundarySupported),
        BoolAt(Key::DCP_BoundarySupported, &portParameter::DCP_BoundarySupported),
        ListAt(Key::transmissionValueList, &portParameter::transmissionValueList,
               &ReadTransmissionValue),
    };
    return table;
}

const FieldTable<AlarmData>& AlarmDataFields() {
    static const FieldTable<AlarmData> table = {
        TextAt(Key::Description, &AlarmData::Description, TextForm::Local),
        TextAt(Key::RefText, &AlarmData::RefText, TextForm::Local),
        TextAt(Key::Help, &AlarmData::Help, TextForm::Local),
    };
    return table;
}

const FieldTable<ChannelAlarmData>& ChannelAlarmDataFields() {
    static const FieldTable<ChannelAlarmData> table = {
        TextAt(Key::AlarmNameText, &ChannelAlarmData::AlarmNameText, TextForm::Local),
        TextAt(Key::AlarmHelpText, &ChannelAlarmData::AlarmHelpText, TextForm::Local),
        TextAt(Key::AlarmExtNameText, &ChannelAlarmData::AlarmExtNameText, TextForm::Local),
        TextAt(Key::AlarmExtHelpText, &ChannelAlarmData::AlarmExtHelpText, TextForm::Local),
    };
    return table;
}

const FieldTable<isochroneMode>& IsochroneModeFields() {
    static const FieldTable<isochroneMode> table = {
        UIntAt(Key::T_DC_Base, &isochroneMode::T_DC_Base),
        UIntAt(Key::T_IO_Base, &isochroneMode::T_IO_Base),
        UIntAt(Key::T_DC_Min, &isochroneMode::T_DC_Min),
        UIntAt(Key::T_DC_Max, &isochroneMode::T_DC_Max),
        UIntAt(Key::T_IO_InputMin, &isochroneMode::T_IO_InputMin),
        UIntAt(Key::T_IO_OutputMin, &isochroneMode::T_IO_OutputMin),
        BoolAt(Key::IsIsochroneModeRequired, &isochroneMode::IsIsochroneModeRequired),
        FloatAt(Key::T_Cycle_MinMs, &isochroneMode::T_Cycle_MinMs),
        FloatAt(Key::T_IO_InputMinMs, &isochroneMode::T_IO_InputMinMs),
        FloatAt(Key::T_IO_OutputMinMs, &isochroneMode::T_IO_OutputMinMs),
    };
    return table;
}

const FieldTable<ModuleVirSubSlotAndAPI>& VirSubSlotFields() {
    static const FieldTable<ModuleVirSubSlotAndAPI> table = {
        BoolAt(Key::isExist, &ModuleVirSubSlotAndAPI::isExist),
        IntAt(Key::virSubslot, &ModuleVirSubSlotAndAPI::virSubslot),
        IntAt(Key::virAPI, &ModuleVirSubSlotAndAPI::virAPI),
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
    return ReadChecked<moduleItem>(value, sink, &IsNonNullObject, [](const Json::Value& v) {
        return ReadModuleItem(v[Key::Item]);
    });
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
    if (value.isNull() || !value.isMember(Key::IsValid) || !value[Key::IsValid].asBool() ||
        !value.isMember(Key::Selector) || !value[Key::Selector].isArray()) {
        sink.ReportBadShape();
        return {};
    }
    std::vector<double> times;
    for (const Json::Value& entry : value[Key::Selector]) {
        const Json::Value& time = entry[Key::Value];
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
