// SPDX-License-Identifier: Apache-2.0
// A server whose behaviour the tests choose per call, by method name, framing
// on its own so that a framing fault in the library cannot hide behind it.
// --pidfile <path> writes its id (atomically); --exit <code> exits at once;
// --linger ignores SIGPIPE and outlives its input, so only the host's job ends
// it; --control <path>: that file's first word, read before every "echo"
// answer, picks how to misbehave ("deaf" at start-up: never read at all).

#include <json/json.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "JsonText.h"
#include "ScriptedServerOs.h"
#include "TestFraming.h"

namespace {

Json::Value g_argv(Json::arrayValue);
std::string g_control;

void WriteRaw(const std::string& bytes, std::FILE* out = stdout) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}

void WriteJson(const Json::Value& value, std::FILE* out = stdout) {
    WriteRaw(TestFraming::Frame(TestJson::Compact(value) + "\n"), out);
}

Json::Value Result(const Json::Value& id, const Json::Value& result) {
    Json::Value response(Json::objectValue);
    response["jsonrpc"] = "2.0";
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

// Answers written as they are, with ID replaced by the request's id.
const std::map<std::string, std::string> kCanned = {
    {"wrongId", R"({"jsonrpc":"2.0","id":1ID,"result":true})"},
    {"stringId", R"({"jsonrpc":"2.0","id":"ID","result":true})"},
    {"noId", R"({"jsonrpc":"2.0","result":true})"},
    {"wrongVersion", R"({"jsonrpc":"1.0","id":ID,"result":true})"},
    {"batch", R"([{"jsonrpc":"2.0","id":ID,"result":1},{"jsonrpc":"2.0","id":ID,"result":2}])"},
    {"batchMixed", R"([{"jsonrpc":"2.0","id":ID,"error":{"code":-32602,"message":"bad params"}},)"
                   R"({"jsonrpc":"1.0","id":ID,"result":1},{"jsonrpc":"2.0","id":ID,"result":3}])"},
    {"errorTwice", R"([{"jsonrpc":"2.0","id":ID,"error":{"code":-32601,"message":"first"}},)"
                   R"({"jsonrpc":"2.0","id":ID,"error":{"code":-32602,"message":"second"}}])"},
    {"null", "null"},
    {"emptyArray", "[]"},
    {"numberElement", "[5]"},
    {"garbage", "{this is not json"},
};

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
    const std::string frame = TestFraming::Frame(TestJson::Compact(Result(id, params)) + "\n");
    if (mode == "garbage") {
        WriteRaw("%%garbage{]\x01\x02 Content-Length: twelve\n");
    } else if (mode == "badjson") {
        WriteRaw(TestFraming::Frame("{\"jsonrpc\": \"2.0\", \"id\": [}"));
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
    const Json::Value id = request["id"];
    if (!request.isMember("id")) {
        if (method == "Exit") {
            std::exit(0);
        }
        if (method == "ReplyAnyway") {
            WriteJson(Result(Json::Value(0), "unasked"));
        }
        return true;
    }
    if (method == "echo" && !g_control.empty()) {
        const std::string mode = ControlWord();
        if (mode == "closeout") {
            method = "closeOutput";
        } else if (Misbehave(mode, id, params)) {
            return true;
        }
    }
    const auto canned = kCanned.find(method);
    if (canned != kCanned.end()) {
        std::string body = canned->second;
        for (auto at = body.find("ID"); at != std::string::npos; at = body.find("ID", at)) {
            body.replace(at, 2, std::to_string(id.asInt()));
        }
        WriteRaw(TestFraming::Frame(body));
    } else if (method == "echo") {
        WriteJson(Result(id, params));
    } else if (method == "error") {
        WriteJson(Error(id, params[0].asInt(), params[1].asString()));
    } else if (method == "badHeader") {
        WriteRaw("Content-Type: text/plain\r\n\r\n");
    } else if (method == "closeOutput") {
        ScriptedOs::CloseOutputs();
        // Keep running; end when the host closes our input.
        std::string ignored;
        while (TestFraming::ReadFrame(stdin, ignored)) {
        }
        return false;
    } else if (method == "exit") {
        std::fflush(stdout);
        std::_Exit(params[0].asInt());
    } else if (method == "pid") {
        WriteJson(Result(id, ScriptedOs::CurrentProcessId()));
    } else if (method == "sleep") {
        Sleep(params[0].asInt());
        WriteJson(Result(id, true));
    } else if (method == "fds") {
        WriteJson(Result(id, ScriptedOs::OpenDescriptors()));
    } else if (method == "argv") {
        WriteJson(Result(id, g_argv));
    } else if (method == "cwd") {
        WriteJson(Result(id, std::filesystem::current_path().string()));
    } else if (method == "env") {
        const char* value = std::getenv(params[0].asCString());
        WriteJson(Result(id, value != nullptr ? value : ""));
    } else if (method == "spawnChild") {
        WriteJson(Result(id, ScriptedOs::SpawnSleeper()));
    } else if (method == "stderr") {
        // A reply written through standard error arrives on the same pipe.
        WriteJson(Result(id, "via stderr"), stderr);
    } else {
        WriteJson(Error(id, -32601, "Method not found"));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ScriptedOs::PrepareStdio();
    g_argv.append(argv[0]);
    bool linger = false;
    for (int i = 1; i < argc; ++i) {
        g_argv.append(argv[i]);
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
    while (TestFraming::ReadFrame(stdin, body)) {
        Json::Value request;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
        if (!reader->parse(body.data(), body.data() + body.size(), &request, &errors)) {
            WriteJson(Error(Json::Value(), -32700, errors));
        } else if (!Handle(request)) {
            break;
        }
    }
    while (linger) {
        Sleep(1000);
    }
    return 0;
}
