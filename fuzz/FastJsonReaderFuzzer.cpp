// SPDX-License-Identifier: Apache-2.0
// Reads the input as a JSON text with the fast reader (and its hand-over to
// JsonCpp) and with JsonCpp alone, and checks that both give the same
// result, error text or exception text, and the same tree down to integer
// kinds, double bits and offsets.

#include "FuzzSupport.h"
#include "rpc/FastJsonReader.h"

#include <json/reader.h>
#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace {

struct Outcome {
    bool parsed = false;
    std::string errors;
    std::string exception;
    Json::Value root;
};

template <typename Parse>
Outcome Run(Parse parse) {
    Outcome outcome;
    try {
        outcome.parsed = parse(outcome.root, outcome.errors);
    } catch (const std::exception& error) {
        outcome.exception = error.what();
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::unique_ptr<Json::CharReader> reader(
        Json::CharReaderBuilder().newCharReader());
    const auto* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    const Outcome fast = Run([&](Json::Value& root, std::string& errors) {
        return RpcClient::ParseJson(*reader, begin, end, root, errors);
    });
    const Outcome slow = Run([&](Json::Value& root, std::string& errors) {
        return reader->parse(begin, end, &root, &errors);
    });
    if (fast.parsed != slow.parsed || fast.errors != slow.errors ||
        fast.exception != slow.exception) {
        fuzzsupport::Fail("the fast reader and JsonCpp disagree on the outcome");
    }
    if (slow.exception.empty() && !fuzzsupport::SameTree(fast.root, slow.root)) {
        fuzzsupport::Fail("the fast reader and JsonCpp built different trees");
    }
    return 0;
}
