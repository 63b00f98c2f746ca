// cadrafit_test.cpp - end-to-end runs of the polynomial fit program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_run.h"


namespace {

// Runs cadrafit in the test data directory, so the output names the file as
// given; no gnuplot front-end can be found, the plot has tests of its own.
RunResult Cadrafit(const std::vector<std::string>& args, const std::string& input)
{
    return ProgramRun().In(FITCORE_TEST_DATA_DIR).Run("cadrafit", args, input);
}

int Count(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace

TEST(CadrafitReport, MatchesExpectedOutput)
{
    struct Case {
        const char* file;
        const char* order;
        const char* expected;
    } cases[] = {
        {"poly_cubic.pcp", "3\n", "cadrafit_cubic.out"},        // negative x, odd powers
        {"poly_parabola.pcp", "2\n", "cadrafit_parabola.out"},  // rms 0: the last column is NaN
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RunResult run = Cadrafit({c.file}, c.order);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.out, Expected(c.expected) + kNoPlot);
    }
}

TEST(CadrafitOrderPrompt, AsksAgainUntilAnOrderFromTwoToNine)
{
    struct Case {
        const char* input;
        int prompts;
        const char* order_line;
    } cases[] = {
        {"0\n1\n10\n-3\n2\n", 5, "order 2\n"},
        {"9\n", 1, "order 9\n"},
        {"abc 5\n3\n", 2, "order 3\n"},          // the rest of a bad line goes with it
        {"99999999999\n-99999999999\n2\n", 3, "order 2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        RunResult run = ProgramRun().Run("cadrafit", {FITCORE_EXAMPLES_DIR "/cubic.pcp"}, c.input);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(Count(run.out, kOrderPrompt), c.prompts);
        EXPECT_NE(run.out.find(c.order_line), std::string::npos);
        EXPECT_NE(run.out.find("Polynomial Coefficients:"), std::string::npos);
    }
}

TEST(CadrafitOrderPrompt, EndOfInputEndsTheRunWithStatusOne)
{
    for (const char* input : {"", "abc", "1\n"}) {
        SCOPED_TRACE(input);
        RunResult run = Cadrafit({"poly_cubic.pcp"}, input);
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_TRUE(run.out.ends_with(kOrderPrompt + "\nNo order entered: standard input has ended.\n"));
    }
}

TEST(CadrafitOrderPrompt, FollowsTheFileNameOnTheSameLine)
{
    RunResult run = Cadrafit({}, "poly_cubic.pcp 3\n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "Please enter a filename: " + Expected("cadrafit_cubic.out") + kNoPlot);
}

TEST(CadrafitFailures, UnsolvableSystemsAndMissingFilesEndWithStatusOne)
{
    struct Case {
        std::string file;
        std::string tail;
    } cases[] = {
        {"poly_two_x.pcp", "4 points present\n" + kOrderPrompt + "Could not solve polynomial fit!\n"},
        {"empty_header.pcp", "0 points present\n" + kOrderPrompt + "Could not solve polynomial fit!\n"},
        {"missing.pcp", "Error loading PCP file 'missing.pcp'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RunResult run = Cadrafit({c.file}, "2\n");
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_TRUE(run.out.ends_with(c.tail)) << run.out;
    }
}
