// weightedfit.h - error statistics of the least-squares line weighted by each point's sigma.
#pragma once

#include <cstdint>

#include "linefit.h"
#include <fitcore/point.h>

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
