// power_sums_test.cpp - one-pass power sums against one pass per normal-matrix entry.
#include "power_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <fitcore/centring.h>
#include <fitcore/polyfit.h>

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

namespace {

// The centred normal equations the plain way: one pass, every power from
// the chain of products, every sum in array order.
void OnePassCentredEquations(const std::vector<Point>& points, int order, Centring centring, double* a, double* b)
{
    long double sum_t[2 * kMaxPolynomialOrder + 1] = {}, sum_ty[kMaxPolynomialOrder + 1] = {};
    for (const Point& point : points) {
        const long double t = (point.x - static_cast<long double>(centring.centre)) / centring.scale;
        long double power = 1;
        for (int k = 0; k <= 2 * order; ++k, power *= t) {
            sum_t[k] += power;
            if (k <= order) sum_ty[k] += power * point.y;
        }
    }
    const int d = order + 1;
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) a[i * d + j] = static_cast<double>(sum_t[i + j]);
        b[i] = static_cast<double>(sum_ty[i]);
    }
}

TEST(PowerSums, CentredSumsOnTwoThreadsAreThoseOfOnePass)
{
    std::mt19937_64 random(32);
    std::uniform_real_distribution<double> years(1990, 2020);
    std::vector<Point> points(3000);
    for (Point& point : points) point = {years(random), years(random) - 2000, 0, 0, 0};
    const Centring centring = ChooseCentring(points.data(), static_cast<int32_t>(points.size()), 9);
    ASSERT_FALSE(centring.IsIdentity());
    for (int order = 1; order <= kMaxPolynomialOrder; ++order)
        for (size_t threshold : {size_t{0}, kSplitMinimumBytes}) {
            SplitThresholdForTests split(threshold);
            const int d = order + 1;
            std::vector<double> a(d * d), b(d), centred_a(d * d, -1), centred_b(d, -1);
            OnePassCentredEquations(points, order, centring, a.data(), b.data());
            CentredNormalEquations(points.data(), static_cast<int32_t>(points.size()), order, centring,
                                   centred_a.data(), centred_b.data());
            EXPECT_EQ(std::memcmp(a.data(), centred_a.data(), a.size() * sizeof(double)), 0) << "order " << order;
            EXPECT_EQ(std::memcmp(b.data(), centred_b.data(), b.size() * sizeof(double)), 0) << "order " << order;
        }
}

}  // namespace
