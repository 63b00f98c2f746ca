// line_report.cpp - the "Linear fit" report of veldafit and sorrafit.
#include "line_report.h"

#include <cmath>
#include <cstdio>

#include "exponential_text.h"
#include "point_rows.h"
#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>

#include "json_report.h"
#include "library_fits.h"
#include "result_plot.h"
#include "stats_report.h"

namespace {

// The table rows: number, x, y, fit and Err/sd.
void PrintLineTable(const LineStatistics& stats, const Point* points, int32_t count)
{
    const fitcore::PointErrorRatio error_ratio(stats);
    PrintPointRows<4>(points, count, [&error_ratio](const Point& point) {
        return std::array{point.x, point.y, point.fit, error_ratio(point)};
    });
}

}  // namespace

void PrintLineReport(const LineStatistics& stats, const Point* points, int32_t count)
{
    const fitcore::LineReportValues values = fitcore::DeriveLineReportValues(stats);
    std::printf("Linear fit\n");
    auto e = [](double value) { return ExponentialText(value); };
    std::printf("The standard deviation of fit=%s\n", e(values.standard_deviation).c_str());
    std::printf("Correlation coefficient=%s\n\n", e(values.correlation).c_str());
    std::printf("xbar\t%s\n", e(stats.xbar).c_str());
    std::printf("ybar\t%s\n", e(stats.ybar).c_str());
    std::printf("Slope\t%s\t%s\n", e(stats.slope).c_str(), e(values.slope_error).c_str());
    std::printf("y intercept\t%s\t%s\n", e(stats.intercept).c_str(), e(values.intercept_error).c_str());
    std::printf("x intercept\t%s\t%s\n", e(values.x_intercept).c_str(), e(values.x_intercept_error).c_str());
    std::printf("\nPoint\tx\ty\tfit\tErr/sd\n");
    PrintLineTable(stats, points, count);
}

int ReportAndPlotLine(const FitRun& run, const char* name, PCPFile* file, const fitcore::Line& line,
                      const LineStatistics& stats, bool json_inference)
{
    const bool json = run.json != nullptr;
    fitcore::FitInference inference;
    if (json ? json_inference : run.command.stats) inference = LineInference(file->points, file->count);
    int exit_status = 0;
    if (json) {
        exit_status = JsonWritten(
            run, WriteLineJson(run.json, JsonRunOf(run, name, file), stats, json_inference ? &inference : nullptr));
    } else {
        PrintLineReport(stats, file->points, file->count);
        if (run.command.stats) PrintStatistics(inference, LineParameterNames());
    }
    if (PlotResult(run, file->points, file->count, LineCurve(line)) != 0) exit_status = 1;
    return exit_status;
}
