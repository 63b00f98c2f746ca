// veldafit - fits a straight line to a data file and reports it with standard errors.
#include "fit_shell.h"
#include "json_report.h"
#include <fitcore/linefit.h>
#include "line_report.h"
#include "result_plot.h"

namespace {

const ProgramInfo kProgram = {
    "veldafit", "Fit a straight line to the x/y data in FILE by least squares and report it\n"
                "with the standard errors of its slope and intercepts.",
    false};

}  // namespace

int main(int argc, char** argv)
{
    StartRun();
    FitRun run;
    int exit_status = 0;
    if (!StartFitRun(argc, argv, kProgram, &run, &exit_status)) return exit_status;
    char name[kFileNameSize];
    PCPFile* file = OpenDataFile(run.command.file, {.load_error_names_file = false, .requires_sigma = false},
                                 name, &exit_status);
    if (file == nullptr) return FinishRun(exit_status);

    fitcore::Line line = FitLine(file->points, file->count);
    LineStatistics stats = ComputeLineStatistics(file->points, file->count, line.slope, line.intercept);
    if (run.json != nullptr)
        exit_status = JsonWritten(
            run, WriteLineJson(run.json, {kProgram.name, name, file->points, file->count, run.command.points},
                               stats));
    else
        PrintLineReport(stats, file->points, file->count);
    if (PlotResult(run, file->points, file->count, LineCurveCommand(line)) != 0)
        exit_status = 1;

    DisposePCPFile(file);
    return FinishRun(exit_status);
}
