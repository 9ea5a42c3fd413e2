// SPDX-License-Identifier: Apache-2.0
#pragma once

// Request dispatch for the bundled server programs. A server registers one
// handler per method name; the dispatcher judges each incoming JSON-RPC 2.0
// message, runs the handler and builds the response object.

#include <json/value.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>

namespace ServerKit {

// The standard JSON-RPC 2.0 error codes the servers answer with.
enum ErrorCode : int {
    kParseError = -32700,
    kInvalidRequest = -32600,
    kMethodNotFound = -32601,
    kInvalidParams = -32602,
    kInternalError = -32603,
};

// Thrown by a handler to answer with a JSON-RPC error object.
struct RpcFault {
    int code;
    std::string message;
};

// Builds a complete error response: {"jsonrpc": "2.0", "id": id, "error": {...}}.
Json::Value MakeErrorResponse(const Json::Value& id, int code, const std::string& message);

class RpcDispatcher {
public:
    // Receives the request's "params" exactly as received (a null value when the
    // request had none). Returns the "result". Throws RpcFault for a JSON-RPC
    // error; a Json::LogicError (a param of the wrong type read with asInt and the
    // like) is answered with -32602, any other std::exception with -32603.
    using Handler = std::function<Json::Value(const Json::Value& params)>;

    // The same result as compact JSON text appended to `result`: byte for
    // byte what JsonCpp writes for the value the method's Handler returns,
    // throwing the same faults for the same params. For hot methods whose
    // result costs more to build than to write.
    using TextHandler = std::function<void(const Json::Value& params, std::string& result)>;

    // Registers (or replaces) the handler of a method. "Exit" is built in: it
    // ends the server's frame loop unless a handler for it is added here.
    void Add(const std::string& method, Handler handler);
    // The same with a text form, which answers what HandleText reads.
    void Add(const std::string& method, Handler handler, TextHandler textHandler);

    // Judges one request object (or a batch array) and returns the response
    // object (an array for a batch), or a null value when nothing is to be sent
    // (a notification, malformed or not: an object without "id"; or a batch of
    // notifications only). Never throws.
    Json::Value Handle(const Json::Value& request);

    // Initialized bytes a text given to HandleText must have behind its end:
    // the fast reader loads whole blocks and may look past the text.
    static constexpr std::size_t kTextSlack = 64;

    // Judges one request object given as JSON text and appends the compact
    // JSON text of the answer to `answer` (nothing when none is to be sent),
    // byte for byte what JsonCpp writes for Handle's answer to the value
    // JsonCpp reads from that text; the request is never built as a whole
    // Json::Value. `capacity` is the number of initialized bytes at `text`,
    // at least size + kTextSlack. Returns false, having run and appended
    // nothing, when the text is beyond the fast reader: anything but one
    // well-formed object in valid UTF-8 (a batch, a scalar, broken JSON,
    // comments, trailing text, very deep nesting, an integer past 64 bits);
    // the caller then reads it with JsonCpp and calls Handle.
    bool HandleText(const char* text, std::size_t size, std::size_t capacity, std::string& answer);

    // True once an "Exit" notification or request has been handled.
    bool ExitRequested() const { return exitRequested_; }

private:
    // What judging one request came to: the handler's result, to be sent in
    // an envelope, or else the whole answer (an error response, or null when
    // nothing is to be sent).
    struct Verdict {
        bool succeeded = false;
        bool written = false;  // the whole answer is already in the text
        Json::Value value;
    };
    struct Method {
        Handler handler;
        TextHandler text;
    };

    Json::Value HandleOne(const Json::Value& request);
    // A member that is absent is passed as a null value, as operator[] reads it.
    // With `answer`, a method's text form writes the whole answer there.
    Verdict Judge(bool notification, const Json::Value& id, const Json::Value& version,
                  const Json::Value& method, const Json::Value& params, std::string* answer);
    Verdict Invoke(const Json::Value& id, bool notification, const std::string& method,
                   const Json::Value& params, std::string* answer);

    std::map<std::string, Method> handlers_;
    bool exitRequested_ = false;
};

}  // namespace ServerKit
