// SPDX-License-Identifier: Apache-2.0
#include "GsdFieldTable.h"

#include <JsonRpcClient/rpc/CodePageText.h>

namespace Tavrel {
namespace Gsd {
namespace detail {

std::string ReplaceNoBreakSpaces(std::string text) {
    // The service sends catalogue names as UTF-8, where a no-break space is the
    // pair C2 A0; the host's list controls want a plain space instead.
    static const char kNoBreakSpace[] = "\xC2\xA0";
    for (std::string::size_type pos = text.find(kNoBreakSpace); pos != std::string::npos;
         pos = text.find(kNoBreakSpace, pos + 1)) {
        text.replace(pos, 2, 1, ' ');
    }
    return text;
}

std::string ReadText(const Json::Value& value, TextForm form) {
    std::string text = value.asString();
    switch (form) {
        case TextForm::AsReceived:
            return text;
        case TextForm::Local:
            return RpcClient::Utf8ToAnsi(text);
        case TextForm::LocalSpaces:
            return RpcClient::Utf8ToAnsi(ReplaceNoBreakSpaces(std::move(text)));
    }
    return text;
}

int ReadInt(const Json::Value& value) {
    return value.asInt();
}

std::string ReadTextAsReceived(const Json::Value& value) {
    return ReadText(value, TextForm::AsReceived);
}

std::string ReadTextLocal(const Json::Value& value) {
    return ReadText(value, TextForm::Local);
}

}  // namespace detail
}  // namespace Gsd
}  // namespace Tavrel
