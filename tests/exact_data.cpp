// exact_data.cpp - data sets whose least-squares fits are known exactly.
#include "exact_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

// An even polynomial of degree `degree` + 1 whose lower even terms make it
// orthogonal to the even powers below it; being even, it is orthogonal to
// the odd ones on the symmetric grid as well.
std::vector<double> OrthogonalResidual(int degree)
{
    int64_t n = 2 * kHalf + 1, s2 = 0, s4 = 0, s6 = 0;
    for (int64_t t = -kHalf; t <= kHalf; ++t) s2 += t * t, s4 += t * t * t * t, s6 += t * t * t * t * t * t;
    std::vector<double> residual;
    for (int64_t t = -kHalf; t <= kHalf; ++t) {
        if (degree == 1) {
            residual.push_back(static_cast<double>(n * t * t - s2));
        } else {
            // N*D*t^4 - N*A*t^2 + (A*S2 - D*S4), orthogonal to 1 and t^2 (and, being even, to t and t^3).
            int64_t d = n * s4 - s2 * s2, a = n * s6 - s4 * s2;
            residual.push_back(static_cast<double>(n * d * t * t * t * t - n * a * t * t + (a * s2 - d * s4)));
        }
    }
    return residual;
}

std::vector<Point> ExactData(double offset, const std::vector<double>& q, int degree, int shrink)
{
    const std::vector<double> residual = OrthogonalResidual(degree);
    std::vector<Point> points;
    for (int t = -kHalf; t <= kHalf; ++t) {
        double y = 0;
        for (size_t k = q.size(); k-- > 0;) y = y * t + q[k];
        const double r = std::ldexp(residual[static_cast<size_t>(t + kHalf)], -shrink);
        EXPECT_EQ(y + r - y, r) << "y not exact at t " << t;
        points.push_back({offset + t, y + r, 1 + std::abs(t) / 8.0, 0, 0});
    }
    return points;
}

