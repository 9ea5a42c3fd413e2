// SPDX-License-Identifier: Apache-2.0
// A server that misbehaves on demand, for the soak test. It answers the
// method "echo" with {"echo": <params>, "pad": <text>}, but before every
// answer it reads a control file whose first word picks how to answer:
//   ok         a correct frame
//   garbage    a line of junk and no frame
//   badjson    a frame whose body is not JSON
//   partial    a header and only half the body it announces
//   bytewise   a correct frame written one byte per write
//   huge       a correct frame with a 10 MB pad
//   noise      a line of diagnostics on stderr, then a correct frame
//   closeout   closes stdout and stderr and keeps running until stdin ends
//   die        half a header, then exits with code 3
//   slow       a correct frame after 300 ms
//   liar       "Content-Length: 2000000000" and a blank line, then exits
// One word counts at start-up only:
//   deaf       never reads its input at all (sleeps until killed)
// Any other word (or no file) means ok. It reads frames on its own, not with
// the library, so a framing fault in the library cannot hide behind the
// same fault here.
// With --linger it outlives its host on its own: it ignores SIGPIPE and
// keeps running when its input ends, so only the host's job can end it.
//   jrc_chaos_server --control <path> --pidfile <path> [--linger]

#include <signal.h>
#include <unistd.h>

#include <json/json.h>

#include "TestFraming.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

std::string g_control;

using TestFraming::Frame;
using TestFraming::Read;
using TestFraming::ReadFrame;

// Plain write(2): stdout may be closed on purpose, and a host that has gone
// away ends this process through SIGPIPE, which is what a real server does.
void WriteOut(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string Mode() {
    std::ifstream in(g_control);
    std::string word;
    in >> word;
    return word;
}

std::string Body(const Json::Value& request, const std::string& pad) {
    Json::Value response(Json::objectValue);
    response["jsonrpc"] = "2.0";
    response["id"] = request["id"];
    response["result"]["echo"] = request["params"];
    response["result"]["pad"] = pad;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, response) + "\n";
}

void Answer(const Json::Value& request) {
    const std::string mode = Mode();
    if (mode == "garbage") {
        WriteOut(1, "%%garbage{]\x01\x02 Content-Length: twelve\n");
    } else if (mode == "badjson") {
        WriteOut(1, Frame("{\"jsonrpc\": \"2.0\", \"id\": [}"));
    } else if (mode == "partial") {
        const std::string frame = Frame(Body(request, ""));
        WriteOut(1, frame.substr(0, frame.size() - frame.size() / 4));
    } else if (mode == "bytewise") {
        const std::string frame = Frame(Body(request, ""));
        for (std::size_t i = 0; i < frame.size(); ++i) {
            WriteOut(1, frame.substr(i, 1));
            if (i % 16 == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    } else if (mode == "huge") {
        WriteOut(1, Frame(Body(request, std::string(10u << 20, 'x'))));
    } else if (mode == "noise") {
        WriteOut(2, "warning: cache directory is not writable, using memory\n");
        WriteOut(1, Frame(Body(request, "")));
    } else if (mode == "closeout") {
        close(1);
        close(2);
        std::string ignored;
        while (ReadFrame(stdin, ignored) != Read::End) {
        }
        std::exit(0);
    } else if (mode == "slow") {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        WriteOut(1, Frame(Body(request, "")));
    } else if (mode == "liar") {
        WriteOut(1, "Content-Length: 2000000000\r\n\r\n");
        std::_Exit(0);
    } else if (mode == "die") {
        WriteOut(1, "Content-Len");
        std::_Exit(3);
    } else {
        WriteOut(1, Frame(Body(request, "")));
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool linger = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--linger") {
            linger = true;
            signal(SIGPIPE, SIG_IGN);
        } else if (option == "--control" && i + 1 < argc) {
            g_control = argv[++i];
        } else if (option == "--pidfile" && i + 1 < argc) {
            const std::string path = argv[++i];
            const std::string temporary = path + "." + std::to_string(getpid());
            std::ofstream(temporary) << getpid() << "\n";
            std::rename(temporary.c_str(), path.c_str());
        }
    }
    if (Mode() == "deaf") {
        for (;;) {
            pause();
        }
    }
    std::string body;
    for (Read read; (read = ReadFrame(stdin, body)) != Read::End;) {
        if (read == Read::NotAHeader) {
            continue;  // not a frame: skip the line, answer nothing
        }
        Json::Value request;
        std::string errors;
        const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
        if (!reader->parse(body.data(), body.data() + body.size(), &request, &errors) ||
            !request.isObject() || !request.isMember("id")) {
            continue;  // a notification or something unreadable: no answer
        }
        Answer(request);
    }
    while (linger) {
        pause();
    }
    return 0;
}
