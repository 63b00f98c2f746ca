// The example data files that are installed with the programs give the
// reports kept beside the tests, so what a user tries first stays right.
#include <gtest/gtest.h>

#include <string>

#include "run_program.h"
#include "temp_dir.h"

namespace {

const char kNoPlot[] = "GNUPlot failed to start.  Plotting failed.\n";

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
    TempDir no_programs;  // a PATH with no gnuplot front-end on it: the report alone
    RunOptions options;
    options.cwd = FITCORE_EXAMPLES_DIR;
    options.stdin_text = example.answers;
    options.env = {{"PATH", no_programs.path()}};
    RunResult run = RunProgram({ProgramPath(example.program), example.file}, options);

    std::string expected = ReadFile(std::string(FITCORE_EXPECTED_DIR) + "/" + example.expected);
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
