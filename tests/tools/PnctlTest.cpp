// SPDX-License-Identifier: Apache-2.0
// pnctl run through the system's shell: exit code, stdout, reason on stderr.

#include "CatalogTree.h"
#include "Common.h"
#include "support/JsonText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace PnctlTest {
namespace {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary folder, removed at the end.
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("pnctl-" + std::to_string(std::random_device{}()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path, ignored); }
    std::error_code ignored;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

#ifdef _WIN32
// One word for the C runtime's argument parser: double quotes, inner quotes
// and the backslashes before them escaped.
std::string Quote(const std::string& word) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '"') {
            quoted.append(backslashes + 1, '\\');
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
        quoted += c;
    }
    return quoted.append(backslashes, '\\') + "\"";
}
constexpr const char* kNoInput = " <NUL";
#else
// One word for /bin/sh: single quotes, each inner quote written as '\''.
std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
constexpr const char* kNoInput = " </dev/null";
#endif

const std::string kLegacy = "GSDML-V2.1-Samplevendor-Legacy-20080315.xml";
const std::string kIoBlock = "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml";
const std::string kServer = PNCTL_CONFIG_SERVER;

std::string WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// One run of the tool: its arguments, exit code, what stdout shows and part of
// its reason on stderr. An `out` entry starting with '!' must not appear, '$'
// is the whole of stdout, '#' its line count; any other must appear.
struct Row {
    std::vector<std::string> arguments;
    int exitCode;
    std::vector<std::string> out;
    std::string err;
};

// Runs the tool through the system's shell and returns its stdout.
std::string Expect(const Row& row) {
    SCOPED_TRACE(testing::PrintToString(row.arguments));
    TempDir capture;
    std::string command = Quote(PNCTL_PROGRAM);
    for (const std::string& argument : row.arguments) {
        command += ' ' + Quote(argument);
    }
    command += kNoInput + (" >" + Quote(capture / "stdout")) + " 2>" + Quote(capture / "stderr");
#ifdef _WIN32
    // cmd.exe strips one pair of outer quotes from the whole line.
    const int exitCode = std::system(("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    const int exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    std::string out, err;
    for (std::string* text : {&out, &err}) {
        std::ifstream in(capture / (text == &out ? "stdout" : "stderr"), std::ios::binary);
        text->assign(std::istreambuf_iterator<char>(in), {});
#ifdef _WIN32
        // Text-mode output ends its lines with CR LF there.
        text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
#endif
    }
    EXPECT_EQ(exitCode, row.exitCode) << "stdout:\n" << out << "stderr:\n" << err;
    // A failure is reported on exactly one line of stderr, prefixed with the
    // tool's name; success prints nothing there.
    if (row.exitCode == 0) {
        EXPECT_EQ(err, "");
    } else {
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("pnctl: ", 0), 0u) << err;
        EXPECT_NE(err.find(row.err), std::string::npos) << err;
    }
    for (const std::string& fragment : row.out) {
        const std::string rest = fragment.substr(1);
        EXPECT_TRUE(fragment[0] == '!'   ? out.find(rest) == std::string::npos
                    : fragment[0] == '$' ? out == rest
                    : fragment[0] == '#'
                        ? std::count(out.begin(), out.end(), '\n') == std::stoi(rest)
                        : out.find(fragment) != std::string::npos)
            << fragment << " in\n"
            << out;
    }
    return out;
}

// Each row runs on the catalogue the rows before it left.
TEST(Pnctl, ImportsShowsQueriesChecksAndRemovesInOneCatalogue) {
    TempDir catalogue, inputs;
    const std::string malformed =
        WriteFile(inputs / "malformed.xml", "<ISO15745Profile><unclosed>");
    const std::string config = fs::path(PNCTL_SAMPLES).parent_path().string() + "/config/";
    const auto check = [&config](const std::string& set, bool json) {
        std::vector<std::string> arguments{"config", "check", config + set + "configuration.json",
                                           config + set + "list-of-nodes.json",
                                           config + set + "topology.json"};
        arguments.insert(arguments.end(), json ? 1 : 0, "--json");
        return arguments;
    };
    const std::string device = "mistakes/configuration.json:/DeviceListConf/";
    const std::string nodes = "mistakes/list-of-nodes.json:/DeviceNodeList/";
    const std::string ip =
        "/DeviceInterface/EthernetAddresses/IpProtocol/IpProtocolSetInTheProject/IpAddress: "
        "error: ";
    const std::string failed = "\"failed\" : 1,\n  \"imported\" : ";
    const std::string notOk = "\",\n      \"ok\" : false,\n      \"reasons\" : \n      [\n";
    // clang-format off
    const Row rows[] = {
        {{"gsd", "import", "--json", malformed, PNCTL_SAMPLES "/" + kLegacy}, 1, {failed + "1,", "malformed.xml" + notOk}, "1 of 2 files"},
        {{"gsd", "import", "--json", PNCTL_SAMPLES "/" + kIoBlock, inputs / "missing.xml"}, 4, {failed + "1,", "missing.xml" + notOk}, ""},
        // Global options are accepted after the command too.
        {{"gsd", "list", "--json", "--catalog", catalogue.path.string()}, 0, {"\"GsdName\" : \"" + kLegacy, "\"GsdName\" : \"" + kIoBlock}, ""},
        // What the device comes with, in its slots and subslots, with IO
        // sizes and, on request, parameter records.
        {{"gsd", "show", kIoBlock, "--dap", "DAP_ST", "--records"}, 0,
         {"  DAP DAP_ST", "    slot 4 \"DQ 8x24VDC/0.5A\": MOD_DQ8 ", "      subslot 32768 \"PN-IO\": IF_ST ",
          "  fixed, out 1 bytes\n", "    module MOD_DI16  \"DI 16x24VDC\"  slots 1-4, in 2 bytes\n",
          "        record 1, 4 bytes  \"Input parameters\"\n", "!DAP_HF"}, ""},
        {{"gsd", "show", kIoBlock, "--dap", "NO_DAP"}, 1, {}, ""},
        // Operations run through the facade; their status is the exit code.
        {{"gsd", "query", "--json", "GetDevicePhysicalSlots", kIoBlock, "DAP_HF"}, 0, {"\"hex\" : \"0x00000000\"", "\"output\" : \n  [\n    0,\n    1,\n"}, ""},
        {{"gsd", "query", "--json", "GetChannalDiagDescription", kIoBlock, "65535", "false", "0", "0", "1"}, 0, {"0x00000000"}, ""},
        {{"gsd", "query", "CalcIoDeviceUpdateTime", kIoBlock, "DAP_ST", "1"}, 0, {"$status 0x00000000\n[\n  1.0,\n  2.0,\n  4.0,\n  8.0,\n  16.0\n]\n"}, ""},
        {{"gsd", "query", "GetPluggableModuleSlotRelation", kIoBlock, "", "MOD_DI16"}, 0, {"[\n  2,\n  3,\n  4,\n  5,\n  6,\n  7,\n  8\n]"}, ""},
        {{"gsd", "query", "GetModuleData", kIoBlock, "DAP_HF", "MOD_DI16"}, 0, {"      \"GsdID\" : \"MOD_DI16\",\n"}, ""},
        {{"gsd", "query", "GetModuleData", kIoBlock, "DAP_HF", "DAP_HF"}, 0, {"      \"GsdID\" : \"DAP_HF\",\n"}, ""},
        {{"gsd", "query", "--json", "GetDevicePhysicalSlots", kIoBlock, ""}, 1, {"\"hex\" : \"0x80004005\""}, ""},
        // The facade gives a bare status; the reason is the server's own.
        {{"gsd", "query", "GetModuleData", kIoBlock, "DAP_HF", "NOPE"}, 1, {}, "module \"NOPE\" is not described"},
        {{"gsd", "query", "--json", "NoSuchOperation"}, 2, {}, ""},
        {{"gsd", "query", "GetChannalDiagDescription", kIoBlock, "65536", "false", "0", "0", "1"}, 2, {}, ""},
        {{"gsd", "query", "GetChannalDiagDescription", kIoBlock, "1", "maybe", "0", "0", "1"}, 2, {}, ""},
        {check("", false), 0, {"$0 error(s), 0 warning(s)\n"}, ""},
        {check("mistakes/", false), 1,
         {nodes + "2/GsdPath: error: ", nodes + "3/GsdRefId: error: ",
          device + "0/DeviceModules/1/SlotNumber: error: module",
          device + "1/DeviceModules/2/GsdRefId: error: ",
          device + "0/DeviceModules/0/SubModuleList/2/SubSlotNumber: error: ",
          device + "1/DeviceModules/1/SlotNumber: error: slot 1 is already taken",
          device + "0/DeviceModules/0/SubModuleList/1/SubSlotNumber: error: subslot",
          device + "1/DeviceInterface/EthernetAddresses/ProfinetDeviceName/DeviceName: error: ",
          device + "1" + ip + "IP address already used", device + "2" + ip + "192.168.1.13 lies outside",
          device + "1/DeviceModules/0/IoAddress/InputAddress/StartAddress: error: input",
          "mistakes/topology.json:/PortInterconnectionList/1/PartnerPort/PortNumber: error: "},
         "13 error(s), 2 warning(s)"},
        {check("mistakes/", true), 1, {"\"accepted\" : false", "mistakes/list-of-nodes.json\"", "\"severity\" : \"warning\""}, ""},
        {{"gsd", "remove", kIoBlock}, 0, {}, ""},
        {{"gsd", "remove", kIoBlock}, 1, {}, ""},
        {{"gsd", "remove", kLegacy}, 0, {}, ""},
        {{"gsd", "list", "--json"}, 0, {"$[]\n"}, ""},
    };
    // clang-format on
    for (Row row : rows) {
        if (std::find(row.arguments.begin(), row.arguments.end(), "--catalog") ==
            row.arguments.end()) {
            row.arguments.insert(row.arguments.begin(), {"--catalog", catalogue.path.string()});
        }
        Expect(row);
    }
}

// What the tool cannot use (rows failing with empty stdout, "$") ends it with its
// exit code and the reason on stderr, or with --json a document on stdout.
TEST(Pnctl, CallsServersWatchesDrivesAndRefusesWhatItCannotUse) {
    TempDir scratch;
    const std::string good = WriteFile(scratch / "good", "admin\n");
    const std::string bad = WriteFile(scratch / "bad", "not-the-password\r\n");
    const std::string notJson = WriteFile(scratch / "bad.json", "{\n  \"a\": 1,\n  \"b\": ]\n}");
    const std::string notADocument = WriteFile(scratch / "other.json", "{\"a\": 1}");
    const auto Watch = [](const char* count, const std::string& file) {
        return std::vector<std::string>{"servo",           "watch", "--json",  "--user", "admin",
                                        "--password-file", file,    "--count", count};
    };
    // clang-format off
    const Row rows[] = {
        {{"call", "--server", kServer, "RunTest", R"([7, "x", true, 1.5, 2.5])"}, 0, {"\"TestInt\" : 7,", "\"TestString\" : \"x\""}, ""},
        {{"call", "--server", kServer, "NoSuchMethod"}, 1, {"0x80010107"}, "0x80010107"},
        {{"call", "--json", "--server", kServer, "NoSuchMethod", "[]"}, 1, {"\"code\" : -32601", "\"hex\" : \"0x80010107\"", "\"errors\" : \n  [\n    {\n"}, ""},
        {{"call", "--notify", "--server", kServer, "Exit"}, 0, {"$"}, ""},
        {Watch("3", good), 0, {"#3", "{\"ip\":\"", "\"ok\":true,\"r5276\":", "!\"ok\":false"}, ""},
        // Refused credentials: the server's error is shown once, with its reason.
        {Watch("2", bad), 1, {"#1", "\"ok\":false", "\"error\":{\"code\":-32001,\"hex\":\""}, "refused the credentials: 0xFFFF82FF"},
        {{}, 0, {"Usage:"}, ""},
        {{"--help"}, 0, {"Usage:", "Exit codes:"}, ""},
        {{"gsd", "query", "--help"}, 0, {"Usage:", "GetDevicePhysicalSlots gsd dap"}, ""},
        {{"config"}, 2, {}, ""},
        {{"no-such-command"}, 2, {}, ""},
        {{"gsd"}, 2, {}, ""},
        {{"gsd", "import"}, 2, {}, ""},
        {{"--timeout", "5", "gsd", "list"}, 2, {}, ""},
        {{"call", "--server", kServer, "GetVersion", "[1,"}, 4, {"$"}, "Line 1, Column 4"},
        {{"call", "--server", scratch / "nothing", "GetVersion"}, 3, {"$"}, scratch / "nothing: "},
        {{"call", "--server", notJson, "GetVersion"}, 3, {"$"}, notJson + ": "},
        {{"call", "GetVersion"}, 2, {"$"}, ""},
        {{"config", "check", scratch / "none.json"}, 4, {"$"}, "none.json: "},
        {{"config", "check", scratch.path.string()}, 4, {"$"}, "is a directory"},
        {{"config", "check", notJson}, 4, {"$"}, "Line 3, Column 8"},
        {{"config", "check", notADocument}, 4, {"$"}, "no configuration"},
        {{"servo", "watch", "--password-file", scratch / "none"}, 4, {"$"}, "none"},
        {{"--catalog", scratch / "none", "gsd", "list"}, 4, {"$"}, "no such directory"},
    };
    // clang-format on
    for (Row row : rows) {
        if (row.exitCode != 0 && row.out == std::vector<std::string>{"$"}) {
            Expect(row);
            row.arguments.push_back("--json");
            row.out = {"\"exitCode\" : " + std::to_string(row.exitCode) + ",\n"};
        }
        Expect(row);
    }
}

// The demo's job on a temporary catalogue; the server's check of what it
// configured (offered modules, allowed slots, none shared) finds nothing.
TEST(Pnctl, DemoBuildsAConfigurationTheServerAccepts) {
    const Json::Value demo = TestJson::ParseJson(Expect({{"demo", "--json"}, 0, {}, ""}));
    ASSERT_EQ(demo["imported"].size(), 3u);
    for (const Json::Value& imported : demo["imported"]) {
        EXPECT_TRUE(imported["IsSuccess"].asBool()) << imported;
    }
    EXPECT_EQ(demo["check"], Json::Value(Json::arrayValue));
    EXPECT_GT(demo["configuration"]["DeviceListConf"][0]["DeviceModules"].size(), 0u);
    // The catalogue's name, not a path into the temporary catalogue that is gone.
    const std::string gsdFile = demo["listOfNodes"]["DeviceNodeList"][0]["GsdPath"].asString();
    EXPECT_EQ(fs::path(gsdFile).filename().string(), gsdFile);
}

TEST(PnctlFormat, CodesShowTheir32BitFormWhateverTheWidthOfLong) {
    namespace Code = RpcClient::FailureCode;
    // A server's own JSON-RPC code is passed on unchanged, as a negative number.
    EXPECT_EQ(Pnctl::FormatCode(-32768) + Pnctl::FormatCode(Code::ServerFault),
              "0xFFFF8000 (-32768)0x80010105");
    // The newest entry is the reason on one line; without one, the code's text.
    EXPECT_EQ(Pnctl::DescribeFailure(Code::ServerFault,
                                     {{Code::ServerFault, "invalid"}, {Code::Fail, "x"}}),
              "0x80010105 invalid");
    EXPECT_EQ(Pnctl::DescribeFailure(Code::Unexpected, {}).rfind("0x8001FFFF ", 0), 0u);
}

TEST(PnctlFormat, SlotListsCollapseIntoRanges) {
    for (const auto& [slots, text] : std::vector<std::pair<const char*, const char*>>{
             {"[]", "-"},
             {"[1,2,4]", "1-2, 4"},
             {"[1,3,5]", "1, 3, 5"},
             {"[5,4]", "5, 4"},
             {"[2,3,4,8,9,32769]", "2-4, 8-9, 32769"}}) {
        EXPECT_EQ(Pnctl::FormatSlots(TestJson::ParseJson(slots)), text) << slots;
    }
}

}  // namespace
}  // namespace PnctlTest
