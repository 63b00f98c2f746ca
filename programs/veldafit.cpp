// veldafit - fits a straight line to a data file and reports it with standard errors.
#include <fitcore/linefit.h>

#include "fit_shell.h"
#include "library_fits.h"
#include "line_report.h"

namespace {

const ProgramInfo kProgram = {
    "veldafit", "Fit a straight line to the x/y data in FILE by least squares and report it\n"
                "with the standard errors of its slope and intercepts.",
    false};

int Run(int argc, char** argv)
{
    StartRun();
    FitRun run;
    int exit_status = 0;
    if (!StartFitRun(argc, argv, kProgram, &run, &exit_status)) return exit_status;
    char name[kFileNameSize];
    PCPFile* file = OpenDataFile(&run, {.load_error_names_file = false, .requires_sigma = run.command.weighted},
                                 name, &exit_status);
    if (file == nullptr) return FinishRun(exit_status);
    if (run.command.weighted) {
        exit_status = SigmasUsable(file->points, file->count) ? WeightedFitRun(run, name, file, 1) : 1;
        DisposePCPFile(file);
        return FinishRun(exit_status);
    }

    fitcore::Line line = FitLine(file->points, file->count);
    LineStatistics stats = ComputeLineStatistics(file->points, file->count, line.slope, line.intercept);
    exit_status = ReportAndPlotLine(run, name, file, line, stats, true);

    DisposePCPFile(file);
    return FinishRun(exit_status);
}

}  // namespace

int main(int argc, char** argv) { return RunGuarded(kProgram, Run, argc, argv); }
