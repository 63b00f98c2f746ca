// The fitted equation of the picture's key: values with their errors, R² or χ²/ndf.
#include "fit_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(ValueWithError, KeepsTwoDigitsOfTheErrorAndTheValueToTheSamePlace)
{
    const struct {
        double value, error;
        const char* expected;
    } cases[] = {
        {0.0044918, 0.0039113, "(0.0045 ± 0.0039)"},
        {1234.5678, 0.012, "(1234.568 ± 0.012)"},
        {-0.99868, 0.0018861, "(-0.9987 ± 0.0019)"},
        {0.5, 20, "(0 ± 20)"},
        // Far from 1, with a common power of ten: Unix times, tiny values.
        {1.7e9 + 0.123, 3e5, "(1.70000 ± 0.00030)e+09"},
        {123456789, 5, "(1.234567890 ± 0.000000050)e+08"},
        {3e-9, 1e-10, "(3.00 ± 0.10)e-09"},
        // No error to round to.
        {-2.5, 0, "(-2.5 ± 0)"},
        {NAN, 1, "(nan ± 1)"},
        {1, INFINITY, "(1 ± inf)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ValueWithError(c.value, c.error), c.expected) << c.value << " " << c.error;
}

TEST(EquationText, NamesEveryPowerAndTheQualityOfTheFit)
{
    fitcore::FitInference inference;
    inference.ok = true;
    for (double value : {1.0, -2.0, 3.0}) {
        fitcore::ParameterInference parameter;
        parameter.estimate = value;
        parameter.error = 0.25;
        inference.parameters.push_back(parameter);
    }
    inference.r_squared = 0.9876543;
    EXPECT_EQ(EquationText(inference), "y = (1.00 ± 0.25) + (-2.00 ± 0.25) x + (3.00 ± 0.25) x²\n    R² = 0.987654");
    inference.parameters.resize(10, inference.parameters[0]);
    EXPECT_EQ(EquationText(inference),
              "y = (1.00 ± 0.25) + (-2.00 ± 0.25) x + (3.00 ± 0.25) x²\n"
              "    + (1.00 ± 0.25) x³ + (1.00 ± 0.25) x⁴ + (1.00 ± 0.25) x⁵\n"
              "    + (1.00 ± 0.25) x⁶ + (1.00 ± 0.25) x⁷ + (1.00 ± 0.25) x⁸\n"
              "    + (1.00 ± 0.25) x⁹, R² = 0.987654");
    inference.weighted = true;
    inference.reduced_chi2 = 2.177574;
    inference.parameters.resize(2);
    EXPECT_EQ(EquationText(inference), "y = (1.00 ± 0.25) + (-2.00 ± 0.25) x, χ²/ndf = 2.178");
}

}  // namespace
