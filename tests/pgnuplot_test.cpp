// The pgnuplot.exe front-end: what it hands gnuplot, the real gnuplot drawing
// on a console-less run, hard copies through the library, and a missing gnuplot.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "run_program.h"
#include "temp_dir.h"
#include "windows_programs.h"

namespace {

namespace fs = std::filesystem;

const char kSetsid[] = "/usr/bin/setsid";  // runs the child without a controlling terminal
const char kSystemPath[] = "/usr/local/bin:/usr/bin:/bin";

// Runs `argv` in `dir` without a display or a controlling terminal, with the
// front-end's own variables unset unless `env` sets them.
RunResult RunDetached(std::vector<std::string> argv, const TempDir& dir, const std::string& input,
                      std::vector<std::pair<std::string, std::optional<std::string>>> env = {})
{
    RunOptions options;
    options.cwd = dir.path();
    options.stdin_text = input;
    options.env = {{"DISPLAY", std::nullopt},
                   {"FITCORE_GNUPLOT", std::nullopt},
                   {"FITCORE_GNUPLOT_TERMINAL", std::nullopt},
                   {"FITCORE_GNUPLOT_OUTPUT", std::nullopt},
                   {"COLUMNS", "90"},
                   {"LINES", "20"}};
    options.env.insert(options.env.end(), env.begin(), env.end());
    argv.insert(argv.begin(), {kSetsid, "-w"});
    return RunProgram(argv, options);
}

// A gnuplot stand-in that keeps what it receives and ends with status 3.
std::string WriteFakeGnuplot(const TempDir& dir)
{
    std::string path = dir.File("fakegnuplot");
    WriteFile(path, "#!/bin/sh\ncat > \"$(dirname \"$0\")/received\"\nexit 3\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

class Pgnuplot : public testing::Test {
protected:
    void SetUp() override
    {
        // The Windows front-end has tests of its own (windows_build_test.cpp).
        SKIP_UNDER_WINE("the POSIX front-end's console, display and process groups");
        if (!fs::exists(kSetsid)) GTEST_SKIP() << "setsid is not installed";
    }
    TempDir dir_;
};

TEST_F(Pgnuplot, MapsTheWindowsTerminalAndPassesEverythingElseOn)
{
    std::string fake = WriteFakeGnuplot(dir_);
    RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_,
                                "set terminal windows\nset xlabel \"a %d\"\nplot x\n"
                                "set terminal postscript\nset output \"f.ps\"\nreplot\n"
                                "set term win\nlast line without its end",
                                {{"FITCORE_GNUPLOT", fake}});
    EXPECT_EQ(run.exit_status, 3);  // gnuplot's own status, once it has ended
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(dir_.File("received")),
              "set terminal dumb size 89,19\nset output\n"
              "set xlabel \"a %d\"\nplot x\n"
              "set terminal postscript\nset output \"f.ps\"\nreplot\n"
              "set terminal dumb size 89,19\nset output\n"
              "last line without its end\n");
}

// Each variable stands on a gnuplot line of its own: one holding a line
// break would start a command of its own, so it is refused and the default
// terminal and output are used.
TEST_F(Pgnuplot, AVariableWithALineBreakIsRefused)
{
    std::string fake = WriteFakeGnuplot(dir_);
    const std::pair<std::string, std::string> cases[] = {
        {"FITCORE_GNUPLOT_TERMINAL", "svg\nsystem 'touch pwned'"},
        {"FITCORE_GNUPLOT_OUTPUT", "fit.svg\r"},
    };
    for (const auto& [name, value] : cases) {
        RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_, "set terminal windows\nplot x\n",
                                    {{"FITCORE_GNUPLOT", fake}, {"FITCORE_GNUPLOT_TERMINAL", "svg"},
                                     {"FITCORE_GNUPLOT_OUTPUT", "fit.svg"}, {name, value}});
        EXPECT_EQ(run.err, "pgnuplot.exe: " + name + " holds a line break: the default terminal and output are used\n");
        EXPECT_EQ(ReadFile(dir_.File("received")), "set terminal dumb size 89,19\nset output\nplot x\n");
    }
}

// A TCP port on this machine that accepts connections while it lives, or,
// after Close, refuses them.
class LocalPort {
public:
    LocalPort()
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
        listen(fd_, 8);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~LocalPort() { Close(); }
    void Close()
    {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    // The display whose server would listen on this port.
    std::string Display() const { return "127.0.0.1:" + std::to_string(port_ - 6000); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A window is asked for only where the display's server answers; a display
// that is not there must not make gnuplot wait for it.
TEST_F(Pgnuplot, AWindowOnlyWhenTheDisplayAnswers)
{
    std::string fake = WriteFakeGnuplot(dir_);
    LocalPort listening, refusing;
    refusing.Close();
    for (const std::string& display : {std::string(":59999"), refusing.Display(), std::string("no display")}) {
        RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_, "set terminal windows\nplot x\n",
                                    {{"FITCORE_GNUPLOT", fake}, {"DISPLAY", display}});
        EXPECT_EQ(run.err, "pgnuplot.exe: the display " + display + " can't be opened: the plot is drawn as text\n");
        EXPECT_EQ(ReadFile(dir_.File("received")), "set terminal dumb size 89,19\nset output\nplot x\n");
    }
    RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_, "set terminal windows\nplot x\n",
                                {{"FITCORE_GNUPLOT", fake}, {"DISPLAY", listening.Display()}});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(dir_.File("received")).rfind("if (strstrt(' '.GPVAL_TERMINALS.' ', ' qt ') > 0)", 0), 0u);
}

// Started with its standard output and error closed, the front-end must not
// hand gnuplot an end of gnuplot's own input pipe in their place: gnuplot
// would never see its input end.
TEST_F(Pgnuplot, ClosedStandardStreamsDoNotKeepGnuplotRunning)
{
    std::string fake = WriteFakeGnuplot(dir_);
    RunResult run = RunDetached({"/bin/sh", "-c", "exec \"$0\" >&- 2>&-", ProgramPath("pgnuplot.exe")}, dir_,
                                "plot x\n", {{"FITCORE_GNUPLOT", fake}});
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, 3);
    EXPECT_EQ(ReadFile(dir_.File("received")), "plot x\n");
}

TEST_F(Pgnuplot, TheUsersOutputFileIsOpenedAgainBeforeEachPlot)
{
    WriteFakeGnuplot(dir_);
    RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_,
                                "set terminal windows\nplot x\nreplot x*x\n"
                                "set terminal postscript\nreplot\n",
                                {{"FITCORE_GNUPLOT", "fakegnuplot"},
                                 {"PATH", dir_.path() + ":" + kSystemPath},
                                 {"FITCORE_GNUPLOT_TERMINAL", "svg size 400,300"},
                                 {"FITCORE_GNUPLOT_OUTPUT", "fit.svg"}});
    EXPECT_EQ(run.exit_status, 3);
    EXPECT_EQ(ReadFile(dir_.File("received")),
              "set terminal svg size 400,300\nset output 'fit.svg'\n"
              "set output 'fit.svg'\nplot x\nset output 'fit.svg'\nreplot x*x\n"
              "set terminal postscript\nreplot\n");
}

TEST_F(Pgnuplot, RealGnuplotDrawsOnStandardErrorWithoutAConsole)
{
    RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_,
                                "set terminal windows\nplot x*x title \"square\"\n");
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("square"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("+-----"), std::string::npos);
    EXPECT_NE(run.err.find(std::string(89, ' ') + "\n"), std::string::npos);  // 89 columns wide
}

TEST_F(Pgnuplot, RealGnuplotWritesOneFinalPictureToTheUsersFile)
{
    RunResult run = RunDetached({ProgramPath("pgnuplot.exe")}, dir_,
                                "set terminal windows\nplot x\nreplot x*x\n",
                                {{"FITCORE_GNUPLOT_TERMINAL", "svg"},
                                 {"FITCORE_GNUPLOT_OUTPUT", "fit.svg"}});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    std::string svg = ReadFile(dir_.File("fit.svg"));
    EXPECT_EQ(svg.find("</svg>"), svg.rfind("</svg>"));
    EXPECT_NE(svg.find("x*x"), std::string::npos);
}

TEST_F(Pgnuplot, HardCopiesThroughTheLibraryArePostScript)
{
    std::string bin = fs::path(ProgramPath("pgnuplot.exe")).parent_path().string();
    RunResult run = RunDetached({ProgramPath("gnuplot_driver"), "hardcopy"}, dir_, "",
                                {{"PATH", bin + ":" + kSystemPath}});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    std::string plain = ReadFile(dir_.File("plain.ps"));
    std::string colour = ReadFile(dir_.File("colour.ps"));
    EXPECT_EQ(plain.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_EQ(colour.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_NE(plain.find("/Color false def"), std::string::npos);
    EXPECT_NE(colour.find("/Color true def"), std::string::npos);
    EXPECT_NE(run.err.find("squares"), std::string::npos);  // the screen plot, drawn as text
    EXPECT_TRUE(std::none_of(fs::directory_iterator(dir_.path()), fs::directory_iterator(),
                             [](const fs::directory_entry& entry) {
                                 return entry.path().filename().string().rfind("gnuplot-i-", 0) == 0;
                             }));
}

TEST_F(Pgnuplot, MissingGnuplotNamesThePackageAndReadsItsInputToTheEnd)
{
    // 20000 lines do not fit a pipe: `head` would die of a broken pipe if the
    // front-end stopped reading.
    RunOptions options;
    options.cwd = dir_.path();
    options.env = {{"FITCORE_GNUPLOT", std::nullopt}};
    RunResult run = RunProgram(
        {"/bin/bash", "-c",
         "yes 'set xlabel \"x\"' 2>/dev/null | head -n 20000 | PATH=/nonexistent \"$0\"; "
         "echo \"${PIPESTATUS[1]} ${PIPESTATUS[2]}\"",
         ProgramPath("pgnuplot.exe")},
        options);
    EXPECT_EQ(run.out, "0 1\n");
    EXPECT_EQ(run.err,
              "pgnuplot.exe: gnuplot not found; install it with: apt-get install gnuplot-nox "
              "(or gnuplot-qt for windows on a desktop)\n");

    RunResult chosen = RunDetached({ProgramPath("pgnuplot.exe")}, dir_, "plot x\n",
                                   {{"FITCORE_GNUPLOT", dir_.File("nothing")}});
    EXPECT_EQ(chosen.exit_status, 1);
    EXPECT_EQ(chosen.err, "pgnuplot.exe: FITCORE_GNUPLOT names no executable program: " +
                              dir_.File("nothing") + "\n");
}

}  // namespace
