// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/rpc/Framing.h>

#include "wire/Frames.h"
#include "wire/HeaderMatcher.h"

#include <climits>
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace RpcClient {
namespace {

// The stated length as an int. A number beyond the int range is reported
// with std::stoi's exception, in one text on every standard library.
[[noreturn]] void ThrowOutOfIntRange() {
    throw std::out_of_range("stoi argument out of range");
}

int StatedLength(const HeaderMatcher& matcher) {
    if (matcher.Length() > static_cast<std::uint64_t>(INT_MAX)) {
        ThrowOutOfIntRange();
    }
    return static_cast<int>(matcher.Length());
}

}  // namespace

void WriteFrame(std::ostream& out, const Json::Value& body) {
    Wire::WriteFrame(out, body);
}

bool ParseContentLength(const std::string& line, int& length) {
    const HeaderMatcher matcher = MatchHeaderLine(line);
    if (!matcher.Matched()) {
        return false;
    }
    length = StatedLength(matcher);
    return true;
}

Json::Value ReadFrame(std::istream& in, std::string& error) {
    error.clear();
    Wire::ScratchLease scratch;
    switch (Wire::ReadFrameText(in, scratch->text, INT_MAX, Wire::LineBreaks::Buffered).status) {
        case Wire::FrameStatus::End:
            error = "RPC server has shutdown";
            return {};
        case Wire::FrameStatus::BadHeader:
            error = "Invalid header";
            return {};
        case Wire::FrameStatus::TooLarge:
            ThrowOutOfIntRange();
        case Wire::FrameStatus::Ok:
        case Wire::FrameStatus::Short:
            // A short body is parsed as far as it came, which reads as the
            // stated length padded with NUL bytes would.
            break;
    }
    Json::Value root;
    std::string parseErrors;
    if (!Wire::ParseFrameText(*scratch, root, parseErrors)) {
        error = std::move(parseErrors);
        return {};
    }
    return root;
}

std::vector<JsonResponse> ReadResponses(std::istream& in, std::string& error) {
    error.clear();
    std::vector<JsonResponse> responses;
    if (in.fail()) {
        error = "RPC Server falied.";
        return responses;
    }
    try {
        Json::Value value = ReadFrame(in, error);
        if (value.isNull() || !error.empty()) {
            return responses;
        }
        if (value.isArray()) {
            responses.reserve(value.size());
            for (Json::Value& element : value) {
                responses.emplace_back(std::move(element));
            }
        } else {
            responses.emplace_back(std::move(value));
        }
    } catch (const std::exception& e) {
        error = e.what();
        responses.clear();
    }
    return responses;
}

}  // namespace RpcClient
