// SPDX-License-Identifier: Apache-2.0
// Argument splitting shared by every backend that has to build an argv
// itself. Servers see the same words whichever system started them, so the
// split follows the Windows rules for the words after the program name.

#include "platform/CommandLine.h"

namespace RpcClient {
namespace Platform {

namespace {
bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& arguments) {
    std::vector<std::wstring> words;
    const std::size_t n = arguments.size();
    std::size_t i = 0;
    while (true) {
        while (i < n && IsBlank(arguments[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::wstring word;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(arguments[i]))) {
            const wchar_t c = arguments[i];
            if (c == L'\\') {
                std::size_t slashes = 0;
                while (i < n && arguments[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && arguments[i] == L'"') {
                    word.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        word.push_back(L'"');
                        ++i;
                    }
                    // An even run leaves the quote to act below.
                } else {
                    word.append(slashes, L'\\');
                }
            } else if (c == L'"') {
                if (quoted && i + 1 < n && arguments[i + 1] == L'"') {
                    // A doubled quote inside quotes is one literal quote, and
                    // the quoted stretch ends with it.
                    word.push_back(L'"');
                    quoted = false;
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                word.push_back(c);
                ++i;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

}  // namespace Platform
}  // namespace RpcClient
