// platform.h - the few operating-system calls that the gnuplot connection,
// its front-end and the programs need: the standard streams, child processes
// fed through a pipe, the execute test and the search of PATH, exclusive
// creation of data files, unbuffered writes and the check that a display
// server answers.
//
// One implementation for POSIX systems and one for Windows. Where a call has
// no meaning on Windows, its comment says what it does there instead.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace fitcore {

// A started child and the write end of the pipe that is its standard input.
struct ChildPipe {
    std::FILE* stream;  // write stream on the pipe; null when nothing was started
    int pid;            // the child's process id, waited for by CloseChildPipe
};

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, so
// that no file or pipe opened later takes the place of a standard stream.
// Meant to be the first thing a program does. Windows: nothing, since a
// file or pipe opened there never takes a standard stream's number.
void OpenNullOnClosedStandardStreams();

// Starts the program at `path` (no shell, no search) with the arguments
// `argv` (null-terminated) and a pipe to its standard input. The child's
// standard output goes to `stdout_fd`, or stays the caller's when it is -1;
// no end of the pipe is ever one of the standard descriptors, so the child
// gets neither end as a standard stream by mistake. A broken-pipe signal is
// reset to its default action in the child. With `own_process_group` the
// child leads a new process group, which CloseChildPipe can end as a whole.
// The stream is null when the pipe or the child can't be had.
// Windows: the command line is quoted so that the C runtime's parser gives
// the child `argv` back; the child inherits its three standard handles and
// nothing else; the stream is binary, so every byte arrives as written; a
// job object stands for the process group.
ChildPipe StartChildWithPipe(const char* path, char* const argv[], int stdout_fd = -1,
                             bool own_process_group = false);

// Writes `length` bytes to the child's pipe and flushes them. A child that
// has gone away does not raise a fatal SIGPIPE: the bytes are lost and the
// result is false.
bool WriteToPipe(std::FILE* stream, const char* text, std::size_t length);

constexpr int kWaitWithoutLimit = -1;

// How a child's wait ended.
struct ChildEnd {
    int status;    // exit status, 128 + the signal that ended it, or -1 when the wait failed
    int error;     // errno of a failed wait: ECHILD when SIGCHLD is ignored and the system reaped the child
    bool stopped;  // the child was still running at the time limit and was ended
};

// Closes the pipe, so the child sees the end of its input, and waits for the
// child to end. When it has not ended `timeout_ms` after the close (0 or
// more), its process group (see StartChildWithPipe), or else the child
// alone, is sent SIGTERM and, if still there a moment later, SIGKILL.
// Windows: the job, or else the child, is terminated with exit status 1.
ChildEnd CloseChildPipe(ChildPipe child, int timeout_ms = kWaitWithoutLimit);

// Bytes written to the child's pipe that the child has not read yet.
// Windows: always 0; the write end of a pipe can't tell, and a plot there is
// drawn in a window of its own rather than on the program's console.
std::size_t UnreadPipeBytes(std::FILE* stream);

// True when the child has ended; it stays waitable for CloseChildPipe.
bool ChildHasEnded(int pid);

// Pauses the calling thread.
void SleepMilliseconds(int milliseconds);

// A pipe whose write end a started child inherits (under the same number)
// and whose read end it does not; neither end is a standard descriptor.
// False when no pipe could be made. Windows: always false, since a child
// inherits no descriptor numbers there.
bool MakeInheritedPipe(int* read_end, int* write_end);

// Reads one byte from `fd`; false at the end of the input or on an error.
bool ReadByte(int fd, char* byte);

// Reads what is available on `fd` into `buffer`, waiting at most
// `timeout_ms` for something to arrive: the count read, 0 at the end of the
// input, -1 on a time-out or an error.
long ReadWithTimeout(int fd, char* buffer, std::size_t size, int timeout_ms);

// Opens `path` for reading as a text stream. A directory is refused (null,
// errno EISDIR): opening one succeeds here, but reading it fails at once,
// which a reader would take for an empty file. Windows: opened in binary
// mode, so the bytes read are those of the file, as on POSIX systems.
std::FILE* OpenForReading(const char* path);

// Points standard output (descriptor 1) at standard error and returns a new
// stream on what standard output was, not inherited by children. Whatever the
// process prints on standard output after this goes to standard error, as
// unbuffered as standard error's own messages, so that both keep their order.
// Null, with nothing changed, when a descriptor can't be had.
std::FILE* DivertStandardOutputToErrors();

// True when `path` names a file, not a directory, that this process may
// execute. Windows: a program image that the system can start.
bool IsExecutable(const char* path);

// How programs are found: the character that separates the directories of a
// search list such as PATH, and whether the working directory is searched
// before the list, as Windows itself does (a POSIX shell searches it only
// where the list names it).
#ifdef _WIN32
constexpr char kSearchListSeparator = ';';
constexpr bool kWorkingDirectoryFirst = true;
#else
constexpr char kSearchListSeparator = ':';
constexpr bool kWorkingDirectoryFirst = false;
#endif

// How the end of a search list that is empty or ends in the separator is read.
enum class FinalEmptyEntry {
    Ignored,           // it adds no entry: an empty list names no directory
    WorkingDirectory,  // as a shell reads it: one more, empty, entry
};

// Walks the search list `list` in order for the program `name`: each entry,
// up to the next separator, gives the candidate "<entry>/<name>", an empty
// entry the candidate "./<name>". Where the system searches the working
// directory first (kWorkingDirectoryFirst), "./<name>" comes before them all.
// The first candidate that `accept` takes (IsExecutable when null) ends the
// search. Returns its directory as the list writes it, "." for an empty
// entry and the working directory; nullopt when no candidate was taken.
std::optional<std::string> FindInSearchList(const char* list, const char* name, FinalEmptyEntry final_entry,
                                            bool (*accept)(const std::string& candidate) = nullptr);

// Creates `path` as a new file for reading and writing, closed on exec:
// owner-only, or with `owner_only` false readable by all that the umask
// allows, as an ordinary new file is. Fails (-1, errno EEXIST) when anything
// exists under the name, a symbolic link included, so an existing file is
// never opened or emptied.
// Windows: in binary mode, not inherited; readable and writable.
int CreateNewFile(const char* path, bool owner_only = true);

// Renames `from` to `to`, replacing a file that `to` names; 0 or -1 with errno.
// Windows: also where `to` exists, which rename refuses there.
int RenameOver(const char* from, const char* to);

// From inside a signal handler: kills the process group that the child `pid`
// leads (see StartChildWithPipe), waits for the child and then, for at most
// about a second, until nothing of the group is left, so that none of it can
// write a file after the caller has deleted it.
// Windows: nothing; an interrupted console ends all of its programs itself.
void KillProcessGroupNow(int pid);

// One unbuffered write of `length` bytes; the number written, or -1.
long WriteToFile(int fd, const char* data, std::size_t length);

// Closes a descriptor; 0 or -1.
int CloseFile(int fd);

// Deletes a file with the async-signal-safe unlink; 0 or -1.
int UnlinkFile(const char* path);

// Windows: puts the descriptor into binary mode, so that it reads and writes
// bytes with no CR LF translation and no end at Ctrl-Z; elsewhere nothing.
void UseBinaryMode(int fd);

// Sets the environment variable `name` to `value` for this process and the
// programs it starts from now on.
void SetEnvironmentValue(const char* name, const char* value);

// Sets `handler` for the signals that end a process and can be caught:
// SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE and SIGXFSZ, each only where its
// action is still the default, so a program's own handler or an ignored
// signal is kept (an ignored SIGPIPE or SIGXFSZ makes the write fail instead).
// Windows: `handler` runs, on a thread of its own, for Ctrl-C (SIGINT),
// Ctrl-Break (SIGBREAK) and the closing of the console window, a log-off or
// a shut-down (SIGTERM); the process then ends as the console ends it.
void InstallTerminationHandler(void (*handler)(int));

// From inside a signal handler: restores the default action of `signal` and
// raises it again, so the process ends by it once the handler returns.
// Windows: nothing; the console's own handling, which ends the process,
// follows the handler.
void ReraiseWithDefaultAction(int signal);

// Ignores SIGTTOU, for this process and the programs it starts, so that they
// may write to the controlling terminal from a background process group.
// Windows: nothing, there are no background process groups.
void AllowTerminalOutputFromBackground();

// Opens the controlling terminal for writing; -1 when the process has none.
// Windows: always -1; plots are drawn in gnuplot's own windows there.
int OpenControllingTerminal();

// Width and height of the terminal open on `fd`; false when it has no size
// (always on Windows).
bool TerminalSize(int fd, int* columns, int* rows);

// True when a stream connection to the Unix socket `path` is accepted
// within `timeout_ms`; a name starting with '@' is an abstract socket. With a
// `greeting`, the server must also answer it: the greeting is sent and at
// least one byte has to come back within the same time.
bool UnixSocketAccepts(const char* path, int timeout_ms, const std::string& greeting = {});

// True when a TCP connection to `host` (a name or an address) and `port` is
// accepted within `timeout_ms`, name lookup included, and, with a
// `greeting`, answered as for UnixSocketAccepts. Both checks run in a
// short-lived child process that is killed at the limit, so neither a slow
// lookup nor an unanswered connection holds the caller longer; call them
// before starting threads. Windows: both are always false; no X display
// server is looked for there.
bool TcpPortAccepts(const char* host, int port, int timeout_ms, const std::string& greeting = {});

// Asks the system to back the whole 2 MiB pages within [data, data + bytes)
// with large pages, so that first touching a large array takes few page
// faults. Only a hint: nothing changes for the program when it is not taken.
// Given only when FITCORE_LARGE_PAGES=1 is in the environment (read at the
// first call), to measure what it costs or saves. Windows: nothing; large
// pages there need a privilege that users lack.
void AdviseLargePages(void* data, std::size_t bytes);

}  // namespace fitcore
