// SPDX-License-Identifier: Apache-2.0
// The argument splitter that turns one command-line string into argv on
// POSIX. Two properties on arbitrary input:
//  - words quoted the way a Windows program's caller quotes them, joined
//    with blanks, split back into exactly those words;
//  - splitting is stable: quoting the words it produced and splitting again
//    gives the same words.

#include "FuzzSupport.h"

#include "platform/CommandLine.h"
#include "platform/Platform.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using fuzzsupport::Fail;
using RpcClient::Platform::SplitCommandLine;

namespace {

// Bytes become characters; the upper half lands beyond Latin-1 so that wide
// characters are exercised too.
std::wstring Widen(const std::string& bytes) {
    std::wstring wide;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        wide.push_back(byte < 0x80 ? static_cast<wchar_t>(byte)
                                   : static_cast<wchar_t>(0x4E00 + byte));
    }
    return wide;
}

// The usual quoting: a word without blanks or quotes goes as it is; else it
// is put in quotes, a quote inside becomes \" and the backslashes before a
// quote (or before the closing quote) are doubled.
std::wstring Quote(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) {
        return word;
    }
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(slashes * 2 + 1, L'\\');
        } else {
            quoted.append(slashes, L'\\');
        }
        slashes = 0;
        quoted.push_back(c);
    }
    quoted.append(slashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring Join(const std::vector<std::wstring>& words, const std::wstring& gap) {
    std::wstring line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            line += gap;
        }
        line += Quote(words[i]);
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::wstring gap = provider.ConsumeBool() ? L" " : L"\t \t";
    std::vector<std::wstring> words(provider.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (std::wstring& word : words) {
        word = Widen(provider.ConsumeRandomLengthString(64));
    }
    const std::wstring raw = Widen(provider.ConsumeRemainingBytesAsString());

    if (SplitCommandLine(Join(words, gap)) != words) {
        Fail("quoted words did not split back into themselves");
    }
    const std::vector<std::wstring> split = SplitCommandLine(raw);
    if (SplitCommandLine(Join(split, L" ")) != split) {
        Fail("re-quoting the split words changed them");
    }
    return 0;
}
