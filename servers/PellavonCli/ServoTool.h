// SPDX-License-Identifier: Apache-2.0
#pragma once

// The pieces of the servo tuning server that need no process around them:
// its options, the credential check and the simulated drive.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace Pellavon {

struct ServoToolOptions {
    std::string user = "admin";                 // --user
    std::string password = "admin";             // --password
    std::chrono::milliseconds interval{100};    // --interval (ms, 1 to 60000)
    std::chrono::milliseconds loginWait{5000};  // --login-wait (ms, 0 to 600000)
    std::string ip = "192.168.0.10";            // --ip: the drive's address
};

// Reads "--name value" and "--name=value" options (the host's argument text,
// split into words the usual way, quotes grouping). Unknown options and
// malformed numbers are ignored: the default stays.
ServoToolOptions ParseServoToolArguments(const std::vector<std::string>& arguments);

// Follows the two credential lines "username:<user>" and "password:<password>".
// A password line is judged against the expected pair and wiped; the received
// password is never kept. Any other line, or a password without a user line
// before it, counts as missing credentials. A new user line starts over, so a
// host can log in again after a failure.
class CredentialGate {
public:
    enum class State { Waiting, Accepted, Rejected, Missing };

    CredentialGate(std::string expectedUser, std::string expectedPassword);

    // Feeds one line (without its line feed; a trailing CR is ignored).
    // Empty lines are ignored.
    State Feed(std::string& line);
    State Current() const { return state_; }

private:
    std::string expectedUser_;
    std::string expectedPassword_;
    std::string pendingUser_;
    bool userSeen_ = false;
    State state_ = State::Waiting;
};

// Overwrites a string's bytes before it is released.
void Wipe(std::string& secret);

// A small model of a servo drive running a slow speed profile: parameter 5276
// is the actual speed in rpm, which follows a varying set point through a
// first-order lag; parameter 5277 is the motor current in amperes, made of a
// load share plus an acceleration share, with a little deterministic ripple.
class DriveSimulator {
public:
    explicit DriveSimulator(std::string ip);

    // Advances the model by the given time step.
    void Step(std::chrono::milliseconds dt);

    const std::string& Ip() const { return ip_; }
    double Speed() const { return speed_; }      // r5276
    double Current() const { return current_; }  // r5277

private:
    std::string ip_;
    double time_ = 0.0;
    double speed_ = 0.0;
    double current_ = 0.0;
};

}  // namespace Pellavon
