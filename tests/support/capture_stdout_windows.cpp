// capture_stdout_windows.cpp - standard output sent to a temporary file for
// the length of a call, on Windows; in binary mode, so the text is what the
// code printed, line ends included, as on POSIX systems.
#include "capture_stdout.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <stdexcept>

#include "files.h"
#include "temp_dir.h"

namespace {

// Puts descriptor 1 back on every way out.
class Redirection {
public:
    explicit Redirection(const std::string& path)
        : file_(_open(path.c_str(), _O_CREAT | _O_TRUNC | _O_RDWR | _O_BINARY, 0600)), saved_(_dup(1))
    {
        if (file_ < 0 || saved_ < 0 || _dup2(file_, 1) < 0) throw std::runtime_error("can't redirect standard output");
    }
    ~Redirection()
    {
        std::fflush(stdout);
        _dup2(saved_, 1);
        _close(saved_);
        _close(file_);
    }
    Redirection(const Redirection&) = delete;
    Redirection& operator=(const Redirection&) = delete;

private:
    int file_;
    int saved_;
};

}  // namespace

std::string CaptureStdout(const std::function<void()>& run)
{
    std::fflush(stdout);
    TempDir dir;
    const std::string path = dir.File("stdout");
    {
        Redirection redirection(path);
        run();
        std::fflush(stdout);
    }
    return ReadFile(path);
}
