// SPDX-License-Identifier: Apache-2.0
#include "Common.h"

#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/rpc/CodePageText.h>

#include <json/reader.h>
#include <json/writer.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>

namespace Pnctl {

std::string HexCode(long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X",
                  static_cast<unsigned int>(static_cast<std::uint32_t>(code)));
    return text;
}

std::string FormatCode(long code) {
    std::string text = HexCode(code);
    if (code >= -32768 && code <= -32000) {
        text += " (" + std::to_string(code) + ')';
    }
    return text;
}

Json::Value ErrorEntryToJson(long code, const std::string& message) {
    Json::Value entry(Json::objectValue);
    entry["code"] = static_cast<Json::Int64>(code);
    entry["hex"] = HexCode(code);
    entry["message"] = message;
    const std::string text = RpcClient::GetHResultErrorAsString(code);
    if (!text.empty()) {
        entry["text"] = text;
    }
    return entry;
}

Json::Value ErrorListToJson(const RpcClient::JsonRpcClient::ErrorList& errors) {
    Json::Value list(Json::arrayValue);
    for (const auto& entry : errors) {
        list.append(ErrorEntryToJson(entry.first, entry.second));
    }
    return list;
}

void PrintErrorList(std::ostream& out, const RpcClient::JsonRpcClient::ErrorList& errors) {
    for (const auto& entry : errors) {
        out << "  " << FormatCode(entry.first);
        if (!entry.second.empty()) {
            out << ' ' << entry.second;
        }
        const std::string text = RpcClient::GetHResultErrorAsString(entry.first);
        if (!text.empty()) {
            out << " (" << text << ')';
        }
        out << '\n';
    }
}

std::string DescribeFailure(long code, const RpcClient::JsonRpcClient::ErrorList& errors) {
    std::string reason = FormatCode(code);
    if (!errors.empty() && !errors.front().second.empty()) {
        reason += ' ' + errors.front().second;
    } else {
        const std::string text = RpcClient::GetHResultErrorAsString(code);
        if (!text.empty()) {
            reason += ' ' + text;
        }
    }
    return reason;
}

namespace {
bool jsonDocumentPrinted = false;
}  // namespace

bool JsonDocumentPrinted() {
    return jsonDocumentPrinted;
}

void MarkJsonDocumentPrinted() {
    jsonDocumentPrinted = true;
}

std::string LastSystemError() {
    std::string text = RpcClient::GetLastErrorAsString();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? std::string("no reason given by the system") : text;
}

std::string ReadInputFile(const std::string& path) {
    std::error_code error;
    // Opening a directory succeeds on some systems and only the read fails;
    // name the real problem instead of "cannot read".
    if (std::filesystem::is_directory(path, error)) {
        throw CommandFailure(kExitInput, path + ": is a directory");
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (!in || !(content << in.rdbuf()) || in.bad()) {
        const int code = errno;
        const std::string reason =
            code != 0 ? std::generic_category().message(code) : "cannot be read";
        throw CommandFailure(kExitInput, path + ": " + reason);
    }
    return content.str();
}

void PrintJson(std::ostream& out, const Json::Value& document) {
    MarkJsonDocumentPrinted();
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    // Texts from GSD files are not ASCII; keep them readable.
    writer["emitUTF8"] = true;
    out << Json::writeString(writer, document) << '\n';
}

Json::Value ParseJsonText(const std::string& text, const std::string& what) {
    Json::CharReaderBuilder builder;
    // "[1] ]" must not pass as [1]: text after the value is an error.
    builder["failIfExtra"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
        // The reader's report spans lines; the reason must fit on one.
        std::string reason;
        for (char c : errors) {
            if (c == '\n') {
                c = ' ';
            }
            if (!(c == ' ' && (reason.empty() || reason.back() == ' '))) {
                reason += c;
            }
        }
        while (!reason.empty() && reason.back() == ' ') {
            reason.pop_back();
        }
        throw CommandFailure(kExitInput, what + " is not valid JSON: " + reason);
    }
    return value;
}

std::wstring ToWide(const std::string& text) {
    try {
        return RpcClient::FromAnsi(text).GetWideText();
    } catch (const std::runtime_error& e) {
        throw CommandFailure(kExitInput, "cannot convert \"" + text + "\": " + e.what());
    }
}

std::string FromWide(const std::wstring& text) {
    try {
        return RpcClient::CodePageText(text).ToAnsi();
    } catch (const std::runtime_error& e) {
        throw CommandFailure(kExitInput, std::string("cannot convert text: ") + e.what());
    }
}

}  // namespace Pnctl
