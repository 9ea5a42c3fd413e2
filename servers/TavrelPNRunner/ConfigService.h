// SPDX-License-Identifier: Apache-2.0
#pragma once

// The general services of the configuration server: version, language,
// assembly information and the two echo-style test calls.

#include <RpcDispatcher.h>

#include <string>
#include <vector>

namespace TavrelPN {

// "TestStructArray" answers at most this many copies; a larger (or negative)
// count is refused with -32602 so a careless caller cannot make the server
// build an answer of unbounded size.
constexpr int kMaxTestStructCount = 10000;

// The language reported when the server was started without "-l ".
constexpr const char* kDefaultLanguage = "en";

struct ConfigServiceOptions {
    std::string language = kDefaultLanguage;
};

// Reads the server's command-line arguments. The host passes "-l " and a value;
// depending on how the arguments were split, "-l" and the value arrive as one
// argument or as two, so both are understood. Everything after "-l " up to the
// end of the arguments is the value (surrounding blanks removed). An empty or
// missing value keeps the default language. Unknown arguments are ignored.
ConfigServiceOptions ParseConfigServiceArguments(const std::vector<std::string>& arguments);

// Registers "GetVersion", "GetLanguage", "GetAssemblyInfo", "RunTest" and
// "TestStructArray". Wrong params are answered with -32602.
void AddConfigService(ServerKit::RpcDispatcher& dispatcher, const ConfigServiceOptions& options);

}  // namespace TavrelPN
