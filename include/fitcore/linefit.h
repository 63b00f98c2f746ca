// linefit.h - the least-squares line of the fit programs' reports and its
// statistics, plain and weighted by each point's sigma. Nothing is printed.
#pragma once

#include <cmath>
#include <cstdint>

#include <fitcore/point.h>

namespace fitcore {

// The least-squares line as FitLine gives it.
struct Line {
    double slope;         // b
    double intercept;     // a: the line's value at x = 0
    double centre;        // c: 0, or the middle of an x range that lies far from zero
    double centre_value;  // the line's value at c, to the precision of the fitted values
};

}  // namespace fitcore

// The values the line report prints. Filled by ComputeLineStatistics, or by
// ComputeWeightedLineStatistics in the weighted program.
//
// The five variances are those of the data measured in units of x_scale and
// y_scale: of x / x_scale and y / y_scale. Both scales are powers of two and
// are 1 unless the root mean square of x (or of y) lies outside 2^-128 to
// 2^128; then they are near it, so that no variance and nothing derived
// from them overflows or underflows, and the errors printed change with the
// data's scale only as that scale itself does.
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
    double x_scale = 1;
    double y_scale = 1;
};

// Ordinary least squares through all points: b = Cxy / Cxx and
// a = ybar - b * xbar from sums of deviations about the means, so that
// shifting x changes neither b nor the fitted values; sets
// fit = ybar + b * (x - xbar) for every point. The centre is chosen as
// ChooseCentring does for order 1. Degenerate data (no points, one x value)
// give NaN or infinities, as IEEE arithmetic does.
fitcore::Line FitLine(Point* points, int32_t count);

// Means, variances of slope and intercept, and the spreads of x and y of the
// fitted points (`fit` already set):
//   residual_variance = SSR / N        SSR = sum (y - fit)^2
//   slope_variance = SSR / (Cxx (N - 2))
//   intercept_variance = slope_variance * Sxx / N    Sxx = sum x^2
//   x_variance = Cxx / N, y_variance = Cyy / N
// with Cxx, Cyy the sums of squared deviations about the means. No checks:
// N <= 2 gives non-finite values.
LineStatistics ComputeLineStatistics(const Point* points, int32_t count, double slope,
                                     double intercept);

// Sets weight = 1 / (sigma^2 * S), S = sum of 1/sigma^2, for every point: the
// weights sum to 1 and the sign of a sigma does not matter. A zero sigma
// makes S infinite: that point's weight is NaN and every other weight 0.
void WeightPoints(Point* points, int32_t count);

// Statistics of the unweighted line (`fit` and `weight` already set) with the
// residuals and the spread of x weighted. Means, Sxx and the spreads of x and
// y stay unweighted, as in ComputeLineStatistics. No checks: N <= 2 or a NaN
// weight gives non-finite values.
LineStatistics ComputeWeightedLineStatistics(const Point* points, int32_t count, double slope,
                                             double intercept);

namespace fitcore {

// The statistics of ComputeLineStatistics, or with `weighted` those of the
// weighted report: the residual sum E = sum w (y - fit)^2 and the spread of
// x D = N * sum w (x - xw)^2 about the weighted mean xw = sum w x take the
// places of SSR and Cxx (`weight` set, the weights summing to 1).
LineStatistics LineStatisticsAboutMeans(const Point* points, int32_t count, double slope,
                                        double intercept, bool weighted);

// The numbers the report prints beside the statistics' own fields.
struct LineReportValues {
    double standard_deviation;  // of the fit: sqrt(residual_variance)
    double correlation;         // sqrt(1 - residual_variance / y_variance), never negative
    double slope_error;         // sqrt(slope_variance)
    double intercept_error;     // sqrt(intercept_variance)
    double x_intercept;         // -a / b
    double x_intercept_error;   // no covariance term; a standard error, never negative
};

LineReportValues DeriveLineReportValues(const LineStatistics& stats);

// The table's Err/sd of fitted points, (y - fit) / e with
// e^2 = intercept_variance + x^2 slope_variance + y_variance + b^2 x_variance:
// the variance of the fitted value (without the slope/intercept covariance)
// plus the spreads of y and of b*x. Prepared once for a table.
class PointErrorRatio {
public:
    explicit PointErrorRatio(const LineStatistics& stats);

    double operator()(const Point& point) const
    {
        const double x = stats_.x_scale == 1 ? point.x : point.x / stats_.x_scale;
        const double error = std::sqrt(stats_.intercept_variance + x * x * stats_.slope_variance + stats_.y_variance +
                                       slope_term_);
        const double residual = point.y - point.fit;
        return stats_.y_scale == 1 ? residual / error : residual / stats_.y_scale / error;
    }

private:
    LineStatistics stats_;
    double slope_term_;  // b^2 x_variance, b in the statistics' units
};

}  // namespace fitcore
