// platform.h - the few operating-system calls that the gnuplot connection and
// its front-end need: child processes fed through a pipe, the execute test,
// exclusive creation of data files and unbuffered writes.
#pragma once

#include <cstddef>
#include <cstdio>

namespace fitcore {

// A started child and the write end of the pipe that is its standard input.
struct ChildPipe {
    std::FILE* stream;  // write stream on the pipe; null when nothing was started
    int pid;            // the child's process id, waited for by CloseChildPipe
};

// Starts the program at `path` (no shell, no search) with the arguments
// `argv` (null-terminated) and a pipe to its standard input. The child's
// standard output goes to `stdout_fd`, or stays the caller's when it is -1.
// A broken-pipe signal is reset to its default action in the child. The
// stream is null when the pipe or the child can't be had.
ChildPipe StartChildWithPipe(const char* path, char* const argv[], int stdout_fd = -1);

// Writes `length` bytes to the child's pipe and flushes them. A child that
// has gone away does not raise a fatal SIGPIPE: the bytes are lost and the
// result is false.
bool WriteToPipe(std::FILE* stream, const char* text, std::size_t length);

// Closes the pipe, so the child sees the end of its input, and waits for the
// child to end. The child's exit status, 128 + the signal that ended it, or
// -1 when the wait fails.
int CloseChildPipe(ChildPipe child);

// Bytes written to the child's pipe that the child has not read yet.
std::size_t UnreadPipeBytes(std::FILE* stream);

// True when the child has ended; it stays waitable for CloseChildPipe.
bool ChildHasEnded(int pid);

// Pauses the calling thread.
void SleepMilliseconds(int milliseconds);

// A pipe whose write end a started child inherits (under the same number)
// and whose read end it does not. False when no pipe could be made.
bool MakeInheritedPipe(int* read_end, int* write_end);

// Reads one byte from `fd`; false at the end of the input or on an error.
bool ReadByte(int fd, char* byte);

// Reads what is available on `fd` into `buffer`, waiting at most
// `timeout_ms` for something to arrive: the count read, 0 at the end of the
// input, -1 on a time-out or an error.
long ReadWithTimeout(int fd, char* buffer, std::size_t size, int timeout_ms);

// Opens `path` for reading as a text stream. A directory is refused (null,
// errno EISDIR): opening one succeeds here, but reading it fails at once,
// which a reader would take for an empty file.
std::FILE* OpenForReading(const char* path);

// Points standard output (descriptor 1) at standard error and returns a new
// stream on what standard output was, not inherited by children. Whatever the
// process prints on standard output after this goes to standard error, as
// unbuffered as standard error's own messages, so that both keep their order.
// Null, with nothing changed, when a descriptor can't be had.
std::FILE* DivertStandardOutputToErrors();

// True when `path` names a file, not a directory, that this process may execute.
bool IsExecutable(const char* path);

// Creates `path` as a new file for reading and writing, owner-only, closed on
// exec. Fails (-1, errno EEXIST) when anything exists under the name, a
// symbolic link included, so an existing file is never opened or emptied.
int CreateNewFile(const char* path);

// One unbuffered write of `length` bytes; the number written, or -1.
long WriteToFile(int fd, const char* data, std::size_t length);

// Closes a descriptor; 0 or -1.
int CloseFile(int fd);

// Deletes a file with the async-signal-safe unlink; 0 or -1.
int UnlinkFile(const char* path);

// Sets `handler` for SIGINT, SIGTERM and SIGHUP, each only where its action is
// still the default, so a program's own handler or an ignored signal is kept.
void InstallTerminationHandler(void (*handler)(int));

// From inside a signal handler: restores the default action of `signal` and
// raises it again, so the process ends by it once the handler returns.
void ReraiseWithDefaultAction(int signal);

// Opens the controlling terminal for writing; -1 when the process has none.
int OpenControllingTerminal();

// Width and height of the terminal open on `fd`; false when it has no size.
bool TerminalSize(int fd, int* columns, int* rows);

// Asks the system to back the whole 2 MiB pages within [data, data + bytes)
// with large pages, so that first touching a large array takes few page
// faults. Only a hint: nothing changes for the program when it is not taken.
void AdviseLargePages(void* data, std::size_t bytes);

}  // namespace fitcore
