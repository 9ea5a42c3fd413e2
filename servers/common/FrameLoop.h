// SPDX-License-Identifier: Apache-2.0
#pragma once

// The stdin/stdout side of a bundled server: reads Content-Length frames,
// hands each body to a dispatcher and writes the answer back as one frame.

#include <json/value.h>

#include <cstddef>
#include <iosfwd>
#include <string>

namespace ServerKit {

class RpcDispatcher;

// Largest body a server accepts; the body of a header announcing more is
// read and dropped, then answered with a parse error.
constexpr std::size_t kMaxFrameBody = 64u * 1024u * 1024u;

enum class FrameStatus {
    Ok,         // body parsed into a JSON value
    BadHeader,  // a line that is not a Content-Length header (it was consumed)
    TooLarge,   // the announced length is above kMaxFrameBody (the body was skipped)
    BadBody,    // the body is not JSON text; error holds the parser's message
    End,        // the input ended before a complete frame
};

struct IncomingFrame {
    FrameStatus status = FrameStatus::End;
    Json::Value body;
    std::string error;
};

// Reads one frame. Blocks until a whole frame has arrived or the input ends.
IncomingFrame ReadRequestFrame(std::istream& in);

// Writes one frame holding the compact JSON text of the message and flushes.
void WriteMessageFrame(std::ostream& out, const Json::Value& message);

// Reads one frame, answers it and writes the answer (if any). False once the
// input has ended or an "Exit" has been handled.
bool ServeRequestFrame(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out);

// Answers frames until the input ends or an "Exit" has been handled; returns
// the process exit code (0). A malformed frame is answered with an error
// response carrying a null id and never ends the loop.
int RunFrameLoop(RpcDispatcher& dispatcher, std::istream& in, std::ostream& out);

// The process's standard input for the frame loop, read without the C
// stream beneath std::cin. Where the system allows, a read that finds no
// bytes looks again for a short bounded while before it blocks, which keeps
// a server that answers calls in quick succession from paying the processor's
// wake-up each time.
std::istream& RequestInput();

// Switches the process's standard streams to binary so frame lengths count
// bytes as sent (no line-ending translation).
void UseBinaryStdio();

}  // namespace ServerKit
