// platform_posix.cpp - POSIX implementation of the child, file and terminal calls.
#include <fitcore/platform.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// Moves a descriptor that has the number of a standard stream to the lowest
// free number above them. False (the descriptor closed) when it can't.
bool AboveStandardStreams(int* fd, bool close_on_exec)
{
    if (*fd > STDERR_FILENO) return true;
    int moved = fcntl(*fd, close_on_exec ? F_DUPFD_CLOEXEC : F_DUPFD, STDERR_FILENO + 1);
    close(*fd);
    *fd = moved;
    return moved >= 0;
}

// A pipe with neither end on a standard stream's number; the read end is
// always closed on exec, the write end when `write_end_close_on_exec`.
bool MakePipe(int ends[2], bool write_end_close_on_exec)
{
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    if (!write_end_close_on_exec) fcntl(ends[1], F_SETFD, 0);
    bool read_ok = AboveStandardStreams(&ends[0], true);
    bool write_ok = AboveStandardStreams(&ends[1], write_end_close_on_exec);
    if (read_ok && write_ok) return true;
    if (read_ok) close(ends[0]);
    if (write_ok) close(ends[1]);
    return false;
}

// How a watched child stands.
enum class ChildState { Running, Ended, Gone };

// Waits up to `timeout_ms` for `pid` to end, without reaping it, so its
// number (and that of its process group) stays ours. Gone: the wait failed,
// for instance because the system reaped the child itself (SIGCHLD ignored).
ChildState WaitForEnd(pid_t pid, int timeout_ms)
{
    constexpr int kStepMs = 10;
    for (int waited = 0;; waited += kStepMs) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            if (errno == EINTR) continue;
            return ChildState::Gone;
        }
        if (info.si_pid == pid) return ChildState::Ended;
        if (waited >= timeout_ms) return ChildState::Running;
        SleepMilliseconds(kStepMs);
    }
}

// Sends `signal` to the process group that `pid` leads, or to `pid` alone
// when it leads none. Only for a child that has not been reaped.
void SignalGroup(pid_t pid, int signal)
{
    if (kill(-pid, signal) != 0) kill(pid, signal);
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

void OpenNullOnClosedStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lower numbers are open by now, so this takes the number `fd`.
        int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

ChildPipe StartChildWithPipe(const char* path, char* const argv[], int stdout_fd, bool own_process_group)
{
    int ends[2];
    if (!MakePipe(ends, true)) return {nullptr, -1};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    if (stdout_fd >= 0) posix_spawn_file_actions_adddup2(&actions, stdout_fd, STDOUT_FILENO);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // An ignored SIGCHLD would keep the child from waiting for its own children.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGDEF;
    if (own_process_group) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attributes, flags);

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

ChildEnd CloseChildPipe(ChildPipe child, int timeout_ms)
{
    constexpr int kGraceMs = 500;  // between SIGTERM and SIGKILL
    {
        SigpipeBlock block;  // fclose flushes whatever a failed write left behind
        std::fclose(child.stream);
    }
    ChildEnd end{-1, 0, false};
    if (timeout_ms != kWaitWithoutLimit && WaitForEnd(child.pid, timeout_ms) == ChildState::Running) {
        end.stopped = true;
        SignalGroup(child.pid, SIGTERM);
        ChildState state = WaitForEnd(child.pid, kGraceMs);
        // Whatever of the group is left, also once the child itself has ended.
        if (state != ChildState::Gone) SignalGroup(child.pid, SIGKILL);
    }
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child.pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        end.error = errno;
        return end;
    }
    end.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return end;
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
    if (!MakePipe(ends, false)) return false;
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

int CreateNewFile(const char* path, bool owner_only)
{
    return open(path, O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, owner_only ? 0600 : 0666);
}

int RenameOver(const char* from, const char* to) { return rename(from, to); }

void KillProcessGroupNow(int pid)
{
    if (pid <= 0) return;
    SignalGroup(pid, SIGKILL);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // The rest of the group, reparented, is reaped by the system; it is gone
    // when the group can no longer be signalled.
    const timespec step{0, 1000000};
    for (int waited = 0; waited < 1000 && kill(-pid, 0) == 0; ++waited) nanosleep(&step, nullptr);
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

void UseBinaryMode(int) {}

void SetEnvironmentValue(const char* name, const char* value) { setenv(name, value, 1); }

void InstallTerminationHandler(void (*handler)(int))
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) {
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

void AllowTerminalOutputFromBackground() { signal(SIGTTOU, SIG_IGN); }

int OpenControllingTerminal() { return open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC); }

bool TerminalSize(int fd, int* columns, int* rows)
{
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
    *columns = size.ws_col;
    *rows = size.ws_row;
    return true;
}

namespace {

// Runs `attempt` in a child process and gives its answer; false when the
// child has not answered within `timeout_ms` (it is killed then) or can't be made.
template <typename Attempt>
bool AnswersWithin(int timeout_ms, const Attempt& attempt)
{
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) _exit(attempt() ? 0 : 1);
    if (WaitForEnd(pid, timeout_ms) == ChildState::Running) kill(pid, SIGKILL);
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Connects and, with a greeting, sends it and reads the first byte of the
// answer; a server that never answers holds this until the caller's limit.
bool Connects(int family, const sockaddr* address, socklen_t length, const std::string& greeting)
{
    int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool answered = connect(fd, address, length) == 0;
    if (answered && !greeting.empty()) {
        char byte;
        answered = send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(greeting.size()) &&
                   recv(fd, &byte, 1, 0) == 1;
    }
    close(fd);
    return answered;
}

}  // namespace

bool UnixSocketAccepts(const char* path, int timeout_ms, const std::string& greeting)
{
    sockaddr_un address{};
    std::size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path, length);
    bool abstract = path[0] == '@';
    if (abstract) address.sun_path[0] = '\0';
    auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (abstract ? 0 : 1));
    return AnswersWithin(timeout_ms, [&] {
        return Connects(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), size, greeting);
    });
}

bool TcpPortAccepts(const char* host, int port, int timeout_ms, const std::string& greeting)
{
    const std::string service = std::to_string(port);
    return AnswersWithin(timeout_ms, [&] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host, service.c_str(), &hints, &found) != 0) return false;
        bool connected = false;
        for (addrinfo* at = found; at != nullptr && !connected; at = at->ai_next)
            connected = Connects(at->ai_family, at->ai_addr, at->ai_addrlen, greeting);
        freeaddrinfo(found);
        return connected;
    });
}

namespace {

// The hint is given only when FITCORE_LARGE_PAGES=1: measured, it saved page
// faults but no time, and cost system time to clear the large pages.
bool LargePagesWanted()
{
    const char* setting = std::getenv("FITCORE_LARGE_PAGES");
    return setting != nullptr && std::strcmp(setting, "1") == 0;
}

}  // namespace

void AdviseLargePages(void* data, std::size_t bytes)
{
    static const bool wanted = LargePagesWanted();  // read once
    if (!wanted) return;
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    auto first = (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    auto last = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLargePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace fitcore
