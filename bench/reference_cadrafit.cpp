// cadrafit_reference - cadrafit with fscanf per number when loading, every
// normal-matrix entry in its own pass with pow, and printf per number in the
// report, for the benchmarks.
#include <cstdio>

#include <fitcore/polyfit.h>
#include "polynomial_report.h"
#include "reference.h"
#include "reference_programs.h"
#include "result_plot.h"

int main(int argc, char** argv)
{
    const bool plot = !TakeNoPlotOption(&argc, &argv);
    PCPFile* file = OpenReferenceDataFile(argc, argv, false);
    if (file == nullptr) return 1;
    int order = 0;
    fitcore::Polynomial polynomial{};
    if (ReadPolynomialOrder(&order) != 0 || ReferenceFitPolynomial(file->points, file->count, order, &polynomial) != 0) {
        DisposePCPFile(file);
        std::puts("Could not solve polynomial fit!");
        return 1;
    }
    ReferencePrintPolynomialReport(polynomial, fitcore::RmsError(file->points, file->count), file->points, file->count);
    if (plot) ShowResultPlot(file->points, file->count, PolynomialCurveCommand(polynomial));
    DisposePCPFile(file);
    return 0;
}
