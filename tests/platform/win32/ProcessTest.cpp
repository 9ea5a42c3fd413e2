// SPDX-License-Identifier: Apache-2.0
// What only the Win32 backend has: the command line CreateProcessW gets, the
// C runtime beneath the pipe streams.

#include "../common/ScriptedChild.h"

#include <iterator>
#include <string>

namespace {

namespace P = RpcClient::Platform;

TEST(Win32Process, CommandLineIsTheUnquotedApplicationASpaceAndTheArguments) {
    const std::wstring child = P::GetExecutableDirectory() + L"\\jrc_win32_child.exe";
    for (const std::wstring& arguments :
         {std::wstring(), std::wstring(L"-l \"2\""), std::wstring(3000, L'x')}) {
        SCOPED_TRACE(arguments.size());
        PlatformTest::Child started(arguments, L"", child);
        ASSERT_TRUE(started.process);
        const auto output = PlatformTest::Open(started.fromChild, P::PipeDirection::Read,
                                               started.process.Duplicate());
        const std::string bytes(std::istreambuf_iterator<char>(output.get()), {});
        const std::wstring expected = child + L" " + arguments;
        EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected.data()),
                                     expected.size() * sizeof(wchar_t)));
    }
}

TEST(Win32PipeStream, HandleTheRuntimeRefusesFailsWithItsTextAndClosesBothHandles) {
    // An event is no file: the C runtime will not make a descriptor of it.
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    for (const P::PipeDirection direction : {P::PipeDirection::Read, P::PipeDirection::Write}) {
        void* pipe = P::HandleTraits::Duplicate(event);
        void* process = P::HandleTraits::Duplicate(::GetCurrentProcess());
        ASSERT_TRUE(pipe != nullptr && process != nullptr);
        std::string error;
        EXPECT_EQ(P::OpenPipeStreamBuffer(P::Pipe(pipe), direction, P::Process(process), error),
                  nullptr);
        EXPECT_EQ(error, "Bad file descriptor");
        DWORD flags = 0;
        EXPECT_FALSE(::GetHandleInformation(pipe, &flags)) << "the pipe duplicate was left open";
        EXPECT_FALSE(::GetHandleInformation(process, &flags)) << "the process duplicate too";
    }
    ::CloseHandle(event);
}

}  // namespace
