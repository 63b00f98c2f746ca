// cadrafit - fits a least-squares polynomial of an order the user enters to a data file.
#include <cstdio>

#include <fitcore/polyfit.h>

#include "fit_shell.h"
#include "json_report.h"
#include "library_fits.h"
#include "polynomial_report.h"
#include "result_plot.h"
#include "stats_report.h"

namespace {

const ProgramInfo kProgram = {
    "cadrafit", "Fit a least-squares polynomial of order 2 to 9 to the x/y data in FILE and\n"
                "report it; the order is asked for unless --order gives it.",
    true};

int Run(int argc, char** argv)
{
    StartRun();
    FitRun run;
    int exit_status = 0;
    if (!StartFitRun(argc, argv, kProgram, &run, &exit_status)) return exit_status;
    char name[kFileNameSize];
    PCPFile* file = OpenDataFile(&run, {.load_error_names_file = true, .requires_sigma = run.command.weighted},
                                 name, &exit_status);
    if (file == nullptr) return FinishRun(exit_status);
    if (run.command.weighted && !SigmasUsable(file->points, file->count)) {
        DisposePCPFile(file);
        return FinishRun(1);
    }
    if (run.command.compare) {
        exit_status = CompareOrdersRun(run, name, file);
        DisposePCPFile(file);
        return FinishRun(exit_status);
    }

    int order = run.command.order;
    if (order == 0 && ReadPolynomialOrder(&order) != 0) {
        DisposePCPFile(file);
        return FinishRun(1);
    }
    if (run.command.weighted) {
        exit_status = WeightedFitRun(run, name, file, order);
        DisposePCPFile(file);
        return FinishRun(exit_status);
    }
    fitcore::Polynomial polynomial{};
    if (fitcore::FitPolynomial(file->points, file->count, order, &polynomial) != 0) {
        DisposePCPFile(file);
        std::puts("Could not solve polynomial fit!");
        return FinishRun(1);
    }
    double rms = fitcore::RmsError(file->points, file->count);
    fitcore::FitInference inference;
    if (run.json != nullptr || run.command.stats) inference = PolynomialInference(file->points, file->count, order);
    if (run.json != nullptr) {
        exit_status = JsonWritten(
            run, WritePolynomialJson(run.json, JsonRunOf(run, name, file), polynomial, rms, inference));
    } else {
        PrintPolynomialReport(polynomial, rms, file->points, file->count);
        if (run.command.stats) PrintStatistics(inference, PolynomialParameterNames(order));
    }
    if (PlotResult(run, file->points, file->count, PolynomialCurve(polynomial)) != 0) exit_status = 1;

    DisposePCPFile(file);
    return FinishRun(exit_status);
}

}  // namespace

int main(int argc, char** argv) { return RunGuarded(kProgram, Run, argc, argv); }
