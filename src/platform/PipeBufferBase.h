// SPDX-License-Identifier: Apache-2.0
#pragma once

// The stream-buffer logic that both backends' pipe streams and a bundled
// server's standard input share. One buffer serves one direction:
// - Reading hands out what the pipe holds, never waiting for a full buffer,
//   and a read larger than the buffer goes straight into the caller's memory.
// - Writing collects until a flush or a full buffer; a write larger than the
//   buffer goes out as it is, after what is already buffered. A failed write
//   fails overflow/sync, so the stream sets badbit. Output never flushed is
//   dropped with the buffer: a server that no longer reads could otherwise
//   block the destruction for good.
// A backend supplies only the two raw transfers.

#include <cstddef>
#include <streambuf>
#include <vector>

#include "platform/Platform.h"

namespace RpcClient {
namespace Platform {

class PipeBufferBase : public std::streambuf {
public:
    explicit PipeBufferBase(PipeDirection direction);
    PipeBufferBase(const PipeBufferBase&) = delete;
    PipeBufferBase& operator=(const PipeBufferBase&) = delete;

    // See Platform::SetReadDeadline.
    void SetDeadline(const ReadDeadline* deadline);
    bool DeadlinePassed() const { return deadlinePassed_; }
    bool WriteFoundEnded() const { return writeFoundEnded_; }

protected:
    // Reads at least one byte and at most `size`; 0 at end of stream or on
    // error.
    virtual std::size_t ReadSome(char* into, std::size_t size) = 0;
    // Writes all `size` bytes; false on error.
    virtual bool WriteAll(const char* data, std::size_t size) = 0;

    // The bound a backend's read keeps to (null: none), and how it says the
    // bound was reached (its ReadSome then returns 0).
    const ReadDeadline* Deadline() const { return limited_ ? &deadline_ : nullptr; }
    void NoteDeadlinePassed() { deadlinePassed_ = true; }
    // Where a backend's WriteAll records WritePipe's `endedBeforeWait`.
    bool writeFoundEnded_ = false;

    int_type underflow() override;
    std::streamsize xsgetn(char_type* s, std::streamsize count) override;
    std::streamsize xsputn(const char_type* s, std::streamsize count) override;
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool FlushOut();

    std::vector<char> buffer_;
    bool limited_ = false;
    bool deadlinePassed_ = false;
    ReadDeadline deadline_{};
};

}  // namespace Platform
}  // namespace RpcClient
