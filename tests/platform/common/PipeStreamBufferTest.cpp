// SPDX-License-Identifier: Apache-2.0
// The stream buffers the connection builds over pipe ends, on both backends.

#include "ScriptedChild.h"

#include <future>
#include <ostream>
#include <thread>

namespace {

using namespace PlatformTest;
using namespace std::chrono_literals;

// Reads from `read` on a thread; if that has not ended within 10 s, closing
// `writeEnd` frees the reader, so that the test fails instead of hanging.
template <class Read>
auto Within10s(Read read, P::Pipe& writeEnd) {
    auto result = std::async(std::launch::async, read);
    const bool ready = result.wait_for(10s) == std::future_status::ready;
    if (!ready) {
        writeEnd.Reset();
    }
    EXPECT_TRUE(ready) << "a read waited for what it was not owed";
    return result.get();
}

TEST(PipeStreamBuffer, BytesArriveWholeAndInOrderWhateverTheChunking) {
    // Sizes around the buffers' own and far beyond the pipe's capacity,
    // written in pieces of growing size.
    for (const std::size_t size : {1, 2, 4095, 4096, 4097, 65537, 300001}) {
        SCOPED_TRACE(size);
        Pipe pipe;
        auto inBuffer = Open(pipe.read, P::PipeDirection::Read);
        auto outBuffer = Open(pipe.write, P::PipeDirection::Write);
        ASSERT_TRUE(inBuffer && outBuffer);
        std::string sent(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {  // every byte value, NULs and line ends too
            sent[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
        }
        std::thread writer([&] {
            std::ostream out(outBuffer.get());
            for (std::size_t at = 0, piece = 1; at < size; at += piece, piece = piece * 3 + 1) {
                out.write(sent.data() + at,
                          static_cast<std::streamsize>(std::min(piece, size - at)));
                out.flush();
            }
        });
        std::istream in(inBuffer.get());
        std::string received(size, '\0');
        // A header-like start read byte by byte, the rest in one read.
        const std::size_t byByte = std::min<std::size_t>(size, 5);
        for (std::size_t i = 0; i < byByte; ++i) {
            received[i] = static_cast<char>(in.get());
        }
        in.read(&received[byByte], static_cast<std::streamsize>(size - byByte));
        writer.join();
        EXPECT_TRUE(in.good());
        EXPECT_TRUE(received == sent) << "bytes lost, doubled or reordered";
    }
}

TEST(PipeStreamBuffer, ReadReturnsWhatIsThereWithoutWaitingForAFullBuffer) {
    Pipe pipe;
    auto inBuffer = Open(pipe.read, P::PipeDirection::Read);
    ASSERT_TRUE(inBuffer);
    std::istream in(inBuffer.get());
    for (const std::string piece : {"x", "Content-Length: 2\r\n", "{}"}) {
        ASSERT_TRUE(P::WritePipe(pipe.write, piece.data(), piece.size(), nullptr));
        const auto result = Within10s(
            [&] {
                // The first byte brings in everything the pipe holds, so the
                // rest counts as buffered (the framing skips buffered line ends).
                std::string got(1, static_cast<char>(in.get()));
                const std::streamsize buffered = in.rdbuf()->in_avail();
                got.resize(piece.size());
                in.read(&got[1], static_cast<std::streamsize>(got.size() - 1));
                return std::make_pair(got, buffered);
            },
            pipe.write);
        EXPECT_EQ(result.first, piece);
        EXPECT_EQ(result.second, static_cast<std::streamsize>(piece.size() - 1));
    }
}

TEST(PipeStreamBuffer, ReadEndsOnceTheWatchedServerIsGoneAndItsBytesAreRead) {
    // The server's output end stays open here, so only the watch can end it.
    PlatformTest::Child server(L"--exit 0");
    ASSERT_EQ(P::WaitForProcess(server.process, 10000ms), P::WaitResult::Ended);
    ASSERT_TRUE(P::WritePipe(server.childOutput, "last words", 10, nullptr));
    auto inBuffer = Open(server.fromChild, P::PipeDirection::Read, server.process.Duplicate());
    ASSERT_TRUE(inBuffer);
    const std::string got = Within10s(
        [&] {
            std::istream in(inBuffer.get());
            std::string text;
            std::getline(in, text, '\0');
            return text;
        },
        server.childOutput);
    EXPECT_EQ(got, "last words");
}

TEST(PipeStreamBuffer, WriteBufferSendsOnlyFlushedOutputAndReleasesItsEnd) {
    Pipe pipe;
    {
        auto outBuffer = Open(pipe.write, P::PipeDirection::Write);
        ASSERT_TRUE(outBuffer);
        pipe.write.Reset();
        std::ostream out(outBuffer.get());
        out << "sent" << std::flush << "never sent";
    }
    // The buffer held the last write end: the reader now sees exactly what
    // was flushed, then the end of the stream.
    char bytes[64] = {};
    long total = 0;
    for (long got;
         (got = P::ReadPipe(pipe.read, bytes + total, sizeof(bytes) - total, nullptr)) > 0;) {
        total += got;
    }
    EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(total)), "sent");
}

TEST(PipeStreamBuffer, ReadBufferHoldsItsEndUntilDestroyedThenWritesMakeTheStreamBad) {
    Pipe pipe;
    auto outBuffer = Open(pipe.write, P::PipeDirection::Write);
    ASSERT_TRUE(outBuffer);
    std::ostream out(outBuffer.get());
    out.exceptions(std::ios_base::badbit);
    {
        auto inBuffer = Open(pipe.read, P::PipeDirection::Read);
        ASSERT_TRUE(inBuffer);
        pipe.read.Reset();
        EXPECT_NO_THROW(out << 'x' << std::flush) << "the read buffer keeps the pipe open";
    }
    EXPECT_THROW(out << "nobody reads this" << std::flush, std::ios_base::failure);
}

}  // namespace
