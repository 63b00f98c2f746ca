// power_sums.cpp - one pass over the points for every power sum of the normal equations.
#include "power_sums.h"

#include <cmath>
#include <system_error>
#include <thread>

namespace fitcore {
namespace {

// The powers one thread sums: first, first + step, ... up to 2 * order.
struct PowerSet {
    int first;
    int step;
};

void SumPowers(const Point* points, int32_t count, int order, PowerSet set, double* sum_x,
               double* sum_xy)
{
    const int top = 2 * order;
    double sx[2 * kMaxPowerSumOrder + 1] = {};
    double sxy[kMaxPowerSumOrder + 1] = {};
    for (int32_t i = 0; i < count; ++i) {
        const double x = points[i].x, y = points[i].y;
        for (int k = set.first; k <= top; k += set.step) {
            // pow(x, 0) is 1 for every x, NaN included.
            double power = k == 0 ? 1.0 : std::pow(x, static_cast<double>(k));
            sx[k] += power;
            if (k <= order) sxy[k] += power * y;
        }
    }
    for (int k = set.first; k <= top; k += set.step) {
        sum_x[k] = sx[k];
        if (k <= order) sum_xy[k] = sxy[k];
    }
}

}  // namespace

void ComputePowerSums(const Point* points, int32_t count, int order, double* sum_x, double* sum_xy,
                      int32_t parallel_threshold)
{
    if (order < 0 || order > kMaxPowerSumOrder) return;
    if (count > parallel_threshold && order > 0) {
        // Odd powers here, even powers (with the free power 0) on the helper.
        try {
            std::thread helper(SumPowers, points, count, order, PowerSet{0, 2}, sum_x, sum_xy);
            SumPowers(points, count, order, PowerSet{1, 2}, sum_x, sum_xy);
            helper.join();
            return;
        } catch (const std::system_error&) {
            // No second thread: all powers below.
        }
    }
    SumPowers(points, count, order, PowerSet{0, 1}, sum_x, sum_xy);
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
