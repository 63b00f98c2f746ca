// veldafit end to end: reports compared byte for byte, the prompt, and every refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_run.h"

namespace {

// The report tests run in the data directory with no gnuplot front-end to be
// found, so every complete run ends with kNoPlot; the plot has tests of its own.
RunResult RunVeldafit(const std::vector<std::string>& args, const std::string& input = "")
{
    return ProgramRun().In(FITCORE_TEST_DATA_DIR).Run("veldafit", args, input);
}

class VeldafitReport : public testing::TestWithParam<const char*> {};

TEST_P(VeldafitReport, MatchesTheExpectedOutputByteForByte)
{
    std::string name = GetParam();
    RunResult run = RunVeldafit({name + ".pcp"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, Expected("veldafit_" + name + ".out") + kNoPlot);
    EXPECT_EQ(run.err, kNoFrontEnd);
}

// Worked examples, a sigma column that must be ignored, and degenerate data
// whose NaN and infinities are printed rather than refused.
INSTANTIATE_TEST_SUITE_P(Data, VeldafitReport,
                         testing::Values("line_five", "line_exact", "line_falling", "line_four",
                                         "line_four_sigma", "line_flat", "empty_header",
                                         "one_point", "two_points", "equal_x"));

TEST(Veldafit, SigmaColumnDoesNotChangeTheReport)
{
    std::string plain = RunVeldafit({"line_four.pcp"}).out;
    std::string with_sigma = RunVeldafit({"line_four_sigma.pcp"}).out;
    auto report = [](const std::string& out) { return out.substr(out.find("Linear fit")); };
    EXPECT_EQ(report(plain), report(with_sigma));
}

TEST(Veldafit, PromptsForTheNameAndTakesOnlyItsFirstWord)
{
    RunResult run = RunVeldafit({}, "  line_five.pcp and more words\n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "Please enter a filename: " + Expected("veldafit_line_five.out") + kNoPlot);
}

TEST(Veldafit, UsesTheFirstArgumentAndIgnoresTheRest)
{
    RunResult run = RunVeldafit({"line_five.pcp", "missing.pcp", "x"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, Expected("veldafit_line_five.out") + kNoPlot);
}

TEST(Veldafit, LoadFailurePrintsTheReadersLineThenItsOwn)
{
    RunResult run = RunVeldafit({"missing.pcp"});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out,
              "Loading PCP file missing.pcp...\n"
              "Can't load missing.pcp: No such file or directory.\n"
              "Can't open missing.pcp for reading!\n"
              "Error loading PCP file\n");
    EXPECT_EQ(run.err, "");

    RunResult negative = RunVeldafit({"negative_count.pcp"});
    EXPECT_EQ(negative.exit_status, 1);
    EXPECT_EQ(negative.out, "Loading PCP file negative_count.pcp...\n"
                            "Can't load negative_count.pcp: the point count -1 is negative.\n"
                            "Error loading PCP file\n");
}

TEST(Veldafit, ShortFileWarnsAndFitsThePointsRead)
{
    RunResult run = RunVeldafit({"short_file.pcp"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("Linear fit")),
              "Loading PCP file short_file.pcp...\n"
              "Warning: file may be corrupted (3 of 5 points read)."
              "Loaded file 'short_file.pcp' sucessfully, 3 points present\n");
}

TEST(Veldafit, RefusesANameTooLongForItsBuffer)
{
    std::string long_name(1024, 'a');
    RunResult run = RunVeldafit({long_name});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "File name too long: at most 1023 characters are allowed.\n");

    RunResult prompted = RunVeldafit({}, long_name + "\n");
    EXPECT_EQ(prompted.exit_status, 1);
    EXPECT_EQ(prompted.out,
              "Please enter a filename: \nFile name too long: at most 1023 characters are allowed.\n");

    // 1023 characters is still a name: it is looked up, not refused.
    RunResult longest = RunVeldafit({std::string(1023, 'a')});
    EXPECT_EQ(longest.exit_status, 1);
    EXPECT_NE(longest.out.find("Can't open aaa"), std::string::npos);
}

TEST(Veldafit, EndOfInputAtThePromptEndsWithAMessage)
{
    RunResult run = RunVeldafit({}, "");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "Please enter a filename: \nNo file name entered: standard input has ended.\n");
}

}  // namespace
