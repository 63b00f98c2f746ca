#include <gtest/gtest.h>

#include <string>

#include "program_run.h"

namespace {

// The report without the "Loading ... file" line and with the file name in
// "Loaded file" replaced, so runs on different files can be compared.
std::string ReportOf(const std::string& output, const std::string& name)
{
    std::string report = output.substr(output.find('\n') + 1);
    size_t at = report.find("'" + name + "'");
    if (at != std::string::npos) report.replace(at, name.size() + 2, "'NAME'");
    return report;
}

// No front-end on PATH and no data file in the working directory: the report
// alone. The space would answer the wait after a plot.
RunResult Veldafit(const std::string& path) { return ProgramRun().Run("veldafit", {path}, " \n"); }

}  // namespace

TEST(VeldafitOnCSV, ReportsTheExampleCSVAsItsPCPTwin)
{
    std::string csv = std::string(FITCORE_EXAMPLES_DIR) + "/calibration.csv";
    std::string pcp = std::string(FITCORE_EXAMPLES_DIR) + "/calibration.pcp";
    RunResult from_csv = Veldafit(csv);
    RunResult from_pcp = Veldafit(pcp);
    ASSERT_EQ(from_csv.exit_status, 0) << from_csv.out;
    EXPECT_EQ(from_csv.out.substr(0, from_csv.out.find('\n')), "Loading CSV file " + csv + "...");
    EXPECT_NE(from_csv.out.find("Loaded file '" + csv + "' sucessfully, 12 points present\n"), std::string::npos);
    EXPECT_EQ(ReportOf(from_csv.out, csv), ReportOf(from_pcp.out, pcp));
}

// CRLF line ends, a sigma column and a blank line in the CSV file; the PCP
// file holds the same points.
TEST(VeldafitOnCSV, CRLFFileWithABlankLineGivesTheSameFit)
{
    TempDir dir;
    WriteFile(dir.File("run.csv"), "x,y,sigma\r\n1,2.1,0.1\r\n2,3.9,0.1\r\n\r\n3,6.2,0.2\r\n4,7.8,0.1\r\n");
    WriteFile(dir.File("run.pcp"), "4 0 0\n1 2.1\n2 3.9\n3 6.2\n4 7.8\n");
    RunResult from_csv = Veldafit(dir.File("run.csv"));
    RunResult from_pcp = Veldafit(dir.File("run.pcp"));
    ASSERT_EQ(from_csv.exit_status, 0) << from_csv.out;
    std::string bad_line = "Bad input line: 4\n";
    std::string csv_report = ReportOf(from_csv.out, dir.File("run.csv"));
    ASSERT_EQ(csv_report.substr(0, bad_line.size()), bad_line);
    EXPECT_EQ(csv_report.substr(bad_line.size()), ReportOf(from_pcp.out, dir.File("run.pcp")));
}

TEST(VeldafitOnCSV, MissingCSVFileFailsTheRun)
{
    RunResult run = Veldafit("/nonexistent/data.csv");
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out,
              "Loading CSV file /nonexistent/data.csv...\n"
              "Can't load /nonexistent/data.csv: No such file or directory.\n"
              "Can't open /nonexistent/data.csv for reading!\n"
              "Error loading PCP file\n");
}
