// interactive_program.cpp - child programs driven step by step by a test.
#include "interactive_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "windows_programs.h"

InteractiveProgram::InteractiveProgram(const std::vector<std::string>& argv, const RunOptions& options)
{
    windows_ = IsWindowsProgram(argv[0]);
    StartedChild child = StartChild(argv, options);
    pid_ = child.pid;
    input_ = child.input;
    output_ = child.output;
    errors_ = child.errors;
}

InteractiveProgram::~InteractiveProgram()
{
    if (!ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {input_, output_, errors_})
        if (fd >= 0) close(fd);
}

void InteractiveProgram::Type(const std::string& text)
{
    if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) {
        close(input_);
        input_ = -1;
    }
}

// Collects whatever the program has written, waiting at most `timeout_ms` for more.
void InteractiveProgram::Drain(int timeout_ms)
{
    pollfd fds[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
    if (poll(fds, 2, timeout_ms) <= 0) return;
    for (int k = 0; k < 2; ++k) {
        if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char chunk[65536];
        ssize_t n = read(fds[k].fd, chunk, sizeof chunk);
        int& fd = k == 0 ? output_ : errors_;
        if (n > 0)
            (k == 0 ? result_.out : result_.err).append(chunk, static_cast<size_t>(n));
        else {
            close(fd);
            fd = -1;
        }
    }
}

bool InteractiveProgram::WaitForOutput(const std::string& text, int timeout_ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Text(result_.out, "standard output").find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || (output_ < 0 && errors_ < 0)) return false;
        Drain(50);
    }
    return true;
}

bool InteractiveProgram::HasEnded(int timeout_ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!ended_) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            ended_ = true;
            if (WIFEXITED(status)) result_.exit_status = WEXITSTATUS(status);
            if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        Drain(20);
    }
    return true;
}

void InteractiveProgram::Signal(int signal) { kill(pid_, signal); }

std::string InteractiveProgram::Text(const std::string& written, const char* stream) const
{
    return windows_ ? FromWindowsText(written, stream) : written;
}

RunResult InteractiveProgram::Finish(int timeout_ms)
{
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
    if (!HasEnded(timeout_ms)) {
        result_.timed_out = true;
        kill(pid_, SIGKILL);
        HasEnded(timeout_ms);
    }
    while (output_ >= 0 || errors_ >= 0) Drain(1000);
    RunResult result = result_;
    result.out = Text(result.out, "standard output");
    result.err = Text(result.err, "standard error");
    return result;
}
