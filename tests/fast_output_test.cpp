// fast_output_test.cpp - the buffered line table and PCP writer against their printf versions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "capture_stdout.h"
#include <fitcore/linefit.h>
#include "line_report.h"
#include <fitcore/pcpfile.h>
#include <fitcore/polyfit.h>
#include "polynomial_report.h"
#include "property_count.h"
#include "reference.h"
#include "run_program.h"
#include "temp_dir.h"

using namespace fitcore;

namespace {

// Measured-looking values with every kind of special one mixed in.
double RandomValue(std::mt19937_64& random)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    switch (random() % 16) {
        case 0: {
            uint64_t bits = random();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case 1: {
            const double specials[] = {0.0, -0.0, nan, -nan, inf, -inf, 5e-324, 1e308, 999999.5, 0.0001, 1e-5};
            return specials[random() % 11];
        }
        default: return (static_cast<double>(random() % 2000000) - 1000000) * std::pow(10.0, static_cast<int>(random() % 12) - 6);
    }
}

std::vector<Point> RandomPoints(std::mt19937_64& random, size_t count)
{
    std::vector<Point> points(count);
    for (Point& point : points) point = {RandomValue(random), RandomValue(random), RandomValue(random), RandomValue(random), 0};
    return points;
}

void ExpectSameReport(const LineStatistics& stats, const std::vector<Point>& points)
{
    int32_t count = static_cast<int32_t>(points.size());
    std::string fast = CaptureStdout([&] { PrintLineReport(stats, points.data(), count); });
    std::string slow = CaptureStdout([&] { ReferencePrintLineReport(stats, points.data(), count); });
    ASSERT_EQ(fast.size(), slow.size());
    EXPECT_TRUE(fast == slow) << "first difference at byte " << std::mismatch(fast.begin(), fast.end(), slow.begin()).first - fast.begin();
}

TEST(FastOutput, LineReportMatchesPrintfOnShortAndLongTables)
{
    std::mt19937_64 random(21);
    for (size_t count : {size_t{0}, size_t{1}, size_t{5}, size_t{1000}, PropertyCount(130000)}) {
        std::vector<Point> points = RandomPoints(random, count);
        Line line = FitLine(points.data(), static_cast<int32_t>(count));
        ExpectSameReport(ComputeLineStatistics(points.data(), static_cast<int32_t>(count), line.slope, line.intercept), points);
    }
}

TEST(FastOutput, LineReportMatchesPrintfForDegenerateStatistics)
{
    std::mt19937_64 random(22);
    std::vector<Point> points = RandomPoints(random, 50);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ExpectSameReport(LineStatistics{nan, nan, 2, 3, nan, nan, nan, nan, nan}, points);
    ExpectSameReport(LineStatistics{0, 5, 2, 5, 0, 0, 0, 0.666, 0}, points);
    ExpectSameReport(LineStatistics{-0.98, 0.05, 2.5, -2.5, 0.01, 0.0018, 0.0135, 1.25, 1.2}, points);
}

// The fit and its report as cadrafit prints them, against every normal-matrix
// entry in its own pass and printf per number.
TEST(FastOutput, PolynomialFitAndReportMatchTheStraightforwardVersion)
{
    std::mt19937_64 random(25);
    std::uniform_real_distribution<double> spread(-3, 7);
    // The longest table is long enough for the sums, the fitted values and
    // the rows to be done on two threads.
    for (auto [order, size] : {std::pair{2, 2000}, std::pair{5, 2000}, std::pair{9, 2000}, std::pair{9, 150000}}) {
        std::vector<Point> points(static_cast<size_t>(size));
        for (Point& point : points) {
            point.x = spread(random);
            point.y = 1 - 0.5 * point.x + 0.02 * point.x * point.x * point.x + spread(random) * 0.01;
        }
        std::vector<Point> slow_points = points;
        int32_t count = static_cast<int32_t>(points.size());
        Polynomial fast{}, slow{};
        ASSERT_EQ(FitPolynomial(points.data(), count, order, &fast), 0);
        ASSERT_EQ(ReferenceFitPolynomial(slow_points.data(), count, order, &slow), 0);
        EXPECT_EQ(std::memcmp(fast.coefficients, slow.coefficients, sizeof fast.coefficients), 0) << "order " << order;
        std::string fast_text = CaptureStdout([&] { PrintPolynomialReport(fast, RmsError(points.data(), count), points.data(), count); });
        std::string slow_text = CaptureStdout(
            [&] { ReferencePrintPolynomialReport(slow, RmsError(slow_points.data(), count), slow_points.data(), count); });
        EXPECT_TRUE(fast_text == slow_text) << "order " << order;
        for (size_t i = 0; i < points.size(); ++i)
            ASSERT_EQ(std::memcmp(&points[i].fit, &slow_points[i].fit, sizeof(double)), 0) << "point " << i;
    }
}

// Rows of every kind of value, and an rms that makes the last column
// infinite or NaN (an exact fit), as printf writes them.
TEST(FastOutput, PolynomialReportMatchesPrintfForAnyValues)
{
    std::mt19937_64 random(26);
    Polynomial polynomial{3, {1.5, -0.0, std::numeric_limits<double>::quiet_NaN(), 1e-300}, {}, {}};
    for (size_t count : {size_t{0}, size_t{7}, PropertyCount(120000)}) {
        std::vector<Point> points = RandomPoints(random, count);
        for (double rms : {0.0, 0.25, std::numeric_limits<double>::infinity(), RandomValue(random)}) {
            int32_t n = static_cast<int32_t>(count);
            std::string fast = CaptureStdout([&] { PrintPolynomialReport(polynomial, rms, points.data(), n); });
            std::string slow = CaptureStdout([&] { ReferencePrintPolynomialReport(polynomial, rms, points.data(), n); });
            EXPECT_TRUE(fast == slow) << count << " rows, rms " << rms;
        }
    }
}

TEST(FastOutput, SavedPcpFilesMatchFprintf)
{
    std::mt19937_64 random(23);
    TempDir dir(MemoryScratchBase());
    for (size_t count : {size_t{0}, size_t{3}, size_t{777}, PropertyCount(120000)}) {
        std::vector<Point> points = RandomPoints(random, count);
        for (int32_t has_sigma : {0, 1, -4}) {
            PCPFile file{static_cast<int32_t>(count), -17, has_sigma, points.data()};
            std::string fast_path = dir.File("fast.pcp"), slow_path = dir.File("slow.pcp");
            ASSERT_EQ(SavePCPFile(fast_path.c_str(), &file), 0);
            ASSERT_EQ(ReferenceSavePCPFile(slow_path.c_str(), &file), 0);
            EXPECT_TRUE(ReadFile(fast_path) == ReadFile(slow_path)) << count << " points, has_sigma " << has_sigma;
        }
    }
}

TEST(FastOutput, SaveToAFullDiskFails)
{
    std::mt19937_64 random(24);
    std::vector<Point> points = RandomPoints(random, 200000);
    PCPFile file{200000, 0, 1, points.data()};
    std::string printed;
    int result = 0;
    printed = CaptureStdout([&] { result = SavePCPFile("/dev/full", &file); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(printed, "Can't write /dev/full completely!\n");
}

}  // namespace
