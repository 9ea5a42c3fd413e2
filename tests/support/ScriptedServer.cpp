// SPDX-License-Identifier: Apache-2.0
// A server whose behaviour the tests choose per call, by method name: it
// answers correctly, with each kind of error, with the wrong id, with
// batches, null or garbage; it closes its output or exits with a given code.
// It reads and writes frames on its own (not through the library), so a
// framing fault in the library cannot hide behind a matching fault here.
//
// Options: --pidfile <path> writes the process id (atomically) at start;
//          --exit <code> exits at once with that code;
//          --linger outlives its host: ignores SIGPIPE and keeps running
//            after its input ends, so only the host's job can end it;
//          --control <path> for the chaos tests: the first word of that file,
//            read before every "echo" answer, picks how to misbehave (see
//            Misbehave); "deaf" at start-up means never reading at all.

#include <json/json.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedServerOs.h"
#include "TestFraming.h"

namespace {

std::vector<std::string> g_argv;
std::string g_control;

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

std::string ControlWord() {
    std::string word;
    std::ifstream(g_control) >> word;
    return word;
}

void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The chaos modes of "echo"; false for a plain answer (any other word).
bool Misbehave(const std::string& mode, const Json::Value& id, const Json::Value& params) {
    const std::string frame = TestFraming::Frame(Text(Result(id, params)));
    if (mode == "garbage") {
        WriteRaw("%%garbage{]\x01\x02 Content-Length: twelve\n");
    } else if (mode == "badjson") {
        WriteBody("{\"jsonrpc\": \"2.0\", \"id\": [}");
    } else if (mode == "partial") {  // three quarters of a frame
        WriteRaw(frame.substr(0, frame.size() - frame.size() / 4));
    } else if (mode == "bytewise") {
        for (std::size_t i = 0; i < frame.size(); ++i) {
            WriteRaw(frame.substr(i, 1));
            if (i % 16 == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    } else if (mode == "huge") {  // a 10 MB member beside the result
        Json::Value response = Result(id, params);
        response["pad"] = std::string(10u << 20, 'x');
        WriteJson(response);
    } else if (mode == "noise") {
        WriteRaw("warning: cache directory is not writable, using memory\n", stderr);
        WriteRaw(frame);
    } else if (mode == "slow") {
        Sleep(300);
        WriteRaw(frame);
    } else if (mode == "liar") {  // announces 2 GB, then ends
        WriteRaw("Content-Length: 2000000000\r\n\r\n");
        std::_Exit(0);
    } else if (mode == "die") {
        WriteRaw("Content-Len");
        std::_Exit(3);
    } else {
        return false;
    }
    return true;
}

// Returns false when the server should stop reading.
bool Handle(const Json::Value& request) {
    std::string method = request.get("method", "").asString();
    const Json::Value& params = request["params"];
    const bool isNotification = !request.isMember("id");
    const Json::Value id = request["id"];
    if (method == "echo" && !isNotification && !g_control.empty()) {
        const std::string mode = ControlWord();
        if (mode == "closeout") {
            method = "closeOutput";
        } else if (Misbehave(mode, id, params)) {
            return true;
        }
    }
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
    } else if (method == "null" || method == "emptyArray" || method == "numberElement") {
        WriteBody(method == "null" ? "null\n" : method == "emptyArray" ? "[]\n" : "[5]\n");
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
        Sleep(params[0].asInt());
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
        WriteJson(Result(id, std::filesystem::current_path().string()));
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
    bool linger = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--linger") {
            linger = true;
#ifdef SIGPIPE
            std::signal(SIGPIPE, SIG_IGN);
#endif
        } else if (option == "--control") {
            g_control = value;
        } else if (option == "--exit") {
            return std::atoi(value.c_str());
        } else if (option == "--pidfile") {
            std::ofstream(value + ".tmp") << ScriptedOs::CurrentProcessId() << "\n";
            std::rename((value + ".tmp").c_str(), value.c_str());
        }
    }
    while (!g_control.empty() && ControlWord() == "deaf") {
        Sleep(1000);
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
    while (linger) {
        Sleep(1000);
    }
    return 0;
}
