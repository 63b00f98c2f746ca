// The result plot of all three programs: the command stream a front-end receives,
// the data file, the wait for a space, interrupts, and the real gnuplot.
#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gnuplot_stand_in.h"
#include "interactive_program.h"
#include "run_program.h"
#include "temp_dir.h"
#include "windows_programs.h"


namespace {

const std::string kWait = "Press space (and enter) to continue...\n";

std::string DataPath(const std::string& name) { return std::string(FITCORE_TEST_DATA_DIR) + "/" + name; }

// A working directory holding the data file and a recording stand-in for
// the front-end, which is found through PATH, which names the directory.
struct PlotDir {
    PlotDir(const std::string& data_file)
    {
        std::filesystem::copy_file(DataPath(data_file), dir.File(data_file));
        WriteRecordingStandIn(dir.path());
    }
    RunOptions Options(const std::string& input = "") const
    {
        RunOptions options;
        options.cwd = dir.path();
        options.stdin_text = input;
        options.env = {{"PATH", dir.path()}};
        return options;
    }
    std::vector<std::string> Log() const { return SplitLines(ReadFile(dir.File("log"))); }

    TempDir dir;
};

void ExpectPlotLine(const std::string& line)
{
    const std::string prefix = "plot \"./gnuplot-i-";
    const std::string suffix = "\" title \"Points\" with points";
    ASSERT_EQ(line.size(), prefix.size() + 6 + suffix.size()) << line;
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
    EXPECT_EQ(line.find_first_not_of("0123456789", prefix.size()), prefix.size() + 6) << line;
    EXPECT_EQ(line.substr(prefix.size() + 6), suffix);
}

struct PlotCase {
    const char* program;
    const char* data_file;
    const char* answers;   // the order (cadrafit) and the closing space
    const char* report;    // expected report, without the wait
    const char* curve;     // the line that follows the plot of the points
    const char* data;      // the data file as the front-end saw it
};

class ResultPlot : public testing::TestWithParam<PlotCase> {};

TEST_P(ResultPlot, SendsPointsAndCurveWaitsAndLeavesNoDataFile)
{
    const PlotCase& c = GetParam();
    PlotDir plot(c.data_file);
    RunResult run = RunProgram({ProgramPath(c.program), c.data_file}, plot.Options(c.answers));
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string report = ReadFile(std::string(FITCORE_EXPECTED_DIR) + "/" + c.report);
    EXPECT_EQ(run.out, report + kWait);

    std::vector<std::string> log = plot.Log();
    ASSERT_EQ(log.size(), 6u) << ReadFile(plot.dir.File("log"));
    EXPECT_EQ(log[0], "set terminal windows");
    EXPECT_EQ(log[1], "set xlabel \"x\"");
    EXPECT_EQ(log[2], "set ylabel \"y\"");
    ExpectPlotLine(log[3]);
    EXPECT_EQ(log[4], c.curve);
    EXPECT_EQ(log[5], "");  // the curve command's own line end, then gnuplot_cmd's
    EXPECT_EQ(ReadFile(plot.dir.File("data.1")), c.data);
    EXPECT_TRUE(DataFilesIn(plot.dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ResultPlot,
    testing::Values(
        PlotCase{"veldafit", "line_five.pcp", " \n", "veldafit_line_five.out",
                 "replot 1.99*x+0.049999999999999954 title 'Linear fit' with lines",
                 "1 2.1\n2 3.9\n3 6.2\n4 7.8\n5 10.1\n"},
        // A negative intercept follows the plus sign with its own minus sign;
        // every number carries all the digits of its double.
        PlotCase{"veldafit", "line_falling.pcp", " ", "veldafit_line_falling.out",
                 "replot -0.98*x+-0.050000000000000044 title 'Linear fit' with lines",
                 "1 -1\n2 -2\n3 -3.1\n4 -3.9\n"},
        // Only x and y reach the data file, never sigma.
        PlotCase{"sorrafit", "line_four_sigma.pcp", " \n", "sorrafit_four.out",
                 "replot 2*x+1.0499999999999998 title 'Linear fit' with lines",
                 "-1 -1\n0 1.2\n1 2.9\n2 5.1\n"},
        // Order 2 is three terms, for the powers 0, 1 and 2.
        PlotCase{"cadrafit", "poly_parabola.pcp", "2\n \n", "cadrafit_parabola.out",
                 "replot +(-1)*(x**0)+(1)*(x**1)+(2)*(x**2) title 'Polynomial fit' with lines",
                 "1 2\n2 9\n3 20\n"}),
    [](const testing::TestParamInfo<PlotCase>& info) {
        std::string name = std::string(info.param.program) + "_" + info.param.data_file;
        return name.substr(0, name.find('.'));
    });

TEST(ResultPlotWait, OnlyASpaceEndsIt)
{
    PlotDir plot("line_five.pcp");
    InteractiveProgram veldafit({ProgramPath("veldafit"), "line_five.pcp"}, plot.Options());
    ASSERT_TRUE(veldafit.WaitForOutput(kWait));
    veldafit.Type("abc\n");
    EXPECT_FALSE(veldafit.HasEnded(400)) << "a line without a space ended the wait";
    veldafit.Type("ab cd\n");
    EXPECT_TRUE(veldafit.HasEnded(20000));
    EXPECT_EQ(veldafit.Finish().exit_status, 0);
    EXPECT_TRUE(DataFilesIn(plot.dir.path()).empty());
}

// What follows an answer on its line, a blank included, is discarded before
// the plot: only a space typed after the prompt ends the wait.
TEST(ResultPlotWait, TheRestOfAnAnswersLineDoesNotEndIt)
{
    struct Case {
        const char* program;
        std::vector<std::string> args;
        const char* answers;
    } cases[] = {
        {"cadrafit", {"poly_parabola.pcp"}, "2\n"},
        {"cadrafit", {"poly_parabola.pcp"}, "2 \n"},
        {"cadrafit", {}, "poly_parabola.pcp 2 \n"},
        {"cadrafit", {}, "poly_parabola.pcp \n 2  \n"},
        {"veldafit", {}, "poly_parabola.pcp \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.answers);
        PlotDir plot("poly_parabola.pcp");
        std::vector<std::string> argv = {ProgramPath(c.program)};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        InteractiveProgram program(argv, plot.Options());
        program.Type(c.answers);
        ASSERT_TRUE(program.WaitForOutput(kWait));
        EXPECT_FALSE(program.HasEnded(400)) << "the answer's line ended the wait";
        program.Type(" ");
        EXPECT_TRUE(program.HasEnded(20000));
        EXPECT_EQ(program.Finish().exit_status, 0);
    }
}

TEST(ResultPlotWait, EndOfInputEndsItAndClosesTheConnection)
{
    for (const char* input : {"", "no space at all\n"}) {
        PlotDir plot("line_five.pcp");
        RunResult run = RunProgram({ProgramPath("veldafit"), "line_five.pcp"}, plot.Options(input));
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_TRUE(run.out.ends_with(kWait));
        EXPECT_EQ(plot.Log().size(), 6u);
        EXPECT_TRUE(DataFilesIn(plot.dir.path()).empty());
    }
}

TEST(ResultPlotInterrupt, NoDataFileIsLeftBehind)
{
    SKIP_UNDER_WINE("POSIX signals");
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        PlotDir plot("line_five.pcp");
        InteractiveProgram veldafit({ProgramPath("veldafit"), "line_five.pcp"}, plot.Options());
        ASSERT_TRUE(veldafit.WaitForOutput(kWait));
        EXPECT_EQ(DataFilesIn(plot.dir.path()).size(), 1u);
        veldafit.Signal(signal);
        ASSERT_TRUE(veldafit.HasEnded(20000));
        EXPECT_EQ(veldafit.Finish().signal, signal);
        EXPECT_TRUE(DataFilesIn(plot.dir.path()).empty()) << "after signal " << signal;
    }
}

TEST(ResultPlotFailures, AFrontEndThatVanishesDoesNotStopTheProgram)
{
    TempDir dir;
    std::filesystem::copy_file(DataPath("line_five.pcp"), dir.File("line_five.pcp"));
    WriteVanishingStandIn(dir.path());
    RunOptions options;
    options.cwd = dir.path();
    options.stdin_text = " \n";
    options.env = {{"PATH", dir.path()}};
    RunResult run = RunProgram({ProgramPath("veldafit"), "line_five.pcp"}, options);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, ReadFile(std::string(FITCORE_EXPECTED_DIR) + "/veldafit_line_five.out") + kWait);
    EXPECT_TRUE(DataFilesIn(dir.path()).empty());
}

TEST(ResultPlotFailures, NoFrontEndStillGivesTheWholeReport)
{
    for (const char* program : {"veldafit", "sorrafit"}) {
        RunOptions options;
        options.cwd = FITCORE_TEST_DATA_DIR;
        options.env = {{"PATH", "/nonexistent"}};
        RunResult run = RunProgram({ProgramPath(program), "line_four_sigma.pcp"}, options);
        EXPECT_EQ(run.exit_status, 0) << program;
        EXPECT_EQ(run.err, "cannot find gnuplot in your PATH") << program;
        EXPECT_NE(run.out.find("Linear fit\n"), std::string::npos) << program;
        EXPECT_TRUE(run.out.ends_with("\nGNUPlot failed to start.  Plotting failed.\n")) << run.out;
    }
}

// A run of veldafit on line_five.pcp in `dir` with the real front-end and
// gnuplot, no display, a console of 100 by 30 where one is asked for, and a space typed.
RunOptions RealGnuplotRun(const TempDir& dir)
{
    std::filesystem::copy_file(DataPath("line_five.pcp"), dir.File("line_five.pcp"));
    RunOptions options;
    options.cwd = dir.path();
    options.stdin_text = " \n";
    options.env = {{"PATH", std::string(FITCORE_BIN_DIR) + ":/usr/bin:/bin"},
                   {"DISPLAY", std::nullopt},
                   {"FITCORE_GNUPLOT_TERMINAL", std::nullopt},
                   {"COLUMNS", "100"},
                   {"LINES", "30"}};
    return options;
}

TEST(ResultPlotRealGnuplot, DrawsOnAConsoleWithoutDisplay)
{
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!std::filesystem::exists("/usr/bin/gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    TempDir dir;
    RunOptions options = RealGnuplotRun(dir);
    RunResult run = RunProgram({ProgramPath("veldafit"), "line_five.pcp"}, options);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_TRUE(run.out.ends_with(kWait));
    // Without a controlling terminal the text drawing arrives on standard error.
    EXPECT_NE(run.err.find("Points"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Linear fit"), std::string::npos) << run.err;
    EXPECT_TRUE(DataFilesIn(dir.path()).empty());
}

TEST(ResultPlotRealGnuplot, OnAConsoleThePromptFollowsTheFinishedDrawing)
{
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!std::filesystem::exists("/usr/bin/gnuplot") || !std::filesystem::exists("/usr/bin/script"))
        GTEST_SKIP() << "gnuplot or script is not installed";
    TempDir dir;
    RunOptions options = RealGnuplotRun(dir);
    // script gives the program a console of its own, where gnuplot draws too.
    RunResult run = RunProgram(
        {"/usr/bin/script", "-qec", ProgramPath("veldafit") + " line_five.pcp", "/dev/null"}, options);
    EXPECT_EQ(run.exit_status, 0);
    size_t legend = run.out.rfind("Linear fit");  // in the last drawing, after the report's heading
    size_t prompt = run.out.find("Press space (and enter) to continue...");
    ASSERT_NE(prompt, std::string::npos) << run.out;
    EXPECT_GT(legend, run.out.find("Err/sd")) << run.out;
    EXPECT_LT(legend, prompt) << run.out;
    EXPECT_TRUE(DataFilesIn(dir.path()).empty());
}

}  // namespace
