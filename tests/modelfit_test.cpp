// modelfit_test.cpp - end-to-end runs of the model fit program: its report,
// JSON, statuses, formula errors, options and the curve it plots.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <string>
#include <vector>

#include "files.h"
#include "program_run.h"

namespace {

RunResult Modelfit(const std::vector<std::string>& args)
{
    return ProgramRun().In(FITCORE_EXAMPLES_DIR).Run("modelfit", args);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(ModelfitReport, ShowsTheFitThePointsAndWhereParametersStarted)
{
    RunResult run = Modelfit({"-n", "--start", "a=5,b=1", "a*exp(-b*x)+c", "decay.pcp"});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    for (const char* line : {"Loaded file 'decay.pcp' sucessfully, 30 points present\n", "Formula\ta*exp(-b*x)+c\n",
                             "Converged after ", "a\t5.000000e+00\t4.982105e+00\t2.439494e-02\t",
                             "Started at 1, no start value given: c\n", "Degrees of freedom\t27\n",
                             "Point\tx\ty\tfit\ty-fit\n1\t0.000000e+00\t5.500000e+00\t5.486580e+00\t1.342003e-02\n"})
        EXPECT_TRUE(Contains(run.out, line)) << line << "\n" << run.out;
}

TEST(ModelfitJson, HoldsTheMembersOfTheFit)
{
    const struct {
        std::vector<std::string> args;
        bool weighted;
    } cases[] = {
        {{"-j", "--points", "--fix", "c=0.5", "a*exp(-b*x)+c", "decay.pcp"}, false},
        {{"-j", "-w", "a*exp(-b*x)+c", "decay.pcp"}, true},
    };
    for (const auto& c : cases) {
        RunResult run = Modelfit(c.args);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        nlohmann::json json = nlohmann::json::parse(run.out);
        EXPECT_EQ(json["program"], "modelfit");
        EXPECT_EQ(json["formula"], "a*exp(-b*x)+c");
        EXPECT_EQ(json["count"], 30);
        EXPECT_EQ(json["converged"], true);
        EXPECT_EQ(json["parameters"].size(), 3u);
        EXPECT_EQ(json["correlation"].size(), 3u);
        EXPECT_EQ(json.contains("chi2"), c.weighted);
        EXPECT_EQ(json["parameters"][0].contains("error_absolute"), c.weighted);
        EXPECT_EQ(json["ndf"], c.weighted ? 27 : 28);
        if (!c.weighted) {
            EXPECT_EQ(json["parameters"][2]["fixed"], true);
            EXPECT_EQ(json["parameters"][2]["value"], 0.5);
            EXPECT_TRUE(json["parameters"][2]["error"].is_null());
            EXPECT_EQ(json["points"].size(), 30u);
        }
    }
}

TEST(ModelfitStatus, FormulaAndOptionErrorsAndNonConvergence)
{
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;  // a part of standard error
        const char* out;  // a part of standard output
    } cases[] = {
        {{"-n", "a*exp(-b*x))+c", "decay.pcp"}, 2, "unmatched ')'\n  a*exp(-b*x))+c\n             ^\n", ""},
        {{"-n", "a*foo(x)", "decay.pcp"}, 2, "unknown function 'foo'\n  a*foo(x)\n    ^\n", ""},
        {{"-n", "--start", "q=1", "a*x", "decay.pcp"}, 2, "'q', which is not a parameter", ""},
        {{"-n", "--start", "a=x", "a*x", "decay.pcp"}, 2, "NAME=VALUE", ""},
        {{"-n", "--max-iterations=0", "a*x", "decay.pcp"}, 2, "invalid number of iterations", ""},
        {{"-n"}, 2, "no FORMULA given", ""},
        {{"-n", "a*x1*x2", "decay.pcp"}, 2, "uses x2", ""},
        {{"-n", "--max-iterations=1", "a*exp(-b*x)+c", "decay.pcp"}, 1, "",
         "NOT CONVERGED after 1 iterations, 2 evaluations: the limit of 1 iterations was reached."},
        {{"-n", "log(a-x)", "decay.pcp"}, 1, "", "the model or its derivatives are undefined at the start values"},
        {{"-n", "-w", "a*x", "calibration.pcp"}, 1, "", "This file does not contain weighting information."},
        // A table holds its rows, not points: the JSON run must not read points.
        {{"-j", "a+b*x", "spring.dat"}, 0, "", "\"converged\":true"},
    };
    for (const auto& c : cases) {
        RunResult run = Modelfit(c.args);
        EXPECT_EQ(run.exit_status, c.status) << c.args.back() << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, c.err)) << run.err;
        EXPECT_TRUE(Contains(run.out, c.out)) << run.out;
    }
}

// The curve goes to gnuplot as a data file of samples of the model itself.
TEST(ModelfitPlot, SendsTheModelAsDenseSamples)
{
    ProgramRun setting;
    setting.Write("decay.pcp", ReadFile(std::string(FITCORE_EXAMPLES_DIR) + "/decay.pcp")).Front(FrontEnd::Recording);
    RunResult run = setting.Run("modelfit", {"a*exp(-b*x)+c", "decay.pcp"}, " \n");
    EXPECT_EQ(run.exit_status, 0) << run.err;
    std::vector<std::string> log = setting.Log();
    bool replot = false;
    for (const std::string& line : log) replot = replot || (line.rfind("replot", 0) == 0 && Contains(line, "Model fit"));
    EXPECT_TRUE(replot);
    std::string samples = ReadFile(setting.FrontEndFile("data.2"));
    int lines = 0;
    double x = 0, y = 0;
    for (std::size_t at = 0; (at = samples.find('\n', at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 1000);
    ASSERT_EQ(std::sscanf(samples.c_str(), "%lf %lf", &x, &y), 2);
    EXPECT_EQ(x, 0);
    EXPECT_NEAR(y, 5.486580, 1e-6);
}

// Two predictors from named table columns, from a file and from standard
// input: the parameters of the exact data come back, the row with a missing
// value is skipped and counted, and the JSON names the columns.
TEST(ModelfitTable, FitsTwoPredictorsFromNamedColumns)
{
    std::string table = "temp;pressure;rate\n";
    for (int i = 0; i < 40; ++i) {
        const double temp = 1 + 0.25 * i, pressure = 2 + 0.3 * (i * 7 % 11);
        char row[96];
        std::snprintf(row, sizeof row, "%.17g;%.17g;%s\n", temp, pressure,
                      i == 5 ? "NA" : std::to_string(3 * std::exp(-0.5 * temp) + 1.5 * pressure).c_str());
        table += row;
    }
    const struct {
        std::vector<std::string> args;
        const char* input;
    } cases[] = {
        {{"-j", "-u", "temp,pressure:rate", "a*exp(-b*x1)+c*x2", "rates.dat"}, ""},
        {{"-j", "--delimiter=;", "-u", "1,2:3", "a*exp(-b*x)+c*x2", "-"}, table.c_str()},
    };
    for (const auto& c : cases) {
        ProgramRun setting;
        setting.Write("rates.dat", table);
        RunResult run = setting.Run("modelfit", c.args, c.input);
        ASSERT_EQ(run.exit_status, 0) << run.err;
        nlohmann::json json = nlohmann::json::parse(run.out);
        EXPECT_EQ(json["count"], 39);
        EXPECT_EQ(json["skipped"], 1);
        EXPECT_EQ(json["x_name"], "temp");
        EXPECT_EQ(json["y_name"], "rate");
        EXPECT_EQ(json["x_names"], nlohmann::json({"temp", "pressure"}));
        const double expected[] = {3, 0.5, 1.5};
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(json["parameters"][k]["value"], expected[k], 1e-5) << k;
    }
    ProgramRun setting;
    setting.Write("rates.dat", table);
    RunResult report = setting.Run("modelfit", {"-n", "-u", "temp,pressure:rate", "a*exp(-b*x1)+c*x2", "rates.dat"});
    EXPECT_EQ(report.exit_status, 0) << report.err;
    EXPECT_TRUE(Contains(report.out, "Skipped 1 rows with missing values\n")) << report.out;
    EXPECT_TRUE(Contains(report.out, "Loaded file 'rates.dat' sucessfully, 39 points present\n")) << report.out;
    EXPECT_TRUE(Contains(report.out, "\n1\t1.000000e+00\t")) << report.out;
}
