// SPDX-License-Identifier: Apache-2.0
// The servo tuning server. After start it reads the credential lines on stdin
// and pushes one framed JSON-RPC response per interval on stdout: the drive's
// address and two parameters, or an error object while the credentials are
// missing or wrong. It ends at the end of its input, and as soon as one of its
// companion files is missing. stdout and stderr share the host's pipe, so it
// writes nothing but frames.

#include "ServoTool.h"

#include <FrameLoop.h>
#include <RpcDispatcher.h>

#include <json/value.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kExitMissingCompanion = 2;
constexpr int kErrorRejected = -32001;
constexpr int kErrorMissing = -32002;

// The companion files' names come from the build, which also places them.
std::vector<std::filesystem::path> CompanionFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    const std::string names = PELLAVON_COMPANION_FILES;
    std::size_t start = 0;
    while (start <= names.size()) {
        const auto end = names.find('|', start);
        const std::string name = names.substr(start, end - start);
        if (!name.empty()) {
            files.push_back(folder / name);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return files;
}

bool AllPresent(const std::vector<std::filesystem::path>& files) {
    for (const auto& file : files) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) {
            return false;
        }
    }
    return true;
}

// What the stdin reader thread shares with the pushing main thread.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    Pellavon::CredentialGate gate;
    bool inputEnded = false;

    Shared(const std::string& user, const std::string& password) : gate(user, password) {}
};

void ReadCredentials(Shared& shared) {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.gate.Feed(line);
        shared.changed.notify_all();
    }
    Pellavon::Wipe(line);
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.inputEnded = true;
    shared.changed.notify_all();
}

Json::Value MakePush(long long sequence, Pellavon::CredentialGate::State state,
                     const Pellavon::DriveSimulator& drive) {
    using State = Pellavon::CredentialGate::State;
    if (state != State::Accepted) {
        const bool rejected = state == State::Rejected;
        return ServerKit::MakeErrorResponse(
            Json::Value(static_cast<Json::Int64>(sequence)),
            rejected ? kErrorRejected : kErrorMissing,
            rejected ? "invalid user name or password" : "credentials missing");
    }
    Json::Value result(Json::objectValue);
    result["ip"] = drive.Ip();
    result["r5276"] = drive.Speed();
    result["r5277"] = drive.Current();
    Json::Value response(Json::objectValue);
    response["jsonrpc"] = "2.0";
    response["id"] = Json::Value(static_cast<Json::Int64>(sequence));
    response["result"] = result;
    return response;
}

int Run(const std::vector<std::string>& arguments, const std::filesystem::path& folder) {
    const auto companions = CompanionFiles(folder);
    if (!AllPresent(companions)) {
        return kExitMissingCompanion;
    }
    const Pellavon::ServoToolOptions options = Pellavon::ParseServoToolArguments(arguments);
    Shared shared(options.user, options.password);
    Pellavon::DriveSimulator drive(options.ip);

    // The reader blocks in stdin and cannot be interrupted portably, so it is
    // detached; the process ends as soon as main returns.
    std::thread(ReadCredentials, std::ref(shared)).detach();

    std::unique_lock<std::mutex> lock(shared.mutex);
    // Give the host time to send its credentials before complaining, and keep
    // watching the companion files meanwhile.
    const auto loginDeadline = std::chrono::steady_clock::now() + options.loginWait;
    const auto decided = [&] {
        return shared.inputEnded ||
               shared.gate.Current() != Pellavon::CredentialGate::State::Waiting;
    };
    while (!decided() && std::chrono::steady_clock::now() < loginDeadline) {
        if (!AllPresent(companions)) {
            return kExitMissingCompanion;
        }
        shared.changed.wait_until(
            lock, std::min(loginDeadline, std::chrono::steady_clock::now() + options.interval),
            decided);
    }
    long long sequence = 0;
    auto next = std::chrono::steady_clock::now();
    while (!shared.inputEnded) {
        if (!AllPresent(companions)) {
            return kExitMissingCompanion;
        }
        drive.Step(options.interval);
        const Json::Value push = MakePush(++sequence, shared.gate.Current(), drive);
        lock.unlock();
        ServerKit::WriteMessageFrame(std::cout, push);
        if (!std::cout) {
            return 0;  // nobody listens any more
        }
        lock.lock();
        next += options.interval;
        if (next < std::chrono::steady_clock::now()) {
            next = std::chrono::steady_clock::now();  // fell behind: no burst to catch up
        }
        shared.changed.wait_until(lock, next, [&] { return shared.inputEnded; });
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        ServerKit::UseBinaryStdio();
        std::ios::sync_with_stdio(false);
        std::error_code error;
        const auto self = std::filesystem::absolute(argc > 0 ? argv[0] : "", error);
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        const int code = Run(arguments, self.parent_path());
        std::cout.flush();
        // The detached reader may still sit in a read of stdin; leave without
        // running static destructors under its feet.
        std::_Exit(code);
    } catch (...) {
        std::_Exit(1);
    }
}
