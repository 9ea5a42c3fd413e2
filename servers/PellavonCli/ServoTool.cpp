// SPDX-License-Identifier: Apache-2.0
#include "ServoTool.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Pellavon {

namespace {

bool ReadMilliseconds(const std::string& text, long long low, long long high,
                      std::chrono::milliseconds& out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9) {
        return false;
    }
    const long long value = std::stoll(text);
    if (value < low || value > high) {
        return false;
    }
    out = std::chrono::milliseconds(value);
    return true;
}

// Compares without stopping at the first difference, so the time taken does
// not tell how much of a guess was right.
bool SameSecret(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    }
    return difference == 0;
}

constexpr double kPi = 3.14159265358979323846;

}  // namespace

ServoToolOptions ParseServoToolArguments(const std::vector<std::string>& arguments) {
    const std::vector<std::string>& words = arguments;
    ServoToolOptions options;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string name = words[i];
        std::string value;
        const auto equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        }
        if (name == "--user") {
            options.user = value;
        } else if (name == "--password") {
            options.password = value;
        } else if (name == "--interval") {
            ReadMilliseconds(value, 1, 60000, options.interval);
        } else if (name == "--login-wait") {
            ReadMilliseconds(value, 0, 600000, options.loginWait);
        } else if (name == "--ip") {
            options.ip = value;
        } else if (equals == std::string::npos && !value.empty()) {
            --i;  // not ours: the next word may be an option again
        }
    }
    return options;
}

void Wipe(std::string& secret) {
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i) {
        bytes[i] = '\0';
    }
    secret.clear();
}

CredentialGate::CredentialGate(std::string expectedUser, std::string expectedPassword)
    : expectedUser_(std::move(expectedUser)), expectedPassword_(std::move(expectedPassword)) {}

CredentialGate::State CredentialGate::Feed(std::string& line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty()) {
        return state_;
    }
    static const std::string kUser = "username:";
    static const std::string kPassword = "password:";
    if (line.compare(0, kUser.size(), kUser) == 0) {
        pendingUser_ = line.substr(kUser.size());
        userSeen_ = true;
    } else if (line.compare(0, kPassword.size(), kPassword) == 0 && userSeen_) {
        std::string password = line.substr(kPassword.size());
        const bool userOk = pendingUser_ == expectedUser_;
        const bool passwordOk = SameSecret(password, expectedPassword_);
        Wipe(password);
        state_ = userOk && passwordOk ? State::Accepted : State::Rejected;
        userSeen_ = false;
        pendingUser_.clear();
    } else {
        state_ = State::Missing;
        userSeen_ = false;
        pendingUser_.clear();
    }
    Wipe(line);
    return state_;
}

DriveSimulator::DriveSimulator(std::string ip) : ip_(std::move(ip)) {}

void DriveSimulator::Step(std::chrono::milliseconds dt) {
    const double seconds = std::max(0.0, static_cast<double>(dt.count()) / 1000.0);
    time_ += seconds;
    // Set point: 1500 rpm with a slow 400 rpm swing and a faster 50 rpm one.
    const double setPoint = 1500.0 + 400.0 * std::sin(2.0 * kPi * time_ / 20.0) +
                            50.0 * std::sin(2.0 * kPi * time_ / 3.0);
    // First-order lag with a 0.5 s time constant, stable for any step size.
    const double previous = speed_;
    const double blend = 1.0 - std::exp(-seconds / 0.5);
    speed_ += (setPoint - speed_) * blend;
    const double acceleration = seconds > 0.0 ? (speed_ - previous) / seconds : 0.0;
    // Current: load share proportional to speed, acceleration share, ripple.
    current_ =
        0.8 + 0.0012 * speed_ + 0.002 * acceleration + 0.05 * std::sin(2.0 * kPi * time_ * 7.0);
}

}  // namespace Pellavon
