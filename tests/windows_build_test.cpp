// The Windows build against the Linux one, and its own front-end: run only
// with the Windows switch on (windows_programs.h), under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gnuplot_stand_in.h"
#include "run_program.h"
#include "temp_dir.h"
#include "windows_programs.h"

namespace {

namespace fs = std::filesystem;

#define SKIP_WITHOUT_WINDOWS_BUILD() \
    if (!RunsWindowsPrograms()) GTEST_SKIP() << "no Windows build to test (FITCORE_TEST_WINDOWS_BUILD)"

// A plot command with its data file's six digits as "NNNNNN".
std::string WithoutDigits(std::string line)
{
    std::size_t at = line.find("gnuplot-i-");
    if (at != std::string::npos) line.replace(at + 10, 6, "NNNNNN");
    return line;
}

// One run of `program` on examples/calibration.pcp, named `name`, in a fresh
// working directory with a recording front-end on PATH.
struct CalibrationRun {
    CalibrationRun(const std::string& program, const std::string& name, bool windows)
    {
        fs::create_directory(work.File("examples"));
        fs::copy_file(std::string(FITCORE_EXAMPLES_DIR) + "/calibration.pcp", work.File("examples/calibration.pcp"));
        if (windows)
            WriteWindowsStandIn(bin.path(), "pgnuplot.exe", "record");
        else
            WritePosixRecordingStandIn(bin.path());
        RunOptions options;
        options.cwd = work.path();
        options.stdin_text = " \n";
        options.env = {{"PATH", bin.path()}};
        result = RunProgram({program, name}, options);
    }
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> commands;
        for (const std::string& line : SplitLines(ReadFile(bin.File("log")))) commands.push_back(WithoutDigits(line));
        return commands;
    }

    TempDir work, bin;
    RunResult result;
};

TEST(WindowsBuild, CalibrationExampleGivesTheLinuxReportCommandsAndData)
{
    SKIP_WITHOUT_WINDOWS_BUILD();
    CalibrationRun linux_run(std::string(FITCORE_BIN_DIR) + "/veldafit", "examples/calibration.pcp", false);
    CalibrationRun windows_run(ProgramPath("veldafit"), "examples\\calibration.pcp", true);

    EXPECT_EQ(windows_run.result.exit_status, 0);
    EXPECT_EQ(windows_run.result.err, "");
    std::string report = linux_run.result.out;
    for (std::size_t at; (at = report.find("examples/")) != std::string::npos;) report.replace(at, 9, "examples\\");
    EXPECT_EQ(windows_run.result.out, report);  // RunProgram has checked the CR LF of every line
    EXPECT_EQ(windows_run.Commands(), linux_run.Commands());
    EXPECT_EQ(windows_run.Commands().size(), 6u);
    EXPECT_EQ(ReadFile(windows_run.bin.File("data.1")), ReadFile(linux_run.bin.File("data.1")));
    EXPECT_TRUE(DataFilesIn(windows_run.work.path()).empty());
}

// As Windows itself finds programs: the working directory before PATH.
TEST(WindowsBuild, AFrontEndInTheWorkingDirectoryComesBeforePath)
{
    SKIP_WITHOUT_WINDOWS_BUILD();
    TempDir work, bin;
    WriteFile(work.File("exact.pcp"), "3 0 0\n1 2\n2 4\n3 6\n");
    WriteWindowsStandIn(work.path(), "pgnuplot.exe", "record");
    WriteWindowsStandIn(bin.path(), "pgnuplot.exe", "record");
    RunOptions options;
    options.cwd = work.path();
    options.stdin_text = " \n";
    options.env = {{"PATH", bin.path()}};
    RunResult run = RunProgram({ProgramPath("veldafit"), "exact.pcp"}, options);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(SplitLines(ReadFile(work.File("log"))).size(), 6u);
    EXPECT_FALSE(fs::exists(bin.File("log")));
}

// The Windows front-end with a recording stand-in for gnuplot.exe.
class WindowsFrontEnd : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_WINDOWS_BUILD(); }

    RunResult Run(const std::string& input, std::vector<std::pair<std::string, std::optional<std::string>>> env)
    {
        RunOptions options;
        options.cwd = dir_.path();
        options.stdin_text = input;
        options.env = {{"FITCORE_GNUPLOT_TERMINAL", std::nullopt}, {"FITCORE_GNUPLOT_OUTPUT", std::nullopt}};
        options.env.insert(options.env.end(), env.begin(), env.end());
        return RunProgram({ProgramPath("pgnuplot.exe")}, options);
    }
    std::string Received(const TempDir& where) const { return ReadFile(where.File("log")); }

    TempDir dir_, gnuplot_;
};

TEST_F(WindowsFrontEnd, PassesEveryLineOnTheWindowsTerminalIncluded)
{
    WriteWindowsStandIn(gnuplot_.path(), "gnuplot.exe", "record");
    const std::string lines = "set terminal windows\nset xlabel \"a %d\"\nplot x\nset term win\nreplot\n";
    RunResult run = Run(lines + "last line without its end",
                        {{"FITCORE_GNUPLOT", WineName(gnuplot_.File("gnuplot.exe"))}});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Received(gnuplot_), lines + "last line without its end\n");
}

TEST_F(WindowsFrontEnd, TheUsersTerminalAndOutputFileWorkAsOnLinux)
{
    WriteWindowsStandIn(gnuplot_.path(), "gnuplot.exe", "record");
    RunResult run = Run("set terminal windows\nplot x\nreplot\n",
                        {{"PATH", gnuplot_.path()},  // found as gnuplot.exe on PATH
                         {"FITCORE_GNUPLOT_TERMINAL", "svg"},
                         {"FITCORE_GNUPLOT_OUTPUT", "it's.svg"}});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(Received(gnuplot_), "set terminal svg\nset output 'it''s.svg'\n"
                                  "set output 'it''s.svg'\nplot x\nset output 'it''s.svg'\nreplot\n");
}

// Without FITCORE_GNUPLOT and PATH: where gnuplot's installer puts it, else a
// message that says what to install, with the input read to its end.
TEST_F(WindowsFrontEnd, FindsGnuplotInProgramFilesOrSaysWhatToInstall)
{
    const fs::path installed =
        fs::path(WindowsBinDir()).parent_path() / "wine-prefix/drive_c/Program Files/gnuplot";
    fs::create_directories(installed / "bin");
    WriteWindowsStandIn((installed / "bin").string(), "gnuplot.exe", "record");
    RunResult found = Run("plot x\n", {{"FITCORE_GNUPLOT", std::nullopt}});
    std::string received = ReadFile((installed / "bin/log").string());
    fs::remove_all(installed);
    EXPECT_EQ(found.exit_status, 0) << found.err;
    EXPECT_NE(received.find("plot x\n"), std::string::npos) << received;

    RunResult missing = Run(std::string(100000, 'x') + "\n", {{"FITCORE_GNUPLOT", std::nullopt}});
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_FALSE(missing.timed_out);
    EXPECT_EQ(missing.err,
              "pgnuplot.exe: gnuplot.exe not found on PATH or in Program Files\\gnuplot\\bin; install gnuplot "
              "for Windows, or name its gnuplot.exe in FITCORE_GNUPLOT\n");
}

}  // namespace
