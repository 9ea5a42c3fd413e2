// The connection owns everything beneath its streams: each stream has a
// buffer of its own (PipeStreamBuf) over a private duplicate of the pipe end,
// and watches a private duplicate of the process handle, so that neither a
// read nor a write outlives the server.
// Destroying the connection releases all of it, so a thousand restarts leave
// no descriptor behind; and because nothing here borrows the record's
// handles, a connection retired by a restart stays safe to finish with.

#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>

#include <stdexcept>
#include <utility>

#include "hosting/PipeStreamBuf.h"
#include "platform/Platform.h"

namespace RpcClient {

struct RpcLocalConnection::Streams {
    std::unique_ptr<PipeStreamBuf> input;
    std::unique_ptr<PipeStreamBuf> output;
};

namespace {

std::unique_ptr<PipeStreamBuf> OpenPipeBuffer(void* pipeEnd, PipeStreamBuf::Direction direction,
                                              void* process) {
    void* pipe = Platform::DuplicateHandle(pipeEnd);
    if (pipe == nullptr) {
        throw std::runtime_error(GetLastErrorAsString());
    }
    // Without a watch the buffer still works; it only waits as a plain pipe
    // would.
    void* watched = process != nullptr ? Platform::DuplicateHandle(process) : nullptr;
    return std::make_unique<PipeStreamBuf>(pipe, direction, watched);
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
    // The streams go first: a pending output buffer is flushed into a pipe
    // end that the buffer owns itself.
    input_.reset();
    output_.reset();
    streams_.reset();
    if (ownsHandles_ != 0) {
        RpcLocalSrvConfig::SafeCloseHandle(read_);
        RpcLocalSrvConfig::SafeCloseHandle(write_);
    }
    RpcLocalSrvConfig::SafeCloseHandle(watchedProcess_);
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
        auto buffer = OpenPipeBuffer(read_, PipeStreamBuf::Direction::Read, watchedProcess_);
        if (!streams_) {
            streams_ = std::make_unique<Streams>();
        }
        streams_->input = std::move(buffer);
        input_ = std::make_unique<std::istream>(streams_->input.get());
    }
    return *input_;
}

std::ostream& RpcLocalConnection::OStream() {
    if (!output_) {
        auto buffer = OpenPipeBuffer(write_, PipeStreamBuf::Direction::Write, watchedProcess_);
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

}  // namespace RpcClient
