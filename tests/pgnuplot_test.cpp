// The pgnuplot.exe front-end: what it hands gnuplot, the real gnuplot drawing
// on a console-less run, hard copies through the library, and a missing gnuplot.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "program_run.h"
#include "windows_programs.h"

namespace {

namespace fs = std::filesystem;

// Runs without a display or a controlling terminal, with the built front-end
// and the installed gnuplot on PATH, a console of 90 by 20 where one is asked
// for, and the front-end's own variables unset unless a test sets them.
class Pgnuplot : public testing::Test {
protected:
    Pgnuplot() { run_.Front(FrontEnd::Real).Env("COLUMNS", "90").Env("LINES", "20"); }
    // The Windows front-end has tests of its own (windows_build_test.cpp).
    void SetUp() override { SKIP_UNDER_WINE("the POSIX front-end's console, display and process groups"); }

    // Feeds `input` to the front-end.
    RunResult Feed(const std::string& input) { return run_.Run("pgnuplot.exe", {}, input); }

    // A gnuplot stand-in that keeps what it receives and ends with status 3.
    std::string WriteFakeGnuplot()
    {
        std::string path = run_.File("fakegnuplot");
        WriteFile(path, "#!/bin/sh\ncat > \"$(dirname \"$0\")/received\"\nexit 3\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    std::string Received() const { return ReadFile(run_.File("received")); }

    ProgramRun run_;
};

TEST_F(Pgnuplot, MapsTheWindowsTerminalAndPassesEverythingElseOn)
{
    run_.Env("FITCORE_GNUPLOT", WriteFakeGnuplot());
    RunResult run = Feed("set terminal windows\nset xlabel \"a %d\"\nplot x\n"
                         "set terminal postscript\nset output \"f.ps\"\nreplot\n"
                         "set term win\nlast line without its end");
    EXPECT_EQ(run.exit_status, 3);  // gnuplot's own status, once it has ended
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Received(),
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
    run_.Env("FITCORE_GNUPLOT", WriteFakeGnuplot());
    const std::pair<std::string, std::string> cases[] = {
        {"FITCORE_GNUPLOT_TERMINAL", "svg\nsystem 'touch pwned'"},
        {"FITCORE_GNUPLOT_OUTPUT", "fit.svg\r"},
    };
    for (const auto& [name, value] : cases) {
        run_.Env("FITCORE_GNUPLOT_TERMINAL", "svg").Env("FITCORE_GNUPLOT_OUTPUT", "fit.svg").Env(name, value);
        RunResult run = Feed("set terminal windows\nplot x\n");
        EXPECT_EQ(run.err, "pgnuplot.exe: " + name + " holds a line break: the default terminal and output are used\n");
        EXPECT_EQ(Received(), "set terminal dumb size 89,19\nset output\nplot x\n");
    }
}

// A TCP port on this machine that accepts connections while it lives, or,
// after Close, refuses them. One that answers writes a byte to every
// connection it accepts, as an X server answers the start of its protocol.
class LocalPort {
public:
    explicit LocalPort(bool answers = false)
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
        if (answers) answerer_ = std::thread([fd = fd_] {
            for (int client; (client = accept(fd, nullptr, nullptr)) >= 0; close(client)) {
                char request[12];
                if (recv(client, request, sizeof request, MSG_WAITALL) == 12) send(client, "\1", 1, MSG_NOSIGNAL);
            }
        });
    }
    ~LocalPort() { Close(); }
    void Close()
    {
        if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
        if (answerer_.joinable()) answerer_.join();
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    // The display whose server would listen on this port.
    std::string Display() const { return "127.0.0.1:" + std::to_string(port_ - 6000); }

private:
    int fd_ = -1;
    int port_ = 0;
    std::thread answerer_;
};

// A window is asked for only where the display's server answers; a display
// that is not there must not make gnuplot wait for it.
TEST_F(Pgnuplot, AWindowOnlyWhenTheDisplayAnswers)
{
    run_.Env("FITCORE_GNUPLOT", WriteFakeGnuplot());
    LocalPort listening(true), refusing, silent;
    refusing.Close();
    // `silent` accepts connections and never answers them.
    for (const std::string& display :
         {std::string(":59999"), refusing.Display(), silent.Display(), std::string("no display")}) {
        run_.Env("DISPLAY", display);
        RunResult run = Feed("set terminal windows\nplot x\n");
        EXPECT_EQ(run.err, "pgnuplot.exe: the display " + display + " can't be opened: the plot is drawn as text\n");
        EXPECT_EQ(Received(), "set terminal dumb size 89,19\nset output\nplot x\n");
    }
    run_.Env("DISPLAY", listening.Display());
    RunResult run = Feed("set terminal windows\nplot x\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Received().rfind("if (strstrt(' '.GPVAL_TERMINALS.' ', ' qt ') > 0)", 0), 0u);
}

// Started with its standard output and error closed, the front-end must not
// hand gnuplot an end of gnuplot's own input pipe in their place: gnuplot
// would never see its input end.
TEST_F(Pgnuplot, ClosedStandardStreamsDoNotKeepGnuplotRunning)
{
    run_.Env("FITCORE_GNUPLOT", WriteFakeGnuplot()).Shell("exec >&- 2>&-;");
    RunResult run = Feed("plot x\n");
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, 3);
    EXPECT_EQ(Received(), "plot x\n");
}

TEST_F(Pgnuplot, TheUsersOutputFileIsOpenedAgainBeforeEachPlot)
{
    WriteFakeGnuplot();
    run_.Env("FITCORE_GNUPLOT", "fakegnuplot")
        .Env("PATH", run_.directory() + ":" + kSystemPath)
        .Env("FITCORE_GNUPLOT_TERMINAL", "svg size 400,300")
        .Env("FITCORE_GNUPLOT_OUTPUT", "fit.svg");
    RunResult run = Feed("set terminal windows\nplot x\nreplot x*x\nset terminal postscript\nreplot\n");
    EXPECT_EQ(run.exit_status, 3);
    EXPECT_EQ(Received(),
              "set terminal svg size 400,300\nset output 'fit.svg'\n"
              "set output 'fit.svg'\nplot x\nset output 'fit.svg'\nreplot x*x\n"
              "set terminal postscript\nreplot\n");
}

TEST_F(Pgnuplot, RealGnuplotDrawsOnStandardErrorWithoutAConsole)
{
    RunResult run = Feed("set terminal windows\nplot x*x title \"square\"\n");
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("square"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("+-----"), std::string::npos);
    EXPECT_NE(run.err.find(std::string(89, ' ') + "\n"), std::string::npos);  // 89 columns wide
}

TEST_F(Pgnuplot, RealGnuplotWritesOneFinalPictureToTheUsersFile)
{
    run_.Env("FITCORE_GNUPLOT_TERMINAL", "svg").Env("FITCORE_GNUPLOT_OUTPUT", "fit.svg");
    RunResult run = Feed("set terminal windows\nplot x\nreplot x*x\n");
    EXPECT_EQ(run.exit_status, 0) << run.err;
    std::string svg = ReadFile(run_.File("fit.svg"));
    EXPECT_EQ(svg.find("</svg>"), svg.rfind("</svg>"));
    EXPECT_NE(svg.find("x*x"), std::string::npos);
}

TEST_F(Pgnuplot, HardCopiesThroughTheLibraryArePostScript)
{
    RunResult run = run_.Run("gnuplot_driver", {"hardcopy"});  // the built front-end first on PATH
    EXPECT_EQ(run.exit_status, 0) << run.err;
    std::string plain = ReadFile(run_.File("plain.ps"));
    std::string colour = ReadFile(run_.File("colour.ps"));
    EXPECT_EQ(plain.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_EQ(colour.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_NE(plain.find("/Color false def"), std::string::npos);
    EXPECT_NE(colour.find("/Color true def"), std::string::npos);
    EXPECT_NE(run.err.find("squares"), std::string::npos);  // the screen plot, drawn as text
    EXPECT_TRUE(run_.DataFiles().empty());
}

TEST_F(Pgnuplot, MissingGnuplotNamesThePackageAndReadsItsInputToTheEnd)
{
    // 20000 lines do not fit a pipe: `head` would die of a broken pipe if the
    // front-end stopped reading.
    const char* pipeline = "yes 'set xlabel \"x\"' 2>/dev/null | head -n 20000 | PATH=/nonexistent \"$0\"; "
                           "echo \"${PIPESTATUS[1]} ${PIPESTATUS[2]}\"";
    RunResult run = run_.Run("/bin/bash", {"-c", pipeline, ProgramPath("pgnuplot.exe")});
    EXPECT_EQ(run.out, "0 1\n");
    EXPECT_EQ(run.err,
              "pgnuplot.exe: gnuplot not found; install it with: apt-get install gnuplot-nox "
              "(or gnuplot-qt for windows on a desktop)\n");

    run_.Env("FITCORE_GNUPLOT", run_.File("nothing"));
    RunResult chosen = Feed("plot x\n");
    EXPECT_EQ(chosen.exit_status, 1);
    EXPECT_EQ(chosen.err, "pgnuplot.exe: FITCORE_GNUPLOT names no executable program: " +
                              run_.File("nothing") + "\n");
}

}  // namespace
