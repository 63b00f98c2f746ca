// terminal_mapping.cpp - the "windows" terminal mapped to what this machine has.
#include "terminal_mapping.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "display_check.h"
#include <fitcore/platform.h>
#include <fitcore/whole_number.h>

namespace {

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t position = 0;
    while (words.size() < 3) {
        position = line.find_first_not_of(" \t\r\n", position);
        if (position == std::string_view::npos) break;
        std::size_t end = line.find_first_of(" \t\r\n", position);
        if (end == std::string_view::npos) end = line.size();
        words.push_back(line.substr(position, end - position));
        position = end;
    }
    return words;
}

// `word` is `full` or an abbreviation of it with at least `shortest` characters.
bool Abbreviates(std::string_view word, std::string_view full, std::size_t shortest)
{
    return word.size() >= shortest && word.size() <= full.size() && full.substr(0, word.size()) == word;
}

bool StartsSetTerminal(const std::vector<std::string_view>& words)
{
    return words.size() >= 2 && words[0] == "set" && Abbreviates(words[1], "terminal", 1);
}

// A gnuplot string in single quotes, in which nothing is substituted.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// A console size: a whole number from 1 to 9999, or 0 for anything else.
int PositiveNumber(const char* text)
{
    std::optional<int32_t> value = text != nullptr ? fitcore::WholeNumberOf(text) : std::nullopt;
    return value && *value > 0 && *value < 10000 ? *value : 0;
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The dumb terminal one column and one row smaller than the console, so the
// program's prompt still fits below the picture. Drawn on the console, or,
// without one, on gnuplot's standard output, which is our standard error.
std::string DumbTerminal(const ScreenSettings& settings, const char* separator)
{
    int columns = settings.columns > 20 ? settings.columns - 1 : 79;
    int rows = settings.rows > 10 ? settings.rows - 1 : 24;
    return "set terminal dumb size " + std::to_string(columns) + "," + std::to_string(rows) +
           separator + (settings.tty ? "set output '/dev/tty'" : "set output");
}

// The user's terminal and output file, unless either holds a line break,
// which would end its gnuplot line early and start a command of its own.
void ReadUsersTerminal(ScreenSettings& settings)
{
    for (const char* name : {"FITCORE_GNUPLOT_TERMINAL", "FITCORE_GNUPLOT_OUTPUT"}) {
        if (Environment(name).find_first_of("\r\n") == std::string::npos) continue;
        std::fprintf(stderr, "pgnuplot.exe: %s holds a line break: the default terminal and output are used\n",
                     name);
        return;
    }
    settings.terminal = Environment("FITCORE_GNUPLOT_TERMINAL");
    settings.output = Environment("FITCORE_GNUPLOT_OUTPUT");
}

// A window only where the display answers; otherwise the console, with a note.
bool DisplayAvailable()
{
    std::string display = Environment("DISPLAY");
    if (display.empty()) return false;
    if (DisplayCanBeOpened(display)) return true;
    std::fprintf(stderr, "pgnuplot.exe: the display %s can't be opened: the plot is drawn as text\n",
                 display.c_str());
    return false;
}

}  // namespace

ScreenSettings ScreenSettingsFromEnvironment()
{
    ScreenSettings settings;
    ReadUsersTerminal(settings);
#ifdef _WIN32
    settings.windows_terminal = settings.terminal.empty();
    return settings;
#endif
    settings.display = settings.terminal.empty() && DisplayAvailable();
    int tty = fitcore::OpenControllingTerminal();
    settings.tty = tty >= 0;
    int columns = 0, rows = 0;
    if (settings.tty && fitcore::TerminalSize(tty, &columns, &rows)) {
        settings.columns = columns;
        settings.rows = rows;
    } else {
        if (int value = PositiveNumber(std::getenv("COLUMNS"))) settings.columns = value;
        if (int value = PositiveNumber(std::getenv("LINES"))) settings.rows = value;
    }
    if (settings.tty) fitcore::CloseFile(tty);
    return settings;
}

bool IsWindowsTerminalLine(const std::string& line)
{
    if (line.find(';') != std::string::npos) return false;
    std::vector<std::string_view> words = Words(line);
    return StartsSetTerminal(words) && words.size() == 3 && Abbreviates(words[2], "windows", 3);
}

bool IsTerminalLine(const std::string& line) { return StartsSetTerminal(Words(line)); }

bool IsPlotLine(const std::string& line)
{
    std::vector<std::string_view> words = Words(line);
    return !words.empty() && (Abbreviates(words[0], "plot", 1) || Abbreviates(words[0], "replot", 3) ||
                              Abbreviates(words[0], "splot", 2));
}

MultiplotLine MultiplotLineOf(const std::string& line)
{
    std::vector<std::string_view> words = Words(line);
    if (line.find(';') != std::string::npos || words.size() < 2 || !Abbreviates(words[1], "multiplot", 5))
        return MultiplotLine::None;
    if (words[0] == "set") return MultiplotLine::Start;
    if (Abbreviates(words[0], "unset", 3)) return MultiplotLine::End;
    return MultiplotLine::None;
}

std::string ScreenTerminalCommands(const ScreenSettings& settings)
{
    if (!settings.terminal.empty()) {
        std::string output = settings.output.empty() ? "set output\n" : OutputFileCommand(settings);
        return "set terminal " + settings.terminal + "\n" + output;
    }
    if (!settings.display) return DumbTerminal(settings, "\n") + "\n";
    // The first interactive terminal this gnuplot was built with; its window
    // lives as long as gnuplot, which ends when the program closes the pipe.
    std::string choice;
    std::string closing;
    for (const char* name : {"qt", "wxt", "x11"}) {
        choice += "if (strstrt(' '.GPVAL_TERMINALS.' ', ' " + std::string(name) +
                  " ') > 0) { set terminal " + name + "; set output } else { ";
        closing += " }";
    }
    return choice + DumbTerminal(settings, "; ") + closing + "\n";
}

bool DrawsOnConsole(const ScreenSettings& settings)
{
    return settings.terminal.empty() && !settings.display && settings.tty;
}

std::string OutputFileCommand(const ScreenSettings& settings)
{
    if (settings.terminal.empty() || settings.output.empty()) return "";
    return "set output " + Quoted(settings.output) + "\n";
}
