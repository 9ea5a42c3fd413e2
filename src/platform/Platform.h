#pragma once

// The platform layer: the few operating-system services the library needs,
// behind one internal interface. Each backend (posix/, win32/) implements
// every section; code above this layer never tests the platform.

namespace RpcClient::Platform {

// ===========================================================================
// Text conversion (code pages)
// ===========================================================================
//
// These two calls behave like the Windows converters called with no flags,
// a source length of -1 and (when encoding) no default character:
//   MultiByteToWideChar(codePage, 0, source, -1, destination, capacity)
//   WideCharToMultiByte(codePage, 0, source, -1, destination, capacity, nullptr, nullptr)
// On Windows they are exactly those calls. Elsewhere the backend reproduces
// what callers can observe:
// - `source` is NUL-terminated; the conversion covers it up to and including
//   the first NUL, so the result always ends with a NUL.
// - Success returns the number of units written, the NUL included.
// - A null destination or a capacity of 0 asks for the required count and
//   writes nothing.
// - A destination too small for the whole result returns 0 and sets the last
//   conversion error to kErrorInsufficientBuffer.
// - Any other failure returns 0 and sets another error code.
// - Malformed input decodes to U+FFFD; a character the target code page
//   cannot hold is written as its default character ('?' for narrow code
//   pages, U+FFFD for UTF-8). Neither is a failure.
// The wide side is wchar_t: UTF-16 on Windows, UTF-32 elsewhere.

enum class CodePage : unsigned int {
    // The narrow code page of the process (Windows) or of the calling
    // thread's current C locale, LC_CTYPE (elsewhere).
    Ansi = 0,
    Utf8 = 65001,
};

// The last-error value the converters set when the destination is too small.
constexpr unsigned long kErrorInsufficientBuffer = 122;

int MultiByteToWide(CodePage codePage, const char* source, wchar_t* destination, int capacity);
int WideToMultiByte(CodePage codePage, const wchar_t* source, char* destination, int capacity);

// The error code the calling thread's last failed conversion set
// (GetLastError() on Windows).
unsigned long LastConversionError();

}  // namespace RpcClient::Platform
