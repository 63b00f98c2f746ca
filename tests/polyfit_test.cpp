// polyfit_test.cpp - normal equations, the Gauss-Jordan solver and the polynomial fit.
#include <fitcore/polyfit.h>

#include "two_halves.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace fitcore;

namespace {

std::vector<Point> Sample(const std::vector<double>& coefficients, double from, double to, int count)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        double x = from + (to - from) * i / (count - 1);
        points.push_back({x, polyfit::p(coefficients.data(), int(coefficients.size()) - 1, x), 0, 0, 0});
    }
    return points;
}

void ExpectCoefficientsNear(const Polynomial& polynomial, const std::vector<double>& expected,
                            double tolerance)
{
    ASSERT_EQ(polynomial.order, int(expected.size()) - 1);
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(polynomial.coefficients[k], expected[k], tolerance) << "c_" << k;
}

}  // namespace

TEST(PolynomialSums, PowerZeroCountsAndOddPowersKeepTheSignOfNegativeX)
{
    std::vector<Point> points = {{-2, 3, 0, 0, 0}, {0, 5, 0, 0, 0}, {3, -1, 0, 0, 0}};
    EXPECT_EQ(polyfit::sumX(points.data(), 3, 0), 3);  // pow(0, 0) is 1
    EXPECT_EQ(polyfit::sum(points.data(), 3, 0), 7);
    EXPECT_EQ(polyfit::sumX(points.data(), 3, 3), -8 + 27);
    EXPECT_EQ(polyfit::sum(points.data(), 3, 1), -6 - 3);
}

// p takes c_0 as it stands instead of pow(x, 0) * c_0: the same bits for
// every x and coefficient, the sign of a zero included.
TEST(PolynomialValue, EqualsTheSumOfPowTermsToTheBit)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> polynomials = {
        {-0.0, 0.0, -0.0}, {0.0, -0.0}, {1.5, -2, 0.25, 3}, {nan, 1}, {-inf, 0, 1}, {1e308, 1e308, 1e308}};
    for (const std::vector<double>& c : polynomials) {
        int order = int(c.size()) - 1;
        for (double x : {0.0, -0.0, 1.0, -2.5, 1e-320, 1e200, inf, -inf, nan}) {
            double expected = 0;
            for (int k = 0; k <= order; ++k) expected += std::pow(x, double(k)) * c[k];
            EXPECT_EQ(std::bit_cast<uint64_t>(polyfit::p(c.data(), order, x)), std::bit_cast<uint64_t>(expected))
                << "x " << x << " order " << order;
        }
    }
}

TEST(PolynomialSums, OnePassNormalEquationsEqualPerEntrySumsToTheBit)
{
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> xs(-7.5, 11.25), ys(-1e3, 1e3);
    std::vector<Point> points(5000);
    for (Point& point : points) point = {xs(random), ys(random), 0, 0, 0};

    for (int order = kMinPolynomialOrder; order <= kMaxPolynomialOrder; ++order) {
        const int d = order + 1;
        std::vector<double> a(d * d), b(d);
        polyfit::NormalEquations(points.data(), int32_t(points.size()), order, a.data(), b.data());
        for (int i = 0; i < d; ++i) {
            for (int j = 0; j < d; ++j)
                ASSERT_EQ(std::bit_cast<uint64_t>(a[i * d + j]),
                          std::bit_cast<uint64_t>(polyfit::sumX(points.data(), int32_t(points.size()), i + j)))
                    << "order " << order << " entry " << i << "," << j;
            ASSERT_EQ(std::bit_cast<uint64_t>(b[i]),
                      std::bit_cast<uint64_t>(polyfit::sum(points.data(), int32_t(points.size()), i)))
                << "order " << order << " rhs " << i;
        }
    }
}

TEST(GaussJordan, SolvesANonSymmetricSystem)
{
    // 2x + y - z = 8, -3x - y + 2z = -11, -2x + y + 2z = -3: x = 2, y = 3, z = -1.
    const double a[] = {2, 1, -1, -3, -1, 2, -2, 1, 2};
    const double b[] = {8, -11, -3};
    double solution[3];
    ASSERT_EQ(GaussJordan(a, b, solution, 3), 0);
    EXPECT_NEAR(solution[0], 2, 1e-12);
    EXPECT_NEAR(solution[1], 3, 1e-12);
    EXPECT_NEAR(solution[2], -1, 1e-12);
}

TEST(GaussJordan, RefusesZeroAndNonFinitePivotsAndSolutionsWithoutWriting)
{
    const double singular[] = {1, 2, 2, 4};
    const double with_nan[] = {1, 0, 0, NAN};
    const double regular[] = {1, 0, 0, 1};
    const double b[] = {1, 1}, b_inf[] = {INFINITY, 1};
    double solution[2] = {42, 42};
    EXPECT_NE(GaussJordan(singular, b, solution, 2), 0);
    EXPECT_NE(GaussJordan(with_nan, b, solution, 2), 0);
    EXPECT_NE(GaussJordan(regular, b_inf, solution, 2), 0);
    EXPECT_EQ(solution[0], 42);
    EXPECT_EQ(solution[1], 42);
}

TEST(FitPolynomial, RecoversCoefficientsOfExactData)
{
    struct Case {
        const char* name;
        std::vector<double> coefficients;
        double from, to;
        int count;
        double tolerance;
    } cases[] = {
        {"cubic over negative x", {1.5, -2, -0.5, 0.75}, -4, -0.5, 12, 1e-9},
        {"degree 5 at x = 0..20", {1, 2, -0.5, 0.1, -0.01, 0.001}, 0, 20, 21, 1e-6},
        {"degree 9 on [-1, 1]", {1, -2, 0.5, 3, -1, 0.25, 2, -0.75, 1.5, -0.5}, -1, 1, 41, 1e-8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Point> points = Sample(c.coefficients, c.from, c.to, c.count);
        Polynomial polynomial{};
        const int order = int(c.coefficients.size()) - 1;
        ASSERT_EQ(FitPolynomial(points.data(), int32_t(points.size()), order, &polynomial), 0);
        ExpectCoefficientsNear(polynomial, c.coefficients, c.tolerance);
        for (const Point& point : points) EXPECT_NEAR(point.fit, point.y, 1e-7 * (1 + std::fabs(point.y)));
        EXPECT_LT(RmsError(points.data(), int32_t(points.size())), 1e-7);
    }
}

TEST(FitPolynomial, RefusesSystemsWithTooFewDistinctX)
{
    std::vector<Point> two_x = {{1, 2, 0, 7, 0}, {3, 5, 0, 7, 0}, {1, 2.5, 0, 7, 0}, {3, 4, 0, 7, 0}};
    std::vector<Point> one_x = {{2, 1, 0, 7, 0}, {2, 2, 0, 7, 0}, {2, 3, 0, 7, 0}};
    Polynomial polynomial{};
    EXPECT_NE(FitPolynomial(nullptr, 0, 2, &polynomial), 0);
    EXPECT_NE(FitPolynomial(two_x.data(), 4, 2, &polynomial), 0);
    EXPECT_NE(FitPolynomial(one_x.data(), 3, 2, &polynomial), 0);
    for (const Point& point : two_x) EXPECT_EQ(point.fit, 7);  // left as it was
}

namespace {

// The fitted values are PolynomialAt's to the bit, centred or not, odd and
// even counts, on one thread and on two.
TEST(FitPolynomial, FittedValuesArePolynomialAtsToTheBit)
{
    std::mt19937_64 random(41);
    for (double offset : {0.0, 2000.0}) {
        for (int32_t count : {11, 12, 4001}) {
            std::vector<Point> points(static_cast<size_t>(count));
            std::uniform_real_distribution<double> spread(-1, 1);
            for (Point& point : points) point = {offset + spread(random), spread(random), 0, 0, 0};
            for (size_t threshold : {size_t{0}, fitcore::kSplitMinimumBytes}) {
                fitcore::SplitThresholdForTests split(threshold);
                fitcore::Polynomial polynomial{};
                ASSERT_EQ(fitcore::FitPolynomial(points.data(), count, 5, &polynomial), 0);
                EXPECT_EQ(polynomial.centring.IsIdentity(), offset == 0);
                for (const Point& point : points)
                    ASSERT_EQ(std::bit_cast<uint64_t>(point.fit),
                              std::bit_cast<uint64_t>(fitcore::PolynomialAt(polynomial, point.x)))
                        << "offset " << offset << ", " << count << " points, x " << point.x;
            }
        }
    }
}

}  // namespace
