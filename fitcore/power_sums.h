// power_sums.h - the sums of a polynomial fit's normal equations in one pass.
#pragma once

#include <cstddef>
#include <cstdint>

#include <fitcore/point.h>

namespace fitcore {

constexpr int kMaxPowerSumOrder = 9;

// sum_x[k] = sum of pow(x, k) for k = 0 to 2*order, sum_xy[k] = sum of
// pow(x, k) * y for k = 0 to order (order 0 to kMaxPowerSumOrder). Each sum
// starts at 0 and adds its terms in array order, exactly as a pass of its own
// would, so the results are bit-identical to one pass per sum; pow(x, k) is
// computed once per point and power and serves both sums. Large inputs share
// the powers between two threads (RunHalves), each sum staying on one thread.
void ComputePowerSums(const Point* points, int32_t count, int order, double* sum_x, double* sum_xy);

// The normal equations from the sums: a(i, j) = sum_x[i + j] in a row-major
// (order+1)^2 matrix, b(i) = sum_xy[i].
void FillNormalEquations(const double* sum_x, const double* sum_xy, int order, double* a, double* b);

}  // namespace fitcore
