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
// Every operating-system object travels as an opaque `void*` handle; null
// means "no handle". A handle is released with CloseHandle whatever it names
// (pipe end, process, job). Functions that fail return false / null and leave
// the reason in the calling thread's last error (GetLastError below).
// ---------------------------------------------------------------------------

// An anonymous pipe with the system's default buffer size. The ends may be
// handed to StartProcess as a child's standard handles; no end ever reaches a
// child by any other way (Win32: the ends are inheritable, and only the child
// being started at that moment receives them as its standard handles;
// POSIX: close-on-exec, passed explicitly by the spawn).
bool CreatePipe(void*& readEnd, void*& writeEnd);

// Closes any handle; false for null or an unknown handle. Closing a process
// handle of an ended child reaps it (no zombie stays behind on POSIX).
bool CloseHandle(void* handle);

// A second handle on the same object with the same access, not inheritable.
// Null on failure.
void* DuplicateHandle(void* handle);

// CloseHandle that keeps the calling thread's last error as it was, so that
// cleanup after a failure never hides the failure's reason.
void CloseKeepingLastError(void* handle);

// Pipe, Process and Job each own one handle of their kind: move-only, and
// closed (keeping the last error) when they go.
template <class Kind>
class Owned {
public:
    Owned() noexcept = default;
    explicit Owned(void* handle) noexcept : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }

    void* Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void* Release() noexcept {
        void* handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(void* handle = nullptr) noexcept {
        void* old = handle_;
        handle_ = handle;
        if (old != nullptr) {
            CloseKeepingLastError(old);
        }
    }
    // A second, private handle on the same object; empty on failure.
    Owned Duplicate() const {
        return Owned(handle_ != nullptr ? DuplicateHandle(handle_) : nullptr);
    }

private:
    void* handle_ = nullptr;
};

struct PipeKind;
struct ProcessKind;
struct JobKind;
using Pipe = Owned<PipeKind>;
using Process = Owned<ProcessKind>;
using Job = Owned<JobKind>;

// Pseudo handle naming the calling process; never closed, never null.
void* CurrentProcess();
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
    void* standardInput = nullptr;
    void* standardOutput = nullptr;
};

// Starts a hidden child with exactly the three standard handles above and
// the host's environment. Returns its process handle, or null. The handle is
// immune to process-id reuse.
void* StartProcess(const ProcessStart& start);

// What a look at a process found: still running, or ended with `code`.
// A process ended by a signal reports 128 + the signal number on POSIX.
// (Win32 cannot tell a process that exited with code 259 from a running
// one; it reports such a process as running.)
struct ExitStatus {
    bool running = false;
    unsigned long code = 0;
};

// Looks at the process without reaping it: the handle stays usable until
// closed. False when it cannot be asked (the reason in the last error).
bool QueryExit(void* process, ExitStatus& status);

// Ends the process at once. Later queries report `exitCode`.
bool TerminateProcess(void* process, unsigned int exitCode);

enum class WaitResult { Ended, TimedOut, Failed };

// Waits up to `timeout` (none: no limit) for the process to end.
WaitResult WaitForProcess(void* process, std::optional<std::chrono::milliseconds> timeout);

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
long ReadPipe(void* readEnd, char* buffer, std::size_t size, void* watchedProcess,
              const ReadDeadline* deadline = nullptr);

// Writes all bytes to a pipe end. False on error (a broken pipe included: it
// never raises a signal in the host). When `watchedProcess` is given, a
// backend may also fail the write once that process has ended while the pipe
// is full (so a write never outlives a dead server whose input we still hold
// open); a backend that cannot watch ignores it. `endedBeforeWait`, when
// given, is set to whether such a failure found the process ended before the
// write had waited for it at all (it had ended before the write began, not
// while the write waited on it).
bool WritePipe(void* writeEnd, const char* data, std::size_t size, void* watchedProcess,
               bool* endedBeforeWait = nullptr);

// The bytes written to a pipe and not read yet, looked at through its read
// end without taking any. False when the pipe cannot be asked.
bool PipeBytesUnread(void* readEnd, std::size_t& count);

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
// when the job is terminated or its last handle is closed, and when the host
// process ends by any means. Processes do not break away from it. Null on
// failure.
void* CreateJob();
bool AssignProcessToJob(void* job, void* process);
bool TerminateJob(void* job, unsigned int exitCode);

// Is the process in `job` (null: in any job)? False return: the query failed.
bool IsProcessInJob(void* process, void* job, bool& inJob);

// Does the job the host process runs in list the host's own process id?
// False when the host is in no job or the list cannot be had.
bool IsCurrentProcessListedInOwnJob();

// Query of the host's own job: may its children break away? False return:
// the query failed (the host is in no job).
bool QueryOwnJobBreakawayAllowed(bool& allowed);

// Id of a process (Win32 GetProcessId, POSIX pid); 0 for null or an unknown
// handle. Ids are reused once a process is gone and its handles closed.
unsigned long GetProcessId(void* process);

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
