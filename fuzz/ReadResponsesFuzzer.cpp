// SPDX-License-Identifier: Apache-2.0
// Reads frames from an arbitrary byte stream until the reader reports an
// error, with the stream delivered in chunks of a size the input chooses.
// Checks the reader's contract on every frame (an error text and responses
// never come together; the response accessors throw only where documented)
// and, when the input is itself a JSON document, that writing it as a frame
// and reading it back gives the same document.

#include "FuzzSupport.h"

#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <json/reader.h>
#include <json/writer.h>

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using fuzzsupport::Fail;
using RpcClient::JsonResponse;

namespace {

// Enough frames to cover streams of many small frames without letting one
// input run for long.
constexpr int kMaxFrames = 256;

void ExerciseAccessors(const JsonResponse& response) {
    const Json::Value& document = response.GetResponse();
    // GetError never throws, whatever the document.
    (void)response.GetError();
    bool threw = false;
    try {
        (void)response.IsValid();
        (void)response.HasError();
        (void)response.HasRequestId();
        (void)response.GetRequestId();
        (void)response.HasResult();
        (void)response.GetResult();
    } catch (const Json::LogicError&) {
        threw = true;
    }
    if (threw && (document.isNull() || document.isObject())) {
        Fail("a response accessor threw for a null or object document");
    }
}

void ReadAll(const std::string& bytes, std::size_t chunk) {
    fuzzsupport::ChunkedStreamBuf buffer(bytes, chunk);
    std::istream in(&buffer);
    for (int frame = 0; frame < kMaxFrames; ++frame) {
        std::string error = "stale";
        const std::vector<JsonResponse> responses = RpcClient::ReadResponses(in, error);
        if (!error.empty()) {
            if (!responses.empty()) {
                Fail("responses returned together with an error text");
            }
            return;
        }
        for (const JsonResponse& response : responses) {
            ExerciseAccessors(response);
        }
    }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        unsigned long code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i <= extra) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                return false;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        const unsigned long minimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < minimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// Request bodies carry UTF-8; other bytes in strings are not expected to
// survive the writer unchanged.
bool AllTextIsUtf8(const Json::Value& value) {
    if (value.isString()) {
        return IsUtf8(value.asString());
    }
    if (value.isObject()) {
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!IsUtf8(it.name()) || !AllTextIsUtf8(*it)) {
                return false;
            }
        }
    } else if (value.isArray()) {
        for (const Json::Value& element : value) {
            if (!AllTextIsUtf8(element)) {
                return false;
            }
        }
    }
    return true;
}

void RoundTrip(const std::string& text) {
    Json::Value document;
    std::string errors;
    // Comments attached to a value are written back as they were read, and a
    // comment holding a NUL or a lone CR does not survive that; requests
    // never carry comments, so the property is stated for documents without.
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &document, &errors) ||
        !AllTextIsUtf8(document)) {
        return;
    }
    std::stringstream pipe;
    RpcClient::WriteFrame(pipe, document);
    std::string error;
    const std::vector<JsonResponse> responses = RpcClient::ReadResponses(pipe, error);
    if (!error.empty()) {
        Fail("a frame written by WriteFrame did not read back");
    }
    std::vector<Json::Value> expected;
    if (document.isArray()) {
        expected.assign(document.begin(), document.end());
    } else if (!document.isNull()) {
        expected.push_back(document);
    }
    if (responses.size() != expected.size()) {
        Fail("the read-back frame split into a different number of responses");
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!(responses[i].GetResponse() == expected[i])) {
            Fail("the read-back frame differs from what was written");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // First byte: chunk size (0 = all at once); the rest is the stream.
    const std::size_t chunk = data[0] % 17;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReadAll(bytes, chunk);
    RoundTrip(bytes);
    return 0;
}
