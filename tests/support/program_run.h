// program_run.h - the setting of end-to-end runs of the built programs: a
// scratch working directory with the data files they read, the gnuplot
// front-end they find on PATH, their environment, and what the front-end got.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "interactive_program.h"
#include "run_program.h"
#include "temp_dir.h"

// Lines of the fit programs that many runs print.
inline const std::string kNoPlot = "GNUPlot failed to start.  Plotting failed.\n";
inline const std::string kNoFrontEnd = "cannot find gnuplot in your PATH";
inline const std::string kWait = "Press space (and enter) to continue...\n";
inline const std::string kOrderPrompt = "Please enter number of coefficients for fit: ";

// The system's program directories, where the installed gnuplot is found.
inline const std::string kSystemPath = "/usr/local/bin:/usr/bin:/bin";

// A kept output of tests/expected, and a data file of tests/data.
std::string Expected(const std::string& name);
std::string TestData(const std::string& name);

// What a run finds on PATH as the front-end "pgnuplot.exe".
enum class FrontEnd {
    None,       // nothing: the plot fails to start and the report stands alone
    Recording,  // logs every line it receives (Log) and copies each plot's data file
    RecordingScript,  // the recording one as a POSIX script, whatever the Windows switch
    Vanishing,  // closes its input and ends at once
    Dying,      // logs two lines, then ends
    Lingering,  // reads everything and ends half a second later
    Hanging,    // reads everything and does not end (see WriteHangingStandIn)
    OnlyInWorkingDirectory,  // a recording one beside the data, which PATH does not name
    Real,       // the built front-end, before the system's directories
};

class ProgramRun {
public:
    // A scratch working directory, no front-end, and the front-end's own
    // variables (DISPLAY, FITCORE_GNUPLOT, FITCORE_GNUPLOT_TERMINAL,
    // FITCORE_GNUPLOT_OUTPUT) unset.
    ProgramRun();

    // Runs in `directory` instead of the scratch directory.
    ProgramRun& In(const std::string& directory);
    // Copies tests/data/`data_file` into the working directory.
    ProgramRun& Copy(const std::string& data_file);
    ProgramRun& Write(const std::string& name, const std::string& content);
    // Puts the front-end in place; OnlyInWorkingDirectory writes it into the
    // working directory chosen so far.
    ProgramRun& Front(FrontEnd front_end);
    // Sets (or, with nullopt, removes) a variable; a later setting of the same name wins.
    ProgramRun& Env(const std::string& name, std::optional<std::string> value);
    // Shell commands that /bin/sh runs before it starts the program, e.g. "exec >&-;".
    ProgramRun& Shell(const std::string& commands);
    // The further options of every run (its directory, environment and input are set here).
    RunOptions& options() { return options_; }

    // Runs `program`, a built program's name or a path, with `args` and `input`.
    RunResult Run(const std::string& program, const std::vector<std::string>& args = {},
                  const std::string& input = "") const;
    // Starts it for a test that types into it.
    InteractiveProgram Start(const std::string& program, const std::vector<std::string>& args = {}) const;

    const std::string& directory() const { return cwd_; }
    std::string File(const std::string& name) const { return cwd_ + "/" + name; }
    // A file beside the stand-in front-end: "log", "data.<n>", "pid".
    std::string FrontEndFile(const std::string& name) const { return front_end_dir_ + "/" + name; }
    // The lines that the recording front-end received.
    std::vector<std::string> Log() const;
    bool FrontEndStarted() const;
    // The plot's data files left in the working directory.
    std::vector<std::string> DataFiles() const;

private:
    std::vector<std::string> Argv(const std::string& program, const std::vector<std::string>& args) const;
    RunOptions OptionsWith(const std::string& input) const;

    TempDir work_, bin_;
    std::string cwd_;
    std::string front_end_dir_;
    std::string path_ = "/nonexistent";
    std::vector<std::pair<std::string, std::optional<std::string>>> env_;
    std::string shell_;
    RunOptions options_;
};
