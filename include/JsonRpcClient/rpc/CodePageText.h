// SPDX-License-Identifier: Apache-2.0
#pragma once

// Text conversion between the process's narrow "ANSI" code page and UTF-8,
// through a wide string.
//
// Wide strings are wchar_t strings: UTF-16 on Windows, UTF-32 on Linux.
// The ANSI code page is the Windows active code page; on Linux it is the
// character set of the calling thread's current C locale (LC_CTYPE, as set
// by setlocale or uselocale).
//
// Input is taken as a NUL-terminated string: bytes after an embedded NUL are
// ignored. Malformed input decodes to U+FFFD and characters the target code
// page cannot hold become its default character ('?'); neither is an error.
//
// Failure modes: std::runtime_error with one of these texts; no partial text
// is ever returned.
//   "decoding string failed."    decoding failed for a reason other than a too-small buffer
//   "can not decoding string."   the decoder's size query or second attempt failed
//   "encoding string failed."    encoding failed for a reason other than a too-small buffer
//   "can not encoding string."   the encoder's size query or second attempt failed

#include <JsonRpcClient/Export.h>

#include <string>
#include <utility>

namespace RpcClient {

// One decoded text and a cache of its first narrow encoding. The cache does
// not remember its code page: once encoded, ToAnsi and ToUtf8 both return
// the cached bytes. One object is used by one thread at a time. Made by
// FromUtf8 and FromAnsi below.
class JSONRPCCLIENT_API CodePageText {
public:
    CodePageText() = default;
    explicit CodePageText(std::wstring wide) : wide_(std::move(wide)) {}

    const std::string& ToAnsi();
    const std::string& ToUtf8();

    const std::wstring& GetWideText() const { return wide_; }
    bool IsEncoded() const { return encoded_; }

private:
    bool encoded_ = false;
    std::wstring wide_;
    std::string narrow_;
};

// The decoded text of a UTF-8 string.
JSONRPCCLIENT_API CodePageText FromUtf8(const std::string& utf8);
// The decoded text of a string in the ANSI code page.
JSONRPCCLIENT_API CodePageText FromAnsi(const std::string& ansi);

// FromUtf8(text).ToAnsi()
JSONRPCCLIENT_API std::string Utf8ToAnsi(const std::string& utf8);
// FromAnsi(text).ToUtf8()
JSONRPCCLIENT_API std::string AnsiToUtf8(const std::string& ansi);

}  // namespace RpcClient
