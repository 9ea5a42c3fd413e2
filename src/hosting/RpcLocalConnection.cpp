// SPDX-License-Identifier: Apache-2.0
// The connection owns everything beneath its streams: each stream has a
// buffer of its own from the platform layer, over a private duplicate of the
// pipe end, and watches a private duplicate of the process handle, so that
// neither a read nor a write outlives the server.
// Destroying the connection releases all of it, so a thousand restarts leave
// no descriptor behind; and because nothing here borrows the record's
// handles, a connection retired by a restart stays safe to finish with.

#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <chrono>
#include <stdexcept>
#include <streambuf>
#include <utility>

#include "hosting/ConnectionHandles.h"
#include "platform/Platform.h"

namespace RpcClient {

struct RpcLocalConnection::Streams {
    std::unique_ptr<std::streambuf> input;
    std::unique_ptr<std::streambuf> output;
    // The bound on reads, kept here too so that an input stream built after
    // it was set still honours it.
    bool limited = false;
    Platform::ReadDeadline deadline{};
    // An exchange found the server ended: the next query starts it anew.
    bool serverEnded = false;
};

namespace {

// The owners beneath a connection's public handle values (kept where the
// watched process used to be named); null for a connection that owns none.
ConnectionHandles* HandlesOf(void* handles) {
    return static_cast<ConnectionHandles*>(handles);
}

std::unique_ptr<std::streambuf> OpenPipeBuffer(void* handles, Platform::PipeDirection direction) {
    ConnectionHandles* owned = HandlesOf(handles);
    if (owned == nullptr) {
        throw std::runtime_error("The connection has no pipe of its own.");
    }
    Platform::Pipe pipe =
        (direction == Platform::PipeDirection::Read ? owned->read : owned->write).Duplicate();
    if (!pipe) {
        throw std::runtime_error(GetLastErrorAsString());
    }
    // Without a watch the buffer still works; it only waits as a plain pipe
    // would.
    Platform::Process watched = owned->process.Duplicate();
    std::string error;
    std::unique_ptr<std::streambuf> buffer =
        Platform::OpenPipeStreamBuffer(std::move(pipe), direction, std::move(watched), error);
    if (!buffer) {
        throw std::runtime_error(error);
    }
    return buffer;
}

// Takes a stream's buffer away from it before the buffer goes, so the stream
// never points at freed memory, however long it lives on. Detaching marks the
// stream bad, which must not throw out of a destructor.
void ReleaseBuffer(std::ios& stream, std::unique_ptr<std::streambuf>& buffer) {
    stream.exceptions(std::ios_base::goodbit);
    stream.rdbuf(nullptr);
    buffer.reset();
}

}  // namespace

RpcLocalConnection::RpcLocalConnection() = default;

RpcLocalConnection::RpcLocalConnection(std::recursive_timed_mutex& lock, void* process, void* read,
                                       void* write, int ownsHandles)
    : ownsHandles_(ownsHandles), process_(process), read_(read), write_(write), lock_(&lock) {}

RpcLocalConnection::RpcLocalConnection(RpcLocalConnection&& other) noexcept {
    swap(other);
}

RpcLocalConnection& RpcLocalConnection::operator=(RpcLocalConnection&& other) noexcept {
    swap(other);
    return *this;
}

RpcLocalConnection::~RpcLocalConnection() {
    // Each buffer owns its own duplicate of the pipe end, so the buffers are
    // released whatever state their streams are in: nothing beneath them may
    // outlive the connection. Output never flushed is dropped with them.
    if (streams_) {
        if (input_) {
            ReleaseBuffer(*input_, streams_->input);
        }
        if (output_) {
            ReleaseBuffer(*output_, streams_->output);
        }
        streams_.reset();
    }
    output_.reset();
    input_.reset();
    delete HandlesOf(std::exchange(watchedProcess_, nullptr));
}

void RpcLocalConnection::swap(RpcLocalConnection& other) noexcept {
    if (this == &other) {
        return;
    }
    std::swap(ownsHandles_, other.ownsHandles_);
    std::swap(process_, other.process_);
    std::swap(read_, other.read_);
    std::swap(write_, other.write_);
    std::swap(lock_, other.lock_);
    std::swap(watchedProcess_, other.watchedProcess_);
}

void RpcLocalConnection::set(const RpcLocalConnection& other) {
    if (this == &other) {
        return;
    }
    ownsHandles_ = other.ownsHandles_;
    process_ = other.process_;
    read_ = other.read_;
    write_ = other.write_;
    lock_ = other.lock_;
}

void RpcLocalConnection::clear() {
    ownsHandles_ = 0;
    process_ = nullptr;
    read_ = nullptr;
    write_ = nullptr;
    lock_ = nullptr;
}

bool RpcLocalConnection::IsValid() const {
    return process_ != nullptr && read_ != nullptr && write_ != nullptr;
}

std::istream& RpcLocalConnection::IStream() {
    if (!input_) {
        auto buffer = OpenPipeBuffer(watchedProcess_, Platform::PipeDirection::Read);
        if (!streams_) {
            streams_ = std::make_unique<Streams>();
        }
        streams_->input = std::move(buffer);
        if (streams_->limited) {
            Platform::SetReadDeadline(*streams_->input, &streams_->deadline);
        }
        input_ = std::make_unique<std::istream>(streams_->input.get());
    }
    return *input_;
}

std::ostream& RpcLocalConnection::OStream() {
    if (!output_) {
        auto buffer = OpenPipeBuffer(watchedProcess_, Platform::PipeDirection::Write);
        if (!streams_) {
            streams_ = std::make_unique<Streams>();
        }
        streams_->output = std::move(buffer);
        output_ = std::make_unique<std::ostream>(streams_->output.get());
        // A write that fails (a server that has gone) must be reported, not
        // merely leave a flag behind.
        output_->exceptions(std::ios_base::badbit);
    }
    return *output_;
}

void RpcLocalConnection::SetReadTimeout(unsigned long milliseconds) {
    if (!streams_) {
        streams_ = std::make_unique<Streams>();
    }
    streams_->limited = milliseconds != 0;
    streams_->deadline =
        Platform::ReadDeadline::clock::now() + std::chrono::milliseconds(milliseconds);
    if (streams_->input) {
        // A stream a passed bound ended is usable again.
        input_->clear();
        Platform::SetReadDeadline(*streams_->input,
                                  streams_->limited ? &streams_->deadline : nullptr);
    }
}

bool RpcLocalConnection::ServerEndSeen() const {
    return streams_ && streams_->serverEnded;
}

bool RpcLocalConnection::ServerEndedBeforeRequest(bool delivered) const {
    const ConnectionHandles* owned = HandlesOf(watchedProcess_);
    Platform::ExitStatus status;
    if (owned == nullptr || !Platform::QueryExit(owned->process, status) || status.running) {
        return false;
    }
    if (streams_) {
        streams_->serverEnded = true;
    }
    if (!delivered) {
        // Only a server that had ended before the write waited for it: one
        // that ended while the write waited may have been killed for taking
        // too long, and keeps that outcome.
        return streams_ && streams_->output && Platform::WriteFoundProcessEnded(*streams_->output);
    }
    // The request went in last, so whatever is left unread ends with (a
    // part of) it.
    std::size_t unread = 0;
    return Platform::PipeBytesUnread(owned->serverInput, unread) && unread > 0;
}

bool RpcLocalConnection::ReadTimedOut() const {
    return streams_ && streams_->input && Platform::ReadDeadlinePassed(*streams_->input);
}

}  // namespace RpcClient
