// SPDX-License-Identifier: Apache-2.0
// A server whose behaviour the tests choose per call, by method name: it
// answers correctly, with each kind of error, with the wrong id, with
// batches, null or garbage; it closes its output or exits with a given code.
// It reads and writes frames on its own (not through the library), so a
// framing fault in the library cannot hide behind a matching fault here.
//
// Options: --pidfile <path> writes the process id (atomically) at start;
//          --exit <code> exits at once with that code.

#include <json/json.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedServerOs.h"
#include "TestFraming.h"

namespace {

std::vector<std::string> g_argv;

using TestFraming::Read;
using TestFraming::ReadFrame;

void WriteRaw(const std::string& bytes, std::FILE* out = stdout) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}

void WriteBody(const std::string& body) {
    WriteRaw(TestFraming::Frame(body));
}

std::string Text(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value) + "\n";
}

void WriteJson(const Json::Value& value) {
    WriteBody(Text(value));
}

Json::Value Result(const Json::Value& id, const Json::Value& result, const char* version = "2.0") {
    Json::Value response(Json::objectValue);
    response["jsonrpc"] = version;
    response["id"] = id;
    response["result"] = result;
    return response;
}

Json::Value Error(const Json::Value& id, int code, const std::string& message) {
    Json::Value response = Result(id, Json::Value());
    response.removeMember("result");
    response["error"]["code"] = code;
    response["error"]["message"] = message;
    return response;
}

// Returns false when the server should stop reading.
bool Handle(const Json::Value& request) {
    const std::string method = request.get("method", "").asString();
    const Json::Value& params = request["params"];
    const bool isNotification = !request.isMember("id");
    const Json::Value id = request["id"];
    if (isNotification) {
        if (method == "Exit") {
            std::exit(0);
        }
        if (method == "ReplyAnyway") {
            WriteJson(Result(Json::Value(0), "unasked"));
        }
        return true;
    }
    if (method == "echo") {
        WriteJson(Result(id, params));
    } else if (method == "add") {
        int sum = 0;
        for (const Json::Value& v : params) {
            sum += v.asInt();
        }
        WriteJson(Result(id, sum));
    } else if (method == "result") {
        // The result is the first param, whatever it is; no param: no result.
        Json::Value response = Result(id, params.isArray() ? params[0] : Json::Value());
        if (!params.isArray() || params.empty()) {
            response.removeMember("result");
        }
        WriteJson(response);
    } else if (method == "error") {
        WriteJson(Error(id, params[0].asInt(), params[1].asString()));
    } else if (method == "wrongId") {
        WriteJson(Result(Json::Value(id.asInt() + 1000), true));
    } else if (method == "stringId") {
        WriteJson(Result(Json::Value(std::to_string(id.asInt())), true));
    } else if (method == "noId") {
        Json::Value response = Result(id, true);
        response.removeMember("id");
        WriteJson(response);
    } else if (method == "wrongVersion") {
        WriteJson(Result(id, true, "1.0"));
    } else if (method == "batch") {
        Json::Value batch(Json::arrayValue);
        batch.append(Result(id, 1));
        batch.append(Result(id, 2));
        WriteJson(batch);
    } else if (method == "batchMixed") {
        Json::Value batch(Json::arrayValue);
        batch.append(Error(id, -32602, "bad params"));
        batch.append(Result(id, 1, "1.0"));
        batch.append(Result(id, 3));
        WriteJson(batch);
    } else if (method == "errorTwice") {
        Json::Value batch(Json::arrayValue);
        batch.append(Error(id, -32601, "first"));
        batch.append(Error(id, -32602, "second"));
        WriteJson(batch);
    } else if (method == "null") {
        WriteBody("null\n");
    } else if (method == "emptyArray") {
        WriteBody("[]\n");
    } else if (method == "numberElement") {
        WriteBody("[5]\n");
    } else if (method == "garbage") {
        WriteBody("{this is not json");
    } else if (method == "badHeader") {
        WriteRaw("Content-Type: text/plain\r\n\r\n");
    } else if (method == "closeOutput") {
        ScriptedOs::CloseOutputs();
        // Keep running; end when the host closes our input.
        std::string ignored;
        while (ReadFrame(stdin, ignored) != Read::End) {
        }
        return false;
    } else if (method == "exit") {
        std::fflush(stdout);
        std::_Exit(params[0].asInt());
    } else if (method == "signal") {
        // Ends by the given signal (sanitizers intercept some crash signals,
        // so the tests pick one they leave alone).
        std::raise(params[0].asInt());
    } else if (method == "pid") {
        WriteJson(Result(id, ScriptedOs::CurrentProcessId()));
    } else if (method == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(params[0].asInt()));
        WriteJson(Result(id, true));
    } else if (method == "fds") {
        WriteJson(Result(id, ScriptedOs::OpenDescriptors()));
    } else if (method == "argv") {
        Json::Value list(Json::arrayValue);
        for (const std::string& word : g_argv) {
            list.append(word);
        }
        WriteJson(Result(id, list));
    } else if (method == "cwd") {
        WriteJson(Result(id, ScriptedOs::CurrentDirectory()));
    } else if (method == "env") {
        const char* value = std::getenv(params[0].asCString());
        WriteJson(Result(id, value != nullptr ? value : ""));
    } else if (method == "spawnChild") {
        WriteJson(Result(id, ScriptedOs::SpawnSleeper()));
    } else if (method == "stderr") {
        // A reply written through standard error arrives on the same pipe.
        WriteRaw(TestFraming::Frame(Text(Result(id, "via stderr"))), stderr);
    } else {
        WriteJson(Error(id, -32601, "Method not found"));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ScriptedOs::PrepareStdio();
    g_argv.assign(argv, argv + argc);
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--exit") {
            return std::atoi(argv[i + 1]);
        }
        if (option == "--pidfile") {
            const std::string path = argv[i + 1];
            {
                std::ofstream out(path + ".tmp");
                out << ScriptedOs::CurrentProcessId() << "\n";
            }
            std::rename((path + ".tmp").c_str(), path.c_str());
        }
    }
    std::string body;
    while (ReadFrame(stdin, body) == Read::Body) {
        Json::CharReaderBuilder builder;
        Json::Value request;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        if (!reader->parse(body.data(), body.data() + body.size(), &request, &errors)) {
            WriteJson(Error(Json::Value(), -32700, errors));
            continue;
        }
        if (!Handle(request)) {
            break;
        }
    }
    return 0;
}
