// sorrafit_reference - sorrafit with fscanf per number when loading and printf
// per number in the report, for the benchmarks.
#include <fitcore/linefit.h>
#include "line_report.h"
#include "reference.h"
#include "reference_programs.h"
#include "result_plot.h"

int main(int argc, char** argv)
{
    const bool plot = !TakeNoPlotOption(&argc, &argv);
    PCPFile* file = OpenReferenceDataFile(argc, argv, true);
    if (file == nullptr) return 1;
    fitcore::Line line = FitLine(file->points, file->count);
    WeightPoints(file->points, file->count);
    ReferencePrintLineReport(
        ComputeWeightedLineStatistics(file->points, file->count, line.slope, line.intercept),
        file->points, file->count);
    if (plot) ShowResultPlot(file->points, file->count, LineCurveCommand(line));
    DisposePCPFile(file);
    return 0;
}
