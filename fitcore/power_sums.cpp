// power_sums.cpp - one pass over the points for every power sum of the normal equations.
#include "power_sums.h"

#include <cmath>

#include "two_halves.h"

namespace fitcore {
namespace {

// The sums of the powers first to last - 1 (of 0 to 2 * order), and for
// those up to `order` the sums with y too.
void SumPowers(const Point* points, int32_t count, int order, int first, int last, double* sum_x, double* sum_xy)
{
    double sx[2 * kMaxPowerSumOrder + 1] = {};
    double sxy[kMaxPowerSumOrder + 1] = {};
    for (int32_t i = 0; i < count; ++i) {
        const double x = points[i].x, y = points[i].y;
        for (int k = first; k < last; ++k) {
            // pow(x, 0) is 1 for every x, NaN included.
            double power = k == 0 ? 1.0 : std::pow(x, static_cast<double>(k));
            sx[k] += power;
            if (k <= order) sxy[k] += power * y;
        }
    }
    for (int k = first; k < last; ++k) {
        sum_x[k] = sx[k];
        if (k <= order) sum_xy[k] = sxy[k];
    }
}

}  // namespace

void ComputePowerSums(const Point* points, int32_t count, int order, double* sum_x, double* sum_xy)
{
    if (order < 0 || order > kMaxPowerSumOrder) return;
    // Powers 0 to order (the power 0 costs no pow) and order + 1 to 2 * order:
    // as many pow calls in each half.
    size_t bytes = static_cast<size_t>(count > 0 ? count : 0) * sizeof(Point);
    RunHalves(0, static_cast<size_t>(order) + 1, 2 * static_cast<size_t>(order) + 1, bytes, [&](size_t first, size_t last) {
        SumPowers(points, count, order, static_cast<int>(first), static_cast<int>(last), sum_x, sum_xy);
    });
}

void FillNormalEquations(const double* sum_x, const double* sum_xy, int order, double* a, double* b)
{
    const int d = order + 1;
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) a[i * d + j] = sum_x[i + j];
        b[i] = sum_xy[i];
    }
}

}  // namespace fitcore
