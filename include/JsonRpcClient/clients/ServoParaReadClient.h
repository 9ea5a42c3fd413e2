// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/rpc/JsonRpcClient.h>

#include <cstdint>
#include <string>

namespace RpcClient {

class RpcLocalSrvConfig;

namespace Tavrel {

// Typed client of the servo tuning server (started by JobInstanceMgr::StartupMC).
// The server pushes framed responses on its own; GetServoPara reads the next
// one without sending anything. SetOmbrelInfo writes the two plain credential
// lines the server expects. Neither operation empties the error list first:
// entries of earlier calls stay behind the new ones.
//
// Both operations give the server's connection back before they return, so
// other clients of the same server are not locked out afterwards.
class JSONRPCCLIENT_API ServoParaReadClient : public JsonRpcClient {
public:
    struct ServoPara {
        std::string ip;          // in the process's ANSI code page
        std::int64_t spare = 0;  // filled by no reply; 0 after every successful read
        double r5277 = 0.0;
        double r5276 = 0.0;
    };

    ServoParaReadClient(RpcLocalSrvConfig* server);

    // Waits for the next pushed response and reads its result into `para`.
    // False, with the reason in the error list, when: no connection within the
    // timeout (0x8001011F); the frame could not be read (codes of the call
    // cycle); the response is not a JSON-RPC 2.0 object (0x80010110, "Invalid
    // response format"); the server sent an error object (its code, empty
    // message). A null or non-object result gives true, an empty record and
    // (0x8001000F, "Invalid data: RPC return null or invalid data.").
    // Throws std::runtime_error("GetRespResultValue: invalid result") when the
    // response has no "result" or one whose members cannot be converted; `para`
    // is then unchanged. Only the first response of a batch is used.
    bool GetServoPara(ServoPara& para);

    // Writes "username:<user>\n" and "password:<password>\n" (bytes unchanged,
    // no framing) to the server's input and flushes. False with (0x8001FFFF,
    // "process already quit") when the server is not running (it is not
    // restarted here), false when no connection is had, false with
    // (0x8001FFFF, text) when writing throws.
    bool SetOmbrelInfo(const std::string& user, const std::string& password);
};

}  // namespace Tavrel
}  // namespace RpcClient
