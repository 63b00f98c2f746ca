// run_program.cpp - child process runner for the end-to-end tests.
#include "run_program.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "memory_limit.h"
#include "windows_programs.h"

namespace {

// Takes the permission-override capabilities out of the bounding set, so the
// program that is executed next does not get them back. Fails harmlessly
// for a user who never had them.
void DropPermissionOverride()
{
    prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

[[noreturn]] void RunChild(const std::vector<std::string>& argv, const RunOptions& options,
                           int in_fd, int out_fd, int err_fd)
{
    setsid();  // no controlling terminal: the programs never draw on the test's console
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    close_range(3, ~0u, 0);  // the program starts with its standard streams only, as from a shell
    // The runner ignores SIGPIPE, and ignored signals survive exec: without
    // this, a program's own SIGPIPE handling would go untested once an
    // earlier run in the same process had set the runner's.
    signal(SIGPIPE, SIG_DFL);
    for (int ignored : options.ignored_signals) signal(ignored, SIG_IGN);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    if (options.honour_file_permissions) DropPermissionOverride();
    if (options.address_space_limit != 0 && kAddressSpaceLimitWorks) {
        rlimit limit{options.address_space_limit, options.address_space_limit};
        setrlimit(RLIMIT_AS, &limit);
    }
    for (const auto& [name, value] : options.env) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

}  // namespace

bool IsWindowsProgram(const std::string& path) { return RunsWindowsPrograms() && path.ends_with(".exe"); }

StartedChild StartChild(const std::vector<std::string>& argv, const RunOptions& options)
{
    if (IsWindowsProgram(argv[0])) {
        std::vector<std::string> wine_argv = argv;
        RunOptions wine_options = options;
        ForWine(wine_argv, wine_options.env);
        return StartChild(wine_argv, wine_options);
    }
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    signal(SIGPIPE, SIG_IGN);  // the runner writes to children that may have gone
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) RunChild(argv, options, in[0], out[1], err[1]);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    return {pid, in[1], out[0], err[0]};
}

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options)
{
    StartedChild child = StartChild(argv, options);
    pid_t pid = child.pid;
    int in[2] = {-1, child.input}, out[2] = {child.output, -1}, err[2] = {child.errors, -1};
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    RunResult result;
    size_t written = 0;
    if (options.stdin_text.empty()) {
        close(in[1]);
        in[1] = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
    while (out[0] >= 0 || err[0] >= 0) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 3, static_cast<int>(left.count())) < 0) continue;
        if (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) {
            ssize_t n = write(in[1], options.stdin_text.data() + written,
                              options.stdin_text.size() - written);
            if (n > 0) written += static_cast<size_t>(n);
            if (n < 0 || written == options.stdin_text.size()) {
                close(in[1]);
                in[1] = -1;
            }
        }
        for (int k = 0; k < 2; ++k) {
            int& fd = k == 0 ? out[0] : err[0];
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char chunk[65536];
            ssize_t n = read(fd, chunk, sizeof chunk);
            if (n > 0) {
                (k == 0 ? result.out : result.err).append(chunk, static_cast<size_t>(n));
            } else {
                close(fd);
                fd = -1;
            }
        }
    }
    for (int fd : {in[1], out[0], err[0]})
        if (fd >= 0) close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (IsWindowsProgram(argv[0])) {
        result.out = FromWindowsText(result.out, "standard output");
        result.err = FromWindowsText(result.err, "standard error");
    }
    return result;
}

std::string ProgramDir() { return RunsWindowsPrograms() ? WindowsBinDir() : FITCORE_BIN_DIR; }

std::string ProgramPath(const std::string& name)
{
    if (RunsWindowsPrograms()) return WindowsBinDir() + "/" + name + (name.ends_with(".exe") ? "" : ".exe");
    return std::string(FITCORE_BIN_DIR) + "/" + name;
}
