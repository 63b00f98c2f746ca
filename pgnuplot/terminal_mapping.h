// terminal_mapping.h - what the front-end sends gnuplot in place of the
// "windows" terminal, and which input lines it watches for.
#pragma once

#include <string>

// Where "windows" plots go on this machine.
struct ScreenSettings {
    std::string terminal;  // a terminal chosen by the user; empty: choose one here
    std::string output;    // the output file of the user's terminal; empty: none
    bool display = false;  // a graphical display answers (checked only without a user's terminal)
    bool tty = false;      // the process has a controlling terminal
    // gnuplot has the "windows" terminal itself (on Windows, without a user's
    // terminal): its lines pass unchanged.
    bool windows_terminal = false;
    int columns = 80;      // size of that console, or of the one assumed
    int rows = 25;
};

// Reads the settings from the environment (FITCORE_GNUPLOT_TERMINAL,
// FITCORE_GNUPLOT_OUTPUT, DISPLAY, COLUMNS, LINES) and the controlling
// terminal; on Windows only the first two, and without them gnuplot's own
// "windows" terminal is used. A terminal or output holding a line break is refused with a line
// on standard error, and both stay unset; so is a DISPLAY whose server does
// not answer within about a second.
ScreenSettings ScreenSettingsFromEnvironment();

// "set terminal windows", with any abbreviation gnuplot accepts and any
// options of that terminal behind it; a line holding ";" is left alone.
bool IsWindowsTerminalLine(const std::string& line);

// Any other "set terminal" line.
bool IsTerminalLine(const std::string& line);

// A "plot", "replot" or "splot" line (or their abbreviations).
bool IsPlotLine(const std::string& line);

// "set multiplot" (with any options) starts a page of several plots and
// "unset multiplot" ends it; gnuplot shows the page, and takes no new output
// file, in between.
enum class MultiplotLine { None, Start, End };
MultiplotLine MultiplotLineOf(const std::string& line);

// The lines (each ending in a newline) that select the screen terminal and
// reset gnuplot's output for it.
std::string ScreenTerminalCommands(const ScreenSettings& settings);

// True when plots of the screen terminal are drawn with characters on the
// controlling terminal, where the program's own output shares the screen.
bool DrawsOnConsole(const ScreenSettings& settings);

// "set output" for the output file that goes with the user's terminal, or ""
// when there is none. Sent
// again before every plot, since image terminals append a new picture to an
// output that stays open.
std::string OutputFileCommand(const ScreenSettings& settings);
