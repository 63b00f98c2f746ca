// stats_program_test.cpp - the statistics of the three programs end to end:
// the JSON's new numbers against published values, the weighted report and
// the table of orders byte for byte, and the refusals of --weighted.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "program_run.h"

namespace {

using Json = nlohmann::json;

RunResult RunIn(const std::string& directory, const std::string& program, const std::vector<std::string>& args,
                const std::string& input = "")
{
    return ProgramRun().In(directory).Run(program, args, input);
}

// The numbers that R's summary(lm), gnuplot's fit and statsmodels give for
// the same data.
TEST(Statistics, JsonAgreesWithPublishedValues)
{
    const std::string data = FITCORE_TEST_DATA_DIR, examples = FITCORE_EXAMPLES_DIR;
    const struct {
        std::string directory, program;
        std::vector<std::string> args;
        std::string member;  // a JSON pointer
        double expected, tolerance;
    } cases[] = {
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/residual_se", 0.00869639, 5e-9},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/ndf", 8, 0},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/slope_ci95/0", 0.995002, 5e-7},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/slope_ci95/1", 1.003834, 5e-7},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/intercept_ci95/0", -0.0084777, 5e-8},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/intercept_ci95/1", 0.0150959, 5e-8},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/slope_t", 521.92, 5e-3},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/r_squared", 0.99997063, 5e-9},
        {data, "veldafit", {"-j", "lin_sigma.pcp"}, "/correlation_slope_intercept", -0.843, 5e-4},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/slope", 0.998684, 5e-7},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/intercept", 0.00449185, 5e-9},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/slope_error", 0.001886, 5e-7},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/slope_error_absolute", 0.001278, 5e-7},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/chi2", 17.4206, 5e-5},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/ndf", 8, 0},
        {data, "sorrafit", {"-j", "-w", "lin_sigma.pcp"}, "/chi2_p", 0.02602, 5e-6},
        {data, "veldafit", {"--json", "--weighted", "lin_sigma.pcp"}, "/slope", 0.998684, 5e-7},
        {data, "cadrafit", {"-jwo", "2", "lin_sigma.pcp"}, "/ndf", 7, 0},
        {examples, "cadrafit", {"-j", "--compare=1-5", "cubic.pcp"}, "/best_bic_order", 3, 0},
        {examples, "cadrafit", {"-j", "--compare=1-5", "cubic.pcp"}, "/orders/2/bic", -71.47, 5e-3},
        {examples, "cadrafit", {"-j", "--compare=1-5", "cubic.pcp"}, "/orders/3/top_p", 0.208, 5e-4},
        {examples, "cadrafit", {"-j", "--compare=1-5", "cubic.pcp"}, "/orders/3/adjusted_r_squared", 0.999635,
         5e-7},
        {examples, "cadrafit", {"-j", "--compare", "cubic.pcp"}, "/orders/8/order", 9, 0},
        {examples, "cadrafit", {"-j", "-o", "3", "cubic.pcp"}, "/coefficient_p/3", 1.29097e-27, 5e-32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.args[0] + " " + c.member);
        RunResult run = RunIn(c.directory, c.program, c.args);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        const Json json = Json::parse(run.out);
        EXPECT_NEAR(json.at(Json::json_pointer(c.member)).get<double>(), c.expected, c.tolerance);
    }
}

// The new reports as they are meant to read; the earlier report, unchanged, heads -s.
TEST(Statistics, ReportsMatchTheExpectedOutputByteForByte)
{
    const std::string data = FITCORE_TEST_DATA_DIR, examples = FITCORE_EXAMPLES_DIR;
    const struct {
        std::string directory, program;
        std::vector<std::string> args;
        std::string expected;
        std::string starts_with;  // a kept output the run begins with
        std::string input = "";
    } cases[] = {
        {data, "sorrafit", {"-n", "-w", "-s", "lin_sigma.pcp"}, "sorrafit_weighted_lin_sigma.out", ""},
        {examples, "cadrafit", {"-n", "--compare=1-5", "cubic.pcp"}, "cadrafit_compare_cubic.out", ""},
        {data, "veldafit", {"-n", "--stats", "line_five.pcp"}, "", "veldafit_line_five.out"},
        {data, "cadrafit", {"-n", "-s", "poly_cubic.pcp"}, "", "cadrafit_cubic.out", "3\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.args.back());
        RunResult run = RunIn(c.directory, c.program, c.args, c.input);
        EXPECT_EQ(run.exit_status, 0);
        if (!c.expected.empty()) {
            EXPECT_EQ(run.out, Expected(c.expected));
        }
        if (!c.starts_with.empty()) {
            EXPECT_TRUE(run.out.starts_with(Expected(c.starts_with))) << run.out;
            EXPECT_NE(run.out.find("\nStatistics of the fit\n"), std::string::npos);
            EXPECT_NE(run.out.find("\nCorrelations of the parameters\n"), std::string::npos);
        }
    }
}

TEST(Statistics, WeightedFitsRefuseWhatTheyCannotUse)
{
    const struct {
        std::string program;
        std::vector<std::string> args;
        int status;
        std::string last_line;
    } cases[] = {
        {"veldafit", {"-n", "-w", "line_five.pcp"}, 1, "This file does not contain weighting information.\n"},
        {"cadrafit", {"-n", "-w", "-o", "2", "line_five.pcp"}, 1,
         "This file does not contain weighting information.\n"},
        {"sorrafit", {"-n", "-w", "weighted_zero_sigma.pcp"}, 1,
         "Point 2 (x=2.000000e+00, y=3.900000e+00) has sigma 0.000000e+00: a sigma must be positive and finite.\n"},
        {"cadrafit", {"-n", "-w", "--compare", "weighted_zero_sigma.pcp"}, 1,
         "Point 2 (x=2.000000e+00, y=3.900000e+00) has sigma 0.000000e+00: a sigma must be positive and finite.\n"},
        {"veldafit", {"-n", "-w", "two_points.pcp"}, 1,
         "This file does not contain weighting information.\n"},
        {"cadrafit", {"-n", "--compare", "two_points.pcp"}, 1,
         "Could not compare orders: a polynomial of order 1 needs more than 2 points.\n"},
        {"cadrafit", {"-n", "-w", "-o", "3", "line_four_sigma.pcp"}, 1,
         "Could not fit: a polynomial of order 3 needs more than 4 points.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.args.back());
        RunResult run = RunIn(FITCORE_TEST_DATA_DIR, c.program, c.args);
        EXPECT_EQ(run.exit_status, c.status);
        EXPECT_TRUE(run.out.ends_with(c.last_line)) << run.out;
    }
}

// --compare shows no plot unless --plot asks for one; the weighted line's
// fitted values are those of the weighted fit.
TEST(Statistics, CompareShowsNoPlotAndWeightedPointsCarryTheWeightedFit)
{
    ProgramRun work;
    work.Copy("poly_cubic.pcp").Copy("lin_sigma.pcp").Front(FrontEnd::Recording);
    RunResult compare = work.Run("cadrafit", {"--compare", "poly_cubic.pcp"});
    EXPECT_EQ(compare.exit_status, 0);
    EXPECT_FALSE(work.FrontEndStarted());

    RunResult weighted = work.Run("sorrafit", {"-j", "--points", "-w", "lin_sigma.pcp"});
    ASSERT_EQ(weighted.exit_status, 0);
    const Json json = Json::parse(weighted.out);
    for (const Json& point : json["points"])
        EXPECT_NEAR(point["fit"].get<double>(),
                    json["intercept"].get<double>() + json["slope"].get<double>() * point["x"].get<double>(), 1e-12);
}

}  // namespace
