// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/CodePageText.h>

#include "platform/Platform.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <stdexcept>

namespace RpcClient {
namespace {

using Platform::CodePage;

// Keeps the text up to its first NUL: the converters include the source's
// terminator, and a decoded text may itself contain U+0000.
template <class String>
void CutAtFirstNul(String& text) {
    text.resize(std::char_traits<typename String::value_type>::length(text.c_str()));
}

int ToInt(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("text too long to convert");
    }
    return static_cast<int>(size);
}

std::wstring Decode(CodePage codePage, const std::string& text) {
    const char* source = text.c_str();
    const std::size_t length = std::strlen(source);
    std::wstring wide(length + 1, L'\0');
    if (Platform::MultiByteToWide(codePage, source, &wide[0], ToInt(length + 1)) > 0) {
        CutAtFirstNul(wide);
        return wide;
    }
    if (Platform::LastConversionError() != Platform::kErrorInsufficientBuffer) {
        throw std::runtime_error("decoding string failed.");
    }
    const int required = Platform::MultiByteToWide(codePage, source, nullptr, 0);
    if (required < 1) {
        throw std::runtime_error("can not decoding string.");
    }
    wide.assign(static_cast<std::size_t>(required), L'\0');
    if (Platform::MultiByteToWide(codePage, source, &wide[0], required) != required) {
        throw std::runtime_error("can not decoding string.");
    }
    CutAtFirstNul(wide);
    return wide;
}

std::string Encode(CodePage codePage, const std::wstring& text) {
    const wchar_t* source = text.c_str();
    const std::size_t length = std::wcslen(source);
    // Room for the longest plausible result, but the first attempt declares
    // only 2 bytes per unit: texts that need more (UTF-8 of CJK text) take
    // the measured second attempt.
    std::string narrow(4 * length + 1, '\0');
    if (Platform::WideToMultiByte(codePage, source, &narrow[0], ToInt(2 * length + 1)) > 0) {
        CutAtFirstNul(narrow);
        return narrow;
    }
    if (Platform::LastConversionError() != Platform::kErrorInsufficientBuffer) {
        throw std::runtime_error("encoding string failed.");
    }
    const int required = Platform::WideToMultiByte(codePage, source, nullptr, 0);
    if (required <= 0) {
        throw std::runtime_error("can not encoding string.");
    }
    narrow.assign(static_cast<std::size_t>(required), '\0');
    if (Platform::WideToMultiByte(codePage, source, &narrow[0], required) == 0) {
        throw std::runtime_error("can not encoding string.");
    }
    CutAtFirstNul(narrow);
    return narrow;
}

}  // namespace

CodePageText FromUtf8(const std::string& utf8) {
    return CodePageText(Decode(CodePage::Utf8, utf8));
}

CodePageText FromAnsi(const std::string& ansi) {
    return CodePageText(Decode(CodePage::Ansi, ansi));
}

const std::string& CodePageText::ToAnsi() {
    if (!encoded_) {
        narrow_ = Encode(CodePage::Ansi, wide_);
        encoded_ = true;
    }
    return narrow_;
}

const std::string& CodePageText::ToUtf8() {
    if (!encoded_) {
        narrow_ = Encode(CodePage::Utf8, wide_);
        encoded_ = true;
    }
    return narrow_;
}

std::string Utf8ToAnsi(const std::string& utf8) {
    return FromUtf8(utf8).ToAnsi();
}

std::string AnsiToUtf8(const std::string& ansi) {
    return FromAnsi(ansi).ToUtf8();
}

}  // namespace RpcClient
