// distributions_test.cpp - the t and chi-square functions against published table values.
#include <fitcore/distributions.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

struct Known {
    const char* what;
    double (*function)(double, double);
    double argument;
    double ndf;
    double expected;  // to 1e-9 relative
};

// Quantiles from the standard tables, cdfs where a closed form holds (t with
// one degree of freedom is Cauchy's; chi-square with two is exponential).
const Known kKnown[] = {
    {"t 97.5% quantile, 1 df", fitcore::student_t_quantile, 0.975, 1, 12.706204736174707},
    {"t 97.5% quantile, 8 df", fitcore::student_t_quantile, 0.975, 8, 2.3060041352041662},
    {"t 97.5% quantile, 30 df", fitcore::student_t_quantile, 0.975, 30, 2.0422724563012373},
    {"t 2.5% quantile, 8 df", fitcore::student_t_quantile, 0.025, 8, -2.3060041352041662},
    {"t 95% interval, 8 df", fitcore::student_t_interval_factor, 0.95, 8, 2.3060041352041662},
    {"t 99% interval, 1e9 df", fitcore::student_t_interval_factor, 0.99, 1e9, 2.5758293064},
    {"t cdf, Cauchy", fitcore::student_t_cdf, 1, 1, 0.75},
    {"t cdf far far right", fitcore::student_t_cdf, -1e300, 3, 0},
    {"t two-sided p at the 95% point", fitcore::student_t_two_sided_p, -2.3060041352041662, 8, 0.05},
    {"t two-sided p of zero", fitcore::student_t_two_sided_p, 0, 5, 1},
    {"chi2 cdf, exponential", fitcore::chi_squared_cdf, 2, 2, 0.63212055882855767},
    {"chi2 95% quantile, 1 df", fitcore::chi_squared_quantile, 0.95, 1, 3.8414588206941236},
    {"chi2 95% quantile, 10 df", fitcore::chi_squared_quantile, 0.95, 10, 18.307038053275146},
    {"chi2 upper p, 8 df", fitcore::chi_squared_upper_p, 15.507313055865453, 8, 0.05},
    {"chi2 upper p, tiny", fitcore::chi_squared_upper_p, 1000, 2, 7.1245764067412855e-218},
    {"chi2 upper p of zero", fitcore::chi_squared_upper_p, 0, 4, 1},
    {"chi2 upper p of infinity", fitcore::chi_squared_upper_p, INFINITY, 4, 0},
};

TEST(Distributions, MatchPublishedValues)
{
    for (const Known& known : kKnown) {
        double value = known.function(known.argument, known.ndf);
        EXPECT_NEAR(value, known.expected, 1e-9 * std::fabs(known.expected) + 1e-300) << known.what;
    }
}

TEST(Distributions, QuantilesInvertTheCdfs)
{
    for (double ndf : {0.5, 1.0, 2.0, 7.0, 123.0, 1e6})
        for (double p : {1e-12, 0.01, 0.3, 0.5, 0.9, 0.999999}) {
            EXPECT_NEAR(fitcore::student_t_cdf(fitcore::student_t_quantile(p, ndf), ndf), p, 1e-12 + 1e-9 * p)
                << "t, ndf " << ndf << " p " << p;
            EXPECT_NEAR(fitcore::chi_squared_cdf(fitcore::chi_squared_quantile(p, ndf), ndf), p, 1e-12 + 1e-9 * p)
                << "chi2, ndf " << ndf << " p " << p;
        }
}

TEST(Distributions, ArgumentsOutsideTheDomainGiveNaNNotExceptions)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double (*function)(double, double);
        double argument, ndf;
    } bad[] = {
        {fitcore::student_t_cdf, 1, 0},           {fitcore::student_t_cdf, nan, 3},
        {fitcore::student_t_quantile, 1.5, 3},    {fitcore::student_t_quantile, 0.5, -1},
        {fitcore::student_t_interval_factor, 1, 3}, {fitcore::student_t_two_sided_p, 1, nan},
        {fitcore::chi_squared_cdf, 1, 0},         {fitcore::chi_squared_upper_p, nan, 2},
        {fitcore::chi_squared_quantile, -0.1, 2}, {fitcore::chi_squared_quantile, 0.5, INFINITY - INFINITY},
    };
    for (const auto& call : bad) EXPECT_TRUE(std::isnan(call.function(call.argument, call.ndf)));
}

}  // namespace
