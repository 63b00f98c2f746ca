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

// Scaling x (and y) scales every printed error as the data's units do, and
// nothing else: the statistics are formed without overflow or underflow.
// The errors of the falling line are non-negative, the x intercept's too.
TEST(LineReportValues, ScaleWithTheDataAndAreNeverNegative)
{
    struct Case {
        double x_scale, y_scale;
        bool weighted;
    } cases[] = {
        {1e200, 1, false}, {1e-200, 1, false}, {1e160, 1, false}, {1, 1e300, false},
        {1e-300, 1e-300, false}, {1e200, 1e-100, true}, {1e-200, 1, true},
    };
    const std::vector<Point> base = Points({{1, -1}, {2, -2}, {3, -3.1}, {4, -3.9}, {5, -5.2}});
    auto values_of = [](std::vector<Point> points, bool weighted) {
        for (size_t i = 0; i < points.size(); ++i) points[i].sigma = 1 + static_cast<double>(i % 2);
        Line line = FitLine(points.data(), 5);
        if (!weighted) return DeriveLineReportValues(ComputeLineStatistics(points.data(), 5, line.slope, line.intercept));
        WeightPoints(points.data(), 5);
        return DeriveLineReportValues(ComputeWeightedLineStatistics(points.data(), 5, line.slope, line.intercept));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x_scale << " " << c.y_scale << (c.weighted ? " weighted" : ""));
        std::vector<Point> scaled = base;
        for (Point& point : scaled) point.x *= c.x_scale, point.y *= c.y_scale, point.sigma *= c.y_scale;
        const LineReportValues plain = values_of(base, c.weighted), got = values_of(scaled, c.weighted);
        const double expected[] = {plain.standard_deviation * c.y_scale, plain.correlation,
                                   plain.slope_error * (c.y_scale / c.x_scale), plain.intercept_error * c.y_scale,
                                   plain.x_intercept_error * c.x_scale};
        const double actual[] = {got.standard_deviation, got.correlation, got.slope_error, got.intercept_error,
                                 got.x_intercept_error};
        for (int i = 0; i < 5; ++i) {
            EXPECT_GT(actual[i], 0) << i;
            EXPECT_NEAR(actual[i], expected[i], 1e-12 * expected[i]) << i;
        }
    }
}

}  // namespace
