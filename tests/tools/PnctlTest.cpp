// SPDX-License-Identifier: Apache-2.0
// pnctl run as a user runs it: a separate process, judged by its exit code,
// its stdout (text or JSON) and its one-line reason on stderr.

#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace PnctlTest {
namespace {

namespace fs = std::filesystem;

const std::string kLegacy = "GSDML-V2.1-Samplevendor-Legacy-20080315.xml";
const std::string kIoBlock = "GSDML-V2.43-Samplevendor-IOBlock-20250601.xml";

ToolRun Pnctl(const std::vector<std::string>& arguments) {
    return RunProgram(PNCTL_PROGRAM, arguments);
}

std::string Sample(const std::string& name) {
    return (fs::path(PNCTL_SAMPLES) / name).string();
}

std::size_t SampleCount() {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(PNCTL_SAMPLES)) {
        count += entry.path().extension() == ".xml" ? 1 : 0;
    }
    return count;
}

bool ParseJson(const std::string& text, Json::Value& value) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

Json::Value Document(const ToolRun& run) {
    Json::Value value;
    EXPECT_TRUE(ParseJson(run.out, value)) << "stdout is not JSON:\n" << run.out;
    return value;
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A failure is reported on exactly one line of stderr, prefixed with the
// tool's name; success prints nothing there.
void ExpectReason(const ToolRun& run, int exitCode) {
    EXPECT_EQ(run.exitCode, exitCode) << "stdout:\n" << run.out << "stderr:\n" << run.err;
    if (exitCode == 0) {
        EXPECT_EQ(run.err, "");
    } else {
        EXPECT_EQ(Lines(run.err), 1u) << run.err;
        EXPECT_EQ(run.err.rfind("pnctl: ", 0), 0u) << run.err;
    }
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// ---------------------------------------------------------------------------
// demo
// ---------------------------------------------------------------------------

TEST(PnctlDemo, RunsTheWholeJobAndRemovesItsTemporaryCatalogue) {
    const ToolRun run = Pnctl({"demo"});
    ExpectReason(run, 0);

    const std::string marker = "catalogue in ";
    const auto at = run.out.find(marker);
    ASSERT_NE(at, std::string::npos) << run.out;
    const auto end = run.out.find('\n', at);
    const fs::path catalogue = run.out.substr(at + marker.size(), end - at - marker.size());
    EXPECT_FALSE(fs::exists(catalogue)) << catalogue;

    for (const std::string& expected :
         {std::string("configuration server "), "imported " + kLegacy, "imported " + kIoBlock,
          std::string("  DAP "), std::string("    module "), std::string("      submodule "),
          std::string("== Configuration =="), std::string("== List of nodes =="),
          std::string("== Topology =="), std::string("accepted by the configuration server"),
          std::string("server shut down")}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << "missing: " << expected;
    }
}

TEST(PnctlDemo, BuildsItsConfigurationFromWhatTheCatalogueOffers) {
    const ToolRun run = Pnctl({"demo", "--json"});
    ExpectReason(run, 0);
    const Json::Value demo = Document(run);

    EXPECT_FALSE(demo["version"].asString().empty());
    ASSERT_EQ(demo["imported"].size(), SampleCount());
    for (const Json::Value& imported : demo["imported"]) {
        EXPECT_TRUE(imported["IsSuccess"].asBool()) << imported;
    }

    const Json::Value& node = demo["listOfNodes"]["DeviceNodeList"][0];
    const std::string dapId = node["GsdRefId"].asString();
    const std::string gsdFile = fs::path(node["GsdPath"].asString()).filename().string();
    const Json::Value* dap = nullptr;
    for (const Json::Value& tree : demo["catalog"]) {
        for (const Json::Value& candidate : tree["DeviceAccessPoints"]) {
            if (tree["GsdName"].asString() == gsdFile && candidate["GsdId"].asString() == dapId) {
                dap = &candidate;
            }
        }
    }
    ASSERT_NE(dap, nullptr) << "the node's access point " << dapId << " of " << gsdFile
                            << " is not in the printed catalogue";
    // The catalogue's name, not a path into the temporary catalogue that is gone.
    EXPECT_EQ(node["GsdPath"].asString(), gsdFile);
    EXPECT_EQ(demo["check"], Json::Value(Json::arrayValue));

    // Every module is one the access point offers, in a slot it allows, and
    // no two share a slot.
    const Json::Value& modules = demo["configuration"]["DeviceListConf"][0]["DeviceModules"];
    ASSERT_GT(modules.size(), 0u);
    std::vector<int> usedSlots;
    for (const Json::Value& module : modules) {
        const Json::Value* offered = nullptr;
        for (const Json::Value& candidate : (*dap)["Modules"]) {
            if (candidate["GsdId"] == module["GsdRefId"]) {
                offered = &candidate;
            }
        }
        ASSERT_NE(offered, nullptr) << module["GsdRefId"];
        const int slot = module["SlotNumber"].asInt();
        bool allowed = false;
        for (const Json::Value& s : (*offered)["Slots"]) {
            allowed = allowed || s.asInt() == slot;
        }
        EXPECT_TRUE(allowed) << module["GsdRefId"] << " in slot " << slot;
        EXPECT_EQ(std::count(usedSlots.begin(), usedSlots.end(), slot), 0) << slot;
        usedSlots.push_back(slot);
    }
    EXPECT_EQ(demo["topology"]["PortInterconnectionList"].size(), 1u) << demo["topology"];
}

// ---------------------------------------------------------------------------
// gsd
// ---------------------------------------------------------------------------

class PnctlGsd : public ::testing::Test {
protected:
    std::vector<std::string> InCatalogue(const TempDir& catalogue,
                                         std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--catalog", catalogue.Path().string()});
        return arguments;
    }

    TempDir inputs_;
};

TEST_F(PnctlGsd, ImportCountsEachFileAndFailsWhenAnyFileFails) {
    const std::string malformed = inputs_ / "malformed.xml";
    WriteFile(malformed, "<ISO15745Profile><unclosed>");
    const std::string notGsd = inputs_ / "not-a-gsd.xml";
    WriteFile(notGsd, "<?xml version=\"1.0\"?><catalog><book/></catalog>");
    const std::string missing = inputs_ / "missing.xml";

    struct Case {
        const char* name;
        std::vector<std::string> files;
        int exitCode;
        unsigned imported;
    };
    const Case cases[] = {
        {"good files", {Sample(kLegacy), Sample(kIoBlock)}, 0, 2},
        {"malformed XML", {malformed}, 1, 0},
        {"XML that is no GSD", {notGsd}, 1, 0},
        {"good, then missing", {Sample(kIoBlock), missing}, 4, 1},
        {"a directory", {inputs_.Path().string()}, 1, 0},
        {"bad before good", {malformed, Sample(kLegacy)}, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir catalogue;
        std::vector<std::string> arguments{"gsd", "import", "--json"};
        arguments.insert(arguments.end(), c.files.begin(), c.files.end());
        const ToolRun run = Pnctl(InCatalogue(catalogue, arguments));
        ExpectReason(run, c.exitCode);
        const Json::Value report = Document(run);
        EXPECT_EQ(report["imported"].asUInt(), c.imported);
        EXPECT_EQ(report["failed"].asUInt(), c.files.size() - c.imported);
        ASSERT_EQ(report["results"].size(), c.files.size());
        for (Json::ArrayIndex i = 0; i < report["results"].size(); ++i) {
            const Json::Value& result = report["results"][i];
            EXPECT_EQ(result["file"].asString(), c.files[i]);
            if (!result["ok"].asBool()) {
                EXPECT_GT(result["reasons"].size(), 0u) << "a failure without a reason";
            }
        }
    }
}

TEST_F(PnctlGsd, CatalogueKeepsImportsAcrossRunsUntilRemoved) {
    TempDir catalogue;
    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "import", Sample(kIoBlock)})), 0);

    // Global options are accepted after the command too.
    ToolRun list = Pnctl({"gsd", "list", "--json", "--catalog", catalogue.Path().string()});
    ExpectReason(list, 0);
    Json::Value installed = Document(list);
    ASSERT_EQ(installed.size(), 1u);
    EXPECT_EQ(installed[0]["GsdName"].asString(), kIoBlock);

    const ToolRun show =
        Pnctl(InCatalogue(catalogue, {"gsd", "show", kIoBlock, "--dap", "DAP_ST", "--records"}));
    ExpectReason(show, 0);
    // What the device comes with, in its slots and subslots, with IO sizes
    // and, on request, parameter records.
    for (const char* line : {"  DAP DAP_ST", "    slot 4 \"DQ 8x24VDC/0.5A\": MOD_DQ8 ",
                             "      subslot 32768 \"PN-IO\": IF_ST ", "  fixed, out 1 bytes\n",
                             "    module MOD_DI16  \"DI 16x24VDC\"  slots 1-4, in 2 bytes\n",
                             "        record 1, 4 bytes  \"Input parameters\"\n"}) {
        EXPECT_NE(show.out.find(line), std::string::npos) << line << " in\n" << show.out;
    }
    EXPECT_EQ(show.out.find("DAP_HF"), std::string::npos) << "--dap must keep one access point";

    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "show", kIoBlock, "--dap", "NO_DAP"})), 1);
    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "remove", kIoBlock})), 0);
    list = Pnctl(InCatalogue(catalogue, {"gsd", "list", "--json"}));
    ExpectReason(list, 0);
    EXPECT_EQ(Document(list).size(), 0u);
    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "remove", kIoBlock})), 1);
    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "show", kIoBlock})), 1);
}

TEST_F(PnctlGsd, QueryRunsFacadeOperationsAndTurnsTheirStatusIntoTheExitCode) {
    TempDir catalogue;
    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "import", Sample(kIoBlock)})), 0);

    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* hex;  // expected status, when the operation ran
    };
    const Case cases[] = {
        {{"GetDevicePhysicalSlots", kIoBlock, "DAP_HF"}, 0, "0x00000000"},
        {{"GetGsdDeviceInfo", kIoBlock}, 0, "0x00000000"},
        {{"LoadAllGsd"}, 0, "0x00000000"},
        {{"GetChannalDiagDescription", kIoBlock, "65535", "false", "0", "0", "1"}, 0, "0x00000000"},
        {{"GetDevicePhysicalSlots", kIoBlock, ""}, 1, "0x80004005"},
        {{"GetGsdDeviceInfo", ""}, 1, "0x80070057"},
        {{"NoSuchOperation"}, 2, nullptr},
        {{"GetGsdDeviceInfo"}, 2, nullptr},
        {{"GetChannalDiagDescription", kIoBlock, "65536", "false", "0", "0", "1"}, 2, nullptr},
        {{"GetChannalDiagDescription", kIoBlock, "1", "maybe", "0", "0", "1"}, 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " with " + std::to_string(c.arguments.size() - 1) +
                     " arguments");
        std::vector<std::string> arguments{"gsd", "query", "--json"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ToolRun run = Pnctl(InCatalogue(catalogue, arguments));
        ExpectReason(run, c.exitCode);
        if (c.hex != nullptr) {
            EXPECT_EQ(Document(run)["hex"].asString(), c.hex);
        }
    }

    // The facade gives a bare status; the reason is the server's own.
    const ToolRun unknown = Pnctl(
        InCatalogue(catalogue, {"gsd", "query", "GetModuleData", kIoBlock, "DAP_HF", "NOPE"}));
    ExpectReason(unknown, 1);
    EXPECT_NE(unknown.err.find("module \"NOPE\" is not described"), std::string::npos)
        << unknown.err;

    const ToolRun slots = Pnctl(InCatalogue(
        catalogue, {"gsd", "query", "--json", "GetDevicePhysicalSlots", kIoBlock, "DAP_HF"}));
    const Json::Value output = Document(slots)["output"];
    ASSERT_TRUE(output.isArray());
    EXPECT_GT(output.size(), 1u);
}

// ---------------------------------------------------------------------------
// config
// ---------------------------------------------------------------------------

TEST_F(PnctlGsd, ConfigCheckFindsEveryKindOfMistakeInTheSampleDocuments) {
    TempDir catalogue;
    ExpectReason(Pnctl(InCatalogue(catalogue, {"gsd", "import", Sample(kIoBlock)})), 0);
    const std::string samples = fs::path(PNCTL_SAMPLES).parent_path().string() + "/config/";
    const auto check = [&](const std::string& set, bool json) {
        std::vector<std::string> arguments{"config", "check"};
        for (const char* name : {"configuration.json", "list-of-nodes.json", "topology.json"}) {
            arguments.push_back(samples + set + name);
        }
        if (json) {
            arguments.push_back("--json");
        }
        return Pnctl(InCatalogue(catalogue, arguments));
    };
    const ToolRun good = check("", false);
    ExpectReason(good, 0);
    EXPECT_EQ(good.out, "0 error(s), 0 warning(s)\n");

    const ToolRun bad = check("mistakes/", false);
    ExpectReason(bad, 1);
    EXPECT_NE(bad.err.find("13 error(s), 2 warning(s)"), std::string::npos) << bad.err;
    const std::string device = "mistakes/configuration.json:/DeviceListConf/";
    const std::string nodes = "mistakes/list-of-nodes.json:/DeviceNodeList/";
    for (const std::string& expected : {
             nodes + "2/GsdPath: error: ",
             nodes + "3/GsdRefId: error: ",
             device + "0/DeviceModules/1/SlotNumber: error: module",
             device + "1/DeviceModules/2/GsdRefId: error: ",
             device + "0/DeviceModules/0/SubModuleList/2/SubSlotNumber: error: ",
             device + "1/DeviceModules/1/SlotNumber: error: slot 1 is already taken",
             device + "0/DeviceModules/0/SubModuleList/1/SubSlotNumber: error: subslot",
             device + "1/DeviceInterface/EthernetAddresses/ProfinetDeviceName/DeviceName: error: ",
             device + "1/DeviceInterface/EthernetAddresses/IpProtocol/"
                      "IpProtocolSetInTheProject/IpAddress: error: IP address already used",
             device + "2/DeviceInterface/EthernetAddresses/IpProtocol/"
                      "IpProtocolSetInTheProject/IpAddress: error: 192.168.1.13 lies outside",
             device + "1/DeviceModules/0/IoAddress/InputAddress/StartAddress: error: input",
             "mistakes/topology.json:/PortInterconnectionList/1/PartnerPort/PortNumber: error: " +
                 std::string(),
         }) {
        EXPECT_NE(bad.out.find(expected), std::string::npos) << "missing: " << expected;
    }
    const ToolRun json = check("mistakes/", true);
    ExpectReason(json, 1);
    const Json::Value report = Document(json);
    EXPECT_EQ(report["accepted"], false);
    ASSERT_EQ(report["findings"].size(), 15u);
    EXPECT_EQ(report["findings"][0]["file"], samples + "mistakes/list-of-nodes.json");
}

// ---------------------------------------------------------------------------
// call
// ---------------------------------------------------------------------------

TEST(PnctlCall, PrintsTheResultOrTheErrorListWithHexCodes) {
    const std::string server = PNCTL_CONFIG_SERVER;

    ToolRun run = Pnctl({"call", "--server", server, "GetVersion"});
    ExpectReason(run, 0);
    EXPECT_TRUE(Document(run).isString()) << run.out;

    run = Pnctl({"call", "--server", server, "RunTest", R"([7, "x", true, 1.5, 2.5])"});
    ExpectReason(run, 0);
    Json::Value echoed = Document(run);
    EXPECT_EQ(echoed["TestInt"].asInt(), 7) << run.out;
    EXPECT_EQ(echoed["TestString"].asString(), "x") << run.out;

    run = Pnctl({"call", "--server", server, "NoSuchMethod"});
    ExpectReason(run, 1);
    EXPECT_NE(run.out.find("0x80010107"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("0x80010107"), std::string::npos) << run.err;

    run = Pnctl({"call", "--json", "--server", server, "NoSuchMethod", "[]"});
    ExpectReason(run, 1);
    const Json::Value failed = Document(run);
    EXPECT_EQ(failed["hex"].asString(), "0x80010107");
    ASSERT_EQ(failed["errors"].size(), 1u);
    EXPECT_EQ(failed["errors"][0]["hex"].asString(), "0x80010107");
    EXPECT_EQ(failed["response"]["error"]["code"].asInt(), -32601);
}

TEST(PnctlCall, RefusesWhatItCannotUseWithItsOwnExitCodes) {
    const std::string server = PNCTL_CONFIG_SERVER;
    TempDir scratch;
    const std::string notJson = scratch / "bad.json";
    WriteFile(notJson, "{\n  \"a\": 1,\n  \"b\": ]\n}");
    const std::string notADocument = scratch / "other.json";
    WriteFile(notADocument, "{\"a\": 1}");
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
        std::string reason;  // part of the line on stderr
    };
    const Case cases[] = {
        {"params that are not JSON",
         {"call", "--server", server, "GetVersion", "[1,"},
         4,
         "Line 1, Column 4"},
        {"a server that does not exist",
         {"call", "--server", scratch / "nothing", "GetVersion"},
         3,
         scratch / "nothing: "},
        {"a server that is no program",
         {"call", "--server", notJson, "GetVersion"},
         3,
         notJson + ": "},
        {"no method", {"call", "--server", server}, 2, ""},
        {"no server", {"call", "GetVersion"}, 2, ""},
        {"a missing document", {"config", "check", scratch / "none.json"}, 4, "none.json: "},
        {"a directory as document",
         {"config", "check", scratch.Path().string()},
         4,
         "is a directory"},
        {"a document that is not JSON", {"config", "check", notJson}, 4, "Line 3, Column 8"},
        {"JSON that is no document", {"config", "check", notADocument}, 4, "no configuration"},
        {"a catalogue that is a file", {"--catalog", notJson, "gsd", "list"}, 4, "not a directory"},
        {"a missing password file",
         {"servo", "watch", "--password-file", scratch / "none"},
         4,
         "none"},
        {"a catalogue that is missing",
         {"--catalog", scratch / "none", "gsd", "list"},
         4,
         "no such directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ToolRun run = Pnctl(c.arguments);
        ExpectReason(run, c.exitCode);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;

        std::vector<std::string> json = c.arguments;
        json.push_back("--json");
        run = Pnctl(json);
        ExpectReason(run, c.exitCode);
        EXPECT_EQ(Document(run)["error"]["exitCode"], c.exitCode);
    }
}

TEST(PnctlCall, NotificationIsSentWithoutWaitingForAnAnswer) {
    const ToolRun run = Pnctl({"call", "--notify", "--server", PNCTL_CONFIG_SERVER, "Exit"});
    ExpectReason(run, 0);
    EXPECT_EQ(run.out, "");
}

// ---------------------------------------------------------------------------
// servo watch
// ---------------------------------------------------------------------------

std::vector<Json::Value> JsonLines(const std::string& text) {
    std::vector<Json::Value> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        Json::Value line;
        EXPECT_TRUE(ParseJson(text.substr(start, end - start), line)) << text;
        lines.push_back(line);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

TEST(PnctlServo, WatchPrintsOneLinePerPushedMessageUntilTheCount) {
    TempDir scratch;
    const std::string good = scratch / "good";
    const std::string bad = scratch / "bad";
    WriteFile(good, "admin\n");
    WriteFile(bad, "not-the-password\r\n");

    ToolRun run = Pnctl(
        {"servo", "watch", "--json", "--count", "3", "--user", "admin", "--password-file", good});
    ExpectReason(run, 0);
    std::vector<Json::Value> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    for (const Json::Value& line : lines) {
        EXPECT_TRUE(line["ok"].asBool()) << line;
        EXPECT_TRUE(line["ip"].isString()) << line;
        EXPECT_TRUE(line["r5276"].isNumeric()) << line;
    }

    // Refused credentials: the server's error is shown once, with its reason.
    run = Pnctl(
        {"servo", "watch", "--json", "--count", "2", "--user", "admin", "--password-file", bad});
    ExpectReason(run, 1);
    EXPECT_NE(run.err.find("refused the credentials: 0xFFFF82FF"), std::string::npos) << run.err;
    lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u) << run.out;
    EXPECT_FALSE(lines[0]["ok"].asBool()) << lines[0];
    EXPECT_TRUE(lines[0]["error"]["hex"].isString()) << lines[0];
}

// ---------------------------------------------------------------------------
// command line
// ---------------------------------------------------------------------------

TEST(PnctlCommandLine, HelpWorksForEveryCommand) {
    const std::vector<std::vector<std::string>> commands = {
        {},
        {"--help"},
        {"config", "check", "--help"},
        {"call", "--help"},
        {"gsd", "--help"},
        {"gsd", "import", "--help"},
        {"gsd", "list", "--help"},
        {"gsd", "show", "--help"},
        {"gsd", "remove", "--help"},
        {"gsd", "query", "--help"},
        {"servo", "watch", "--help"},
        {"demo", "--help"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(testing::PrintToString(command));
        const ToolRun run = Pnctl(command);
        ExpectReason(run, 0);
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << run.out;
    }
    EXPECT_NE(Pnctl({"--help"}).out.find("Exit codes:"), std::string::npos);
    EXPECT_NE(Pnctl({"gsd", "query", "--help"}).out.find("GetDevicePhysicalSlots gsd dap"),
              std::string::npos);
}

TEST(PnctlCommandLine, MisuseExitsWithTwoAndOneLine) {
    const std::vector<std::vector<std::string>> commands = {
        {"config"},
        {"no-such-command"},
        {"gsd"},
        {"gsd", "import"},
        {"--timeout", "5", "gsd", "list"},
        {"demo", "--no-such-option"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        ExpectReason(Pnctl(command), 2);
    }
}

}  // namespace
}  // namespace PnctlTest
