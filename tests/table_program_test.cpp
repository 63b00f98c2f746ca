// The programs on text tables, CSV files by column, European files, missing
// values and standard input: every way in gives the same fit.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "program_run.h"

namespace {

using Json = nlohmann::ordered_json;

struct Fit {
    const char* program;
    std::vector<std::string> args;  // the data file last; "-" reads `input`'s file
    const char* input;              // a file of tests/data for standard input, or null
    int count;
    double slope, intercept;
    const char* x_name;             // null: "x_name" is null
    int skipped;
};

TEST(TableFits, EveryFormOfTheDataGivesTheSameLine)
{
    const Fit fits[] = {
        {"veldafit", {"lin.dat"}, nullptr, 10, 0.9994182, 0.0033091, "x", 0},
        {"veldafit", {"lin_tab.dat"}, nullptr, 10, 0.9994182, 0.0033091, "x", 0},
        {"veldafit", {"LIN.CSV"}, nullptr, 10, 0.9994182, 0.0033091, "x", 0},
        {"veldafit", {"lin_named.dat"}, nullptr, 10, 0.9994182, 0.0033091, "x", 0},
        {"veldafit", {"lin_euro.csv"}, nullptr, 10, 0.9994182, 0.0033091, "x", 0},
        {"veldafit", {"lin_missing.dat"}, nullptr, 10, 0.9994182, 0.0033091, "x", 2},
        {"veldafit", {"lin_nan.csv"}, nullptr, 10, 0.9994182, 0.0033091, "x", 1},
        {"veldafit", {"-"}, "lin.dat", 10, 0.9994182, 0.0033091, "x", 0},
        {"veldafit", {"--using", "2:3", "b.csv"}, nullptr, 4, 1, 0.07, "t", 0},
        {"veldafit", {"--using=t:V", "b.csv"}, nullptr, 4, 1, 0.07, "t", 0},
        {"sorrafit", {"-u", "2:3:4", "b.csv"}, nullptr, 4, 1, 0.07, "t", 0},
        {"veldafit", {"-"}, "line_four.pcp", 4, 0, 0, nullptr, 0},
    };
    for (const Fit& fit : fits) {
        ProgramRun run;
        for (const char* name : {"lin.dat", "lin_tab.dat", "LIN.CSV", "lin_named.dat", "lin_euro.csv",
                                 "lin_missing.dat", "lin_nan.csv", "b.csv"})
            run.Copy(name);
        std::vector<std::string> args = {"-n", "-j"};
        args.insert(args.end(), fit.args.begin(), fit.args.end());
        RunResult result = run.Run(fit.program, args, fit.input ? TestData(fit.input) : "");
        std::string what = fit.program + std::string(" ") + fit.args.back();
        ASSERT_EQ(result.exit_status, 0) << what << ": " << result.err;
        Json json = Json::parse(result.out);
        EXPECT_EQ(json["count"], fit.count) << what;
        EXPECT_EQ(json["skipped"], fit.skipped) << what;
        if (fit.x_name != nullptr)
            EXPECT_EQ(json["x_name"], fit.x_name) << what;
        else
            EXPECT_TRUE(json["x_name"].is_null()) << what;
        if (fit.slope == 0) continue;  // a PCP file's line is tested with the file itself
        EXPECT_NEAR(json["slope"].get<double>(), fit.slope, 5e-8) << what;
        EXPECT_NEAR(json["intercept"].get<double>(), fit.intercept, 5e-8) << what;
    }
}

struct Refusal {
    std::vector<std::string> args;
    const char* content;  // of data.dat
    int status;
    std::string message;  // on standard output, or for status 2 on standard error
};

TEST(TableFits, FilesWithoutAUsablePointAndPCPFilesWithColumnsAreRefused)
{
    const Refusal refusals[] = {
        {{"data.dat"}, "x y\nNA 1\nfoo 2\n", 1,
         "Loading table data.dat...\nBad input line: 3\nSkipped 1 rows with missing values\n"
         "Can't load data.dat: it holds no usable point; the first line that gives none is line 2: NA 1.\n"
         "Error loading PCP file\n"},
        {{"-u", "1:V", "data.dat"}, "t U\n1 2\n", 1,
         "Loading table data.dat...\nCan't load data.dat: no column is named 'V' (the columns are t, U).\n"
         "Error loading PCP file\n"},
        {{"-u", "1:2", "data.dat"}, "2 0 0\n1 2\n3 4\n", 2,
         "veldafit: options '--using', '--delimiter' and '--decimal-comma' are for tables and CSV files, and "
         "'data.dat' is a PCP file\nTry 'veldafit --help'.\n"},
        {{"-u", "1,2:3", "data.dat"}, "", 2, "veldafit: invalid columns '1,2:3': the fit takes one x column\n"},
        {{"--delimiter=ab", "data.dat"}, "", 2, "veldafit: invalid delimiter 'ab'"},
    };
    for (const Refusal& refusal : refusals) {
        ProgramRun run;
        run.Write("data.dat", refusal.content);
        std::vector<std::string> args = {"-n"};
        args.insert(args.end(), refusal.args.begin(), refusal.args.end());
        RunResult result = run.Run("veldafit", args);
        EXPECT_EQ(result.exit_status, refusal.status) << refusal.content;
        const std::string& stream = refusal.status == 2 ? result.err : result.out;
        EXPECT_EQ(stream.substr(0, refusal.message.size()), refusal.message);
    }
}

// Standard input holds the data, so there is no window to wait on: the plot
// goes to a --plot file only.
TEST(TableFits, DataFromStandardInputShowNoPlotAndNoWait)
{
    ProgramRun run;
    run.Front(FrontEnd::Recording);
    RunResult result = run.Run("veldafit", {"-"}, TestData("lin.dat"));
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out.find(kWait), std::string::npos);
    EXPECT_FALSE(run.FrontEndStarted());
}

// The header's names are the axes' labels.
TEST(TableFits, ColumnNamesLabelTheAxes)
{
    ProgramRun run;
    run.Front(FrontEnd::Recording).Copy("b.csv");
    RunResult result = run.Run("veldafit", {"-u", "t:V", "b.csv"}, " \n");
    ASSERT_EQ(result.exit_status, 0) << result.err;
    std::vector<std::string> log = run.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "set xlabel \"t\""), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "set ylabel \"V\""), log.end());
}

}  // namespace
