// power_sums_test.cpp - one-pass power sums against one pass per normal-matrix entry.
#include "power_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "reference.h"
#include "two_halves.h"

using namespace fitcore;

namespace {

void ExpectBitIdenticalNormalEquations(const std::vector<Point>& points, int order, size_t split_bytes)
{
    SplitThresholdForTests split(split_bytes);
    const int d = order + 1;
    std::vector<double> a(d * d), b(d), fast_a(d * d, -1), fast_b(d, -1);
    double sum_x[2 * kMaxPowerSumOrder + 1], sum_xy[kMaxPowerSumOrder + 1];
    int32_t count = static_cast<int32_t>(points.size());
    ReferenceNormalEquations(points.data(), count, order, a.data(), b.data());
    ComputePowerSums(points.data(), count, order, sum_x, sum_xy);
    FillNormalEquations(sum_x, sum_xy, order, fast_a.data(), fast_b.data());
    EXPECT_EQ(std::memcmp(a.data(), fast_a.data(), a.size() * sizeof(double)), 0) << "order " << order;
    EXPECT_EQ(std::memcmp(b.data(), fast_b.data(), b.size() * sizeof(double)), 0) << "order " << order;
}

TEST(PowerSums, BitIdenticalToOnePassPerEntryOnOneAndTwoThreads)
{
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> spread(-50, 50);
    std::vector<Point> points(3000);
    for (Point& point : points) point = {spread(random), spread(random), 0, 0, 0};
    for (int order = 0; order <= kMaxPowerSumOrder; ++order)
        for (size_t threshold : {size_t{0}, kSplitMinimumBytes})
            ExpectBitIdenticalNormalEquations(points, order, threshold);
}

// Zero, negative x with odd powers, NaN and infinities: pow's own rules,
// including pow(NaN, 0) = 1.
TEST(PowerSums, SpecialValuesFollowPow)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<Point> points = {{0, 1, 0, 0, 0}, {-2, 3, 0, 0, 0}, {nan, 1, 0, 0, 0}, {-inf, 2, 0, 0, 0}, {1e-200, -1, 0, 0, 0}};
    for (size_t threshold : {size_t{0}, kSplitMinimumBytes}) ExpectBitIdenticalNormalEquations(points, 9, threshold);
    ExpectBitIdenticalNormalEquations({}, 3, 0);
}

}  // namespace
