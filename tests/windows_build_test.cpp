// The Windows build against the Linux one, and its own front-end: run only
// with the Windows switch on (windows_programs.h), under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gnuplot_stand_in.h"
#include "program_run.h"
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

// `program` run on examples/calibration.pcp, named `name`, with a recording
// front-end on PATH and a space typed at the wait.
struct CalibrationRun : ProgramRun {
    CalibrationRun(const std::string& program, const std::string& name, FrontEnd recording)
    {
        fs::create_directory(File("examples"));
        fs::copy_file(std::string(FITCORE_EXAMPLES_DIR) + "/calibration.pcp", File("examples/calibration.pcp"));
        result = Front(recording).Run(program, {name}, " \n");
    }
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> commands;
        for (const std::string& line : Log()) commands.push_back(WithoutDigits(line));
        return commands;
    }

    RunResult result;
};

TEST(WindowsBuild, CalibrationExampleGivesTheLinuxReportCommandsAndData)
{
    SKIP_WITHOUT_WINDOWS_BUILD();
    CalibrationRun linux_run(std::string(FITCORE_BIN_DIR) + "/veldafit", "examples/calibration.pcp",
                             FrontEnd::RecordingScript);
    CalibrationRun windows_run("veldafit", "examples\\calibration.pcp", FrontEnd::Recording);

    EXPECT_EQ(windows_run.result.exit_status, 0);
    EXPECT_EQ(windows_run.result.err, "");
    std::string report = linux_run.result.out;
    for (std::size_t at; (at = report.find("examples/")) != std::string::npos;) report.replace(at, 9, "examples\\");
    EXPECT_EQ(windows_run.result.out, report);  // RunProgram has checked the CR LF of every line
    EXPECT_EQ(windows_run.Commands(), linux_run.Commands());
    EXPECT_EQ(windows_run.Commands().size(), 6u);
    EXPECT_EQ(ReadFile(windows_run.FrontEndFile("data.1")), ReadFile(linux_run.FrontEndFile("data.1")));
    EXPECT_TRUE(windows_run.DataFiles().empty());
}

// As Windows itself finds programs: the working directory before PATH.
TEST(WindowsBuild, AFrontEndInTheWorkingDirectoryComesBeforePath)
{
    SKIP_WITHOUT_WINDOWS_BUILD();
    ProgramRun run;
    run.Write("exact.pcp", "3 0 0\n1 2\n2 4\n3 6\n").Front(FrontEnd::Recording);
    WriteRecordingStandIn(run.directory());
    RunResult result = run.Run("veldafit", {"exact.pcp"}, " \n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(SplitLines(ReadFile(run.File("log"))).size(), 6u);
    EXPECT_FALSE(run.FrontEndStarted());
}

// A plot file named from the root of a drive: gnuplot draws beside it, in that folder.
TEST(WindowsBuild, APlotFileFromTheRootOfADriveKeepsItsName)
{
    SKIP_WITHOUT_WINDOWS_BUILD();
    TempDir gnuplot;
    WriteWindowsStandIn(gnuplot.path(), "gnuplot.exe", "record");
    ProgramRun run;
    run.Copy("line_five.pcp").Front(FrontEnd::Real).Env("FITCORE_GNUPLOT", WineName(gnuplot.File("gnuplot.exe")));
    const std::string file = WineName(run.File("fit.svg"));
    RunResult result = run.Run("veldafit", {"-p", file, "line_five.pcp"});
    EXPECT_EQ(result.exit_status, 1);  // the stand-in draws nothing
    const std::string received = ReadFile(gnuplot.File("log"));
    // gnuplot draws into a new file beside the target, named from the same drive.
    EXPECT_NE(received.find("set output '" + WineName(run.File(".fit.svg."))), std::string::npos) << received;
}

// The Windows front-end with a recording stand-in for gnuplot.exe in a
// folder of its own.
class WindowsFrontEnd : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_WINDOWS_BUILD(); }

    RunResult Feed(const std::string& input) { return run_.Run("pgnuplot.exe", {}, input); }
    // Puts the stand-in into `folder` as gnuplot.exe and returns its path.
    std::string InstallGnuplot(const std::string& folder)
    {
        WriteWindowsStandIn(folder, "gnuplot.exe", "record");
        return folder + "/gnuplot.exe";
    }
    static std::string Received(const std::string& folder) { return ReadFile(folder + "/log"); }

    ProgramRun run_;
    TempDir gnuplot_;
};

TEST_F(WindowsFrontEnd, PassesEveryLineOnTheWindowsTerminalIncluded)
{
    run_.Env("FITCORE_GNUPLOT", WineName(InstallGnuplot(gnuplot_.path())));
    const std::string lines = "set terminal windows\nset xlabel \"a %d\"\nplot x\nset term win\nreplot\n";
    RunResult run = Feed(lines + "last line without its end");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Received(gnuplot_.path()), lines + "last line without its end\n");
}

TEST_F(WindowsFrontEnd, TheUsersTerminalAndOutputFileWorkAsOnLinux)
{
    InstallGnuplot(gnuplot_.path());
    run_.Env("PATH", gnuplot_.path())  // found as gnuplot.exe on PATH
        .Env("FITCORE_GNUPLOT_TERMINAL", "svg")
        .Env("FITCORE_GNUPLOT_OUTPUT", "it's.svg");
    RunResult run = Feed("set terminal windows\nplot x\nreplot\n");
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(Received(gnuplot_.path()), "set terminal svg\nset output 'it''s.svg'\n"
                                         "set output 'it''s.svg'\nplot x\nset output 'it''s.svg'\nreplot\n");
}

// Without FITCORE_GNUPLOT and with no gnuplot.exe on PATH: where gnuplot's
// installer puts it (in the Wine prefix, which the other runs share; none of
// them depends on what it finds there), else a message that says what to
// install, with the input read to its end.
TEST_F(WindowsFrontEnd, FindsGnuplotInProgramFilesOrSaysWhatToInstall)
{
    const fs::path installed =
        fs::path(WindowsBinDir()).parent_path() / "wine-prefix/drive_c/Program Files/gnuplot";
    fs::create_directories(installed / "bin");
    InstallGnuplot((installed / "bin").string());
    RunResult found = Feed("plot x\n");
    std::string received = Received((installed / "bin").string());
    fs::remove_all(installed);
    EXPECT_EQ(found.exit_status, 0) << found.err;
    EXPECT_NE(received.find("plot x\n"), std::string::npos) << received;

    RunResult missing = Feed(std::string(100000, 'x') + "\n");
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_FALSE(missing.timed_out);
    EXPECT_EQ(missing.err,
              "pgnuplot.exe: gnuplot.exe not found on PATH or in Program Files\\gnuplot\\bin; install gnuplot "
              "for Windows, or name its gnuplot.exe in FITCORE_GNUPLOT\n");
}

}  // namespace
