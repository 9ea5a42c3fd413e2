// SPDX-License-Identifier: Apache-2.0
#include "GsdTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace GsdTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Frame(int id, const std::string& method, const Json::Value& params) {
    Json::Value request(Json::objectValue);
    request["jsonrpc"] = "2.0";
    if (id >= 0) {
        request["id"] = id;
    }
    request["method"] = method;
    request["params"] = params;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    const std::string body = Json::writeString(writer, request);
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

Json::Value Params(std::initializer_list<Json::Value> values) {
    Json::Value params(Json::arrayValue);
    for (const Json::Value& value : values) {
        params.append(value);
    }
    return params;
}

// Splits the server's output into its frames' bodies, keyed by response id.
std::map<int, Json::Value> ReadResponses(const std::string& output) {
    std::map<int, Json::Value> responses;
    std::size_t pos = 0;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    while (pos < output.size()) {
        const std::size_t colon = output.find(':', pos);
        const std::size_t blank = output.find("\r\n\r\n", pos);
        if (colon == std::string::npos || blank == std::string::npos) {
            ADD_FAILURE() << "trailing bytes: " << output.substr(pos);
            break;
        }
        const std::size_t length = std::stoul(output.substr(colon + 1, blank - colon - 1));
        const char* body = output.data() + blank + 4;
        Json::Value value;
        EXPECT_TRUE(reader->parse(body, body + length, &value, nullptr));
        responses[value["id"].asInt()] = value;
        pos = blank + 4 + length;
    }
    return responses;
}

// Runs the server once with the frames as its whole input; returns its output.
std::string RunServer(const fs::path& work, const std::string& tag, const std::string& frames,
                      const fs::path& catalog) {
    const fs::path in = work / (tag + ".in");
    const fs::path out = work / (tag + ".out");
    WriteBytes(in, frames);
    std::string command = std::string("\"") + TAVREL_PN_RUNNER + "\" --catalog=\"" +
                          catalog.u8string() + "\" -l de < \"" + in.u8string() + "\" > \"" +
                          out.u8string() + "\"";
    if (SHELL_WRAP_COMMAND) {
        command = "\"" + command + "\"";
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadBytes(out);
}

TEST(GsdCatalogServer, AnswersCatalogueMethodsBesideTheConfigurationService) {
    ScratchDir dir;
    std::string frames;
    frames += Frame(1, "TavrelImportGsdFile", Params({(kSamples / kIoBlock).u8string()}));
    frames += Frame(2, "GetInstalledGSDsNames", Params({}));
    frames += Frame(3, "GetPluggableModuleCatalog", Params({kIoBlock, "DAP_ST"}));
    frames += Frame(4, "TavrelImportGsdFile", Params({(dir / "nothing.xml").u8string()}));
    frames += Frame(5, "GetGsdDeviceInfo", Params({"GSDML-unknown.xml"}));
    frames += Frame(6, "GetChannalDiagDescription", Params({kIoBlock, 6, false, 0, 0, 0u}));
    frames += Frame(7, "GetLanguage", Params({}));
    frames += Frame(-1, "Exit", Params({}));
    const auto responses = ReadResponses(RunServer(dir.path(), "run", frames, dir / "catalog"));
    ASSERT_EQ(responses.size(), 7u);
    EXPECT_TRUE(responses.at(1)["result"]["IsSuccess"].asBool());
    EXPECT_EQ(responses.at(2)["result"], Params({kIoBlock}));
    EXPECT_EQ(responses.at(3)["result"].size(), 2u);
    EXPECT_FALSE(responses.at(4)["result"]["IsSuccess"].asBool());
    EXPECT_THAT(responses.at(4)["result"]["ErrorMessages"][0].asString(), HasSubstr("cannot read"));
    EXPECT_EQ(responses.at(5)["error"]["code"].asInt(), -32001);
    EXPECT_EQ(responses.at(6)["result"]["AlarmNameText"].asString(),
              "Drahtbruch");  // the "-l" language
    EXPECT_EQ(responses.at(7)["result"].asString(), "de");
    EXPECT_TRUE(fs::exists(dir / "catalog" / kIoBlock));

    // A second run finds the catalogue the first one left.
    const auto again = ReadResponses(RunServer(
        dir.path(), "again", Frame(1, "TavrelGetInstalledGsds", Params({})), dir / "catalog"));
    ASSERT_EQ(again.at(1)["result"].size(), 1u);
    EXPECT_EQ(again.at(1)["result"][0]["GsdName"].asString(), kIoBlock);
}

TEST(GsdCatalogServer, TwoProcessesImportingIntoOneCatalogueBothSucceed) {
    ScratchDir dir;
    constexpr int kFiles = 8;
    const std::string bytes = ReadBytes(kSamples / kLegacy);
    std::string frames[2];
    for (int process = 0; process < 2; ++process) {
        fs::create_directories(dir / ("src" + std::to_string(process)));
        for (int i = 0; i < kFiles; ++i) {
            // Every second file name is shared by both processes.
            const std::string name =
                i % 2 == 0 ? "GSDML-shared-" + std::to_string(i) + ".xml"
                           : "GSDML-p" + std::to_string(process) + "-" + std::to_string(i) + ".xml";
            const fs::path source = dir / ("src" + std::to_string(process)) / name;
            WriteBytes(source, bytes);
            frames[process] += Frame(i, "TavrelImportGsdFile", Params({source.u8string()}));
        }
    }
    std::string outputs[2];
    std::thread first(
        [&] { outputs[0] = RunServer(dir.path(), "p0", frames[0], dir / "catalog"); });
    std::thread second(
        [&] { outputs[1] = RunServer(dir.path(), "p1", frames[1], dir / "catalog"); });
    first.join();
    second.join();
    for (const std::string& output : outputs) {
        const auto responses = ReadResponses(output);
        ASSERT_EQ(responses.size(), static_cast<std::size_t>(kFiles));
        for (const auto& [id, response] : responses) {
            EXPECT_TRUE(response["result"]["IsSuccess"].asBool()) << response.toStyledString();
        }
    }
    int installed = 0;
    for (const auto& entry : fs::directory_iterator(dir / "catalog")) {
        EXPECT_EQ(ReadBytes(entry.path()), bytes) << entry.path();
        ++installed;
    }
    EXPECT_EQ(installed, kFiles / 2 + kFiles);  // 4 shared + 4 of each process, no temporaries
}

}  // namespace
