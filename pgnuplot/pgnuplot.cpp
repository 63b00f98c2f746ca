// pgnuplot.cpp - the pipe front-end that the gnuplot connection starts.
// Passes every line of its standard input at once to the installed gnuplot,
// drawing the "windows" terminal on what this machine has (see
// terminal_mapping.h; gnuplot for Windows has that terminal itself), and ends
// when its input ends, after gnuplot has ended.
// gnuplot's own standard output goes to our standard error, so that a report
// on standard output is never mixed with pictures, or, when it draws into
// the user's output file, nowhere.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <fitcore/platform.h>
#include "terminal_mapping.h"

namespace {

#ifdef _WIN32
const char kGnuplot[] = "gnuplot.exe";
const char kNotFound[] =
    "pgnuplot.exe: gnuplot.exe not found on PATH or in Program Files\\gnuplot\\bin; install gnuplot "
    "for Windows, or name its gnuplot.exe in FITCORE_GNUPLOT\n";
// A name with any of these in it is a path, not a name to search PATH for.
const char kPathMarks[] = "/\\:";
#else
const char kGnuplot[] = "gnuplot";
const char kNotFound[] =
    "pgnuplot.exe: gnuplot not found; install it with: apt-get install gnuplot-nox "
    "(or gnuplot-qt for windows on a desktop)\n";
const char kPathMarks[] = "/";
#endif

#ifdef _WIN32
const char kNullDevice[] = "NUL";
#else
const char kNullDevice[] = "/dev/null";
#endif

// The path of the first executable `name` on PATH, read as the system reads
// it (an empty entry, a final separator included, is the current directory;
// on Windows the current directory comes first), or "" when there is none.
std::string FindOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) return "";
    std::optional<std::string> directory =
        fitcore::FindInSearchList(path, name, fitcore::FinalEmptyEntry::WorkingDirectory);
    return directory ? *directory + "/" + name : "";
}

// Where the installer of gnuplot for Windows puts it, unless told otherwise:
// "<Program Files>\gnuplot\bin\gnuplot.exe", 64-bit folder first. "" elsewhere.
std::string FindInProgramFiles()
{
#ifdef _WIN32
    for (const char* folder : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"}) {
        const char* directory = std::getenv(folder);
        if (directory == nullptr || *directory == '\0') continue;
        std::string candidate = std::string(directory) + "\\gnuplot\\bin\\gnuplot.exe";
        if (fitcore::IsExecutable(candidate.c_str())) return candidate;
    }
#endif
    return "";
}

// FITCORE_GNUPLOT when set (a path, or a name searched on PATH), else gnuplot
// on PATH or, on Windows, where its installer puts it.
std::string FindGnuplot()
{
    const char* chosen = std::getenv("FITCORE_GNUPLOT");
    if (chosen == nullptr || *chosen == '\0') {
        std::string found = FindOnPath(kGnuplot);
        return found.empty() ? FindInProgramFiles() : found;
    }
    if (std::strpbrk(chosen, kPathMarks) == nullptr) return FindOnPath(chosen);
    return fitcore::IsExecutable(chosen) ? chosen : "";
}

// On the console a drawing must be finished before the program writes its
// next lines (the prompt below the plot). After each plot the front-end has
// gnuplot print a marker through a pipe of its own and reads no further input
// until the marker has arrived; the program sees its commands taken only
// once they are drawn. A gnuplot that does not answer in time ends the waiting.
class DrawingSync {
public:
    DrawingSync() = default;
    DrawingSync(const DrawingSync&) = delete;
    DrawingSync& operator=(const DrawingSync&) = delete;
    ~DrawingSync()
    {
        if (read_end_ >= 0) fitcore::CloseFile(read_end_);
        if (write_end_ >= 0) fitcore::CloseFile(write_end_);
    }

    // Opens the marker pipe, which gnuplot inherits; false when it can't.
    bool Open() { return fitcore::MakeInheritedPipe(&read_end_, &write_end_); }

    // Once gnuplot runs: our copy of its end goes, so its end is seen as ours.
    std::string Start()
    {
        std::string command = "set print \"/dev/fd/" + std::to_string(write_end_) + "\"\n";
        fitcore::CloseFile(write_end_);
        write_end_ = -1;
        return command;
    }

    bool active() const { return read_end_ >= 0; }

    // Sends the marker and waits for it; other printed text goes on to
    // standard error, where gnuplot's output goes.
    void AwaitDrawing(std::FILE* gnuplot)
    {
        static const std::string marker = "pgnuplot.exe: drawn";
        Send(gnuplot, "print \"" + marker + "\"\n");
        std::string printed;
        while (printed.find(marker + "\n") == std::string::npos) {
            char chunk[4096];
            long got = fitcore::ReadWithTimeout(read_end_, chunk, sizeof chunk, kTimeoutMs);
            if (got <= 0) {
                Stop();
                break;
            }
            printed.append(chunk, static_cast<std::size_t>(got));
        }
        std::size_t at = printed.find(marker + "\n");
        if (at != std::string::npos) printed.erase(at, marker.size() + 1);
        if (!printed.empty()) std::fputs(printed.c_str(), stderr);
    }

private:
    static constexpr int kTimeoutMs = 10000;

    static void Send(std::FILE* gnuplot, const std::string& text)
    {
        fitcore::WriteToPipe(gnuplot, text.data(), text.size());
    }
    void Stop()
    {
        fitcore::CloseFile(read_end_);
        read_end_ = -1;
    }

    int read_end_ = -1;
    int write_end_ = -1;
};

// One line of standard input, its line end included, read a byte at a time so
// that the lines not yet taken stay in the pipe. False at the end of the input.
bool ReadInputLine(std::string& line)
{
    line.clear();
    char byte;
    while (fitcore::ReadByte(0, &byte)) {
        line += byte;
        if (byte == '\n') return true;
    }
    return !line.empty();
}

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
// output file, the file is opened again before each picture while the mapped
// terminal is in force, so it holds the latest picture only. A picture is one
// plot line, or the lines from "set multiplot" to "unset multiplot".
void ForwardInput(std::FILE* gnuplot, const ScreenSettings& settings, DrawingSync& sync)
{
    bool screen_terminal = false;
    bool in_multiplot = false;
    for (std::string text; ReadInputLine(text);) {
        if (text.back() != '\n') text += '\n';
        if (IsWindowsTerminalLine(text) && !settings.windows_terminal) {
            Send(gnuplot, ScreenTerminalCommands(settings));
            screen_terminal = true;
            continue;
        }
        if (IsTerminalLine(text)) screen_terminal = false;
        const MultiplotLine multiplot = MultiplotLineOf(text);
        const bool starts_picture = multiplot == MultiplotLine::Start || (!in_multiplot && IsPlotLine(text));
        const bool ends_picture = multiplot == MultiplotLine::End || (!in_multiplot && IsPlotLine(text));
        if (multiplot != MultiplotLine::None) in_multiplot = multiplot == MultiplotLine::Start;
        if (screen_terminal && starts_picture) Send(gnuplot, OutputFileCommand(settings));
        Send(gnuplot, text);
        if (screen_terminal && ends_picture && sync.active()) sync.AwaitDrawing(gnuplot);
    }
}

}  // namespace

int main()
{
    fitcore::OpenNullOnClosedStandardStreams();
    fitcore::UseBinaryMode(0);  // every byte of the lines goes on as it came
    // Started in a process group of its own, the front-end and gnuplot must
    // still draw on the console when the terminal stops background output.
    fitcore::AllowTerminalOutputFromBackground();
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

    DrawingSync sync;
    bool synced = DrawsOnConsole(settings) && sync.Open();

    // Drawing into the user's file, gnuplot's standard output has nothing
    // for a person: a picture whose file could not be opened would come out
    // there in binary.
    std::FILE* discard = settings.output.empty() ? nullptr : std::fopen(kNullDevice, "wb");
    std::string name = "gnuplot";
    char* argv[] = {name.data(), nullptr};
    fitcore::ChildPipe child =
        fitcore::StartChildWithPipe(gnuplot.c_str(), argv, discard != nullptr ? fileno(discard) : 2);
    if (discard != nullptr) std::fclose(discard);
    if (child.stream == nullptr) {
        std::fprintf(stderr, "pgnuplot.exe: cannot start %s\n", gnuplot.c_str());
        DiscardInput();
        return 1;
    }
    if (synced) Send(child.stream, sync.Start());
    ForwardInput(child.stream, settings, sync);
    int status = fitcore::CloseChildPipe(child).status;
    return status < 0 ? 1 : status;
}
