// No run leaves anything behind: while a program waits for its user it holds
// only its standard streams and the pipe to the front-end, and has exactly the
// front-end as its child; when it ends, whichever way, the front-end has been
// waited for and no gnuplot-i-* data file is left in its working directory.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <map>
#include <string>
#include <vector>

#include "process_watch.h"
#include "program_run.h"
#include "windows_programs.h"

namespace {

struct Run {
    std::string program;
    std::vector<std::string> args;
    const char* data_file;  // copied into the working directory, or null
    const char* before;     // typed before the wait (cadrafit's order)
    const char* prompt;     // the wait's prompt
    const char* answer;     // ends the wait
};

std::vector<std::string> LinesTo(const std::map<int, std::string>& descriptors)
{
    std::vector<std::string> lines;
    for (const auto& [fd, target] : descriptors) lines.push_back(std::to_string(fd) + " -> " + target);
    return lines;
}

// Checks the program while it waits and returns the front-end's pid, or -1.
pid_t CheckWhileWaiting(pid_t program, const ProgramRun& work)
{
    std::vector<pid_t> children = ChildrenOf(program);
    EXPECT_EQ(children.size(), 1u) << "children of the waiting program";
    if (children.size() != 1) return -1;
    pid_t front_end = children[0];
    EXPECT_FALSE(IsZombie(front_end));

    std::map<int, std::string> held = DescriptorsOf(program);
    std::map<int, std::string> front_end_held = DescriptorsOf(front_end);
    const std::string& pipe = front_end_held[0];
    EXPECT_EQ(pipe.rfind("pipe:", 0), 0u) << pipe;
    std::vector<std::string> beyond_standard;
    for (const auto& [fd, target] : held)
        if (fd > 2) beyond_standard.push_back(target);
    EXPECT_EQ(beyond_standard, std::vector<std::string>{pipe})
        << "the program holds more than its standard streams and the front-end's pipe:\n"
        << testing::PrintToString(LinesTo(held));
    EXPECT_EQ(held.count(0) + held.count(1) + held.count(2), 3u);
    // The front-end must not hold the pipe's write end too: it would never see its input end.
    for (const auto& [fd, target] : front_end_held) {
        if (fd != 0) {
            EXPECT_NE(target, pipe) << "front-end descriptor " << fd;
        }
    }

    EXPECT_EQ(work.DataFiles().size(), 1u);
    return front_end;
}

// The front-end reads everything and then lingers before it ends: a program
// that did not wait for it would end first and leave it running.
void RunAndCheck(const Run& run)
{
    SKIP_UNDER_WINE("POSIX descriptors and child processes, as /proc shows them");
    ProgramRun work;
    work.Front(FrontEnd::Lingering);
    if (run.data_file != nullptr) work.Copy(run.data_file);
    InteractiveProgram program = work.Start(run.program, run.args);
    program.Type(run.before);
    ASSERT_TRUE(program.WaitForOutput(run.prompt));
    pid_t front_end = CheckWhileWaiting(program.pid(), work);

    program.Type(run.answer);
    RunResult result = program.Finish();
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    if (front_end > 0) {
        EXPECT_FALSE(ProcessExists(front_end)) << "the front-end was not waited for";
    }
    EXPECT_TRUE(work.DataFiles().empty());
}

TEST(NoLeftovers, VeldafitResultPlot)
{
    RunAndCheck({"veldafit", {"line_five.pcp"}, "line_five.pcp", "",
                 "Press space (and enter) to continue...\n", " \n"});
}

TEST(NoLeftovers, CadrafitResultPlot)
{
    RunAndCheck({"cadrafit", {"poly_parabola.pcp"}, "poly_parabola.pcp", "2\n",
                 "Press space (and enter) to continue...\n", " \n"});
}

TEST(NoLeftovers, SorrafitResultPlot)
{
    RunAndCheck({"sorrafit", {"line_four_sigma.pcp"}, "line_four_sigma.pcp", "",
                 "Press space (and enter) to continue...\n", " \n"});
}

TEST(NoLeftovers, OneShotPlotOfTheLibrary)
{
    RunAndCheck({"gnuplot_driver", {"once", "4"}, nullptr, "",
                 "press ENTER to continue\n", "\n"});
}

// Ways out of a run past the wait: a report that can't be written, a file
// size limit, an ignored SIGCHLD, a front-end that does not end. Each row
// ends with its signal or status and message, and leaves no data file and
// no front-end behind.
struct WayOut {
    const char* name;
    const char* shell;                 // run by /bin/sh before it starts veldafit; null: no shell
    std::vector<int> ignored_signals;  // as the parent leaves them
    bool hanging_front_end;
    int signal;  // that ends veldafit, or 0
    int status;
    std::string err;
    bool plot_file = false;  // draws into an existing keep.svg, which must stay as it was
};

// Standard output a pipe whose reader has gone before the first write.
const char kReaderGone[] = "/usr/bin/mkfifo report && exec 3<>report >report 3<&- &&";

void PrintTo(const WayOut& row, std::ostream* out) { *out << row.name; }

class WaysOut : public testing::TestWithParam<WayOut> {};

TEST_P(WaysOut, LeaveNoDataFileAndNoFrontEndBehind)
{
    SKIP_UNDER_WINE("POSIX signals, descriptors and process groups");
    const WayOut& row = GetParam();
    ProgramRun work;
    std::string points = "200 0 0\n";  // a data file of more than 1024 bytes
    for (int i = 0; i < 200; ++i) points += std::to_string(i) + ".125 " + std::to_string(2 * i) + ".25\n";
    work.Write("many.pcp", points).Front(row.hanging_front_end ? FrontEnd::Hanging : FrontEnd::Recording);
    work.options().ignored_signals = row.ignored_signals;
    // (The shell would not pass an ignored SIGCHLD on.)
    if (row.shell != nullptr) work.Shell(row.shell);
    const std::string kept = "the picture of yesterday";
    if (row.plot_file) work.Write("keep.svg", kept);
    std::vector<std::string> args = {"many.pcp"};
    // A limit the signals come well within; the last row runs into it.
    if (row.plot_file) args.insert(args.begin(), {"--plot", "keep.svg", row.signal != 0 ? "--plot-timeout=30" : "--plot-timeout=1"});
    RunResult run = work.Run("veldafit", args, " \n");
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.signal, row.signal);
    if (row.signal == 0) {
        EXPECT_EQ(run.exit_status, row.status);
    }
    EXPECT_EQ(run.err, row.err);
    EXPECT_TRUE(work.DataFiles().empty());
    if (row.plot_file) {
        EXPECT_EQ(ReadFile(work.File("keep.svg")), kept);
        std::set<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(work.directory()))
            left.insert(entry.path().filename().string());
        EXPECT_EQ(left, (std::set<std::string>{"keep.svg", "many.pcp"}));
    }
    if (row.hanging_front_end) {
        pid_t sleeper = 0;
        std::ifstream(work.FrontEndFile("pid")) >> sleeper;
        ASSERT_GT(sleeper, 0);
        EXPECT_TRUE(!ProcessExists(sleeper) || IsZombie(sleeper)) << "the front-end's child still runs";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Veldafit, WaysOut,
    testing::Values(
        WayOut{"ReaderOfTheReportGone", kReaderGone, {}, false, SIGPIPE, 0, ""},
        WayOut{"ReaderOfTheReportGoneWithSigpipeIgnored", kReaderGone, {SIGPIPE}, false, 0, 1,
               "veldafit: writing to standard output failed: Broken pipe\n"},
        WayOut{"FileSizeLimitDuringTheDataFile", "ulimit -f 1;", {}, false, SIGXFSZ, 0, ""},
        WayOut{"FileSizeLimitWithSigxfszIgnored", "ulimit -f 1;", {SIGXFSZ}, false, 0, 0,
               "cannot create temporary file: exiting plot"},
        WayOut{"SigchldIgnored", nullptr, {SIGCHLD}, false, 0, 0, ""},
        WayOut{"FrontEndThatDoesNotEnd", nullptr, {}, true, 0, 0,
               "gnuplot had not ended 5 seconds after its input and was stopped\n"},
        // Drawing into a file: a signal while gnuplot works, or a gnuplot that
        // does not end, leaves the file that was there, and no other.
        WayOut{"InterruptedWhileDrawingTheFile", "(/bin/sleep 1; kill -INT $$) &", {}, true, SIGINT, 0, "", true},
        WayOut{"TerminatedWhileDrawingTheFile", "(/bin/sleep 1; kill -TERM $$) &", {}, true, SIGTERM, 0, "", true},
        WayOut{"FileOfAGnuplotThatDoesNotEnd", nullptr, {}, true, 0, 1,
               "gnuplot had not ended 1 seconds after its input and was stopped\n"
               "veldafit: cannot draw the plot into 'keep.svg': gnuplot did not finish within 1 second\n",
               true}),
    [](const testing::TestParamInfo<WayOut>& info) { return std::string(info.param.name); });

}  // namespace
