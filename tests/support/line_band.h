// line_band.h - the confidence band of a least-squares line from its
// textbook formula, in long double, to check the band the fits give.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

struct LineBandAt {
    double value;       // of the fitted line
    double half_width;  // t s sqrt(1/W + (x - xbar)^2 / Sxx)
};

// The line through (x, y) and its band at `at` for Student's `t`: every sum
// weighted by 1/sigma^2 when `sigma` is not empty (W = N otherwise), and
// s^2 = SSR / (N - 2) (weighted chi^2 / (N - 2)).
inline LineBandAt LineBandByFormula(const std::vector<double>& x, const std::vector<double>& y,
                                    const std::vector<double>& sigma, double at, double t)
{
    using Real = long double;
    const std::size_t n = x.size();
    auto weight = [&](std::size_t i) { return sigma.empty() ? Real(1) : 1 / (Real(sigma[i]) * sigma[i]); };
    Real w = 0, wx = 0, wy = 0, sxx = 0, sxy = 0, ssr = 0;
    for (std::size_t i = 0; i < n; ++i) w += weight(i), wx += weight(i) * x[i], wy += weight(i) * y[i];
    const Real xbar = wx / w, ybar = wy / w;
    for (std::size_t i = 0; i < n; ++i)
        sxx += weight(i) * (x[i] - xbar) * (x[i] - xbar), sxy += weight(i) * (x[i] - xbar) * (y[i] - ybar);
    for (std::size_t i = 0; i < n; ++i) {
        const Real r = y[i] - ybar - sxy / sxx * (x[i] - xbar);
        ssr += weight(i) * r * r;
    }
    const Real s = std::sqrt(ssr / (n - 2));
    return {static_cast<double>(ybar + sxy / sxx * (at - xbar)),
            static_cast<double>(t * s * std::sqrt(1 / w + (at - xbar) * (at - xbar) / sxx))};
}
