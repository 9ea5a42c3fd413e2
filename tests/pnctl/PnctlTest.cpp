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
        {"good, then missing", {Sample(kIoBlock), missing}, 1, 1},
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
        Pnctl(InCatalogue(catalogue, {"gsd", "show", kIoBlock, "--dap", "DAP_ST"}));
    ExpectReason(show, 0);
    EXPECT_NE(show.out.find("  DAP DAP_ST"), std::string::npos) << show.out;
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

    const ToolRun slots = Pnctl(InCatalogue(
        catalogue, {"gsd", "query", "--json", "GetDevicePhysicalSlots", kIoBlock, "DAP_HF"}));
    const Json::Value output = Document(slots)["output"];
    ASSERT_TRUE(output.isArray());
    EXPECT_GT(output.size(), 1u);
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

TEST(PnctlCall, RefusesWhatItCannotSendWithItsOwnExitCodes) {
    const std::string server = PNCTL_CONFIG_SERVER;
    TempDir scratch;
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        int exitCode;
    };
    const Case cases[] = {
        {"params that are not JSON", {"call", "--server", server, "GetVersion", "[1,"}, 4},
        {"a server that does not exist",
         {"call", "--server", scratch / "nothing", "GetVersion"},
         3},
        {"no method", {"call", "--server", server}, 2},
        {"no server", {"call", "GetVersion"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = Pnctl(c.arguments);
        ExpectReason(run, c.exitCode);
        EXPECT_EQ(run.out, "");
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

    // Refused credentials: the server keeps pushing its error, which is shown
    // with its code; watching itself does not fail.
    run = Pnctl(
        {"servo", "watch", "--json", "--count", "2", "--user", "admin", "--password-file", bad});
    ExpectReason(run, 0);
    lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    for (const Json::Value& line : lines) {
        EXPECT_FALSE(line["ok"].asBool()) << line;
        EXPECT_TRUE(line["error"]["hex"].isString()) << line;
    }
}

// ---------------------------------------------------------------------------
// command line
// ---------------------------------------------------------------------------

TEST(PnctlCommandLine, HelpWorksForEveryCommand) {
    const std::vector<std::vector<std::string>> commands = {
        {"--help"},
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
        SCOPED_TRACE(command.front() + (command.size() > 2 ? " " + command[1] : ""));
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
        {},
        {"no-such-command"},
        {"gsd"},
        {"gsd", "import"},
        {"--timeout", "5", "gsd", "list"},
        {"demo", "--no-such-option"},
        {"servo", "watch", "--password-file", "/no/such/file"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.empty() ? std::string("(nothing)") : command.front());
        ExpectReason(Pnctl(command), 2);
    }
}

}  // namespace
}  // namespace PnctlTest
