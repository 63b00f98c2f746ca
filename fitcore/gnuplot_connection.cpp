// gnuplot_connection.cpp - finding and starting gnuplot, sending it command
// lines, the connection's style, terminal and labels, and its end.
#include <fitcore/gnuplot_connection.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "gnuplot_text.h"
#include "signal_cleanup.h"
#include <fitcore/platform.h>

namespace {

const char kFrontEnd[] = "pgnuplot.exe";

// The lookup's result; shared by all calls.
char buf[GNUPLOT_PATH_SIZE];

// The execute test of the lookup. A candidate too long for buf is skipped,
// with a message, rather than cut to another name.
bool FitsAndIsExecutable(const std::string& candidate)
{
    if (candidate.size() < sizeof buf) return fitcore::IsExecutable(candidate.c_str());
    std::fprintf(stderr, "program lookup: a candidate longer than %zu characters was skipped\n",
                 sizeof buf - 1);
    return false;
}

// The PATH entry that holds the executable `name`, in buf, as the system
// finds programs: on POSIX systems the working directory only where an entry
// names it ("" or "."), on Windows before every entry. A final separator adds
// no entry, and an unset PATH none at all.
char* SearchPath(const char* name)
{
    buf[0] = '\0';
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        std::fputs("PATH variable not set\n", stderr);
        path = "";
    }
    std::optional<std::string> directory =
        fitcore::FindInSearchList(path, name, fitcore::FinalEmptyEntry::Ignored, FitsAndIsExecutable);
    if (!directory) return nullptr;
    // The candidate up to its last "/": for a name with directories of its
    // own, they stay part of the result.
    std::string found = *directory + "/" + name;
    found.erase(found.rfind('/'));
    std::memcpy(buf, found.c_str(), found.size() + 1);
    return buf;
}

void SetLabel(gnuplot_connection* handle, const char* axis, const char* label)
{
    if (handle == nullptr || label == nullptr) return;
    char what[16];
    std::snprintf(what, sizeof what, "the %s label", axis);
    char line[GNUPLOT_COMMAND_SIZE];
    std::string quoted;
    if (!fitcore::QuoteText(label, what, &quoted)) return;
    if (!fitcore::ComposeCommand(line, sizeof line, "set %slabel %s", axis, quoted.c_str())) return;
    gnuplot_cmd(handle, "%s", line);
}

}  // namespace

char* gnuplot_get_program_path(const char* name)
{
    if (FitsAndIsExecutable(std::string("./") + name)) {
        std::strcpy(buf, ".");
        return buf;
    }
    return SearchPath(name);
}

gnuplot_connection* gnuplot_init(void)
{
    // The working directory first only where the system itself looks there
    // first (Windows): elsewhere a program run on a data set in a downloaded
    // folder must not run whatever that folder holds.
    const char* directory = SearchPath(kFrontEnd);
    if (directory == nullptr) {
        std::fputs("cannot find gnuplot in your PATH", stderr);
        return nullptr;
    }
    // The child is started by the directory found, in a process group of its
    // own, which gnuplot_close_within can end as a whole.
    std::string program = std::string(directory) + "/" + kFrontEnd;

    std::unique_ptr<gnuplot_connection> handle(new (std::nothrow) gnuplot_connection{});
    if (!handle) {
        std::fputs("cannot allocate a gnuplot connection\n", stderr);
        return nullptr;
    }
    handle->plot_count = 0;
    gnuplot_setstyle(handle.get(), "points");
    handle->temp_count = 0;

    char name[] = "pgnuplot.exe";
    char* argv[] = {name, nullptr};
    fitcore::ChildPipe child = fitcore::StartChildWithPipe(program.c_str(), argv, -1, true);
    if (child.stream == nullptr) {
        std::fputs("error starting gnuplot\n", stderr);
        return nullptr;
    }
    handle->pipe = child.stream;
    handle->child_pid = child.pid;
    fitcore::DeleteOnSignal(handle.get());
    gnuplot_setterm(handle.get(), "windows");
    return handle.release();
}

void gnuplot_close(gnuplot_connection* handle) { gnuplot_close_within(handle, -1); }

int gnuplot_close_within(gnuplot_connection* handle, int timeout_ms)
{
    if (handle == nullptr) return 0;
    fitcore::ChildEnd end = fitcore::CloseChildPipe({handle->pipe, handle->child_pid},
                                                    timeout_ms < 0 ? fitcore::kWaitWithoutLimit : timeout_ms);
    handle->pipe = nullptr;
    if (end.stopped)
        std::fprintf(stderr, "gnuplot had not ended %g seconds after its input and was stopped\n",
                     timeout_ms / 1000.0);
    // With SIGCHLD ignored the system reaps gnuplot itself: it has ended all the same.
    bool failed = end.stopped;
    if (end.status == -1 && end.error != ECHILD) {
        std::fputs("problem closing communication to gnuplot\n", stderr);
        failed = true;
    }
    for (int i = 0; i < handle->temp_count; ++i) {
        if (std::remove(handle->temp_files[i]) != 0)
            std::printf("Failure to delate %s: error number %d\n", handle->temp_files[i], errno);
    }
    fitcore::ForgetOnSignal(handle);
    delete handle;
    return failed ? 1 : 0;
}

void gnuplot_wait_delivered(gnuplot_connection* handle, int timeout_ms)
{
    if (handle == nullptr || handle->pipe == nullptr) return;
    constexpr int kStepMs = 5;
    for (int waited = 0; waited < timeout_ms; waited += kStepMs) {
        if (fitcore::UnreadPipeBytes(handle->pipe) == 0 || fitcore::ChildHasEnded(handle->child_pid))
            return;
        fitcore::SleepMilliseconds(kStepMs);
    }
}

void gnuplot_cmd(gnuplot_connection* handle, const char* format, ...)
{
    if (handle == nullptr || handle->pipe == nullptr) return;
    char line[GNUPLOT_COMMAND_SIZE];
    va_list arguments;
    va_start(arguments, format);
    bool composed = fitcore::ComposeCommandV(line, sizeof line, format, arguments);
    va_end(arguments);
    if (!composed) return;
    std::size_t length = std::strlen(line);
    line[length] = '\n';
    // A gnuplot that has gone away loses the line; the program carries on.
    fitcore::WriteToPipe(handle->pipe, line, length + 1);
}

void gnuplot_setstyle(gnuplot_connection* handle, const char* style)
{
    if (handle == nullptr) return;
    static const char* const kStyles[] = {"lines", "points",    "linespoints",
                                          "impulses", "dots",   "steps",
                                          "errorbars", "boxes", "boxerrorbars"};
    for (const char* known : kStyles) {
        if (style != nullptr && std::strcmp(style, known) == 0) {
            std::strcpy(handle->style, known);
            return;
        }
    }
    std::fputs("warning: unknown requested style: using points\n", stderr);
    std::strcpy(handle->style, "points");
}

void gnuplot_setterm(gnuplot_connection* handle, const char* terminal)
{
    if (handle == nullptr || terminal == nullptr) return;
    // The name stands unquoted on its line: a line break would start a command of its own.
    if (!fitcore::SingleLineText(terminal, "the terminal name")) return;
    std::size_t length = strnlen(terminal, sizeof handle->terminal - 1);
    std::memcpy(handle->terminal, terminal, length);
    handle->terminal[length] = '\0';
    gnuplot_cmd(handle, "set terminal %s", handle->terminal);
}

void gnuplot_set_xlabel(gnuplot_connection* handle, const char* label) { SetLabel(handle, "x", label); }
void gnuplot_set_ylabel(gnuplot_connection* handle, const char* label) { SetLabel(handle, "y", label); }
void gnuplot_set_zlabel(gnuplot_connection* handle, const char* label) { SetLabel(handle, "z", label); }

void gnuplot_resetplot(gnuplot_connection* handle)
{
    if (handle == nullptr) return;
    for (int i = 0; i < handle->temp_count; ++i) std::remove(handle->temp_files[i]);
    handle->temp_count = 0;
    handle->plot_count = 0;
}
