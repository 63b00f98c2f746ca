// linefit.cpp - the least-squares line of the fit programs' reports and its statistics.
#include <fitcore/linefit.h>

#include <cmath>
#include <limits>

#include <fitcore/centring.h>

// Sums are formed from deviations about the means and carried in long
// double; every stored value is a double.

namespace {

// Means of x and y, summed in long double.
struct Means {
    long double x, y;
};

Means MeansOf(const Point* points, int32_t count)
{
    long double sx = 0, sy = 0;
    for (int32_t i = 0; i < count; ++i) {
        sx += points[i].x;
        sy += points[i].y;
    }
    const long double n = count;
    return {sx / n, sy / n};
}

// 1 for a root mean square from 2^-128 to 2^128 (and for 0 or NaN), else the
// power of two at or below it.
long double ScaleFor(long double mean_square)
{
    const long double rms = std::sqrt(mean_square);
    constexpr long double kLow = 0x1p-128L, kHigh = 0x1p128L;
    if (!(rms > 0) || !std::isfinite(rms) || (rms >= kLow && rms <= kHigh)) return 1;
    int exponent = 0;
    std::frexp(rms, &exponent);
    return std::ldexp(1.0L, exponent - 1);
}

// v * up / down, exact for powers of two unless the result leaves double's range.
double Rescaled(double value, double up, double down)
{
    return static_cast<double>(static_cast<long double>(value) * up / down);
}

}  // namespace

LineStatistics fitcore::LineStatisticsAboutMeans(const Point* points, int32_t count, double slope,
                                        double intercept, bool weighted)
{
    const Means mean = MeansOf(points, count);
    long double sxx = 0, xw = 0;
    for (int32_t i = 0; i < count; ++i) {
        const long double x = points[i].x;
        sxx += x * x;
        if (weighted) xw += points[i].weight * x;
    }
    long double cxx = 0, cyy = 0, residuals = 0, weighted_spread = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Point& point = points[i];
        const long double dx = point.x - mean.x, dy = point.y - mean.y, residual = point.y - point.fit;
        const long double w = weighted ? point.weight : 1;
        cxx += dx * dx;
        cyy += dy * dy;
        residuals += w * residual * residual;
        if (weighted) weighted_spread += w * (point.x - xw) * (point.x - xw);
    }
    const long double n = count;
    // Units from sums at hand: powers of two, so the scaling itself is exact.
    const long double xs = ScaleFor(sxx / n), ys = ScaleFor(cyy / n + mean.y * mean.y);
    const long double xs2 = xs * xs, ys2 = ys * ys;
    sxx /= xs2;
    cxx /= xs2;
    cyy /= ys2;
    residuals /= ys2;
    const long double spread = weighted ? n * weighted_spread / xs2 : cxx;

    LineStatistics stats{};
    stats.slope = slope;
    stats.intercept = intercept;
    stats.xbar = static_cast<double>(mean.x);
    stats.ybar = static_cast<double>(mean.y);
    stats.residual_variance = static_cast<double>(residuals / n);
    stats.slope_variance = static_cast<double>(residuals / (spread * (n - 2)));
    stats.intercept_variance = static_cast<double>(stats.slope_variance * sxx / n);
    stats.x_variance = static_cast<double>(cxx / n);
    stats.y_variance = static_cast<double>(cyy / n);
    stats.x_scale = static_cast<double>(xs);
    stats.y_scale = static_cast<double>(ys);
    return stats;
}

// Worked in the statistics' units, then converted back.
fitcore::LineReportValues fitcore::DeriveLineReportValues(const LineStatistics& stats)
{
    const double xs = stats.x_scale, ys = stats.y_scale;
    const double b = Rescaled(stats.slope, xs, ys), a = Rescaled(stats.intercept, 1, ys);
    LineReportValues values{};
    values.standard_deviation = Rescaled(std::sqrt(stats.residual_variance), ys, 1);
    values.correlation = std::sqrt(1 - stats.residual_variance / stats.y_variance);
    values.slope_error = Rescaled(std::sqrt(stats.slope_variance), ys, xs);
    values.intercept_error = Rescaled(std::sqrt(stats.intercept_variance), ys, 1);
    values.x_intercept = -stats.intercept / stats.slope;
    values.x_intercept_error =
        Rescaled(std::sqrt(stats.intercept_variance + (a * a / (b * b)) * stats.slope_variance) / std::fabs(b), xs, 1);
    return values;
}

fitcore::PointErrorRatio::PointErrorRatio(const LineStatistics& stats)
    : stats_(stats)
{
    const double b = Rescaled(stats.slope, stats.x_scale, stats.y_scale);
    slope_term_ = b * b * stats.x_variance;
}

fitcore::Line FitLine(Point* points, int32_t count)
{
    const Means mean = MeansOf(points, count);
    long double cxx = 0, cxy = 0;
    for (int32_t i = 0; i < count; ++i) {
        const long double dx = points[i].x - mean.x, dy = points[i].y - mean.y;
        cxx += dx * dx;
        cxy += dx * dy;
    }
    const double b = static_cast<double>(cxy / cxx);
    const double a = static_cast<double>(mean.y - b * mean.x);
    auto value_at = [&mean, b](double x) { return static_cast<double>(mean.y + b * (x - mean.x)); };
    for (int32_t i = 0; i < count; ++i) points[i].fit = value_at(points[i].x);
    const double centre = fitcore::ChooseCentring(points, count, 1).centre;
    return {b, a, centre, value_at(centre)};
}

LineStatistics ComputeLineStatistics(const Point* points, int32_t count, double slope,
                                     double intercept)
{
    return fitcore::LineStatisticsAboutMeans(points, count, slope, intercept, false);
}

void WeightPoints(Point* points, int32_t count)
{
    long double s = 0;
    for (int32_t i = 0; i < count; ++i) {
        long double sigma = points[i].sigma;
        s += 1 / (sigma * sigma);
    }
    for (int32_t i = 0; i < count; ++i) {
        long double sigma = points[i].sigma;
        points[i].weight = static_cast<double>(1 / (sigma * sigma * s));
    }
}

LineStatistics ComputeWeightedLineStatistics(const Point* points, int32_t count, double slope,
                                             double intercept)
{
    return fitcore::LineStatisticsAboutMeans(points, count, slope, intercept, true);
}
