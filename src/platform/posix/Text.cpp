// SPDX-License-Identifier: Apache-2.0
// POSIX backend: wide text. Code-page conversion with iconv, behaving like the Windows converters
// the rest of the library is written against (see Platform.h):
// - "ANSI" is the character set of the calling thread's C locale, so a thread
//   that switched locales with uselocale() converts with its own charset;
//   the plain "C"/"POSIX" locale counts as UTF-8;
// - malformed input and unrepresentable characters are substituted, never
//   reported, because callers rely on conversions of arbitrary text
//   succeeding the way they do on Windows;
// - the last error is per thread, like GetLastError().
// A conversion descriptor is opened per call: the charset may differ between
// calls and threads, and glibc caches the loaded converter modules itself.

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/posix/PosixObjects.h"
#include "wire/Utf8.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace RpcClient::Platform {
namespace {

constexpr unsigned long kErrorInvalidParameter = 87;
constexpr unsigned long kErrorNoUnicodeTranslation = 1113;

thread_local unsigned long t_lastConversionError = 0;

int Fail(unsigned long error) {
    t_lastConversionError = error;
    return 0;
}

// Names C libraries give the code set of a plain ASCII locale, which is what
// the "C"/"POSIX" locale a program runs in until it calls setlocale reports.
bool IsPlainAscii(const char* charset) {
    for (const char* name : {"ANSI_X3.4-1968", "ASCII", "US-ASCII", "646"}) {
        if (std::strcmp(charset, name) == 0) {
            return true;
        }
    }
    return false;
}

std::string CharsetOf(CodePage codePage) {
    if (codePage == CodePage::Utf8) {
        return "UTF-8";
    }
    // nl_langinfo_l must not be given LC_GLOBAL_LOCALE; a thread without its
    // own locale reads the global one.
    locale_t current = uselocale(static_cast<locale_t>(nullptr));
    const char* charset =
        current == LC_GLOBAL_LOCALE ? nl_langinfo(CODESET) : nl_langinfo_l(CODESET, current);
    // A host that never chose a locale still exchanges file names and texts
    // in UTF-8 with everything else on the system, as current tools assume
    // for the "C" locale; read as ASCII, every non-ASCII character of a path
    // or a catalogue text would become '?'. UTF-8 agrees with ASCII on every
    // byte ASCII has.
    return charset == nullptr || *charset == '\0' || IsPlainAscii(charset) ? "UTF-8" : charset;
}

// iconv's name for the platform's wchar_t encoding.
constexpr const char* kWideCharset = "WCHAR_T";

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : handle_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (IsOpen()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts `size` bytes into `out`. An input unit (of `unitSize` bytes)
    // the converter rejects is replaced by `replacement`; an incomplete
    // sequence at the end is replaced once as a whole. Returns false only for
    // unexpected converter errors.
    bool Convert(const char* input, std::size_t size, std::size_t unitSize,
                 const std::string& replacement, std::string& out) {
        char* in = const_cast<char*>(input);  // iconv's signature lacks const
        std::size_t inLeft = size;
        char chunk[4096];
        while (inLeft > 0) {
            char* outPtr = chunk;
            std::size_t outLeft = sizeof chunk;
            const std::size_t rc = iconv(handle_, &in, &inLeft, &outPtr, &outLeft);
            out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
            if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) {
                continue;
            }
            if (errno == EILSEQ) {
                const std::size_t skip = unitSize < inLeft ? unitSize : inLeft;
                in += skip;
                inLeft -= skip;
            } else if (errno == EINVAL) {
                inLeft = 0;
            } else {
                return false;
            }
            out += replacement;
        }
        // Return a stateful encoding to its initial shift state.
        char* outPtr = chunk;
        std::size_t outLeft = sizeof chunk;
        if (iconv(handle_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            return false;
        }
        out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
        return true;
    }

private:
    iconv_t handle_;
};

bool ArgumentsValid(const void* source, const void* destination, int capacity) {
    return source != nullptr && capacity >= 0 && (destination != nullptr || capacity == 0);
}

// Hands the converted `bytes` (whole units of Char) out the way the Windows
// converters do: the count with the NUL when `capacity` is 0, else the units
// and a NUL, or a failure when they do not fit.
template <class Char>
int CopyOut(const std::string& bytes, Char* destination, int capacity) {
    const std::size_t units = bytes.size() / sizeof(Char) + 1;  // + the NUL
    if (units > static_cast<std::size_t>(INT_MAX)) {
        return Fail(kErrorInvalidParameter);
    }
    if (capacity == 0) {
        return static_cast<int>(units);
    }
    if (units > static_cast<std::size_t>(capacity)) {
        return Fail(kErrorInsufficientBuffer);
    }
    std::memcpy(destination, bytes.data(), bytes.size());
    destination[units - 1] = Char();
    return static_cast<int>(units);
}

}  // namespace

int MultiByteToWide(CodePage codePage, const char* source, wchar_t* destination, int capacity) {
    if (!ArgumentsValid(source, destination, capacity)) {
        return Fail(kErrorInvalidParameter);
    }
    Converter converter(kWideCharset, CharsetOf(codePage));
    if (!converter.IsOpen()) {
        return Fail(kErrorInvalidParameter);
    }
    const wchar_t replacement = 0xFFFD;
    std::string bytes;
    if (!converter.Convert(
            source, std::strlen(source), 1,
            std::string(reinterpret_cast<const char*>(&replacement), sizeof replacement), bytes)) {
        return Fail(kErrorNoUnicodeTranslation);
    }
    return CopyOut(bytes, destination, capacity);
}

int WideToMultiByte(CodePage codePage, const wchar_t* source, char* destination, int capacity) {
    if (!ArgumentsValid(source, destination, capacity)) {
        return Fail(kErrorInvalidParameter);
    }
    Converter converter(CharsetOf(codePage), kWideCharset);
    if (!converter.IsOpen()) {
        return Fail(kErrorInvalidParameter);
    }
    // UTF-8 can hold every character; what it rejects are invalid code
    // points such as lone surrogates, which become U+FFFD as on Windows.
    const std::string replacement = codePage == CodePage::Utf8 ? "\xEF\xBF\xBD" : "?";
    std::string bytes;
    if (!converter.Convert(reinterpret_cast<const char*>(source),
                           std::wcslen(source) * sizeof(wchar_t), sizeof(wchar_t), replacement,
                           bytes)) {
        return Fail(kErrorNoUnicodeTranslation);
    }
    return CopyOut(bytes, destination, capacity);
}

unsigned long LastConversionError() {
    return t_lastConversionError;
}

// The NUL-terminated text reaches the destination whole; the caller has
// checked that it fits.
bool CopyFittingWideString(wchar_t* destination, std::size_t /*capacity*/, const wchar_t* source) {
    std::wmemcpy(destination, source, std::wcslen(source) + 1);
    return true;
}

// Paths and arguments are UTF-8 on the system side, UTF-32 wide text here.
namespace Posix {

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        Wire::AppendUtf8(out, c);
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = 0;
        std::size_t extra = 0;
        std::uint32_t minimum = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k <= extra && i + k < n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) {
                break;
            }
            c = (c << 6) | (t & 0x3F);
        }
        if (k <= extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            i += k;
            continue;
        }
        out.push_back(static_cast<wchar_t>(c));
        i += k;
    }
    return out;
}

}  // namespace Posix

}  // namespace RpcClient::Platform
