// linefit.h - the ordinary least-squares line, its statistics and its report.
#pragma once

#include <cstdint>

#include "point.h"

struct Line {
    double slope;      // b
    double intercept;  // a: the line's value at x = 0
};

// The values the line report prints. Filled by ComputeLineStatistics, or by
// ComputeWeightedLineStatistics in the weighted program.
struct LineStatistics {
    double slope;
    double intercept;
    double xbar;                // mean of x
    double ybar;                // mean of y
    double residual_variance;   // residual sum of squares / N
    double slope_variance;
    double intercept_variance;
    double x_variance;          // mean squared deviation of x from xbar
    double y_variance;          // mean squared deviation of y from ybar
};

// Ordinary least squares through all points: slope b and intercept a from
// one pass of raw sums; sets fit = b*x + a for every point. Degenerate data
// (no points, one x value) give NaN or infinities, as IEEE arithmetic does.
Line FitLine(Point* points, int32_t count);

// Means, variances of slope and intercept, and the spreads of x and y of the
// fitted points (`fit` already set). No checks: N <= 2 gives non-finite values.
LineStatistics ComputeLineStatistics(const Point* points, int32_t count, double slope,
                                     double intercept);

// The numbers the report prints beside the statistics' own fields.
struct LineReportValues {
    double standard_deviation;  // of the fit: sqrt(residual_variance)
    double correlation;         // sqrt(1 - residual_variance / y_variance), never negative
    double slope_error;         // sqrt(slope_variance)
    double intercept_error;     // sqrt(intercept_variance)
    double x_intercept;         // -a / b
    double x_intercept_error;   // no covariance term; divided by b itself, so it takes b's sign
};

LineReportValues DeriveLineReportValues(const LineStatistics& stats);

// Writes the "Linear fit" report and the per-point table to standard output.
void PrintLineReport(const LineStatistics& stats, const Point* points, int32_t count);
