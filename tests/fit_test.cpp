// fit_test.cpp - the library's least-squares lines and polynomials against
// exact references: data built to have a known fit, and rational arithmetic.
#include <fitcore/fit.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "exact_data.h"

using namespace fitcore;

namespace {

struct Columns {
    std::vector<double> x, y, sigma;
};

Columns ColumnsOf(const std::vector<Point>& points)
{
    Columns columns;
    for (const Point& point : points) {
        columns.x.push_back(point.x);
        columns.y.push_back(point.y);
        columns.sigma.push_back(point.sigma);
    }
    return columns;
}

void ExpectRelative(double actual, double expected, double tolerance, const char* what)
{
    EXPECT_NEAR(actual, expected, tolerance * std::fabs(expected)) << what;
}

// The line and its errors by the closed forms, in long double, about the
// (weighted) means: an independent computation of what fit_line gives.
fitcore::LineFit ClosedFormLine(const Columns& c, bool weighted)
{
    const size_t n = c.x.size();
    long double sw = 0, swx = 0, swy = 0;
    auto w = [&](size_t i) { return weighted ? 1 / (static_cast<long double>(c.sigma[i]) * c.sigma[i]) : 1.0L; };
    for (size_t i = 0; i < n; ++i) sw += w(i), swx += w(i) * c.x[i], swy += w(i) * c.y[i];
    const long double xm = swx / sw, ym = swy / sw;
    long double sxx = 0, sxy = 0, syy = 0;
    for (size_t i = 0; i < n; ++i) {
        sxx += w(i) * (c.x[i] - xm) * (c.x[i] - xm);
        sxy += w(i) * (c.x[i] - xm) * (c.y[i] - ym);
        syy += w(i) * (c.y[i] - ym) * (c.y[i] - ym);
    }
    const long double b = sxy / sxx, a = ym - b * xm;
    long double ssr = 0;
    for (size_t i = 0; i < n; ++i) ssr += w(i) * (c.y[i] - a - b * c.x[i]) * (c.y[i] - a - b * c.x[i]);
    const long double scale = weighted ? 1 : ssr / (n - 2);
    fitcore::LineFit fit;
    fit.slope = static_cast<double>(b);
    fit.intercept = static_cast<double>(a);
    fit.slope_error = static_cast<double>(std::sqrt(scale / sxx));
    fit.intercept_error = static_cast<double>(std::sqrt(scale * (1 / sw + xm * xm / sxx)));
    fit.covariance = static_cast<double>(-xm * scale / sxx);
    fit.residual_sd = static_cast<double>(std::sqrt(ssr / (n - 2)));
    fit.r_squared = static_cast<double>(1 - ssr / syy);
    return fit;
}

void ExpectSameLine(const fitcore::LineFit& got, const fitcore::LineFit& expected, double tolerance)
{
    ASSERT_TRUE(got.ok) << got.error;
    ExpectRelative(got.slope, expected.slope, tolerance, "slope");
    ExpectRelative(got.intercept, expected.intercept, tolerance, "intercept");
    ExpectRelative(got.slope_error, expected.slope_error, tolerance, "slope error");
    ExpectRelative(got.intercept_error, expected.intercept_error, tolerance, "intercept error");
    ExpectRelative(got.covariance, expected.covariance, tolerance, "covariance");
    ExpectRelative(got.residual_sd, expected.residual_sd, tolerance, "residual sd");
    ExpectRelative(got.r_squared, expected.r_squared, tolerance, "r squared");
}

TEST(LineFit, UnweightedAndWeightedAgainstTheClosedForms)
{
    for (double offset : {0.0, 1.7e9}) {
        SCOPED_TRACE(offset);
        const Columns data = ColumnsOf(ExactData(offset, {7, 2.5 + std::ldexp(1, -30)}, 1, 12));
        fitcore::LineFit plain = fitcore::fit_line(data.x, data.y);
        EXPECT_EQ(plain.count, 31u);
        // The residual is orthogonal to the line, so the fit is the line itself.
        EXPECT_NEAR(plain.slope, 2.5 + std::ldexp(1, -30), 1e-15);
        EXPECT_NEAR(plain.intercept + plain.slope * offset, 7, 1e-6);
        ExpectSameLine(plain, ClosedFormLine(data, false), offset == 0 ? 1e-13 : 1e-7);
        if (offset == 0) ExpectSameLine(fitcore::fit_line(data.x, data.y, data.sigma), ClosedFormLine(data, true), 1e-13);
    }
}

// Least-squares fits of examples/years.pcp worked out in rational arithmetic.
struct YearlyReference {
    int order;
    std::vector<double> coefficients, errors;
    double residual_sd, r_squared;
};

const YearlyReference kYearly[] = {
    {3,
     {740290.78331631108, -1104.6489310315085, 0.54942312611160349, -9.1084568117873096e-05},
     {869325.57813750103, 1300.7620450298671, 0.64876521419942423, 0.00010785779975006403},
     0.33563206694132741, 0.57039466119080939},
    {9,
     {-2.2483102310752e+20, 1.008512393669996e+18, -2010583330347647.2, 2338180651909.6445, -1748021919.9750712,
      871209.8567272384, -289.4714792493055, 0.061830336145658096, -7.7039345046238515e-06, 4.2661821231541746e-10},
     {2.882289322784518e+20, 1.2938293093305513e+18, 2581264237795441.5, 3004023483150.0781, 2247435524.5400419,
      1120929.9824175646, 372.71515889568821, 0.079668875363496608, 9.9338064962579854e-06, 5.5050183733519293e-10},
     0.32825972103464557, 0.68038033086688743},
};

TEST(PolynomialFit, YearlyCubicAndOrderNineAgainstRationalArithmetic)
{
    std::vector<double> x, y;
    for (int year = 1990; year <= 2020; ++year) x.push_back(year);
    y = {8.64, 8.99, 9.20, 9.12, 8.46, 8.37, 9.02, 9.27, 9.33, 8.67, 8.58, 8.97, 8.91, 9.39, 8.88, 8.88,
         8.85, 9.19, 9.17, 8.89, 9.21, 9.66, 10.06, 9.45, 9.34, 9.57, 9.83, 10.55, 9.86, 9.70, 9.50};
    for (const YearlyReference& reference : kYearly) {
        SCOPED_TRACE(reference.order);
        fitcore::PolynomialFit fit = fitcore::fit_polynomial(x, y, reference.order);
        ASSERT_TRUE(fit.ok) << fit.error;
        ASSERT_EQ(fit.coefficients.size(), reference.coefficients.size());
        for (size_t k = 0; k < fit.coefficients.size(); ++k) {
            ExpectRelative(fit.coefficients[k], reference.coefficients[k], 1e-9, "coefficient");
            ExpectRelative(fit.coefficient_errors[k], reference.errors[k], 1e-9, "error");
        }
        ExpectRelative(fit.residual_sd, reference.residual_sd, 1e-12, "residual sd");
        ExpectRelative(fit.r_squared, reference.r_squared, 1e-12, "r squared");
    }
}

// With one sigma for every point the weighted fit is the unweighted one, and
// its errors are those of sigma instead of the scatter: a factor sigma / s.
TEST(PolynomialFit, EqualSigmasGiveTheUnweightedFitWithTheirOwnErrors)
{
    const Columns data = ColumnsOf(ExactData(2005, {9.25, 0.5, -0.125, 0.0078125}, 3, 40));
    const std::vector<double> sigma(data.x.size(), 0.25);
    fitcore::PolynomialFit plain = fitcore::fit_polynomial(data.x, data.y, 3);
    fitcore::PolynomialFit weighted = fitcore::fit_polynomial(data.x, data.y, 3, sigma);
    ASSERT_TRUE(plain.ok && weighted.ok);
    for (size_t k = 0; k < 4; ++k) {
        ExpectRelative(weighted.coefficients[k], plain.coefficients[k], 1e-12, "coefficient");
        ExpectRelative(weighted.coefficient_errors[k], plain.coefficient_errors[k] * 0.25 / plain.residual_sd, 1e-9,
                       "error");
    }
    ExpectRelative(weighted.residual_sd, plain.residual_sd / 0.25, 1e-12, "residual sd");
}

std::vector<double> Steps(size_t count, double step)
{
    std::vector<double> values;
    for (size_t i = 0; i < count; ++i) values.push_back(static_cast<double>(i) * step);
    return values;
}

TEST(LineAndPolynomialFit, DataThatCannotBeFittedIsRefusedWithAReason)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> three = {1, 2, 3}, four = {1, 2, 3, 4};
    const std::vector<double> many = Steps(100002, 1), thousand = Steps(1000, 1);
    struct Case {
        std::vector<double> x, y, sigma;
        int order;  // 1: fit_line
        const char* error;
    } cases[] = {
        {three, four, {}, 1, "x and y differ in length"},
        {{1, 2}, {1, 2}, {}, 1, "a line needs at least 3 points"},
        {three, {1, nan, 3}, {}, 1, "point 2 is not finite"},
        {{2, 2, 2}, three, {}, 1, "all x values are equal"},
        {three, three, {1, 0, 1}, 1, "the sigma of point 2 is not positive and finite"},
        {three, three, {1, 1}, 1, "sigma and y differ in length"},
        {four, four, {}, 3, "a polynomial of order 3 needs more than 4 points"},
        {{1, 1, 2, 2, 3}, {1, 2, 3, 4, 5}, {}, 3, "fewer distinct x values than the 4 coefficients"},
        {four, four, {}, 0, "the order must be at least 1"},
        // Refused at once, without a matrix of 10^10 cells.
        {many, many, {}, 100000, "the order must be at most 100"},
        {thousand, thousand, {}, 50, "numerically singular at order 50"},
        // A slope beyond the largest double.
        {{0, 1e-300, 2e-300}, {0, 1e300, 2e300}, {}, 1, "the result is out of range"},
        {{1, 2, 3, 4}, {-1.7e308, 1.7e308, -1.7e308, 1.7e308}, {}, 1, "the result is out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        std::string error;
        if (c.order == 1) {
            fitcore::LineFit fit = c.sigma.empty() ? fitcore::fit_line(c.x, c.y) : fitcore::fit_line(c.x, c.y, c.sigma);
            EXPECT_FALSE(fit.ok);
            error = fit.error;
        } else {
            fitcore::PolynomialFit fit = fitcore::fit_polynomial(c.x, c.y, c.order);
            EXPECT_FALSE(fit.ok);
            EXPECT_TRUE(fit.coefficients.empty());
            error = fit.error;
        }
        EXPECT_EQ(error, c.error);
    }
}

// Rank is a matter of the powers of x, not of how far apart the weights lie
// or how large the numbers are.
TEST(LineAndPolynomialFit, FitsWhatIsSolvableWhateverTheWeightsAndUnits)
{
    struct Case {
        const char* name;
        double x_scale, pinned_sigma;
        int order;
        double offset;
    } cases[] = {
        {"line pinned to its first point", 1, 1e-13, 1, 0},
        {"cubic pinned to its first point", 1, 1e-13, 3, 0},
        {"x of order 1e200", 1e200, 1, 1, 0},
        {"x of order 1e-200", 1e-200, 1, 1, 0},
        {"cubic in years", 1, 1, 3, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Columns data = ColumnsOf(ExactData(c.offset, {1.5, -0.25, 0.125, 0.0625}, c.order, 12));
        for (double& x : data.x) x *= c.x_scale;
        std::fill(data.sigma.begin(), data.sigma.end(), 1.0);
        data.sigma[0] = c.pinned_sigma;
        fitcore::PolynomialFit fit = fitcore::fit_polynomial(data.x, data.y, c.order, data.sigma);
        ASSERT_TRUE(fit.ok) << fit.error;
        for (double value : fit.coefficient_errors) EXPECT_TRUE(std::isfinite(value) && value >= 0);
        std::vector<Point> points;  // the same fit read from points in place
        for (size_t i = 0; i < data.x.size(); ++i) points.push_back({data.x[i], data.y[i], data.sigma[i], 0, 0});
        EXPECT_EQ(fitcore::fit_polynomial(points, c.order, true).coefficients, fit.coefficients);
        if (c.order == 1)
            ExpectSameLine(fitcore::fit_line(data.x, data.y, data.sigma), ClosedFormLine(data, true), 1e-9);
    }
}

TEST(LineAndPolynomialFit, ConstantYIsFittedExactlyWithRSquaredOne)
{
    const std::vector<double> x = {1, 2, 3, 4, 5}, y(5, 0.1);
    fitcore::LineFit line = fitcore::fit_line(x, y);
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_EQ(line.r_squared, 1);
    std::vector<Point> points;
    for (size_t i = 0; i < x.size(); ++i) points.push_back({x[i], y[i], 0, 0, 0});
    fitcore::PolynomialFit cubic = fitcore::fit_polynomial(points, 3);
    ASSERT_TRUE(cubic.ok) << cubic.error;
    EXPECT_EQ(cubic.r_squared, 1);
    EXPECT_NEAR(cubic.coefficients[0], 0.1, 1e-15);
}

}  // namespace
