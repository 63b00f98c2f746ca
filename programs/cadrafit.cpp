// cadrafit - fits a least-squares polynomial of an order the user enters to a data file.
#include <cstdio>

#include "fit_shell.h"
#include "polyfit.h"
#include "result_plot.h"

int main(int argc, char** argv)
{
    StartRun();
    char name[kFileNameSize];
    int exit_status = 0;
    PCPFile* file = OpenDataFile(argc, argv, {.load_error_names_file = true, .requires_sigma = false},
                                 name, &exit_status);
    if (file == nullptr) return FinishRun(exit_status);

    int order = 0;
    if (ReadPolynomialOrder(&order) != 0) {
        DisposePCPFile(file);
        return FinishRun(1);
    }
    Polynomial polynomial{};
    if (FitPolynomial(file->points, file->count, order, &polynomial) != 0) {
        DisposePCPFile(file);
        std::puts("Could not solve polynomial fit!");
        return FinishRun(1);
    }
    PrintPolynomialReport(polynomial, RmsError(file->points, file->count), file->points, file->count);
    ShowResultPlot(file->points, file->count, PolynomialCurveCommand(polynomial));

    DisposePCPFile(file);
    return FinishRun(0);
}
