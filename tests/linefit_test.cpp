// The least-squares line and its statistics on data where precision and sign matter.
#include <fitcore/linefit.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace fitcore;

namespace {

std::vector<Point> Points(const std::vector<std::pair<double, double>>& xy)
{
    std::vector<Point> points;
    for (auto [x, y] : xy) points.push_back({x, y, 0, 0, 0});
    return points;
}

TEST(FitLine, StoresTheFittedValueOfEveryPoint)
{
    std::vector<Point> points = Points({{1, 2.1}, {2, 3.9}, {3, 6.2}, {4, 7.8}, {5, 10.1}});
    Line line = FitLine(points.data(), 5);
    EXPECT_NEAR(line.slope, 1.99, 1e-12);
    EXPECT_NEAR(line.intercept, 0.05, 1e-12);
    EXPECT_NEAR(points[0].fit, 2.04, 1e-12);
    EXPECT_NEAR(points[4].fit, 10.0, 1e-12);
}

TEST(FitLine, KeepsPrecisionFarFromTheOrigin)
{
    // Raw sums of x around 1e8 cancel in double arithmetic; the fit must not.
    std::vector<Point> points;
    for (int i = 0; i < 10; ++i) {
        double x = 1e8 + i;
        points.push_back({x, 3 * (x - 1e8) + 2, 0, 0, 0});
    }
    Line line = FitLine(points.data(), 10);
    EXPECT_NEAR(line.slope, 3.0, 1e-6);
    LineStatistics stats = ComputeLineStatistics(points.data(), 10, line.slope, line.intercept);
    EXPECT_NEAR(stats.x_variance, 8.25, 1e-6);
    EXPECT_NEAR(stats.xbar, 1e8 + 4.5, 1e-6);
}

TEST(ComputeLineStatistics, VariancesOfAFallingLine)
{
    std::vector<Point> points = Points({{1, -1}, {2, -2}, {3, -3.1}, {4, -3.9}});
    Line line = FitLine(points.data(), 4);
    LineStatistics stats = ComputeLineStatistics(points.data(), 4, line.slope, line.intercept);
    EXPECT_NEAR(line.slope, -0.98, 1e-12);
    EXPECT_NEAR(std::sqrt(stats.slope_variance), 4.242641e-02, 1e-8);
    EXPECT_NEAR(stats.residual_variance, 0.0045, 1e-12);
    EXPECT_NEAR(stats.y_variance, 1.205, 1e-12);
    EXPECT_NEAR(stats.x_variance, 1.25, 1e-12);
    EXPECT_NEAR(stats.intercept_variance, stats.slope_variance * 30 / 4, 1e-15);
}

TEST(ComputeLineStatistics, DegenerateDataGiveNonFiniteValuesNotCrashes)
{
    LineStatistics none = ComputeLineStatistics(nullptr, 0, NAN, NAN);
    EXPECT_TRUE(std::isnan(none.xbar));
    EXPECT_TRUE(std::isnan(none.residual_variance));

    std::vector<Point> equal_x = Points({{2, 1}, {2, 2}, {2, 3}});
    Line line = FitLine(equal_x.data(), 3);
    EXPECT_TRUE(std::isnan(line.slope));
    EXPECT_TRUE(std::isnan(equal_x[1].fit));
}

}  // namespace
