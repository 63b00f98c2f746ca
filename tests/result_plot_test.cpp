// The result plot of all three programs: the command stream a front-end receives,
// the data file, the wait for a space, interrupts, and the real gnuplot.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "line_band.h"
#include "program_run.h"
#include "windows_programs.h"


namespace {

// A working directory holding the data file, with a recording stand-in for
// the front-end on PATH.
struct PlotDir : ProgramRun {
    explicit PlotDir(const std::string& data_file) { Copy(data_file).Front(FrontEnd::Recording); }
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
    RunResult run = plot.Run(c.program, {c.data_file}, c.answers);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Expected(c.report) + kWait);

    std::vector<std::string> log = plot.Log();
    ASSERT_EQ(log.size(), 6u) << ReadFile(plot.FrontEndFile("log"));
    EXPECT_EQ(log[0], "set terminal windows");
    EXPECT_EQ(log[1], "set xlabel \"x\"");
    EXPECT_EQ(log[2], "set ylabel \"y\"");
    ExpectPlotLine(log[3]);
    EXPECT_EQ(log[4], c.curve);
    EXPECT_EQ(log[5], "");  // the curve command's own line end, then gnuplot_cmd's
    EXPECT_EQ(ReadFile(plot.FrontEndFile("data.1")), c.data);
    EXPECT_TRUE(plot.DataFiles().empty());
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

// A recorded line with each data file name replaced by "FILE".
std::string WithoutFileNames(std::string line)
{
    const std::string prefix = "./gnuplot-i-";
    for (size_t at = line.find(prefix); at != std::string::npos; at = line.find(prefix, at + 1))
        line.replace(at, prefix.size() + 6, "FILE");
    return line;
}

struct PictureCase {
    std::vector<std::string> args;
    std::vector<std::string> stream;  // after "set terminal windows", file names as FILE
    std::vector<std::string> data;    // the data files in the order named
};

// The options of the picture: what reaches gnuplot and the data files it
// reads. sorrafit on line_four_sigma.pcp, whose line is 2*x+1.05.
TEST(ResultPicture, SendsWhatTheOptionsAskFor)
{
    const std::string curve = "2*x+1.0499999999999998 title 'Linear fit' noenhanced with lines";
    const std::string points = "\"FILE\" title 'Points' noenhanced with ";
    const std::string bars = "-1 -1 1\n0 1.2 1\n1 2.9 1\n2 5.1 1\n";
    const std::vector<std::string> panels = {"set multiplot", "set lmargin 12", "set rmargin 4",
                                             "set origin 0,0.33", "set size 1,0.67"};
    auto joined = [](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const PictureCase cases[] = {
        {{"--errorbars"},
         {"set encoding utf8", "set autoscale xfix", "set offsets graph 0.02, graph 0.02, 0, 0", "set xlabel 'x' noenhanced", "set ylabel 'y' noenhanced",
          "plot " + points + "yerrorbars, " + curve},
         {bars}},
        // Texts as written, on one line each; log axes for the picture only.
        {{"--title=it's \"a\" \\n\nχ²", "--xlabel=time (s)", "--ylabel=voltage (V)", "--logx", "--logy"},
         {"set encoding utf8", "set autoscale xfix", "set offsets graph 0.02, graph 0.02, 0, 0", "set title 'it''s \"a\" \\n'.\"\\n\".'χ²' noenhanced",
          "set xlabel 'time (s)' noenhanced", "set ylabel 'voltage (V)' noenhanced", "set logscale x",
          "set logscale y", "plot " + points + "points, " + curve},
         {"-1 -1\n0 1.2\n1 2.9\n2 5.1\n"}},
        // The residual panel below, on the fit's x range, y - fit with the sigmas.
        {{"--residuals", "--errorbars", "--logy"},
         joined({{"set encoding utf8", "set autoscale xfix", "set offsets graph 0.02, graph 0.02, 0, 0", "set xlabel '' noenhanced", "set ylabel 'y' noenhanced",
                  "unset logscale x", "set logscale y"},
                 panels,
                 {"plot " + points + "yerrorbars, " + curve, "unset title", "set xrange [GPVAL_X_MIN:GPVAL_X_MAX]",
                  "unset logscale x", "unset logscale y", "set xlabel 'x' noenhanced",
                  "set ylabel 'y - fit' noenhanced", "set origin 0,0", "set size 1,0.33",
                  "set ytics 1",  // residuals within 0.15 and error bars of 1: from -1.15 to 1.15
                  "plot \"FILE\" notitle with yerrorbars, 0 notitle with lines", "unset multiplot",
                  "set autoscale x", "set ytics autofreq", "unset lmargin", "unset rmargin"}}),
         {bars, "-1 -0.04999999999999982 1\n0 0.15000000000000013 1\n1 -0.1499999999999999 1\n"
                "2 0.04999999999999982 1\n"}},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.args.front());
        PlotDir plot("line_four_sigma.pcp");
        std::vector<std::string> args = c.args;
        args.push_back("line_four_sigma.pcp");
        RunResult run = plot.Run("sorrafit", args, " \n");
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(run.out, Expected("sorrafit_four.out") + kWait);
        std::vector<std::string> log = plot.Log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), "set terminal windows");
        std::vector<std::string> stream;
        for (size_t i = 1; i < log.size(); ++i) stream.push_back(WithoutFileNames(log[i]));
        EXPECT_EQ(stream, c.stream);
        for (size_t n = 0; n < c.data.size(); ++n)
            EXPECT_EQ(ReadFile(plot.FrontEndFile("data." + std::to_string(n + 1))), c.data[n]) << n;
        EXPECT_TRUE(plot.DataFiles().empty());
    }
}

// Error bars need sigmas: a usage error right after loading, before any report.
TEST(ResultPicture, ErrorBarsWithoutSigmasAreAUsageError)
{
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"veldafit", {"--errorbars", "line_five.pcp"}},
        {"cadrafit", {"--errorbars", "-o", "2", "line_five.pcp"}},
        {"modelfit", {"--errorbars", "a+b*x", "line_five.pcp"}},
    };
    for (const auto& [program, args] : cases) {
        PlotDir plot("line_five.pcp");
        RunResult run = plot.Run(program, args, " \n");
        EXPECT_EQ(run.exit_status, 2) << program;
        EXPECT_EQ(run.err, program + ": option '--errorbars' needs a sigma column in the data file\n"
                                     "Try '" + program + " --help'.\n");
        EXPECT_TRUE(run.out.ends_with("5 points present\n")) << run.out;
        EXPECT_FALSE(plot.FrontEndStarted());
    }
}

TEST(ResultPlotWait, OnlyASpaceEndsIt)
{
    PlotDir plot("line_five.pcp");
    InteractiveProgram veldafit = plot.Start("veldafit", {"line_five.pcp"});
    ASSERT_TRUE(veldafit.WaitForOutput(kWait));
    veldafit.Type("abc\n");
    EXPECT_FALSE(veldafit.HasEnded(400)) << "a line without a space ended the wait";
    veldafit.Type("ab cd\n");
    EXPECT_TRUE(veldafit.HasEnded(20000));
    EXPECT_EQ(veldafit.Finish().exit_status, 0);
    EXPECT_TRUE(plot.DataFiles().empty());
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
        InteractiveProgram program = plot.Start(c.program, c.args);
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
        RunResult run = plot.Run("veldafit", {"line_five.pcp"}, input);
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_TRUE(run.out.ends_with(kWait));
        EXPECT_EQ(plot.Log().size(), 6u);
        EXPECT_TRUE(plot.DataFiles().empty());
    }
}

// Under Wine only SIGINT has a Windows meaning: Wine hands it to the program
// as the Ctrl-C of its console, which the console control handler answers.
TEST(ResultPlotInterrupt, NoDataFileIsLeftBehind)
{
    const bool windows = RunsWindowsPrograms();
    std::vector<int> signals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
    if (windows) signals = {SIGINT};
    for (int signal : signals) {
        PlotDir plot("line_five.pcp");
        InteractiveProgram veldafit = plot.Start("veldafit", {"line_five.pcp"});
        ASSERT_TRUE(veldafit.WaitForOutput(kWait));
        EXPECT_EQ(plot.DataFiles().size(), 1u);
        veldafit.Signal(signal);
        ASSERT_TRUE(veldafit.HasEnded(20000));
        // Windows ends the process with an exit status of its own.
        RunResult end = veldafit.Finish();
        if (!windows) {
            EXPECT_EQ(end.signal, signal);
        }
        EXPECT_TRUE(plot.DataFiles().empty()) << "after signal " << signal;
    }
}

TEST(ResultPlotFailures, AFrontEndThatVanishesDoesNotStopTheProgram)
{
    ProgramRun vanishing;
    vanishing.Copy("line_five.pcp").Front(FrontEnd::Vanishing);
    RunResult run = vanishing.Run("veldafit", {"line_five.pcp"}, " \n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, Expected("veldafit_line_five.out") + kWait);
    EXPECT_TRUE(vanishing.DataFiles().empty());
}

TEST(ResultPlotFailures, NoFrontEndStillGivesTheWholeReport)
{
    for (const char* program : {"veldafit", "sorrafit"}) {
        RunResult run = ProgramRun().In(FITCORE_TEST_DATA_DIR).Run(program, {"line_four_sigma.pcp"});
        EXPECT_EQ(run.exit_status, 0) << program;
        EXPECT_EQ(run.err, kNoFrontEnd) << program;
        EXPECT_NE(run.out.find("Linear fit\n"), std::string::npos) << program;
        EXPECT_TRUE(run.out.ends_with("\nGNUPlot failed to start.  Plotting failed.\n")) << run.out;
    }
}

// Runs on line_five.pcp with the real front-end and gnuplot, no display, and
// a console of 100 by 30 where one is asked for.
struct RealGnuplotRun : ProgramRun {
    RealGnuplotRun() { Copy("line_five.pcp").Front(FrontEnd::Real).Env("COLUMNS", "100").Env("LINES", "30"); }
};

TEST(ResultPlotRealGnuplot, DrawsOnAConsoleWithoutDisplay)
{
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!std::filesystem::exists("/usr/bin/gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    RealGnuplotRun real;
    RunResult run = real.Run("veldafit", {"line_five.pcp"}, " \n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_TRUE(run.out.ends_with(kWait));
    // Without a controlling terminal the text drawing arrives on standard error.
    EXPECT_NE(run.err.find("Points"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Linear fit"), std::string::npos) << run.err;
    EXPECT_TRUE(real.DataFiles().empty());
}

TEST(ResultPlotRealGnuplot, OnAConsoleThePromptFollowsTheFinishedDrawing)
{
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!std::filesystem::exists("/usr/bin/gnuplot") || !std::filesystem::exists("/usr/bin/script"))
        GTEST_SKIP() << "gnuplot or script is not installed";
    RealGnuplotRun real;
    // script gives the program a console of its own, where gnuplot draws too.
    RunResult run = real.Run("/usr/bin/script", {"-qec", ProgramPath("veldafit") + " line_five.pcp", "/dev/null"},
                             " \n");
    EXPECT_EQ(run.exit_status, 0);
    size_t legend = run.out.rfind("Linear fit");  // in the last drawing, after the report's heading
    size_t prompt = run.out.find("Press space (and enter) to continue...");
    ASSERT_NE(prompt, std::string::npos) << run.out;
    EXPECT_GT(legend, run.out.find("Err/sd")) << run.out;
    EXPECT_LT(legend, prompt) << run.out;
    EXPECT_TRUE(real.DataFiles().empty());
}

// lin.dat's ten points, and as a table under a header that names them.
const std::vector<double> kX = {0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0, 4.5};
const std::vector<double> kY = {0.012, 0.498, 1.003, 1.497, 2.010, 2.489, 3.006, 3.502, 3.991, 4.512};
const std::vector<double> kSigma = {0.004, 0.004, 0.005, 0.005, 0.006, 0.006, 0.007, 0.007, 0.008, 0.008};
const std::vector<double> kNoSigma;
const char* const kNamedCsv =
    "time (s),voltage (V),sigma (V)\n0.0,0.012,0.004\n0.5,0.498,0.004\n1.0,1.003,0.005\n1.5,1.497,0.005\n"
    "2.0,2.010,0.006\n2.5,2.489,0.006\n3.0,3.006,0.007\n3.5,3.502,0.007\n4.0,3.991,0.008\n4.5,4.512,0.008\n";

// The band, the equation, the error bars and the residual panel of a CSV
// file with named columns, whose third column gives the sigmas that -w and
// --errorbars need; the band's data file holds the line's interval at each x.
TEST(FitPicture, BandEquationErrorBarsAndResidualsOfANamedTable)
{
    const struct {
        const char* program;
        std::vector<std::string> args;
        bool weighted;
        double t;  // Student's t for 8 degrees of freedom at the band's level
        bool multiplot;
        const char* key;  // in the curve's key entry
    } cases[] = {
        {"sorrafit", {"-w", "--errorbars", "--residuals", "--band", "--equation"}, true, 2.306004135, true,
         "title 'y = (0.0045 ± 0.0039) + (0.9987 ± 0.0019) x, χ²/ndf = 2.178' noenhanced"},
        {"sorrafit", {"-w", "--errorbars", "--band", "--equation"}, true, 2.306004135, false, "χ²/ndf = 2.178'"},
        {"veldafit", {"--band=99", "--equation"}, false, 3.355387331, false,
         "title 'y = (0.0033 ± 0.0051) + (0.9994 ± 0.0019) x, R² = 0.999971' noenhanced"},
        // A model's band, from its derivatives, is the line's own for a line.
        {"modelfit", {"-w", "--errorbars", "--residuals", "--band", "--equation", "a+b*x"}, true, 2.306004135, true,
         "title 'a+b*x, a = (0.0045 ± 0.0039), b = (0.9987 ± 0.0019), χ²/ndf = 2.178' noenhanced"},
        {"modelfit", {"--errorbars", "--band=99", "--equation", "--start=b=2", "a+b*x"}, false, 3.355387331, false,
         "title 'a+b*x, a = (0.0033 ± 0.0051), b = (0.9994 ± 0.0019), R² = 0.999971' noenhanced"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + std::string(" ") + c.args.back());
        ProgramRun run;
        run.Write("named.csv", kNamedCsv).Front(FrontEnd::Recording);
        std::vector<std::string> args = c.args;
        args.push_back("named.csv");
        RunResult result = run.Run(c.program, args, " \n");
        ASSERT_EQ(result.exit_status, 0) << result.err;
        std::string stream;
        for (const std::string& line : run.Log()) stream += line + "\n";
        EXPECT_EQ(stream.find("multiplot") != std::string::npos, c.multiplot) << stream;
        const bool bars = std::find(args.begin(), args.end(), "--errorbars") != args.end();
        EXPECT_EQ(stream.find("yerrorbars") != std::string::npos, bars) << stream;
        EXPECT_NE(stream.find(c.key), std::string::npos) << stream;
        EXPECT_NE(stream.find("set ylabel 'voltage (V)' noenhanced"), std::string::npos) << stream;
        EXPECT_NE(stream.find("set xlabel 'time (s)' noenhanced"), std::string::npos) << stream;
        EXPECT_NE(stream.find("with filledcurves"), std::string::npos) << stream;

        // The band comes first in its plot line: data.1, every x of the data among its rows.
        std::istringstream band(ReadFile(run.FrontEndFile("data.1")));
        int rows = 0, data_rows = 0;
        for (double x, low, high; band >> x >> low >> high; ++rows) {
            const LineBandAt expected = LineBandByFormula(kX, kY, c.weighted ? kSigma : kNoSigma, x, c.t);
            EXPECT_NEAR(low, expected.value - expected.half_width, 1e-9 * 4.5) << x;
            EXPECT_NEAR(high, expected.value + expected.half_width, 1e-9 * 4.5) << x;
            if (std::fmod(x, 0.5) == 0) ++data_rows;
        }
        EXPECT_GT(rows, 100);
        EXPECT_EQ(data_rows, 10);
    }

    // The first picture drawn by the real gnuplot, its texts in UTF-8.
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!std::filesystem::exists("/usr/bin/gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    ProgramRun real;
    real.Write("named.csv", kNamedCsv).Front(FrontEnd::Real);
    std::vector<std::string> args = cases[0].args;
    for (const char* more : {"-p", "fit.svg", "named.csv"}) args.push_back(more);
    RunResult drawn = real.Run("sorrafit", args);
    ASSERT_EQ(drawn.exit_status, 0) << drawn.err;
    EXPECT_EQ(drawn.err, "");
    const std::string svg = ReadFile(real.File("fit.svg"));
    for (const char* text : {"time (s)", "voltage (V)", "±", "χ²", "95% confidence band"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
}

// A model's curve is its samples: a line through a data file of its own, in
// the picture with the residual panel as in the plain plot.
TEST(FitPicture, AModelsSampledCurveTakesTheResidualPanel)
{
    PlotDir plot("line_five.pcp");
    RunResult run = plot.Run("modelfit", {"--residuals", "--title=a·x + b", "a*x+b", "line_five.pcp"}, " \n");
    ASSERT_EQ(run.exit_status, 0) << run.err;
    std::vector<std::string> stream;
    for (const std::string& line : plot.Log()) stream.push_back(WithoutFileNames(line));
    for (const char* line : {"set multiplot", "set title 'a·x + b' noenhanced",
                             "plot \"FILE\" title 'Points' noenhanced with points, \"FILE\" title 'Model fit' "
                             "noenhanced with lines",
                             "plot \"FILE\" notitle with points, 0 notitle with lines"})
        EXPECT_NE(std::find(stream.begin(), stream.end(), line), stream.end()) << line;
    const std::string samples = ReadFile(plot.FrontEndFile("data.2"));
    EXPECT_TRUE(samples.starts_with("1 2.04")) << samples;  // the fitted line from the least x
    EXPECT_GT(std::count(samples.begin(), samples.end(), '\n'), 100);
}

// The picture with panels, error bars and texts, drawn by the real gnuplot:
// into a file, and as text where there is no display.
TEST(ResultPlotRealGnuplot, DrawsPanelsErrorBarsAndTexts)
{
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!std::filesystem::exists("/usr/bin/gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    ProgramRun real;
    real.Copy("line_four_sigma.pcp").Front(FrontEnd::Real).Env("COLUMNS", "100").Env("LINES", "40");
    const std::vector<std::string> options = {"--errorbars", "--residuals", "--xlabel=time (s)",
                                              "--ylabel=voltage (V)", "--title=±χ² a_b"};
    std::vector<std::string> args = options;
    for (const char* more : {"-p", "fit.svg", "line_four_sigma.pcp"}) args.push_back(more);
    RunResult drawn = real.Run("sorrafit", args);
    EXPECT_EQ(drawn.exit_status, 0) << drawn.err;
    EXPECT_EQ(drawn.err, "");
    const std::string svg = ReadFile(real.File("fit.svg"));
    for (const char* text : {"time (s)", "voltage (V)", "±χ² a_b", "y - fit", "Points", "Linear fit"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;

    args = options;
    args.push_back("line_four_sigma.pcp");
    RunResult shown = real.Run("sorrafit", args, " \n");
    EXPECT_EQ(shown.exit_status, 0);
    EXPECT_TRUE(shown.out.ends_with(kWait));
    // Both panels in one drawing on standard error, and no complaint of gnuplot's.
    EXPECT_NE(shown.err.find("y - fit"), std::string::npos) << shown.err;
    EXPECT_LT(shown.err.find("Linear fit"), shown.err.find("y - fit")) << shown.err;
    EXPECT_EQ(shown.err.find("line "), std::string::npos) << shown.err;
    EXPECT_TRUE(real.DataFiles().empty());
}

}  // namespace
