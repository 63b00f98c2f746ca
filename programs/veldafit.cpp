// veldafit - fits a straight line to a data file and reports it with standard errors.
#include "fit_shell.h"
#include "linefit.h"
#include "result_plot.h"

int main(int argc, char** argv)
{
    StartRun();
    char name[kFileNameSize];
    int exit_status = 0;
    PCPFile* file = OpenDataFile(argc, argv, {.load_error_names_file = false, .requires_sigma = false},
                                 name, &exit_status);
    if (file == nullptr) return FinishRun(exit_status);

    Line line = FitLine(file->points, file->count);
    PrintLineReport(ComputeLineStatistics(file->points, file->count, line.slope, line.intercept),
                    file->points, file->count);
    ShowResultPlot(file->points, file->count, LineCurveCommand(line.slope, line.intercept));

    DisposePCPFile(file);
    return FinishRun(0);
}
