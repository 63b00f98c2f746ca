// The example data files that are installed with the programs give the
// reports kept beside the tests, so what a user tries first stays right.
#include <gtest/gtest.h>

#include <string>

#include "program_run.h"

namespace {

struct Example {
    const char* program;
    const char* file;
    const char* answers;   // the order for cadrafit, then a space for the wait after the plot
    const char* expected;
};

class ExampleReport : public testing::TestWithParam<Example> {};

TEST_P(ExampleReport, MatchesTheKeptReport)
{
    const Example& example = GetParam();
    // No gnuplot front-end on PATH: the report alone.
    RunResult run = ProgramRun().In(FITCORE_EXAMPLES_DIR).Run(example.program, {example.file}, example.answers);

    std::string expected = Expected(example.expected);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    if (run.out != expected + kNoPlot) {
        EXPECT_EQ(run.out, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ExampleReport,
    testing::Values(Example{"veldafit", "calibration.pcp", " \n", "veldafit_example_calibration.out"},
                    Example{"cadrafit", "cubic.pcp", "3\n \n", "cadrafit_example_cubic.out"},
                    Example{"sorrafit", "calibration_sigma.pcp", " \n",
                            "sorrafit_example_calibration_sigma.out"},
                    // x far from zero: the least-squares cubic and line of yearly values
                    Example{"cadrafit", "years.pcp", "3\n \n", "cadrafit_example_years.out"},
                    Example{"veldafit", "years.pcp", " \n", "veldafit_example_years.out"}),
    [](const testing::TestParamInfo<Example>& info) {
        std::string file = info.param.file;
        return std::string(info.param.program) + "_" + file.substr(0, file.find('.'));
    });

}  // namespace
