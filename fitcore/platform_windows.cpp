// platform_windows.cpp - Windows implementation of the child, file and console calls.
#include <fitcore/platform.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace fitcore {

namespace {

// What a started child needs kept beside its process id: the process handle,
// which keeps the id from being reused until we have waited, and the job
// that holds the child and everything it starts (null when it has none).
struct StartedProcess {
    HANDLE process;
    HANDLE job;
};

std::mutex started_mutex;
std::map<int, StartedProcess> started;

bool FindStarted(int pid, StartedProcess* found)
{
    std::lock_guard<std::mutex> lock(started_mutex);
    auto at = started.find(pid);
    if (at == started.end()) return false;
    *found = at->second;
    return true;
}

void ForgetStarted(int pid)
{
    std::lock_guard<std::mutex> lock(started_mutex);
    auto at = started.find(pid);
    if (at == started.end()) return;
    CloseHandle(at->second.process);
    if (at->second.job != nullptr) CloseHandle(at->second.job);
    started.erase(at);
}

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds a blank, a tab or a quote, or is empty; backslashes
// doubled only where they come before a quote.
std::string QuotedArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

std::string CommandLine(char* const argv[])
{
    std::string line;
    for (char* const* argument = argv; *argument != nullptr; ++argument) {
        if (!line.empty()) line += ' ';
        line += QuotedArgument(*argument);
    }
    return line;
}

// An inheritable duplicate of `handle`, or null for a null or invalid one.
HANDLE InheritableCopy(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE copy = nullptr;
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, handle, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) return nullptr;
    return copy;
}

// The three standard handles of a child, inheritable, closed with the holder.
class ChildHandles {
public:
    ChildHandles(HANDLE input, HANDLE output, HANDLE errors)
        : handles_{InheritableCopy(input), InheritableCopy(output), InheritableCopy(errors)}
    {
    }
    ~ChildHandles()
    {
        for (HANDLE handle : handles_)
            if (handle != nullptr) CloseHandle(handle);
    }
    ChildHandles(const ChildHandles&) = delete;
    ChildHandles& operator=(const ChildHandles&) = delete;

    HANDLE input() const { return handles_[0]; }
    HANDLE output() const { return handles_[1]; }
    HANDLE errors() const { return handles_[2]; }
    // Each distinct handle once: the only ones the child inherits.
    std::vector<HANDLE> Distinct() const
    {
        std::vector<HANDLE> distinct;
        for (HANDLE handle : handles_)
            if (handle != nullptr) distinct.push_back(handle);
        return distinct;
    }

private:
    HANDLE handles_[3];
};

// Starts `command` from `path` with the given standard handles, suspended,
// inheriting those handles alone. False when the system refuses.
bool CreateSuspended(const char* path, std::string command, const ChildHandles& handles,
                     PROCESS_INFORMATION* info)
{
    std::vector<HANDLE> inherited = handles.Distinct();
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    bool listed = InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
                  UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                            inherited.size() * sizeof(HANDLE), nullptr, nullptr);

    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.input();
    startup.StartupInfo.hStdOutput = handles.output();
    startup.StartupInfo.hStdError = handles.errors();
    startup.lpAttributeList = listed ? attributes : nullptr;
    DWORD flags = CREATE_SUSPENDED | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    bool created = CreateProcessA(path, command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                  &startup.StartupInfo, info);
    if (listed) DeleteProcThreadAttributeList(attributes);
    return created;
}

}  // namespace

void OpenNullOnClosedStandardStreams() {}

ChildPipe StartChildWithPipe(const char* path, char* const argv[], int stdout_fd, bool own_process_group)
{
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, nullptr, 0)) return {nullptr, -1};
    HANDLE output = stdout_fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(stdout_fd))
                                   : GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION info{};
    bool created;
    {
        ChildHandles handles(read_end, output, GetStdHandle(STD_ERROR_HANDLE));
        created = CreateSuspended(path, CommandLine(argv), handles, &info);
    }
    CloseHandle(read_end);
    if (!created) {
        CloseHandle(write_end);
        return {nullptr, -1};
    }
    HANDLE job = own_process_group ? CreateJobObjectA(nullptr, nullptr) : nullptr;
    if (job != nullptr && !AssignProcessToJobObject(job, info.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    const int pid = static_cast<int>(info.dwProcessId);
    {
        std::lock_guard<std::mutex> lock(started_mutex);
        started[pid] = {info.hProcess, job};
    }

    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(write_end), _O_WRONLY | _O_BINARY);
    std::FILE* stream = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (stream == nullptr) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(write_end);
        WaitForSingleObject(info.hProcess, INFINITE);
        ForgetStarted(pid);
        return {nullptr, -1};
    }
    return {stream, pid};
}

bool WriteToPipe(std::FILE* stream, const char* text, std::size_t length)
{
    bool written = std::fwrite(text, 1, length, stream) == length;
    bool flushed = std::fflush(stream) == 0;
    if (!flushed) std::clearerr(stream);
    return written && flushed;
}

ChildEnd CloseChildPipe(ChildPipe child, int timeout_ms)
{
    constexpr int kGraceMs = 500;  // for the ended processes to be gone
    constexpr UINT kStoppedStatus = 1;
    std::fclose(child.stream);
    ChildEnd end{-1, 0, false};
    StartedProcess process{};
    if (!FindStarted(child.pid, &process)) {
        end.error = ECHILD;
        return end;
    }
    if (timeout_ms != kWaitWithoutLimit &&
        WaitForSingleObject(process.process, static_cast<DWORD>(timeout_ms)) == WAIT_TIMEOUT) {
        end.stopped = true;
        if (process.job == nullptr || !TerminateJobObject(process.job, kStoppedStatus))
            TerminateProcess(process.process, kStoppedStatus);
        WaitForSingleObject(process.process, kGraceMs);
    }
    DWORD status = 0;
    if (WaitForSingleObject(process.process, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.process, &status))
        end.status = static_cast<int>(status);
    else
        end.error = ECHILD;
    ForgetStarted(child.pid);
    return end;
}

std::size_t UnreadPipeBytes(std::FILE*) { return 0; }

bool ChildHasEnded(int pid)
{
    StartedProcess process{};
    return !FindStarted(pid, &process) || WaitForSingleObject(process.process, 0) == WAIT_OBJECT_0;
}

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

bool MakeInheritedPipe(int*, int*) { return false; }

bool ReadByte(int fd, char* byte) { return _read(fd, byte, 1) == 1; }

long ReadWithTimeout(int fd, char* buffer, std::size_t size, int timeout_ms)
{
    constexpr int kStepMs = 10;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    for (int waited = 0;; waited += kStepMs) {
        DWORD available = 0;
        // Anything but a pipe is read at once.
        if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
            break;
        }
        if (available > 0) break;
        if (waited >= timeout_ms) return -1;
        Sleep(kStepMs);
    }
    int got = _read(fd, buffer, static_cast<unsigned>(size));
    return got < 0 ? -1 : got;
}

std::FILE* OpenForReading(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return nullptr;
    }
    // Binary, so the readers see the bytes of the file as on any other system;
    // they take every kind of line end themselves.
    return std::fopen(path, "rb");
}

std::FILE* DivertStandardOutputToErrors()
{
    std::fflush(stdout);
    int saved = _dup(1);
    if (saved < 0) return nullptr;
    SetHandleInformation(reinterpret_cast<HANDLE>(_get_osfhandle(saved)), HANDLE_FLAG_INHERIT, 0);
    std::FILE* stream = _fdopen(saved, "w");
    if (stream == nullptr || _dup2(2, 1) < 0) {
        if (stream != nullptr)
            std::fclose(stream);
        else
            _close(saved);
        return nullptr;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return stream;
}

bool IsExecutable(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    DWORD kind = 0;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           GetBinaryTypeA(path, &kind);
}

int CreateNewFile(const char* path, bool)
{
    return _open(path, _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

int RenameOver(const char* from, const char* to)
{
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}

void KillProcessGroupNow(int) {}

long WriteToFile(int fd, const char* data, std::size_t length)
{
    return _write(fd, data, static_cast<unsigned>(length));
}

int CloseFile(int fd) { return _close(fd); }

int UnlinkFile(const char* path) { return DeleteFileA(path) ? 0 : -1; }

void UseBinaryMode(int fd) { _setmode(fd, _O_BINARY); }

void SetEnvironmentValue(const char* name, const char* value) { _putenv_s(name, value); }

namespace {

std::atomic<void (*)(int)> termination_handler{nullptr};

// Runs on a thread of its own when the console is interrupted or closed, or
// the session ends. Returning FALSE hands the event on to the default
// handler, which ends the process.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    void (*handler)(int) = termination_handler.load();
    if (handler == nullptr) return FALSE;
    switch (event) {
    case CTRL_C_EVENT: handler(SIGINT); break;
    case CTRL_BREAK_EVENT: handler(SIGBREAK); break;
    default: handler(SIGTERM); break;  // the console closed, a log-off, a shut-down
    }
    return FALSE;
}

}  // namespace

void InstallTerminationHandler(void (*handler)(int))
{
    if (termination_handler.exchange(handler) == nullptr) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void ReraiseWithDefaultAction(int) {}

void AllowTerminalOutputFromBackground() {}

int OpenControllingTerminal() { return -1; }

bool TerminalSize(int, int*, int*) { return false; }

bool UnixSocketAccepts(const char*, int, const std::string&) { return false; }

bool TcpPortAccepts(const char*, int, int, const std::string&) { return false; }

void AdviseLargePages(void*, std::size_t) {}

}  // namespace fitcore
