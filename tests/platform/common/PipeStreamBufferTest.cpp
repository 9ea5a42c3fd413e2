// SPDX-License-Identifier: Apache-2.0
// The stream buffers the connection builds over pipe ends, on both backends:
// bytes come through whole whatever the chunking, a read never waits for more
// than is asked, a read ends with its server, output waits for a flush and
// fails loudly, and destroying a buffer releases the pipe end beneath it.

#include "platform/Platform.h"
#include "support/HostingTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>

namespace {

namespace P = RpcClient::Platform;
using namespace std::chrono_literals;

// An anonymous pipe; its ends close with it.
struct Pipe {
    Pipe() { EXPECT_TRUE(P::CreatePipe(read, write)); }
    P::Pipe read;
    P::Pipe write;
};

std::unique_ptr<std::streambuf> Open(const P::Pipe& end, P::PipeDirection direction,
                                     P::Process watched = P::Process()) {
    P::Pipe duplicate = end.Duplicate();
    EXPECT_TRUE(duplicate);
    std::string error;
    auto buffer =
        P::OpenPipeStreamBuffer(std::move(duplicate), direction, std::move(watched), error);
    EXPECT_TRUE(buffer) << error;
    return buffer;
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        // Every byte value, line ends and NULs included, at shifting places.
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

TEST(PipeStreamBuffer, BytesArriveWholeAndInOrderWhateverTheChunking) {
    // Odd and even sizes, single bytes, sizes around the buffers' own and
    // far beyond the pipe's capacity, written in pieces of varying size.
    const std::size_t sizes[] = {1, 2, 3, 4095, 4096, 4097, 65535, 65537, 300001};
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        Pipe pipe;
        auto inBuffer = Open(pipe.read, P::PipeDirection::Read);
        auto outBuffer = Open(pipe.write, P::PipeDirection::Write);
        ASSERT_TRUE(inBuffer && outBuffer);
        const std::string sent = Pattern(size);

        std::thread writer([&] {
            std::ostream out(outBuffer.get());
            std::size_t at = 0;
            std::size_t piece = 1;
            while (at < sent.size()) {
                const std::size_t take = std::min(piece, sent.size() - at);
                out.write(sent.data() + at, static_cast<std::streamsize>(take));
                out.flush();
                at += take;
                piece = piece * 3 + 1;
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
    for (const std::string& piece :
         {std::string("x"), std::string("Content-Length: 2\r\n"), std::string("{}")}) {
        ASSERT_TRUE(P::WritePipe(pipe.write, piece.data(), piece.size(), nullptr));
        auto read = std::async(std::launch::async, [&] {
            // The first byte brings in everything the pipe holds, so the rest
            // counts as buffered (the framing skips buffered line breaks).
            std::string got(1, static_cast<char>(in.get()));
            const std::streamsize buffered = in.rdbuf()->in_avail();
            got.resize(piece.size());
            in.read(&got[1], static_cast<std::streamsize>(got.size() - 1));
            return std::make_pair(got, buffered);
        });
        if (read.wait_for(10s) != std::future_status::ready) {
            // Free the reader before failing, so the test can end.
            const std::string filler(70000, ' ');
            P::WritePipe(pipe.write, filler.data(), filler.size(), nullptr);
            read.wait();
            FAIL() << "a read of " << piece.size() << " available bytes waited for more";
        }
        const auto result = read.get();
        EXPECT_EQ(result.first, piece);
        EXPECT_EQ(result.second, static_cast<std::streamsize>(piece.size() - 1));
    }
}

TEST(PipeStreamBuffer, ReadEndsOnceTheWatchedServerIsGoneAndItsBytesAreRead) {
    // The host keeps the server's output end open (as the hosting does), so
    // only the watch can end the read.
    Pipe input;
    Pipe output;
    P::ProcessStart start;
    start.application = HostingTest::ScriptedServer();
    start.arguments = L"--exit 0";
    start.standardInput = &input.read;
    start.standardOutput = &output.write;
    const P::Process process = P::StartProcess(start);
    ASSERT_TRUE(process);
    ASSERT_EQ(P::WaitForProcess(process, std::chrono::milliseconds(10000)), P::WaitResult::Ended);
    const std::string last = "last words";
    ASSERT_TRUE(P::WritePipe(output.write, last.data(), last.size(), nullptr));

    auto inBuffer = Open(output.read, P::PipeDirection::Read, process.Duplicate());
    ASSERT_TRUE(inBuffer);
    auto read = std::async(std::launch::async, [&] {
        std::istream in(inBuffer.get());
        std::string got;
        std::getline(in, got, '\0');
        return got;
    });
    const bool ended = read.wait_for(10s) == std::future_status::ready;
    if (!ended) {
        // Unblock the reader through the pipe before failing.
        output.write.Reset();
    }
    EXPECT_TRUE(ended) << "a read outlived its server";
    EXPECT_EQ(read.get(), last);
}

TEST(PipeStreamBuffer, OutputWaitsForAFlushAndUnflushedOutputIsDropped) {
    Pipe pipe;
    {
        auto outBuffer = Open(pipe.write, P::PipeDirection::Write);
        ASSERT_TRUE(outBuffer);
        std::ostream out(outBuffer.get());
        out << "sent" << std::flush << "never sent";
    }
    // With every write end gone, the reader sees exactly what was flushed.
    pipe.write.Reset();
    char bytes[64] = {};
    long total = 0;
    for (long got;
         (got = P::ReadPipe(pipe.read, bytes + total, sizeof(bytes) - total, nullptr)) > 0;) {
        total += got;
    }
    EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(total)), "sent");
}

TEST(PipeStreamBuffer, FailedWriteMakesTheStreamBad) {
    Pipe pipe;
    auto outBuffer = Open(pipe.write, P::PipeDirection::Write);
    ASSERT_TRUE(outBuffer);
    pipe.read.Reset();
    std::ostream out(outBuffer.get());
    out.exceptions(std::ios_base::badbit);
    EXPECT_THROW(out << "nobody reads this" << std::flush, std::ios_base::failure);
}

TEST(PipeStreamBuffer, DestroyingABufferClosesThePipeEndBeneathIt) {
    // The read buffer holds the last read end; once it is gone, writing must
    // find the pipe broken.
    Pipe pipe;
    {
        auto inBuffer = Open(pipe.read, P::PipeDirection::Read);
        ASSERT_TRUE(inBuffer);
        pipe.read.Reset();
        const char byte = 'x';
        EXPECT_TRUE(P::WritePipe(pipe.write, &byte, 1, nullptr)) << "the buffer keeps it open";
    }
    const char byte = 'y';
    EXPECT_FALSE(P::WritePipe(pipe.write, &byte, 1, nullptr));

    // Likewise a write buffer and the reader's end of stream.
    Pipe other;
    {
        auto outBuffer = Open(other.write, P::PipeDirection::Write);
        ASSERT_TRUE(outBuffer);
        other.write.Reset();
    }
    char got = 0;
    EXPECT_EQ(P::ReadPipe(other.read, &got, 1, nullptr), 0);
}

}  // namespace
