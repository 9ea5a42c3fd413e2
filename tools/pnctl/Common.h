// SPDX-License-Identifier: Apache-2.0
#pragma once

// Pieces every pnctl command shares: the global options, the exit codes, the
// failure that ends a command, and the printing of codes, error lists and
// JSON documents.

#include <JsonRpcClient/rpc/JsonRpcClient.h>

#include <json/value.h>

#include <iosfwd>
#include <stdexcept>
#include <string>

namespace Pnctl {

// Documented in the tool's --help footer and in the README; tests rely on
// them, so they never change meaning.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,       // the server answered with an error, or an operation failed
    kExitUsage = 2,        // the command line was not understood
    kExitServerStart = 3,  // a server could not be started
    kExitInput = 4,        // a local input (file, JSON text) could not be read
};

// Options that every command accepts.
struct GlobalOptions {
    bool json = false;
    // Catalogue directory of the configuration server; empty: the server's
    // own default.
    std::string catalog;
    // The value the configuration server receives with "-l".
    std::string language;
    unsigned long timeoutMs = 10000;
    // A missing catalogue directory is created (gsd import) instead of refused.
    bool mayCreateCatalog = false;
};

// Ends a command: main prints "pnctl: <what>" as one line on stderr and
// exits with the code.
class CommandFailure : public std::runtime_error {
public:
    CommandFailure(int exitCode, const std::string& reason)
        : std::runtime_error(reason), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// "0x8001011F": the 32-bit form of a failure code, whatever the width of long.
std::string HexCode(long code);

// HexCode, followed by the decimal number for a server's own JSON-RPC error
// code, which the call cycle passes on unchanged: "0xFFFF82FF (-32001)".
std::string FormatCode(long code);

// {"code": <number>, "hex": "0x…", "message": "…", "text": "…"} for one
// entry; "text" is the library's description of the code, when it has one.
Json::Value ErrorEntryToJson(long code, const std::string& message);
Json::Value ErrorListToJson(const RpcClient::JsonRpcClient::ErrorList& errors);

// One line per entry, newest first: "  0x80010105 Call response invalid".
void PrintErrorList(std::ostream& out, const RpcClient::JsonRpcClient::ErrorList& errors);

// A one-line reason for a failed call: the newest entry, or the code alone.
std::string DescribeFailure(long code, const RpcClient::JsonRpcClient::ErrorList& errors);

// Writes the document indented, followed by a newline.
void PrintJson(std::ostream& out, const Json::Value& document);

// Whether a command has printed its JSON document (or a JSON line) yet; with
// --json, main prints the failure as the one document when none was.
bool JsonDocumentPrinted();
void MarkJsonDocumentPrinted();

// The library's text for the last system error (GetLastErrorAsString) on one
// line, for a failure that the system explains: a server that cannot start.
std::string LastSystemError();

// The whole content of a file the user named; throws
// CommandFailure(kExitInput) with the system's reason when it cannot be read.
std::string ReadInputFile(const std::string& path);

// Parses JSON text; throws CommandFailure(kExitInput) naming `what`.
Json::Value ParseJsonText(const std::string& text, const std::string& what);

// Host text (the process's narrow code page) to a wide string and back;
// throws CommandFailure(kExitInput) for text that does not convert.
std::wstring ToWide(const std::string& text);
std::string FromWide(const std::wstring& text);

}  // namespace Pnctl
