// fit_shell.cpp - the entry frame of a fit program: its options, its data file, where its results and plot go.
#include "fit_shell.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include <fitcore/platform.h>
#include "console_io.h"
#include "fit_picture.h"
#include "result_plot.h"

namespace {

const char* program_name = "";  // for FinishRun's message; set by StartFitRun

fitcore::TableOptions TableOptionsOf(const CommandLine& command)
{
    fitcore::TableOptions options;
    if (command.columns != nullptr) options.columns = command.columns;
    options.delimiter = command.delimiter;
    options.decimal_comma = command.decimal_comma;
    options.needs_sigma = command.weighted || command.error_bars;
    return options;
}

// A column's name as an axis label, or `fallback` where the file names none.
std::string AxisName(const std::string& name, const char* fallback) { return name.empty() ? fallback : name; }

bool NameFromArgument(const char* argument, char (&name)[kFileNameSize])
{
    // A cut name could open a different file, so a long one is refused.
    if (std::strlen(argument) >= kFileNameSize) {
        std::printf("File name too long: at most %zu characters are allowed.\n", kFileNameSize - 1);
        return false;
    }
    std::strcpy(name, argument);
    return true;
}

bool NameFromPrompt(char (&name)[kFileNameSize])
{
    std::printf("Please enter a filename: ");
    FlushOutput();
    if (std::scanf("%1023s", name) != 1) {
        std::printf("\nNo file name entered: standard input has ended.\n");
        return false;
    }
    int next = std::getchar();
    if (next != EOF && !std::isspace(next)) {
        std::printf("\nFile name too long: at most %zu characters are allowed.\n", kFileNameSize - 1);
        return false;
    }
    if (next != EOF) std::ungetc(next, stdin);  // the rest of the line is for later reads
    NoteAnsweredPrompt();
    return true;
}

}  // namespace

void StartRun() { fitcore::OpenNullOnClosedStandardStreams(); }

int FinishRun(int exit_status)
{
    if (FlushOutput()) return exit_status;
    // A failure long flushed away has left no reason behind.
    if (OutputError() != 0)
        std::fprintf(stderr, "%s: writing to standard output failed: %s\n", program_name,
                     std::strerror(OutputError()));
    else
        std::fprintf(stderr, "%s: writing to standard output failed\n", program_name);
    return 1;
}

int RunGuarded(const ProgramInfo& program, int (*body)(int, char**), int argc, char** argv)
{
    // Copied, since the text of what() ends with the exception at the end of its handler.
    char failure[256] = "an unexpected failure ended the run";
    try {
        return body(argc, argv);
    } catch (const std::bad_alloc&) {
        std::snprintf(failure, sizeof failure, "%s", "not enough memory to finish the run");
    } catch (const std::exception& exception) {
        std::snprintf(failure, sizeof failure, "%s", exception.what());
    } catch (...) {
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program.name, failure);
    return FinishRun(1);
}

bool StartFitRun(int argc, char** argv, const ProgramInfo& program, FitRun* run, int* exit_status)
{
    run->program = &program;
    program_name = program.name;
    run->command = ParseCommandLine(argc, argv, program);
    const CommandLine& command = run->command;
    *exit_status = 0;
    if (!command.error.empty()) {
        PrintUsageError(program, command.error);
        *exit_status = 2;
        return false;
    }
    if (command.help || command.version) {
        if (command.help)
            PrintHelp(stdout, program);
        else
            PrintVersion(stdout, program);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program.name, std::strerror(errno));
            *exit_status = 1;
        }
        return false;
    }
    if (command.json) {
        run->json = fitcore::DivertStandardOutputToErrors();
        if (run->json == nullptr) {
            std::fprintf(stderr, "%s: cannot keep standard output for the results: %s\n", program.name,
                         std::strerror(errno));
            *exit_status = 1;
            return false;
        }
    }
    return true;
}

PCPFile* OpenDataFile(FitRun* run, const ShellOptions& options, char (&name)[kFileNameSize], int* exit_status)
{
    *exit_status = 1;
    const char* argument = run->command.file;
    bool named = argument != nullptr ? NameFromArgument(argument, name) : NameFromPrompt(name);
    if (!named) return nullptr;

    PCPFile* file = InitPCPFile();
    if (file == nullptr) return nullptr;
    const fitcore::TableOptions table_options = TableOptionsOf(run->command);
    fitcore::DataFileResult loaded =
        options.keep_rows ? fitcore::LoadDataRows(name, table_options, file, &run->rows, &run->data)
                          : fitcore::LoadDataFile(name, table_options, file, &run->data);
    if (loaded == fitcore::DataFileResult::NotATable) {
        DisposePCPFile(file);
        PrintUsageError(*run->program, "options '--using', '--delimiter' and '--decimal-comma' are for tables "
                                       "and CSV files, and '" + std::string(name) + "' is a PCP file");
        *exit_status = 2;
        return nullptr;
    }
    if (loaded != fitcore::DataFileResult::Loaded) {
        DisposePCPFile(file);
        if (options.load_error_names_file)
            std::printf("Error loading PCP file '%s'\n", name);
        else
            std::puts("Error loading PCP file");
        return nullptr;
    }
    if (options.requires_sigma && file->has_sigma == 0) {
        DisposePCPFile(file);
        std::puts("This file does not contain weighting information.");
        return nullptr;
    }
    std::printf("Loaded file '%s' sucessfully, %d points present\n", name, file->count);
    if (run->command.error_bars && file->has_sigma == 0) {
        DisposePCPFile(file);
        PrintUsageError(*run->program, "option '--errorbars' needs a sigma column in the data file");
        *exit_status = 2;
        return nullptr;
    }
    *exit_status = 0;
    return file;
}

JsonRun JsonRunOf(const FitRun& run, const char* name, const PCPFile* file)
{
    const fitcore::DataFileInfo& data = run.data;
    return {run.program->name, name, file->points, file->count, run.command.points,
            data.x_name.empty() ? nullptr : data.x_name.c_str(), data.y_name.empty() ? nullptr : data.y_name.c_str(),
            static_cast<long long>(data.skipped)};
}

int JsonWritten(const FitRun& run, bool written)
{
    if (written) return 0;
    std::fprintf(stderr, "%s: cannot write the results: %s\n", run.program->name, std::strerror(errno));
    return 1;
}

namespace {

int PlotWithDetails(const FitRun& run, Point* points, int32_t count, const ResultCurve& curve,
                    const FitDetailsAdder& add_details)
{
    const CommandLine& command = run.command;
    // Standard input that held the data is not the user's keyboard to wait on.
    const bool data_from_input = command.file != nullptr && std::strcmp(command.file, "-") == 0;
    const bool shown = !command.no_plot && !command.json && !data_from_input;
    if (command.plot_file == nullptr && !shown) return 0;

    PictureOptions picture = PictureFor(command, {AxisName(run.data.x_name, "x"), AxisName(run.data.y_name, "y")});
    std::string reason;
    if (!add_details(&picture, &reason)) {
        std::fprintf(stderr, "%s: cannot draw the plot: %s\n", run.program->name, reason.c_str());
        return 1;
    }
    if (command.plot_file == nullptr) {
        ShowResultPicture(points, count, curve, picture);
        return 0;
    }
    if (DrawResultPicture(points, count, curve, picture, command.plot_file, command.plot_terminal,
                          command.plot_timeout, &reason) == 0)
        return 0;
    std::fprintf(stderr, "%s: cannot draw the plot into '%s': %s\n", run.program->name, command.plot_file,
                 reason.c_str());
    return 1;
}

}  // namespace

int PlotResult(const FitRun& run, Point* points, int32_t count, const ResultCurve& curve)
{
    return PlotWithDetails(run, points, count, curve, [&](PictureOptions* picture, std::string* reason) {
        return AddFitDetails(run.command, points, count, curve.order, picture, reason);
    });
}

int PlotResult(const FitRun& run, Point* points, int32_t count, const SampledCurve& curve,
               const FitDetailsAdder& add_details)
{
    return PlotWithDetails(run, points, count, SampledResultCurve(curve), add_details);
}
