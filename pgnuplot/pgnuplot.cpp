// pgnuplot.cpp - the pipe front-end that the gnuplot connection starts.
// Passes every line of its standard input at once to the installed gnuplot,
// drawing the "windows" terminal on what this machine has (see
// terminal_mapping.h), and ends when its input ends, after gnuplot has ended.
// gnuplot's own standard output goes to our standard error, so that a report
// on standard output is never mixed with pictures.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform.h"
#include "terminal_mapping.h"

namespace {

const char kNotFound[] =
    "pgnuplot.exe: gnuplot not found; install it with: apt-get install gnuplot-nox "
    "(or gnuplot-qt for windows on a desktop)\n";

// The first executable "gnuplot" on PATH (an empty entry is the current
// directory), or "" when there is none.
std::string FindOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) return "";
    std::string entries = path;
    std::size_t start = 0;
    while (start <= entries.size()) {
        std::size_t end = entries.find(':', start);
        if (end == std::string::npos) end = entries.size();
        std::string directory = entries.substr(start, end - start);
        std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (fitcore::IsExecutable(candidate.c_str())) return candidate;
        start = end + 1;
    }
    return "";
}

// FITCORE_GNUPLOT when set (a path, or a name searched on PATH), else gnuplot.
std::string FindGnuplot()
{
    const char* chosen = std::getenv("FITCORE_GNUPLOT");
    if (chosen == nullptr || *chosen == '\0') return FindOnPath("gnuplot");
    if (std::strchr(chosen, '/') == nullptr) return FindOnPath(chosen);
    return fitcore::IsExecutable(chosen) ? chosen : "";
}

// One input line, grown by getline as needed.
struct LineBuffer {
    char* text = nullptr;
    std::size_t capacity = 0;
    LineBuffer() = default;
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;
    ~LineBuffer() { std::free(text); }
};

// Reads standard input to its end, so the program feeding us never blocks
// or dies on a pipe that nobody reads.
void DiscardInput()
{
    char chunk[65536];
    while (std::fread(chunk, 1, sizeof chunk, stdin) > 0) {
    }
}

void Send(std::FILE* gnuplot, const std::string& text)
{
    if (!text.empty()) fitcore::WriteToPipe(gnuplot, text.data(), text.size());
}

// Passes every input line on, mapping the "windows" terminal; with a user's
// output file, the file is opened again before each plot while the mapped
// terminal is in force, so it holds the latest picture only.
void ForwardInput(std::FILE* gnuplot, const ScreenSettings& settings)
{
    LineBuffer line;
    bool screen_terminal = false;
    for (ssize_t length; (length = getline(&line.text, &line.capacity, stdin)) >= 0;) {
        std::string text(line.text, static_cast<std::size_t>(length));
        if (text.empty() || text.back() != '\n') text += '\n';
        if (IsWindowsTerminalLine(text)) {
            Send(gnuplot, ScreenTerminalCommands(settings));
            screen_terminal = true;
            continue;
        }
        if (IsTerminalLine(text)) screen_terminal = false;
        if (screen_terminal && IsPlotLine(text)) Send(gnuplot, OutputFileCommand(settings));
        Send(gnuplot, text);
    }
}

}  // namespace

int main()
{
    std::string gnuplot = FindGnuplot();
    if (gnuplot.empty()) {
        const char* chosen = std::getenv("FITCORE_GNUPLOT");
        if (chosen != nullptr && *chosen != '\0')
            std::fprintf(stderr, "pgnuplot.exe: FITCORE_GNUPLOT names no executable program: %s\n",
                         chosen);
        else
            std::fputs(kNotFound, stderr);
        DiscardInput();
        return 1;
    }
    ScreenSettings settings = ScreenSettingsFromEnvironment();

    std::string name = "gnuplot";
    char* argv[] = {name.data(), nullptr};
    fitcore::ChildPipe child = fitcore::StartChildWithPipe(gnuplot.c_str(), argv, 2);
    if (child.stream == nullptr) {
        std::fprintf(stderr, "pgnuplot.exe: cannot start %s\n", gnuplot.c_str());
        DiscardInput();
        return 1;
    }
    ForwardInput(child.stream, settings);
    int status = fitcore::CloseChildPipe(child);
    return status < 0 ? 1 : status;
}
