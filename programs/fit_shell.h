// fit_shell.h - the entry frame the three fit programs share: the standard
// streams, options, file name, loading, where the results and the plot go, and
// the check of the report at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "command_line.h"
#include "console_io.h"
#include "json_report.h"
#include "result_plot.h"
#include <fitcore/data_file.h>
#include <fitcore/pcpfile.h>

constexpr size_t kFileNameSize = 1024;  // holds at most 1023 characters and the NUL

// The first call of every program: opens /dev/null in place of any closed
// standard stream, so that no pipe or file of the run takes its number.
void StartRun();

// The last call of every program, with the status it would end with: that
// status, or 1 after one line on standard error when standard output could
// not be written completely (a full disk, a pipe whose reader has gone, a
// file size limit). The plot's data files are gone by then.
int FinishRun(int exit_status);

// Runs a program's `body`. An exception it lets through ends the run with
// one line on standard error ("not enough memory" for a failed allocation)
// and status 1, after FinishRun's checks.
int RunGuarded(const ProgramInfo& program, int (*body)(int, char**), int argc, char** argv);

// Where the programs differ in their entry.
struct ShellOptions {
    bool load_error_names_file;  // "Error loading PCP file '%s'" instead of the plain line
    bool requires_sigma;         // refuse a file without a sigma column
    bool keep_rows = false;      // a table keeps its rows in FitRun::rows (see fitcore::LoadDataRows)
};

// One run as its options ask for it.
struct FitRun {
    const ProgramInfo* program;
    CommandLine command;
    std::FILE* json = nullptr;  // with --json: the stream on the real standard output
    fitcore::DataFileInfo data; // the column names and skipped rows of the file loaded
    fitcore::Table rows;        // with ShellOptions::keep_rows: the rows of a file read as a table
};

// Reads the options into *run. Help, version and usage errors end the run
// here: false, with *exit_status 0 (1 when the help could not be written) or
// 2. With --json, whatever the run prints from here on goes to standard
// error, and the results to run->json.
bool StartFitRun(int argc, char** argv, const ProgramInfo& program, FitRun* run, int* exit_status);

// Takes the file name from the command line, or from the prompt when it
// has none, creates and loads the record as the table options ask (into
// run->data the names and the skipped rows), refuses a file without sigmas
// where required, and prints the "Loaded file" line. Returns the loaded
// record, owned by the caller; or null after printing why, with
// *exit_status set to the status the program ends with (2 when table
// options were given for a PCP file, or --errorbars for a file without
// sigmas).
PCPFile* OpenDataFile(FitRun* run, const ShellOptions& options, char (&name)[kFileNameSize], int* exit_status);

// The members every program's JSON starts with, for the record loaded from `name`.
JsonRun JsonRunOf(const FitRun& run, const char* name, const PCPFile* file);

// The exit status after the JSON results were written (`written`) or not:
// 0, or 1 after a line on standard error.
int JsonWritten(const FitRun& run, bool written);

// The plot the options ask for: shown until the user types a space (no
// option; not when the data came from standard input), none (--no-plot;
// --json without --plot), or drawn into the file of --plot. The axes are
// named after the file's columns where it names them. The exit status: 1,
// after one line on standard error, when the plot file could not be made or
// the band or the equation could not be worked out; else 0.
int PlotResult(const FitRun& run, Point* points, int32_t count, const ResultCurve& curve);
// Adds to the picture what the fit itself tells (the band and the equation
// the options ask for); false with *reason set when it can't be worked out.
using FitDetailsAdder = std::function<bool(PictureOptions* picture, std::string* reason)>;

// The same with a model's curve given by its samples, and its band and
// equation from `add_details`, called only when a plot is made.
int PlotResult(const FitRun& run, Point* points, int32_t count, const SampledCurve& curve,
               const FitDetailsAdder& add_details);

