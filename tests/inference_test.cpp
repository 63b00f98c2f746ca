// inference_test.cpp - t, p, intervals, correlations, chi-square and the
// comparison of orders: against published values (R's summary(lm) and
// gnuplot's fit of the same data), and their invariance under a shift of x.
#include <fitcore/distributions.h>
#include <fitcore/inference.h>

#include <gtest/gtest.h>

#include "line_band.h"

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <tuple>
#include <string>
#include <vector>

using namespace fitcore;

namespace {

// Ten measurements with their uncertainties.
const std::vector<double> kX = {0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0, 4.5};
const std::vector<double> kY = {0.012, 0.498, 1.003, 1.497, 2.010, 2.489, 3.006, 3.502, 3.991, 4.512};
const std::vector<double> kSigma = {0.004, 0.004, 0.005, 0.005, 0.006, 0.006, 0.007, 0.007, 0.008, 0.008};

std::vector<double> Shifted(const std::vector<double>& values, double offset)
{
    std::vector<double> shifted;
    for (double value : values) shifted.push_back(value + offset);
    return shifted;
}

std::vector<double> Scaled(const std::vector<double>& values, double factor)
{
    std::vector<double> scaled;
    for (double value : values) scaled.push_back(value * factor);
    return scaled;
}

struct Reference {
    const char* what;
    std::function<double(const FitInference&)> value;
    double expected;
    double tolerance;  // absolute
};

TEST(Infer, AgreesWithPublishedValues)
{
    const FitInference plain = infer(fit_line(kX, kY));
    const FitInference weighted = infer(fit_line(kX, kY, kSigma));
    ASSERT_TRUE(plain.ok && weighted.ok);
    const struct {
        const FitInference* inference;
        Reference reference;
    } cases[] = {
        {&plain, {"ndf", [](const auto& f) { return static_cast<double>(f.ndf); }, 8, 0}},
        {&plain, {"residual_se", [](const auto& f) { return f.residual_se; }, 0.00869639, 5e-9}},
        {&plain, {"r_squared", [](const auto& f) { return f.r_squared; }, 0.99997063, 5e-9}},
        {&plain, {"slope t", [](const auto& f) { return f.parameters[1].t; }, 521.92, 5e-3}},
        {&plain, {"slope ci low", [](const auto& f) { return f.parameters[1].low; }, 0.995002, 5e-7}},
        {&plain, {"slope ci high", [](const auto& f) { return f.parameters[1].high; }, 1.003834, 5e-7}},
        {&plain, {"intercept ci low", [](const auto& f) { return f.parameters[0].low; }, -0.0084777, 5e-8}},
        {&plain, {"intercept ci high", [](const auto& f) { return f.parameters[0].high; }, 0.0150959, 5e-8}},
        {&plain, {"correlation", [](const auto& f) { return f.correlation[1]; }, -0.843, 5e-4}},
        {&plain, {"no chi2 unweighted", [](const auto& f) { return std::isnan(f.chi2) ? 1.0 : 0.0; }, 1, 0}},
        {&weighted, {"slope", [](const auto& f) { return f.parameters[1].estimate; }, 0.998684, 5e-7}},
        {&weighted, {"intercept", [](const auto& f) { return f.parameters[0].estimate; }, 0.00449185, 5e-9}},
        {&weighted, {"slope error", [](const auto& f) { return f.parameters[1].error; }, 0.001886, 5e-7}},
        {&weighted, {"slope error absolute", [](const auto& f) { return f.parameters[1].error_absolute; },
                     0.001278, 5e-7}},
        {&weighted, {"chi2", [](const auto& f) { return f.chi2; }, 17.4206, 5e-5}},
        {&weighted, {"reduced chi2", [](const auto& f) { return f.reduced_chi2; }, 17.4206 / 8, 1e-5}},
        {&weighted, {"chi2_p", [](const auto& f) { return f.chi2_p; }, 0.02602, 5e-6}},
        {&weighted, {"ndf", [](const auto& f) { return static_cast<double>(f.ndf); }, 8, 0}},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.reference.value(*c.inference), c.reference.expected, c.reference.tolerance) << c.reference.what;
}

TEST(Infer, IntervalsAndTestsFollowFromEstimateAndError)
{
    const PolynomialFit fit = fit_polynomial(kX, kY, 2);
    const FitInference inference = infer(fit, 0.9);
    ASSERT_TRUE(inference.ok);
    const double factor = student_t_interval_factor(0.9, 7);
    ASSERT_EQ(inference.parameters.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        const ParameterInference& p = inference.parameters[k];
        EXPECT_EQ(p.estimate, fit.coefficients[k]);
        EXPECT_EQ(p.error, fit.coefficient_errors[k]);  // the same bits as the fit's own
        EXPECT_DOUBLE_EQ(p.t, p.estimate / p.error);
        EXPECT_DOUBLE_EQ(p.p, student_t_two_sided_p(p.t, 7));
        EXPECT_NEAR((p.high - p.low) / 2, factor * p.error, 1e-12 * std::fabs(p.error));
        EXPECT_DOUBLE_EQ(inference.correlation[k * 3 + k], 1);
    }
    EXPECT_DOUBLE_EQ(inference.adjusted_r_squared, 1 - (1 - fit.r_squared) * 9 / 7);
}

// Sigmas right only up to a common factor: the scaled errors, t and p stay;
// the absolute errors take the factor and chi^2 its inverse square.
TEST(Infer, ScaledErrorsDoNotDependOnTheScaleOfTheSigmas)
{
    const FitInference one = infer(fit_polynomial(kX, kY, 2, kSigma));
    const FitInference ten = infer(fit_polynomial(kX, kY, 2, Scaled(kSigma, 10)));
    ASSERT_TRUE(one.ok && ten.ok);
    EXPECT_NEAR(ten.chi2, one.chi2 / 100, 1e-12 * one.chi2);
    EXPECT_NEAR(ten.chi2_p, chi_squared_upper_p(one.chi2 / 100, 7), 1e-12);
    for (size_t k = 0; k < one.parameters.size(); ++k) {
        EXPECT_NEAR(ten.parameters[k].error, one.parameters[k].error, 1e-9 * one.parameters[k].error);
        EXPECT_NEAR(ten.parameters[k].p, one.parameters[k].p, 1e-9 * one.parameters[k].p + 1e-300);
        EXPECT_NEAR(ten.parameters[k].error_absolute, 10 * one.parameters[k].error_absolute,
                    1e-9 * one.parameters[k].error_absolute);
    }
}

// Years and Unix times: moving x far from zero changes the intercept and
// its interval but nothing that describes the slope or the quality of fit.
TEST(Infer, ShiftOfXChangesNoSlopeStatistic)
{
    for (double offset : {2000.0, -1.7e9}) {
        for (bool weighted : {false, true}) {
            SCOPED_TRACE(std::to_string(offset) + (weighted ? " weighted" : ""));
            const std::vector<double> far = Shifted(kX, offset);
            const FitInference near_zero = infer(weighted ? fit_line(kX, kY, kSigma) : fit_line(kX, kY));
            const FitInference shifted = infer(weighted ? fit_line(far, kY, kSigma) : fit_line(far, kY));
            ASSERT_TRUE(shifted.ok);
            const ParameterInference &a = near_zero.parameters[1], &b = shifted.parameters[1];
            for (auto [what, x, y] : {std::tuple{"slope", a.estimate, b.estimate}, {"error", a.error, b.error},
                                      {"t", a.t, b.t}, {"low", a.low, b.low}, {"high", a.high, b.high},
                                      {"residual_se", near_zero.residual_se, shifted.residual_se},
                                      {"r_squared", near_zero.r_squared, shifted.r_squared}})
                EXPECT_NEAR(y, x, 1e-9 * std::fabs(x)) << what;
            if (weighted) {
                EXPECT_NEAR(shifted.chi2, near_zero.chi2, 1e-9 * near_zero.chi2);
            }
        }
    }
}

// y = x^3 - 2x + 1 over [-2, 2] with uniform noise of +-0.05 from a fixed
// seed: the same points on every run and every platform.
struct Cubic {
    std::vector<double> x, y;
    explicit Cubic(double offset)
    {
        std::mt19937 random(20240);
        for (int i = 0; i < 25; ++i) {
            const double t = -2 + i / 6.0, noise = (random() / 4294967296.0 - 0.5) / 10;
            x.push_back(t + offset);
            y.push_back(t * t * t - 2 * t + 1 + noise);
        }
    }
};

TEST(CompareOrders, FindsTheCubicWhereverXLies)
{
    const Cubic cubic(0);
    const OrderComparison near_zero = compare_orders(cubic.x, cubic.y, 1, 6);
    ASSERT_TRUE(near_zero.ok);
    EXPECT_EQ(near_zero.best_bic_order, 3);
    ASSERT_EQ(near_zero.rows.size(), 6u);
    EXPECT_LT(near_zero.rows[2].top_p, 1e-10);  // the cubic term is needed
    const double n = 25, rss = near_zero.rows[2].rms * near_zero.rows[2].rms * n;
    EXPECT_NEAR(near_zero.rows[2].bic, n * std::log(2 * std::numbers::pi * rss / n) + n + 4 * std::log(n), 1e-9);
    EXPECT_NEAR(near_zero.rows[2].aic - near_zero.rows[2].bic, 8 - 4 * std::log(n), 1e-9);

    // Points where they lie give the same table as columns.
    std::vector<Point> points;
    for (std::size_t i = 0; i < cubic.x.size(); ++i) points.push_back({cubic.x[i], cubic.y[i], 0, 0, 0});
    const OrderComparison of_points = compare_orders(points, 1, 6);
    ASSERT_EQ(of_points.rows.size(), near_zero.rows.size());
    for (std::size_t i = 0; i < of_points.rows.size(); ++i) EXPECT_EQ(of_points.rows[i].bic, near_zero.rows[i].bic);

    const Cubic far(1e4);
    const OrderComparison shifted = compare_orders(far.x, far.y, 1, 5);
    ASSERT_TRUE(shifted.ok);
    EXPECT_EQ(shifted.best_bic_order, 3);
    for (size_t i = 0; i < shifted.rows.size(); ++i) {
        SCOPED_TRACE(shifted.rows[i].order);
        EXPECT_NEAR(shifted.rows[i].rms, near_zero.rows[i].rms, 1e-6 * near_zero.rows[i].rms);
        EXPECT_NEAR(shifted.rows[i].bic, near_zero.rows[i].bic, 1e-6 * std::fabs(near_zero.rows[i].bic));
        EXPECT_NEAR(shifted.rows[i].top_p, near_zero.rows[i].top_p, 1e-5 * near_zero.rows[i].top_p + 1e-12);
    }
}

TEST(CompareOrders, StopsWhereThePointsRunOut)
{
    const struct {
        std::vector<double> x, y;
        int from, to;
        size_t rows;  // 0: refused
    } cases[] = {
        {{1, 2, 3, 4, 5}, {1, 4, 9, 16, 26}, 1, 9, 3},  // up to order 3, one degree of freedom left
        {{1, 2, 3, 4, 5}, {1, 4, 9, 16, 26}, 2, 2, 1},
        {{1, 2}, {1, 4}, 1, 9, 0},
        {{1, 1, 2, 2, 2}, {1, 2, 3, 4, 5}, 1, 9, 1},    // two distinct x: a line at most
        {{1, 2, 3, 4}, {1, 2, 3, 4}, 0, 3, 0},          // order 0 is refused
    };
    for (const auto& c : cases) {
        const OrderComparison comparison = compare_orders(c.x, c.y, c.from, c.to);
        EXPECT_EQ(comparison.rows.size(), c.rows) << c.x.size() << " points from " << c.from;
        EXPECT_EQ(comparison.ok, c.rows > 0);
        EXPECT_EQ(comparison.error.empty(), c.rows > 0) << comparison.error;
    }
}

TEST(Infer, AFailedFitGivesItsReason)
{
    const FitInference line = infer(fit_line(std::vector<double>{1, 2}, std::vector<double>{1, 2}));
    EXPECT_FALSE(line.ok);
    EXPECT_EQ(line.error, "a line needs at least 3 points");
    const FitInference weighted = infer(fit_polynomial(kX, kY, 2, Scaled(kSigma, 0)));
    EXPECT_FALSE(weighted.ok);
    EXPECT_NE(weighted.error.find("sigma"), std::string::npos);
}

}  // namespace

namespace {

TEST(ConfidenceBand, OfALineIsItsFormulaWhereverXLies)
{
    const struct {
        const char* what;
        double offset;
        bool weighted;
        double level;
    } cases[] = {
        {"plain", 0, false, 0.95},
        {"plain, Unix times", 1.7e9, false, 0.95},
        {"weighted", 0, true, 0.95},
        {"weighted, Unix times", 1.7e9, true, 0.95},
        {"weighted at 99 %, years", 2024, true, 0.99},
        {"plain at 68 %, far below zero", -3e7, false, 0.68},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> x = Shifted(kX, c.offset);
        const std::vector<double> at = band_abscissae(x, 7);
        const std::vector<double> no_sigma;
        const PolynomialFit fit = c.weighted ? fit_polynomial(x, kY, 1, kSigma) : fit_polynomial(x, kY, 1);
        const ConfidenceBand band = confidence_band(fit, at, c.level);
        const double t = student_t_interval_factor(c.level, 8);
        ASSERT_TRUE(band.ok) << band.error;
        ASSERT_EQ(band.x, at);
        const double y_range = 4.5;
        for (std::size_t i = 0; i < at.size(); ++i) {
            const LineBandAt expected = LineBandByFormula(x, kY, c.weighted ? kSigma : no_sigma, at[i], t);
            EXPECT_NEAR(band.low[i], expected.value - expected.half_width, 1e-9 * y_range) << at[i];
            EXPECT_NEAR(band.high[i], expected.value + expected.half_width, 1e-9 * y_range) << at[i];
            EXPECT_NEAR((band.low[i] + band.high[i]) / 2, band.fit[i], 1e-12 * y_range);
        }
    }
}

// A polynomial's band moves with its data: the same widths over x shifted far from zero.
TEST(ConfidenceBand, OfAPolynomialMovesWithItsData)
{
    const std::vector<double> y = {0.8, 1.9, 2.4, 2.7, 2.7, 2.5, 2.1, 1.6, 0.9, 0.2};
    for (int order : {2, 3}) {
        for (double offset : {2024.0, 1.7e9}) {
            SCOPED_TRACE(std::to_string(order) + " at " + std::to_string(offset));
            const std::vector<double> at = band_abscissae(kX, 5);
            const ConfidenceBand near = confidence_band(fit_polynomial(kX, y, order, kSigma), at);
            const std::vector<double> x = Shifted(kX, offset);
            const ConfidenceBand far = confidence_band(fit_polynomial(x, y, order, kSigma), Shifted(at, offset));
            ASSERT_TRUE(near.ok && far.ok);
            for (std::size_t i = 0; i < at.size(); ++i) {
                EXPECT_GT(near.high[i], near.low[i]);
                EXPECT_NEAR(far.low[i], near.low[i], 1e-9 * 2.5) << at[i];
                EXPECT_NEAR(far.high[i], near.high[i], 1e-9 * 2.5) << at[i];
            }
        }
    }
    const ConfidenceBand refused = confidence_band(fit_polynomial(kX, y, 9), kX);
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.error.empty());
}

TEST(BandAbscissae, SpanTheDataAndHoldEveryX)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::vector<double> x;
        std::size_t samples;
        std::vector<double> expected;
    } cases[] = {
        {{3, 1, 2}, 3, {1, 2, 3}},
        {{0, 0.3, 1}, 3, {0, 0.3, 0.5, 1}},
        {{5, -inf, std::nan(""), 1}, 2, {1, 5}},
        {{7, 7}, 4, {7}},
        {{std::nan("")}, 4, {}},
        {{1e9, 1e9 + 4}, 5, {1e9, 1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4}},
    };
    for (const auto& c : cases) EXPECT_EQ(band_abscissae(c.x, c.samples), c.expected);
}

}  // namespace
