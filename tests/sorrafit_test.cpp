// sorrafit_test.cpp - end-to-end runs of the weighted line fit program.
#include <gtest/gtest.h>

#include <string>

#include "program_run.h"

namespace {

// Runs sorrafit in the test data directory, so the output names the file as
// given, with no front-end: the report alone.
RunResult Sorrafit(const std::string& file)
{
    return ProgramRun().In(FITCORE_TEST_DATA_DIR).Run("sorrafit", {file});
}

// The output after the two loading lines, which name the file.
std::string Report(const std::string& out)
{
    size_t first = out.find('\n');
    return out.substr(out.find('\n', first + 1) + 1);
}

}  // namespace

TEST(SorrafitReport, MatchesExpectedOutput)
{
    struct Case {
        const char* file;
        const char* expected;
    } cases[] = {
        {"line_four_sigma.pcp", "sorrafit_four.out"},       // equal sigmas: errors of veldafit / 2
        {"weighted_five.pcp", "sorrafit_five.out"},         // weights 2/7 and 1/14
        {"weighted_zero_sigma.pcp", "sorrafit_zero_sigma.out"},  // NaN statistics, normal line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RunResult run = Sorrafit(c.file);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.out, Expected(c.expected) + kNoPlot);
    }
}

TEST(SorrafitReport, NegativeSigmasChangeNothing)
{
    RunResult positive = Sorrafit("weighted_five.pcp");
    RunResult negative = Sorrafit("weighted_five_negative.pcp");
    EXPECT_EQ(negative.exit_status, 0);
    EXPECT_EQ(Report(negative.out), Report(positive.out));
}

TEST(SorrafitRefusal, FileWithoutSigmasEndsBeforeTheLoadedLine)
{
    RunResult run = Sorrafit("line_five.pcp");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "Loading PCP file line_five.pcp...\nThis file does not contain weighting information.\n");
}

TEST(SorrafitRefusal, CsvFileIsNeverFittedEvenWithASigmaColumn)
{
    // CSV import leaves has_sigma 0, so the file never reaches the fit.
    RunResult run = ProgramRun()
                        .Write("sigma.csv", "x,y,sigma\n1,2.1,0.1\n2,3.9,0.2\n3,6.2,0.1\n")
                        .Run("sorrafit", {"sigma.csv"});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "Loading CSV file sigma.csv...\nThis file does not contain weighting information.\n");
    EXPECT_EQ(run.err, "");
}
