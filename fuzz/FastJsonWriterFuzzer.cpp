// SPDX-License-Identifier: Apache-2.0
// Builds a Json::Value from the input (a small byte code: each byte picks a
// kind of node, the following bytes give its content) and checks that the
// direct writer gives exactly the bytes of JsonCpp's compact stream writer.

#include "FuzzSupport.h"
#include "rpc/FastJsonWriter.h"

#include <json/value.h>
#include <json/writer.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

class Builder {
public:
    Builder(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

    Json::Value Tree(int depth) {
        if (at_ == end_) {
            return {};
        }
        const std::uint8_t code = *at_++;
        switch (code % 11) {
            case 0:
                return {};
            case 1:
                return Json::Value(code > 128);
            case 2:
                return Json::Value(static_cast<Json::Int64>(Bits()));
            case 3:
                return Json::Value(static_cast<Json::UInt64>(Bits()));
            case 4: {
                const std::uint64_t bits = Bits();
                double value = 0;
                std::memcpy(&value, &bits, sizeof(value));
                return Json::Value(value);
            }
            case 5:
                return Json::Value(Text());
            case 6:
                return Json::Value(code > 128 ? Json::arrayValue : Json::objectValue);
            case 7: {
                Json::Value value = Tree(depth);
                value.setComment("//" + Text(), Json::commentBefore);
                return value;
            }
            case 8:
            case 9: {
                Json::Value array(Json::arrayValue);
                for (int count = code / 32; count > 0 && depth < 64; --count) {
                    array[static_cast<Json::ArrayIndex>(Byte() % 8)] = Tree(depth + 1);
                }
                return array;
            }
            default: {
                Json::Value object(Json::objectValue);
                for (int count = code / 32; count > 0 && depth < 64; --count) {
                    const std::string name = Text();
                    object[name] = Tree(depth + 1);
                }
                return object;
            }
        }
    }

private:
    std::uint8_t Byte() { return at_ == end_ ? 0 : *at_++; }

    std::uint64_t Bits() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = bits << 8 | Byte();
        }
        return bits;
    }

    std::string Text() {
        const std::size_t length = Byte() % 16;
        std::string text;
        for (std::size_t i = 0; i < length && at_ != end_; ++i) {
            text.push_back(static_cast<char>(*at_++));
        }
        return text;
    }

    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Json::Value tree = Builder(data, size).Tree(0);
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder settings;
        settings["indentation"] = "";
        return settings;
    }();
    std::string fast = "prefix";
    RpcClient::AppendJson(fast, tree);
    if (fast != "prefix" + Json::writeString(builder, tree)) {
        fuzzsupport::Fail("the direct writer and JsonCpp wrote different bytes");
    }
    return 0;
}
