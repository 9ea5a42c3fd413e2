// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>

#include <string>

namespace RpcClient {

// The content of a response's "error" member: a JSON-RPC error code (0 means
// "no error") and the server's message.
class JSONRPCCLIENT_API ResponseError {
public:
    ResponseError() = default;
    ResponseError(int code, const std::string& message);
    ResponseError(int code, std::string&& message);

    int GetCode() const { return code_; }
    const std::string& GetErrorMessage() const { return message_; }
    // True when the code is not 0.
    bool IsError() const { return code_ != 0; }

private:
    int code_ = 0;
    std::string message_;
};

}  // namespace RpcClient
