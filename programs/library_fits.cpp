// library_fits.cpp - weighted fits, statistics and the comparison of orders, from the library's fits.
#include "library_fits.h"

#include <cmath>
#include <cstdio>
#include <span>

#include <fitcore/polyfit.h>

#include "exponential_text.h"
#include "json_report.h"
#include "result_plot.h"
#include "stats_report.h"

namespace {

// The fitted polynomial as the report's curve and fitted values take it,
// kept in the centred variable it was solved in.
fitcore::Polynomial PolynomialOf(const fitcore::PolynomialFit& fit)
{
    fitcore::Polynomial polynomial{};
    polynomial.order = static_cast<int>(fit.coefficients.size()) - 1;
    polynomial.centring = {fit.centre, fit.scale};
    for (int k = 0; k <= polynomial.order; ++k) {
        polynomial.coefficients[k] = fit.coefficients[k];
        polynomial.centred[k] = fit.centred_coefficients[k];
    }
    return polynomial;
}

// The curve of the plot: a line through its value at the centre, or the polynomial.
ResultCurve CurveOf(const fitcore::Polynomial& polynomial)
{
    if (polynomial.order > 1) return PolynomialCurve(polynomial);
    const fitcore::Line line{polynomial.coefficients[1], polynomial.coefficients[0], polynomial.centring.centre,
                             polynomial.centred[0]};
    return LineCurve(line);
}

// The points in place, for the library's fits: no copy of millions of values.
std::span<const Point> PointsOf(const Point* points, int32_t count)
{
    return {points, count > 0 ? static_cast<std::size_t>(count) : 0};
}

fitcore::PolynomialFit WeightedFit(const PCPFile* file, int order)
{
    return fitcore::fit_polynomial(PointsOf(file->points, file->count), order, true);
}

std::string WeightedTitle(int order)
{
    return order == 1 ? "Weighted linear fit" : "Weighted fit for polynomial of order " + std::to_string(order);
}

}  // namespace

fitcore::FitInference LineInference(const Point* points, int32_t count)
{
    return fitcore::infer(fitcore::fit_line(PointsOf(points, count)));
}

fitcore::FitInference PolynomialInference(const Point* points, int32_t count, int order)
{
    return fitcore::infer(fitcore::fit_polynomial(PointsOf(points, count), order));
}

bool SigmasUsable(const Point* points, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        const double sigma = points[i].sigma;
        if (sigma > 0 && std::isfinite(sigma)) continue;
        std::printf("Point %d (x=%s, y=%s) has sigma %s: a sigma must be positive and finite.\n", i + 1,
                    ExponentialText(points[i].x).c_str(), ExponentialText(points[i].y).c_str(),
                    ExponentialText(sigma).c_str());
        return false;
    }
    return true;
}

int WeightedFitRun(const FitRun& run, const char* name, PCPFile* file, int order)
{
    const fitcore::PolynomialFit fit = WeightedFit(file, order);
    if (!fit.ok) {
        std::printf("Could not fit: %s.\n", fit.error.c_str());
        return 1;
    }
    const fitcore::FitInference inference = fitcore::infer(fit);
    const fitcore::Polynomial polynomial = PolynomialOf(fit);
    fitcore::SetFittedValues(file->points, file->count, polynomial);
    const std::vector<std::string> names = order == 1 ? LineParameterNames() : PolynomialParameterNames(order);
    int exit_status = 0;
    if (run.json != nullptr) {
        const JsonRun json = JsonRunOf(run, name, file);
        exit_status = JsonWritten(run, order == 1 ? WriteWeightedLineJson(run.json, json, inference)
                                                  : WriteWeightedPolynomialJson(run.json, json, inference));
    } else {
        PrintWeightedReport(WeightedTitle(order), inference, names, file->points, file->count);
        if (run.command.stats) PrintStatistics(inference, names);
    }
    if (PlotResult(run, file->points, file->count, CurveOf(polynomial)) != 0) exit_status = 1;
    return exit_status;
}

int CompareOrdersRun(const FitRun& run, const char* name, PCPFile* file)
{
    const CommandLine& command = run.command;
    const std::span<const Point> points = PointsOf(file->points, file->count);
    const fitcore::OrderComparison comparison =
        fitcore::compare_orders(points, command.compare_from, command.compare_to, command.weighted);
    if (!comparison.ok) {
        std::printf("Could not compare orders: %s.\n", comparison.error.c_str());
        return 1;
    }
    const fitcore::PolynomialFit best = fitcore::fit_polynomial(points, comparison.best_bic_order, command.weighted);
    const fitcore::Polynomial polynomial = PolynomialOf(best);
    fitcore::SetFittedValues(file->points, file->count, polynomial);
    int exit_status = 0;
    if (run.json != nullptr)
        exit_status = JsonWritten(
            run, WriteComparisonJson(run.json, JsonRunOf(run, name, file), comparison, command.weighted));
    else
        PrintOrderComparison(comparison, file->count, command.weighted);
    // Only a plot file asked for shows the order of lowest BIC.
    if (command.plot_file != nullptr &&
        PlotResult(run, file->points, file->count, CurveOf(polynomial)) != 0)
        exit_status = 1;
    return exit_status;
}
