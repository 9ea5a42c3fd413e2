// SPDX-License-Identifier: Apache-2.0
#include "ServoTool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Pellavon::CredentialGate;
using State = CredentialGate::State;
using namespace std::chrono_literals;

TEST(ServoToolArguments, OptionsInBothSpellingsAndBadNumbersKeepDefaults) {
    const auto options = Pellavon::ParseServoToolArguments(
        {"--user", "ann", "--password=p w", "--verbose", "--interval", "25", "--ip=10.0.0.7"});
    EXPECT_EQ(options.user, "ann");
    EXPECT_EQ(options.password, "p w");
    EXPECT_EQ(options.interval, 25ms);
    EXPECT_EQ(options.ip, "10.0.0.7");

    const Pellavon::ServoToolOptions defaults;
    EXPECT_EQ(Pellavon::ParseServoToolArguments({"--interval=60000"}).interval, 60000ms);
    for (const char* bad : {"0", "-5", "abc", "60001", "99999999999999"}) {
        EXPECT_EQ(Pellavon::ParseServoToolArguments({"--interval", bad}).interval,
                  defaults.interval)
            << bad;
    }
    EXPECT_EQ(Pellavon::ParseServoToolArguments({"--login-wait=0"}).loginWait, 0ms);
}

TEST(CredentialGate, JudgesLineSequences) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        State expected;
    } cases[] = {
        {"NothingYet", {}, State::Waiting},
        {"UserOnly", {"username:ann"}, State::Waiting},
        {"RightPair", {"username:ann", "password:secret"}, State::Accepted},
        {"RightPairWithCrLf", {"username:ann\r", "password:secret\r"}, State::Accepted},
        {"BlankLinesIgnored", {"", "username:ann", "", "password:secret"}, State::Accepted},
        {"WrongPassword", {"username:ann", "password:secreT"}, State::Rejected},
        {"PasswordPrefix", {"username:ann", "password:secre"}, State::Rejected},
        {"WrongUser", {"username:bob", "password:secret"}, State::Rejected},
        {"EmptyUser", {"username:", "password:secret"}, State::Rejected},
        {"PasswordFirst", {"password:secret", "username:ann"}, State::Missing},
        {"NotACredentialLine", {"hello"}, State::Missing},
        {"TwoPasswords", {"username:ann", "password:secret", "password:secret"}, State::Missing},
        {"LoginAgainAfterFailure",
         {"username:ann", "password:x", "username:ann", "password:secret"},
         State::Accepted},
        {"WrongLoginAfterSuccess",
         {"username:ann", "password:secret", "username:ann", "password:x"},
         State::Rejected},
    };
    for (const auto& c : cases) {
        CredentialGate gate("ann", "secret");
        for (std::string line : c.lines) {
            gate.Feed(line);
            EXPECT_TRUE(line.empty()) << c.name << ": a fed line is wiped";
        }
        EXPECT_EQ(gate.Current(), c.expected) << c.name;
    }
}

// Over two minutes in 100 ms steps the drive's values change every step and
// stay within what a real drive shows.
TEST(DriveSimulator, ValuesChangeAndStayPlausible) {
    Pellavon::DriveSimulator drive("10.1.2.3");
    for (int step = 0; step < 1200; ++step) {
        const double previousSpeed = drive.Speed();
        drive.Step(100ms);
        ASSERT_NE(drive.Speed(), previousSpeed) << step;
        ASSERT_GE(drive.Speed(), 0.0) << step;
        ASSERT_LE(drive.Speed(), 2500.0) << step;
        ASSERT_GT(drive.Current(), 0.0) << step;
        ASSERT_LT(drive.Current(), 20.0) << step;
    }
}

}  // namespace
