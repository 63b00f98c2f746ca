// linefit.cpp - the least-squares line of the fit programs' reports and its statistics.
#include <fitcore/linefit.h>

#include <cmath>

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
    const long double spread = weighted ? n * weighted_spread : cxx;

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
    return stats;
}

fitcore::LineReportValues fitcore::DeriveLineReportValues(const LineStatistics& stats)
{
    const double b = stats.slope, a = stats.intercept;
    LineReportValues values{};
    values.standard_deviation = std::sqrt(stats.residual_variance);
    values.correlation = std::sqrt(1 - stats.residual_variance / stats.y_variance);
    values.slope_error = std::sqrt(stats.slope_variance);
    values.intercept_error = std::sqrt(stats.intercept_variance);
    values.x_intercept = -a / b;
    values.x_intercept_error = std::sqrt(stats.intercept_variance + (a * a / (b * b)) * stats.slope_variance) / b;
    return values;
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
