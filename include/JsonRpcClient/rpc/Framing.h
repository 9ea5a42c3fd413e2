// SPDX-License-Identifier: Apache-2.0
#pragma once

// Content-Length framing of JSON-RPC messages on byte streams.
//
// A frame is "Content-Length: <N>\r\n\r\n" followed by exactly N body bytes.
// The reader also accepts optional blanks/tabs after the colon, a CR before
// the header's LF, and CR/LF bytes around the header that are already
// buffered. Only this one header is understood.
//
// Error texts (the `error` out-parameter; non-empty means no frame was read):
//   "RPC Server falied."           the stream had already failed before the read
//   "RPC server has shutdown"      end of stream (or an empty line) where a header is due
//   "Invalid header"               the header line does not match
//   "stoi argument out of range"   the stated length does not fit an int
//   JsonCpp's parser text          the body is not valid JSON (also after a short read)

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/rpc/JsonResponse.h>

#include <json/value.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace RpcClient {

// Writes the body in compact form plus one LF as one frame, then flushes.
// Failures surface as exceptions of the stream or of JsonCpp; a write that
// only sets the stream's failure state is not detected here.
JSONRPCCLIENT_API void WriteFrame(std::ostream& out, const Json::Value& body);

// Matches a header line (without its LF) in full and converts the number.
// Returns false when the line does not match. Throws std::out_of_range
// ("stoi argument out of range") when the number does not fit an int.
JSONRPCCLIENT_API bool ParseContentLength(const std::string& line, int& length);

// Reads one frame and parses its body. Returns null and sets `error` on
// failure. Waits until the whole body has arrived or the stream ends.
// Throws std::out_of_range for an out-of-range length (ReadResponses turns it
// into an error text) and std::bad_alloc when memory runs out.
JSONRPCCLIENT_API Json::Value ReadFrame(std::istream& in, std::string& error);

// Reads one frame and splits it into responses: an array body gives one
// response per element, in order; any other non-null body gives one. A null
// body or an empty array gives none and no error. Exceptions of the standard
// family are caught and their text becomes `error`; the list is then empty.
JSONRPCCLIENT_API std::vector<JsonResponse> ReadResponses(std::istream& in, std::string& error);

}  // namespace RpcClient
