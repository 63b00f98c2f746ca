// capture_stdout.cpp - standard output sent to an in-memory file for the length of a call.
#include "capture_stdout.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace {

// Puts file descriptor 1 back and closes the memory file on every way out.
class Redirection {
public:
    Redirection() : memory_(memfd_create("stdout", 0)), saved_(dup(STDOUT_FILENO))
    {
        if (memory_ < 0 || saved_ < 0 || dup2(memory_, STDOUT_FILENO) < 0)
            throw std::runtime_error("can't redirect standard output");
    }
    ~Redirection()
    {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        close(memory_);
    }

    std::string Text()
    {
        std::fflush(stdout);
        std::string text;
        char block[1 << 16];
        ssize_t got;
        for (off_t at = 0; (got = pread(memory_, block, sizeof block, at)) > 0; at += got) text.append(block, static_cast<size_t>(got));
        return text;
    }

private:
    int memory_;
    int saved_;
};

}  // namespace

std::string CaptureStdout(const std::function<void()>& run)
{
    std::fflush(stdout);
    Redirection redirection;
    run();
    return redirection.Text();
}
