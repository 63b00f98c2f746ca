// weightedfit.cpp - error statistics of the least-squares line weighted by each point's sigma.
#include "weightedfit.h"

// The running sums are carried in long double; every stored value is a double.

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

// With weights w_i summing to 1:
//   E   = sum w_i * (y_i - f_i)^2            weighted residual sum
//   xw  = sum w_i * x_i                      weighted mean of x
//   D   = N * sum w_i * (x_i - xw)^2         weighted spread of x
// residual_variance = E / N, slope_variance = E / (D * (N - 2)),
// intercept_variance = slope_variance * Sxx / N with the unweighted Sxx.
// D is summed about the weighted mean in a second pass, so it is never
// negative; with equal sigmas it equals Sxx - N * xbar^2, and every variance
// is the unweighted one divided by N.
LineStatistics ComputeWeightedLineStatistics(const Point* points, int32_t count, double slope,
                                             double intercept)
{
    long double sx = 0, sy = 0, sxx = 0, e = 0, swx = 0;
    for (int32_t i = 0; i < count; ++i) {
        long double x = points[i].x, y = points[i].y, w = points[i].weight;
        long double residual = y - points[i].fit;
        sx += x;
        sy += y;
        sxx += x * x;
        e += w * residual * residual;
        swx += w * x;
    }
    long double n = count;
    double xbar = static_cast<double>(sx / n);
    double ybar = static_cast<double>(sy / n);
    long double xw = swx;

    long double cxx = 0, cyy = 0, spread = 0;
    for (int32_t i = 0; i < count; ++i) {
        long double dx = points[i].x - xbar, dy = points[i].y - ybar;
        long double dxw = points[i].x - xw;
        cxx += dx * dx;
        cyy += dy * dy;
        spread += points[i].weight * dxw * dxw;
    }
    long double d = n * spread;

    LineStatistics stats{};
    stats.slope = slope;
    stats.intercept = intercept;
    stats.xbar = xbar;
    stats.ybar = ybar;
    stats.residual_variance = static_cast<double>(e / n);
    stats.slope_variance = static_cast<double>(e / (d * (n - 2)));
    stats.intercept_variance = static_cast<double>(stats.slope_variance * sxx / n);
    stats.x_variance = static_cast<double>(cxx / n);
    stats.y_variance = static_cast<double>(cyy / n);
    return stats;
}
