// SPDX-License-Identifier: Apache-2.0
#pragma once

// The platform layer: the few operating-system services the library needs,
// behind one internal interface. Each backend (posix/, win32/) implements
// every section; code above this layer never tests the platform. Internal:
// nothing here is exported.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <utility>

#if defined(_WIN32)
#include "platform/win32/NativeHandles.h"
#else
#include "platform/posix/NativeHandles.h"
#endif

namespace RpcClient::Platform {

// ===========================================================================
// Text conversion (code pages)
// ===========================================================================
//
// These two calls behave like the Windows converters called with no flags,
// a source length of -1 and (when encoding) no default character:
//   MultiByteToWideChar(codePage, 0, source, -1, destination, capacity)
//   WideCharToMultiByte(codePage, 0, source, -1, destination, capacity, nullptr, nullptr)
// On Windows they are exactly those calls. Elsewhere the backend reproduces
// what callers can observe:
// - `source` is NUL-terminated; the conversion covers it up to and including
//   the first NUL, so the result always ends with a NUL.
// - Success returns the number of units written, the NUL included.
// - A null destination or a capacity of 0 asks for the required count and
//   writes nothing.
// - A destination too small for the whole result returns 0 and sets the last
//   conversion error to kErrorInsufficientBuffer.
// - Any other failure returns 0 and sets another error code.
// - Malformed input decodes to U+FFFD; a character the target code page
//   cannot hold is written as its default character ('?' for narrow code
//   pages, U+FFFD for UTF-8). Neither is a failure.
// The wide side is wchar_t: UTF-16 on Windows, UTF-32 elsewhere.

enum class CodePage : unsigned int {
    // The narrow code page of the process (Windows) or of the calling
    // thread's current C locale, LC_CTYPE (elsewhere).
    Ansi = 0,
    Utf8 = 65001,
};

// The last-error value the converters set when the destination is too small.
constexpr unsigned long kErrorInsufficientBuffer = 122;

int MultiByteToWide(CodePage codePage, const char* source, wchar_t* destination, int capacity);
int WideToMultiByte(CodePage codePage, const wchar_t* source, char* destination, int capacity);

// The error code the calling thread's last failed conversion set
// (GetLastError() on Windows).
unsigned long LastConversionError();

// ---------------------------------------------------------------------------
// Processes, pipes and jobs
//
// Each kind of operating-system object has its own owner type (Pipe, Process,
// Job) over the backend's native representation (NativeHandles.h): move-only,
// closed when it goes, and closing keeps the calling thread's last error, so
// cleanup after a failure never hides the failure's reason. Functions that
// fail return false / an empty owner and leave the reason in the calling
// thread's last error (GetLastError below).
// ---------------------------------------------------------------------------

template <class Traits>
class Owned {
public:
    using Native = typename Traits::Native;

    Owned() noexcept = default;
    explicit Owned(Native native) noexcept : native_(std::move(native)) {}
    Owned(Owned&& other) noexcept : native_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            native_ = other.Release();
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }

    const Native& Get() const noexcept { return native_; }
    Native& Get() noexcept { return native_; }
    explicit operator bool() const noexcept { return !Traits::IsEmpty(native_); }
    Native Release() noexcept { return std::exchange(native_, Native{}); }
    void Reset() noexcept {
        Native old = Release();
        if (!Traits::IsEmpty(old)) {
            Traits::Close(old);
        }
    }
    // A second, private owner of the same object, with the same access and
    // never inherited by a child; empty on failure.
    Owned Duplicate() const {
        return Owned(Traits::IsEmpty(native_) ? Native{} : Traits::Duplicate(native_));
    }

private:
    Native native_{};
};

using Pipe = Owned<PipeTraits>;
using Process = Owned<ProcessTraits>;
using Job = Owned<JobTraits>;

// An anonymous pipe with the system's default buffer size. The ends may be
// handed to StartProcess as a child's standard handles; no end ever reaches a
// child by any other way (Win32: the ends are inheritable, and only the child
// being started at that moment receives them as its standard handles;
// POSIX: close-on-exec, passed explicitly by the spawn).
bool CreatePipe(Pipe& readEnd, Pipe& writeEnd);

unsigned long CurrentProcessId();

struct ProcessStart {
    // Full path of the executable: application name and first command-line
    // word (argv[0] on POSIX).
    std::wstring application;
    // The rest of the command line. The command line is `application`, one
    // space, `arguments` (the space is there even for empty arguments). On
    // POSIX the arguments are split into argv by SplitCommandLine below, so
    // one argument string means the same arguments on both systems.
    std::wstring arguments;
    // Directory the child starts in; empty: the caller's current directory.
    std::wstring workingDirectory;
    // Ask to leave the host's job (Win32 CREATE_BREAKAWAY_FROM_JOB); ignored
    // where the host is in no job.
    bool breakawayFromJob = false;
    // The child's standard input (a pipe's read end) and its standard output
    // and standard error (one pipe's write end, shared by both).
    const Pipe* standardInput = nullptr;
    const Pipe* standardOutput = nullptr;
};

// Starts a hidden child with exactly the three standard handles above and
// the host's environment. Empty on failure. The owner is immune to
// process-id reuse; closing its last duplicate of an ended child reaps it
// (no zombie stays behind on POSIX).
Process StartProcess(const ProcessStart& start);

// What a look at a process found: still running, or ended with `code`.
// A process ended by a signal reports 128 + the signal number on POSIX.
// (Win32 cannot tell a process that exited with code 259 from a running
// one; it reports such a process as running.)
struct ExitStatus {
    bool running = false;
    unsigned long code = 0;
};

// Looks at the process without reaping it: the owner stays usable until
// closed. False when it cannot be asked (the reason in the last error).
bool QueryExit(const Process& process, ExitStatus& status);

// Ends the process at once. Later queries report `exitCode`.
bool TerminateProcess(const Process& process, unsigned int exitCode);

enum class WaitResult { Ended, TimedOut, Failed };

// Waits up to `timeout` (none: no limit) for the process to end.
WaitResult WaitForProcess(const Process& process, std::optional<std::chrono::milliseconds> timeout);

// Id of a process (Win32 GetProcessId, POSIX pid); 0 for an empty owner.
// Ids are reused once a process is gone and its owners closed.
unsigned long GetProcessId(const Process& process);

// A point on the steady clock past which a read stops waiting.
using ReadDeadline = std::chrono::steady_clock::time_point;

// ReadPipe's result when its deadline passed before a byte arrived.
constexpr long kReadTimedOut = -2;

// Reads what is available from a pipe end, blocking until at least one byte
// arrives. Returns the count, 0 at end of stream, -1 on error. When
// `watchedProcess` is given, a backend may also report end of stream once
// that process has ended and nothing more is buffered in the pipe (so a read
// never outlives a dead server); a backend that cannot watch ignores it.
// With a `deadline`, a read that has seen no byte by then gives up with
// kReadTimedOut (bytes already in the pipe are still read after it).
long ReadPipe(const Pipe& readEnd, char* buffer, std::size_t size, const Process* watchedProcess,
              const ReadDeadline* deadline = nullptr);

// Writes all bytes to a pipe end. False on error (a broken pipe included: it
// never raises a signal in the host). When `watchedProcess` is given, a
// backend may also fail the write once that process has ended while the pipe
// is full (so a write never outlives a dead server whose input we still hold
// open); a backend that cannot watch ignores it. `endedBeforeWait`, when
// given, is set to whether such a failure found the process ended before the
// write had waited for it at all (it had ended before the write began, not
// while the write waited on it).
bool WritePipe(const Pipe& writeEnd, const char* data, std::size_t size,
               const Process* watchedProcess, bool* endedBeforeWait = nullptr);

// The bytes written to a pipe and not read yet, looked at through its read
// end without taking any. False when the pipe cannot be asked.
bool PipeBytesUnread(const Pipe& readEnd, std::size_t& count);

// Which way a pipe stream buffer carries bytes.
enum class PipeDirection { Read, Write };

// A byte stream buffer over a pipe end. Takes `pipe` (a private duplicate
// nobody else uses) and `watchedProcess` (a private duplicate of the process
// on the other end, or empty).
// - Reads return what the pipe holds, never waiting for more bytes than are
//   asked for and at least one is there; with a watched process they end
//   (end of stream) once it has ended and the pipe is drained.
// - Writes collect in the buffer and reach the pipe when it is flushed or
//   full; a failed write is reported as a failure of overflow/sync, so the
//   stream sets badbit. Output still unflushed when the buffer is destroyed
//   is dropped (a server that no longer reads must not block the host).
// - Destroying the buffer releases everything beneath it, each handle once.
// Null when the buffer cannot be built; `error` then holds the system's
// text. (Win32: the buffer runs over a C
// runtime stream on the handle; POSIX: straight over the pipe.)
std::unique_ptr<std::streambuf> OpenPipeStreamBuffer(Pipe pipe, PipeDirection direction,
                                                     Process watchedProcess, std::string& error);

// Bounds the reads through a buffer made by OpenPipeStreamBuffer: a read that
// has seen no byte by `deadline` ends the stream (end of file) and marks the
// buffer timed out. Null lifts the bound and the mark. Other buffers are left
// alone.
void SetReadDeadline(std::streambuf& buffer, const ReadDeadline* deadline);

// Did a read through the buffer give up at its deadline since it was set?
bool ReadDeadlinePassed(const std::streambuf& buffer);

// Did the last failed write through the buffer find its watched process
// already ended before it had waited for it (see WritePipe)?
bool WriteFoundProcessEnded(const std::streambuf& buffer);

// A job: processes assigned to it, and every process they start, are killed
// when the job is terminated or its last owner is closed, and when the host
// process ends by any means. Processes do not break away from it. Empty on
// failure.
Job CreateJob();
bool AssignProcessToJob(const Job& job, const Process& process);
bool TerminateJob(const Job& job, unsigned int exitCode);

// Is the process in `job` (null: in any job)? False return: the query failed.
bool IsProcessInJob(const Process& process, const Job* job, bool& inJob);

// Is the host process itself in a job? False return: the query failed.
bool IsCurrentProcessInJob(bool& inJob);

// Does the job the host process runs in list the host's own process id?
// False when the host is in no job or the list cannot be had.
bool IsCurrentProcessListedInOwnJob();

// Query of the host's own job: may its children break away? False return:
// the query failed (the host is in no job).
bool QueryOwnJobBreakawayAllowed(bool& allowed);

// ---------------------------------------------------------------------------
// The handles of the public API
//
// The public API hands processes, jobs and pipe ends out as `void*` and takes
// processes back the same way. Win32: the handle itself. POSIX: a process or
// a job is named by a token the backend maps back while the object lives, a
// pipe end by its descriptor plus one; neither can be used by the host
// directly.
// ---------------------------------------------------------------------------

void* PublicHandle(const Process& process);
void* PublicHandle(const Job& job);
void* PublicHandle(const Pipe& pipe);

// A private owner of the process a public value names; empty for null, for
// the Win32 pseudo handle of the calling process and for anything the
// backend does not know.
Process OpenPublicProcess(void* process);
Job OpenPublicJob(void* job);

// Closes a handle the host owns (Win32 CloseHandle). The POSIX tokens are
// not owned by the host: false, nothing is closed.
bool ClosePublicHandle(void* handle);

// ---------------------------------------------------------------------------
// Files and directories
// ---------------------------------------------------------------------------

// The caller's current directory; empty when it cannot be had (or, on Win32,
// when it is longer than 260 characters).
std::wstring GetCurrentDirectory();

// Directory of the host executable; empty when unknown.
std::wstring GetExecutableDirectory();

// Directory of the library's own file; the host executable's directory when
// the library cannot be found under its own name.
std::wstring GetLibraryDirectory();

// `directory` joined with a relative path written with backslashes and an
// optional leading ".\" (the way the known servers' places are written);
// separators are converted to the platform's. Empty when the result would be
// longer than the platform's path limit (Win32: 260).
std::wstring PathAppend(const std::wstring& directory, const std::wstring& relative);

bool PathFileExists(const std::wstring& path);

// Platform spelling of a known server's executable name: `name` + ".exe" on
// Win32, `name` unchanged on POSIX.
std::wstring ExecutableName(const std::wstring& name);

// Platform spelling of a shared library's file name: NAME.dll on Win32,
// libNAME.so on POSIX.
std::wstring SharedLibraryFileName(const std::wstring& baseName);

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

// Copies the NUL-terminated `source` into `destination`, which holds
// `capacity` characters, terminator included (Win32 wcscpy_s). False, with
// `destination` left empty where it can be, when either pointer is null or
// the text does not fit.
bool CopyWideString(wchar_t* destination, std::size_t capacity, const wchar_t* source);

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

// The calling thread's last error (Win32 GetLastError, POSIX errno).
unsigned long GetLastError();
void SetLastError(unsigned long code);

// The system's text for an error code or an HRESULT, in the system's own
// form, ending in CR LF; empty when the system has no text for it.
std::string FormatSystemMessage(unsigned long code);
std::string FormatHResultMessage(long hresult);

}  // namespace RpcClient::Platform
