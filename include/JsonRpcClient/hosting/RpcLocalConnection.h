// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <JsonRpcClient/Export.h>

#include <istream>
#include <memory>
#include <mutex>
#include <ostream>

namespace RpcClient {

class JsonRpcClient;
class RpcLocalSrvConfig;

// Exclusive handle on one server's pipes, handed out by
// RpcLocalSrvConfig::QueryConnection and given back with ReleaseConnection.
// Only the thread holding the server's connection lock uses it.
//
// The server record owns the connection; callers never destroy it. A
// connection stays valid until its holder has released it, even when the
// server is restarted or stopped meanwhile (its reads then end with end of
// stream), but a new query after a restart returns a new object.
class JSONRPCCLIENT_API RpcLocalConnection {
public:
    // Takes over the other's handles, lock pointer and flag, leaving it empty.
    // Streams are not moved: each object keeps (or later builds) its own.
    RpcLocalConnection(RpcLocalConnection&& other) noexcept;
    // Exchanges handles, lock pointer and flag with `other`; no-op on itself.
    RpcLocalConnection& operator=(RpcLocalConnection&& other) noexcept;
    RpcLocalConnection(const RpcLocalConnection&) = delete;
    RpcLocalConnection& operator=(const RpcLocalConnection&) = delete;

    // Closes the owned pipe handles and releases the streams with all that
    // lies beneath them. Never touches the connection lock.
    virtual ~RpcLocalConnection();

    // Process, read and write handles all set.
    bool IsValid() const;
    void* GetProcessHandle() const { return process_; }
    void* GetReadStreamHandle() const { return read_; }
    void* GetWriteStreamHandle() const { return write_; }

    // Byte stream over the server's standard output (and standard error),
    // built on first call; the same object afterwards. Reads block until
    // bytes arrive; they end (end of stream) once the server has ended and
    // its output is drained. Throws std::runtime_error with the system's
    // text when the stream cannot be built; a later call tries again.
    std::istream& IStream();

    // Buffered byte stream to the server's standard input, built on first
    // call; bytes reach the pipe when it is flushed. A failed write (for
    // instance to a server that has ended) throws std::ios_base::failure.
    // Construction failures as for IStream.
    std::ostream& OStream();

    // Bounds the wait of every read on IStream() from now on: once
    // `milliseconds` have passed without a byte arriving, reads end the
    // stream as if the server had closed it. 0 lifts the bound (the
    // default). Each call starts a new bound and forgets a timeout seen
    // before.
    void SetReadTimeout(unsigned long milliseconds);

    // A read on IStream() ended because the bound ran out.
    bool ReadTimedOut() const;

protected:
    friend class RpcLocalSrvConfig;
    friend class JsonRpcClient;

    RpcLocalConnection();
    RpcLocalConnection(std::recursive_timed_mutex& lock, void* process, void* read, void* write,
                       int ownsHandles);

    void swap(RpcLocalConnection& other) noexcept;
    void set(const RpcLocalConnection& other);
    void clear();

private:
    // The server has ended without taking the whole of the last request:
    // its write failed (`delivered` false) on a server that had ended before
    // the write began, or some of it still lies unread in the server's input. Such a request can go
    // to a new start of the server without the old one having acted on it. Asks the system only
    // when called, so a call that went well pays nothing for it.
    bool ServerEndedBeforeRequest(bool delivered) const;
    // ServerEndedBeforeRequest found the server ended (whatever it answered).
    bool ServerEndSeen() const;

    struct Streams;

    int ownsHandles_ = 0;
    void* process_ = nullptr;
    void* read_ = nullptr;
    void* write_ = nullptr;
    std::recursive_timed_mutex* lock_ = nullptr;
    std::unique_ptr<std::istream> input_;
    std::unique_ptr<std::ostream> output_;
    // Stream buffers and the handles beneath them, plus this connection's own
    // reference to the process (valid even after the record let go of its).
    std::unique_ptr<Streams> streams_;
    void* watchedProcess_ = nullptr;
};

}  // namespace RpcClient
