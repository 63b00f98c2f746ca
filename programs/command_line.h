// command_line.h - the options the three fit programs share, read with getopt_long.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What sets one program's command line apart.
struct ProgramInfo {
    const char* name;         // "veldafit": the name in messages, help and version
    const char* description;  // what the program does, for the help text
    bool takes_order;         // accepts -o/--order (cadrafit)
    bool takes_model = false; // takes a FORMULA before FILE and the model options (modelfit)
};

// One command line, read. `error` is set for a usage error and then nothing
// else counts.
struct CommandLine {
    bool help = false;               // -h, --help
    bool version = false;            // -V, --version
    int order = 0;                   // -o N: 2 to 9; 0 asks for it at the prompt
    bool no_plot = false;            // -n, --no-plot
    const char* plot_file = nullptr; // -p FILE: draw into FILE instead of showing the plot
    const char* plot_terminal = nullptr;  // the gnuplot terminal that FILE's extension names
    int plot_timeout = 120;          // --plot-timeout=SECONDS: how long gnuplot may take to draw FILE
    bool json = false;               // -j, --json
    bool points = false;             // --points
    // What the picture shows besides the points and the curve.
    bool error_bars = false;         // --errorbars: the points with their sigma as error bars
    bool residuals = false;          // --residuals: a panel of y - fit below the plot
    const char* title = nullptr;     // --title=TEXT: the picture's title; null: none
    const char* x_label = nullptr;   // --xlabel=TEXT; null: the x axis's name
    const char* y_label = nullptr;   // --ylabel=TEXT; null: the y axis's name
    bool log_x = false;              // --logx
    bool log_y = false;              // --logy
    double band_level = 0;           // --band[=LEVEL]: the confidence band at LEVEL / 100; 0: none
    bool equation = false;           // --equation: the fitted equation in the key
    const char* columns = nullptr;   // -u X:Y[:S] (X1,X2,...:Y[:S] for a model): the table's columns by number or name
    char delimiter = 0;              // --delimiter=C: ' ' for runs of blanks; 0: detected
    bool decimal_comma = false;      // --decimal-comma
    bool stats = false;              // -s, --stats: the statistics block after the report
    bool weighted = false;           // -w, --weighted: the fit weighted by 1/sigma^2
    bool compare = false;            // --compare[=FROM-TO]: compare the orders FROM to TO
    int compare_from = 1;            // 1 to 9
    int compare_to = 9;              // compare_from to 9
    const char* file = nullptr;      // the data file, an element of argv; null: ask for it; "-": standard input
    const char* formula = nullptr;   // the model programs' FORMULA, an element of argv
    std::vector<const char*> starts; // each --start: "NAME=VALUE[,NAME=VALUE]..."
    std::vector<const char*> fixes;  // each --fix: "NAME=VALUE[,NAME=VALUE]..."
    int max_iterations = 0;          // --max-iterations=N; 0: the library's default
    std::string error;               // a usage error, without the program's name
};

// Reads the options of `program` from argv[1] on, wherever they stand, up to
// "--". The first argument that is not an option (or the first after "--")
// is the data file; for a model program the first is the formula and the
// second the data file. Any further one is ignored. Uses getopt_long, whose
// state it resets first, so it may be called again.
CommandLine ParseCommandLine(int argc, char** argv, const ProgramInfo& program);

// The usage line, the description and every option of `program`.
void PrintHelp(std::FILE* out, const ProgramInfo& program);

// "NAME (fitcore) VERSION" and a line end.
void PrintVersion(std::FILE* out, const ProgramInfo& program);

// "NAME: ERROR" and "Try 'NAME --help'." on standard error.
void PrintUsageError(const ProgramInfo& program, const std::string& error);
