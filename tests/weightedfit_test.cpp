// weightedfit_test.cpp - the sigma weights and the weighted line statistics.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <fitcore/linefit.h>

using namespace fitcore;

namespace {

// Five points with sigmas of 0.1 and 0.2, some negative; `sign` flips three of them.
std::vector<Point> FivePoints(double sign = 1)
{
    return {{1, 2.1, 0.1 * sign, 0, 0}, {2, 3.9, -0.2, 0, 0}, {3, 6.2, 0.1, 0, 0},
            {4, 7.8, 0.2 * sign, 0, 0}, {5, 10.1, -0.1 * sign, 0, 0}};
}

LineStatistics WeightedStatistics(std::vector<Point>& points)
{
    Line line = FitLine(points.data(), int32_t(points.size()));
    WeightPoints(points.data(), int32_t(points.size()));
    return ComputeWeightedLineStatistics(points.data(), int32_t(points.size()), line.slope,
                                         line.intercept);
}

}  // namespace

TEST(WeightPoints, NormalisesInverseSquaredSigmasWhateverTheirSign)
{
    for (double sign : {1.0, -1.0}) {
        std::vector<Point> points = FivePoints(sign);
        WeightPoints(points.data(), 5);
        const double expected[] = {2.0 / 7, 1.0 / 14, 2.0 / 7, 1.0 / 14, 2.0 / 7};
        for (int i = 0; i < 5; ++i) EXPECT_NEAR(points[i].weight, expected[i], 1e-15) << i;
    }
}

TEST(WeightPoints, ZeroSigmaGivesNaNForItsPointAndZeroElsewhere)
{
    std::vector<Point> points = FivePoints();
    points[1].sigma = 0;
    LineStatistics stats = WeightedStatistics(points);
    EXPECT_TRUE(std::isnan(points[1].weight));
    for (int i : {0, 2, 3, 4}) EXPECT_EQ(points[i].weight, 0) << i;
    EXPECT_NEAR(stats.slope, 1.99, 1e-12);  // the line itself is unweighted
    EXPECT_TRUE(std::isnan(stats.residual_variance));
    EXPECT_TRUE(std::isnan(stats.slope_variance));
    EXPECT_TRUE(std::isnan(stats.intercept_variance));
}

TEST(WeightedLineStatistics, MatchesHandComputedWeightedSpread)
{
    // Weighted mean of x 3, weighted spread 17/7, so D = 85/7; E = 0.0175.
    std::vector<Point> points = FivePoints();
    LineStatistics stats = WeightedStatistics(points);
    EXPECT_NEAR(stats.residual_variance, 0.0175 / 5, 1e-15);
    EXPECT_NEAR(stats.slope_variance, 0.0175 / (85.0 / 7 * 3), 1e-15);
    EXPECT_NEAR(stats.intercept_variance, stats.slope_variance * 55 / 5, 1e-15);
    EXPECT_NEAR(stats.x_variance, 2, 1e-15);  // unweighted
}

TEST(WeightedLineStatistics, SpreadOfXIsPositiveAndUnmovedByShiftingX)
{
    std::vector<Point> near = FivePoints(), far = FivePoints();
    for (Point& point : far) point.x += 1000;
    LineStatistics at_origin = WeightedStatistics(near), shifted = WeightedStatistics(far);
    EXPECT_GT(shifted.slope_variance, 0);
    EXPECT_NEAR(shifted.slope_variance, at_origin.slope_variance, 1e-9 * at_origin.slope_variance);
}

TEST(WeightedLineStatistics, EqualSigmasDivideTheUnweightedVariancesByN)
{
    std::vector<Point> points = {{-1, -1, 0.3, 0, 0}, {0, 1.2, 0.3, 0, 0}, {1, 2.9, 0.3, 0, 0},
                                 {2, 5.1, 0.3, 0, 0}, {4, 8.7, 0.3, 0, 0}};
    const int32_t n = int32_t(points.size());
    LineStatistics weighted = WeightedStatistics(points);
    LineStatistics plain = ComputeLineStatistics(points.data(), n, weighted.slope, weighted.intercept);
    EXPECT_NEAR(weighted.residual_variance * n, plain.residual_variance, 1e-14);
    EXPECT_NEAR(weighted.slope_variance * n, plain.slope_variance, 1e-14);
    EXPECT_NEAR(weighted.intercept_variance * n, plain.intercept_variance, 1e-14);
    EXPECT_EQ(weighted.xbar, plain.xbar);
    EXPECT_EQ(weighted.y_variance, plain.y_variance);
}
