// SPDX-License-Identifier: Apache-2.0
// The catalogue client's result readers on arbitrary JSON. Every operation
// of the client is called against a scripted server that answers with the
// fuzzer's document as "result"; the record readers are also run on the
// document directly. What may happen: a default value with the cause in the
// error list, or one of JsonCpp's exceptions for a value of the wrong JSON
// type (which the client lets reach the host). Anything else (another
// exception, a sanitizer report, a leak, an entry with a code the client
// never records) is a fault.

#include "FuzzSupport.h"

#include "clients/GsdReaders.h"

#include <JsonRpcClient/clients/PnGsdClient.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <json/reader.h>
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using fuzzsupport::Fail;
namespace Code = RpcClient::FailureCode;
namespace Readers = Tavrel::Gsd::detail;

namespace {

class ScriptedClient : public RpcClient::Tavrel::PnGsdClient {
public:
    explicit ScriptedClient(Json::Value result)
        : PnGsdClient(nullptr), result_(std::move(result)) {}

    using PnGsdClient::GetErrList;

protected:
    RpcClient::RpcLocalConnection* CurConnection() override {
        return reinterpret_cast<RpcClient::RpcLocalConnection*>(&token_);
    }
    void ReleaseConnection(RpcClient::RpcLocalConnection*) override {}
    bool OnSendRequest(RpcClient::RpcLocalConnection*, const Json::Value& body) override {
        id_ = body["id"];
        return true;
    }
    bool OnReceiveResponse(RpcClient::RpcLocalConnection*,
                           std::vector<RpcClient::JsonResponse>& out) override {
        Json::Value response(Json::objectValue);
        response["jsonrpc"] = "2.0";
        response["id"] = id_;
        response["result"] = result_;
        out.emplace_back(std::move(response));
        return true;
    }

private:
    Json::Value result_;
    Json::Value id_;
    char token_ = 0;
};

class CountingSink : public Readers::ShapeErrorSink {
public:
    void ReportBadShape() override { ++reports; }
    int reports = 0;
};

bool IsClientCode(long code) {
    return code == Code::InvalidData || code == Code::CantMarshalData;
}

// Runs one operation; only JsonCpp's exceptions may leave it.
void Guarded(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const Json::Exception&) {
    } catch (const std::exception& e) {
        std::fprintf(stderr, "exception: %s\n", e.what());
        Fail("an exception other than JsonCpp's left a catalogue operation");
    }
}

void CheckErrors(const ScriptedClient& client) {
    for (const auto& entry : client.GetErrList()) {
        if (!IsClientCode(entry.first)) {
            Fail("an error entry with a code the catalogue client does not record");
        }
    }
}

void CallEveryOperation(const Json::Value& result) {
    ScriptedClient client(result);
    const std::string a = "GSDML-V2.4-Vendor-Device-20240101.xml";
    const std::string b = "DAP1";
    const std::string c = "Module 1";
    std::vector<std::function<void()>> operations = {
        [&] { client.TavrelImportGsdFile("/tmp/x.xml"); },
        [&] { client.TavrelRemoveGsdFile(a); },
        [&] { client.TavrelRefreshGsds(); },
        [&] { client.TavrelGetInstalledGsds(); },
        [&] { client.GetInstalledGSDsNames(); },
        [&] { client.GetGSDPath(a); },
        [&] { client.GetGsdDeviceInfo(a); },
        [&] { client.GetDeviceCatalogs(a); },
        [&] { client.GetGSDTemplateCatalogs(); },
        [&] { client.GetPluggableModuleCatalog(a, b); },
        [&] { client.GetPluggableSubModuleListCatalog(a, b, c); },
        [&] { client.GetPluggableSubModuleListCatalogByDevID(a, b); },
        [&] { client.GetPluggableModuleSlotRelation(a, b, c); },
        [&] { client.GetPluggableSubModuleSlotRelation(a, b, c); },
        [&] { client.GetBuildInModuleData(a, b); },
        [&] { client.GetDevicePhysicalSlots(a, b); },
        [&] { client.GetModulePhysicalSubSlots(a, b, c); },
        [&] { client.GetDapModuleInfo(a, b); },
        [&] { client.GetModuleData(a, b, c); },
        [&] { client.GetSubModuleData(a, b, c); },
        [&] { client.GetSubModuleParameter(a, b, c); },
        [&] { client.GetWriteableIMRecords(a, b, c); },
        [&] { client.GetPortSubModuleParameter(a, b, c, "Port 1"); },
        [&] { client.GetSubmoduleIRTsupportType(a, b); },
        [&] { client.IsSubmodulePROFIsafeSupported(a, b); },
        [&] {
            client.GetUnitDiagDescription(a, b, {0x80, 0x01, 0x00, 0x10});
        },
        [&] { client.GetChannalDiagDescription(a, 0x8000, true, 1, 2, 3); },
        [&] { client.CalcIoDeviceUpdateTime(a, b, 1.0f); },
        [&] { client.GetSubMoudleIsoParam(a, b, c); },
        [&] { client.GetSubmoduleAPI(a, b); },
        [&] { client.GetModuleVirSubSlotAndAPI(a, b, c); },
        [&] { client.GetSubmoduleParamDisallowed(a, b); },
        [&] { client.GetKeltoTemplateGSDNameForPNView(a, true); },
        [&] { client.GetKeltoTemplateGSDVersionForWizard(a); },
        [&] { client.GetSubModuleBaseInfo(a, b, c, "1"); },
        [&] { client.GetVersion(); },
        [&] { client.GetLanguage(); },
        [&] { client.GetAssemblyInfo(); },
    };
    for (const auto& operation : operations) {
        Guarded(operation);
        CheckErrors(client);
    }
}

void RunReaders(const Json::Value& value) {
    Guarded([&] { Readers::ReadGsdDeviceInfo(value); });
    Guarded([&] { Readers::ReadBaseInfo(value); });
    Guarded([&] { Readers::ReadDeviceCatalogs(value); });
    Guarded([&] { Readers::ReadTemplateCatalogs(value); });
    Guarded([&] { Readers::ReadModuleCatalogs(value); });
    Guarded([&] { Readers::ReadSubModuleCatalogs(value); });
    Guarded([&] { Readers::ReadSlotRelations(value); });
    Guarded([&] { Readers::ReadModuleItem(value); });
    Guarded([&] { Readers::ReadRecordDataItem(value); });
    Guarded([&] { Readers::ReadMenuItem(value); });
    Guarded([&] { Readers::ReadParameterRecords(value); });
    // Shape-checking readers report a bad shape once per call at most.
    const std::vector<std::function<void(CountingSink&)>> checked = {
        [&](CountingSink& s) { Readers::ReadModuleDataBaseInfo(value, s); },
        [&](CountingSink& s) { Readers::ReadModuleData(value, s); },
        [&](CountingSink& s) { Readers::ReadModuleDataList(value, s); },
        [&](CountingSink& s) { Readers::ReadSubModuleData(value, s); },
        [&](CountingSink& s) { Readers::ReadPortParameter(value, s); },
        [&](CountingSink& s) { Readers::ReadAlarmData(value, s); },
        [&](CountingSink& s) { Readers::ReadChannelAlarmData(value, s); },
        [&](CountingSink& s) { Readers::ReadUpdateTimes(value, s); },
        [&](CountingSink& s) { Readers::ReadIsochroneMode(value, s); },
        [&](CountingSink& s) { Readers::ReadVirSubSlotAndAPI(value, s); },
    };
    for (const auto& reader : checked) {
        CountingSink sink;
        Guarded([&] { reader(sink); });
        if (sink.reports > 1) {
            Fail("a reader reported a bad shape more than once");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    Json::Value document;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text, text + size, &document, &errors)) {
        return 0;
    }
    RunReaders(document);
    CallEveryOperation(document);
    return 0;
}
