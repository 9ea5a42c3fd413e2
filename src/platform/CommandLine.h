// SPDX-License-Identifier: Apache-2.0
#pragma once

// Command lines for backends that build an argv themselves (POSIX). Pure, so
// usable and testable everywhere.

#include <string>
#include <vector>

namespace RpcClient::Platform {

// Splits an argument string into words by the rules the Windows shell's
// command-line parser applies to every word after the program name: words
// are separated by blanks and tabs; double quotes group; 2n backslashes
// before a quote give n backslashes and the quote acts, 2n+1 give n and a
// literal quote; other backslashes are literal; inside quotes, a doubled
// quote gives a literal quote and ends the quoted stretch. Total: never
// fails, whatever the input.
std::vector<std::wstring> SplitCommandLine(const std::wstring& arguments);

}  // namespace RpcClient::Platform
