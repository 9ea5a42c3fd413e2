// SPDX-License-Identifier: Apache-2.0
// The catalogue methods about installed files: import, removal, listing,
// and what a whole file describes.
#include "CatalogMethods.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

namespace GsdCatalog {
namespace detail {

namespace {

// Orders GSDML versions such as "V2.4" and "V2.35" numerically.
std::pair<int, int> VersionKey(const std::string& version) {
    int major = 0;
    int minor = 0;
    if (!version.empty() && (version[0] == 'V' || version[0] == 'v')) {
        std::sscanf(version.c_str() + 1, "%d.%d", &major, &minor);
    }
    // "V2.4" is newer than "V2.35": the minor part is a decimal fraction.
    const std::size_t dot = version.find('.');
    const std::size_t digits = dot == std::string::npos ? 0 : version.size() - dot - 1;
    for (std::size_t i = digits; i < 3 && dot != std::string::npos; ++i) {
        minor *= 10;
    }
    return {major, minor};
}

Json::Value DeviceCatalogJson(const InstalledGsd& gsd, const AccessPoint& dap) {
    const GsdFile& file = *gsd.file;
    Json::Value value(Json::objectValue);
    value[Member(Key::MainFamily)] = file.mainFamily;
    value[Member(Key::VendorName)] = file.vendorName;
    value[Member(Key::ProductFamily)] = file.productFamily;
    value[Member(Key::DNSCompatibleName)] = dap.dnsCompatibleName;
    value[Member(Key::BaseInfo)] = DapBaseInfo(gsd.name, file, dap);
    const Submodule* interfaceItem = InterfaceOf(dap);
    value[Member(Key::SupportRTType)] =
        interfaceItem ? interfaceItem->rtClasses : static_cast<int>(kRtClass1);
    value[Member(Key::VendorIdentNumber)] = file.vendorId;
    value[Member(Key::DeviceIdentNumber)] = file.deviceId;
    value[Member(Key::IsG2)] = VersionKey(file.schemaVersion).first >= 2;
    return value;
}

// For every device (vendor and device ident number) the installed file with
// the newest schema version, and among equals the last by name (GSDML names
// end with their release date).
std::vector<InstalledGsdPtr> TemplateFiles(CatalogService& service) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, InstalledGsdPtr> newest;
    for (const InstalledGsdPtr& gsd : service.Store().Installed()) {
        auto& slot = newest[{gsd->file->vendorId, gsd->file->deviceId}];
        if (!slot || std::make_pair(VersionKey(gsd->file->schemaVersion), gsd->name) >
                         std::make_pair(VersionKey(slot->file->schemaVersion), slot->name)) {
            slot = gsd;
        }
    }
    std::vector<InstalledGsdPtr> files;
    for (auto& entry : newest) {
        files.push_back(entry.second);
    }
    std::sort(files.begin(), files.end(),
              [](const InstalledGsdPtr& a, const InstalledGsdPtr& b) { return a->name < b->name; });
    return files;
}

bool IsHouseTemplate(const CatalogOptions& options, const GsdFile& file) {
    return options.templateVendorId != 0 && file.vendorId == options.templateVendorId;
}

// What an import and a removal both report.
template <class Report>
Json::Value ReportJson(const Report& report) {
    Json::Value value(Json::objectValue);
    value[Member(Key::GsdName)] = report.name;
    value[Member(Key::GsdPath)] = report.path;
    value[Member(Key::IsSuccess)] = report.success;
    value[Member(Key::ErrorMessages)] = ArrayOf(report.errors);
    return value;
}

}  // namespace

Json::Value ImportGsd(const Request& request) {
    const ImportReport report = request.service.Store().Import(TextParam(request.params, 0));
    Json::Value value = ReportJson(report);
    value[Member(Key::IsValid)] = report.valid;
    return value;
}

Json::Value RemoveGsd(const Request& request) {
    return ReportJson(request.service.Store().Remove(TextParam(request.params, 0)));
}

Json::Value RefreshGsds(const Request& request) {
    return ArrayOf(request.service.Store().Refresh());
}

Json::Value InstalledGsds(const Request& request) {
    Json::Value list(Json::arrayValue);
    for (const InstalledGsdPtr& gsd : request.service.Store().Installed()) {
        Json::Value entry(Json::objectValue);
        entry[Member(Key::GsdName)] = gsd->name;
        entry[Member(Key::FilePath)] = gsd->path.u8string();
        entry[Member(Key::InstallDateTime)] = gsd->installTime;
        entry[Member(Key::HashValueString)] = gsd->sha256;
        list.append(std::move(entry));
    }
    return list;
}

Json::Value InstalledNames(const Request& request) {
    Json::Value names(Json::arrayValue);
    for (const InstalledGsdPtr& gsd : request.service.Store().Installed()) {
        names.append(gsd->name);
    }
    return names;
}

Json::Value GsdPath(const Request& request) {
    const InstalledGsdPtr gsd = request.service.Store().Find(TextParam(request.params, 0));
    return gsd ? gsd->path.u8string() : std::string();
}

Json::Value DeviceInfo(const Request& request) {
    const GsdFile& file = request.File();
    Json::Value value(Json::objectValue);
    value[Member(Key::MainFamily)] = file.mainFamily;
    value[Member(Key::ProductFamily)] = file.productFamily;
    value[Member(Key::InfoText)] = file.infoText;
    value[Member(Key::VendorName)] = file.vendorName;
    value[Member(Key::VendorIdentNumber)] = file.vendorId;
    value[Member(Key::DeviceIdentNumber)] = file.deviceId;
    return value;
}

Json::Value DeviceCatalogs(const Request& request) {
    Json::Value list(Json::arrayValue);
    for (const AccessPoint& dap : request.File().accessPoints) {
        list.append(DeviceCatalogJson(*request.gsd, dap));
    }
    return list;
}

Json::Value TemplateCatalogs(const Request& request) {
    Json::Value list(Json::arrayValue);
    for (const InstalledGsdPtr& gsd : TemplateFiles(request.service)) {
        for (const AccessPoint& dap : gsd->file->accessPoints) {
            Json::Value entry = DeviceCatalogJson(*gsd, dap);
            entry[Member(Key::IsKeltolineTemplate)] =
                IsHouseTemplate(request.Options(), *gsd->file);
            list.append(std::move(entry));
        }
    }
    return list;
}

Json::Value TemplateNameForView(const Request& request) {
    const std::string key = TextParam(request.params, 0);
    const Json::Value& houseOnly = Param(request.params, 1);
    if (!houseOnly.isBool()) {
        throw RpcFault{ServerKit::kInvalidParams, "Invalid params: param 2 must be a boolean"};
    }
    for (const InstalledGsdPtr& gsd : TemplateFiles(request.service)) {
        if (houseOnly.asBool() && !IsHouseTemplate(request.Options(), *gsd->file)) {
            continue;
        }
        for (const AccessPoint& dap : gsd->file->accessPoints) {
            if (dap.dnsCompatibleName == key || dap.info.orderNumber == key) {
                return gsd->name;
            }
        }
    }
    return std::string();
}

Json::Value TemplateVersionForWizard(const Request& request) {
    return request.File().schemaVersion;
}

}  // namespace detail
}  // namespace GsdCatalog
