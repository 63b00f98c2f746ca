// platform.cpp - POSIX implementation of the child, file and terminal calls.
#include "platform.h"

#include <cerrno>
#include <cstdint>
#include <csignal>
#include <ctime>
#include <initializer_list>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fitcore {

namespace {

// Closes both ends of a pipe that could not be handed to a child.
void ClosePipe(const int ends[2])
{
    close(ends[0]);
    close(ends[1]);
}

// Blocks SIGPIPE for the lifetime of the guard. A SIGPIPE raised meanwhile by
// our own write stays pending; it is taken off again before unblocking, so it
// is never delivered (unless one was already pending before).
class SigpipeBlock {
public:
    SigpipeBlock()
    {
        sigemptyset(&pipe_only_);
        sigaddset(&pipe_only_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        was_pending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_only_, &previous_);
    }
    ~SigpipeBlock()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec no_wait{0, 0};
            while (sigtimedwait(&pipe_only_, nullptr, &no_wait) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t pipe_only_;
    sigset_t previous_;
    bool was_pending_ = false;
};

}  // namespace

ChildPipe StartChildWithPipe(const char* path, char* const argv[], int stdout_fd)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {nullptr, -1};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    if (stdout_fd >= 0) posix_spawn_file_actions_adddup2(&actions, stdout_fd, STDOUT_FILENO);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    int failed = posix_spawn(&pid, path, &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        ClosePipe(ends);
        return {nullptr, -1};
    }
    close(ends[0]);
    std::FILE* stream = fdopen(ends[1], "w");
    if (stream == nullptr) {
        close(ends[1]);
        int status;
        waitpid(pid, &status, 0);
        return {nullptr, -1};
    }
    return {stream, pid};
}

bool WriteToPipe(std::FILE* stream, const char* text, std::size_t length)
{
    SigpipeBlock block;
    bool written = std::fwrite(text, 1, length, stream) == length;
    bool flushed = std::fflush(stream) == 0;
    if (!flushed) std::clearerr(stream);
    return written && flushed;
}

int CloseChildPipe(ChildPipe child)
{
    {
        SigpipeBlock block;  // fclose flushes whatever a failed write left behind
        std::fclose(child.stream);
    }
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child.pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::size_t UnreadPipeBytes(std::FILE* stream)
{
    int unread = 0;
    if (ioctl(fileno(stream), FIONREAD, &unread) != 0 || unread < 0) return 0;
    return static_cast<std::size_t>(unread);
}

bool ChildHasEnded(int pid)
{
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return true;
    return info.si_pid == pid;
}

void SleepMilliseconds(int milliseconds)
{
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool MakeInheritedPipe(int* read_end, int* write_end)
{
    int ends[2];
    if (pipe(ends) != 0) return false;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    *read_end = ends[0];
    *write_end = ends[1];
    return true;
}

bool ReadByte(int fd, char* byte)
{
    for (;;) {
        ssize_t got = read(fd, byte, 1);
        if (got == 1) return true;
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

long ReadWithTimeout(int fd, char* buffer, std::size_t size, int timeout_ms)
{
    pollfd wanted{fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&wanted, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return -1;
    ssize_t got = read(fd, buffer, size);
    return got < 0 ? -1 : static_cast<long>(got);
}

std::FILE* OpenForReading(const char* path)
{
    std::FILE* stream = std::fopen(path, "r");
    if (stream == nullptr) return nullptr;
    struct stat status {};
    if (fstat(fileno(stream), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(stream);
        errno = EISDIR;
        return nullptr;
    }
    return stream;
}

std::FILE* DivertStandardOutputToErrors()
{
    std::fflush(stdout);
    int saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved < 0) return nullptr;
    std::FILE* stream = fdopen(saved, "w");
    if (stream == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        if (stream != nullptr)
            std::fclose(stream);
        else
            close(saved);
        return nullptr;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return stream;
}

bool IsExecutable(const char* path)
{
    struct stat status {};
    return access(path, X_OK) == 0 && stat(path, &status) == 0 && !S_ISDIR(status.st_mode);
}

int CreateNewFile(const char* path)
{
    return open(path, O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
}

long WriteToFile(int fd, const char* data, std::size_t length)
{
    ssize_t written;
    do {
        written = write(fd, data, length);
    } while (written < 0 && errno == EINTR);
    return static_cast<long>(written);
}

int CloseFile(int fd) { return close(fd); }

int UnlinkFile(const char* path) { return unlink(path); }

void InstallTerminationHandler(void (*handler)(int))
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void ReraiseWithDefaultAction(int signal)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

int OpenControllingTerminal() { return open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC); }

bool TerminalSize(int fd, int* columns, int* rows)
{
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
    *columns = size.ws_col;
    *rows = size.ws_row;
    return true;
}

void AdviseLargePages(void* data, std::size_t bytes)
{
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    auto first = (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    auto last = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLargePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace fitcore
