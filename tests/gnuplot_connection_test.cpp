// The gnuplot connection against a recording stand-in for the front-end:
// the lookup, every line sent, the data files, the limits and the refusals.
// Built for Windows too, with the stand-in built for Windows; the tests of
// POSIX signals, file size limits and the POSIX search rule are left out there.
#include <fitcore/gnuplot_connection.h>
#include <fitcore/handles.h>
#include <fitcore/platform.h>
#include <fitcore/plot.h>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "gnuplot_stand_in.h"
#include "reference.h"
#include "temp_dir.h"
#ifndef _WIN32
#include "program_run.h"
#endif

namespace {

namespace fs = std::filesystem;

const double kX[] = {1, 2.5, 1e-7};
const double kY[] = {4, -5, 123456789};

// Sets PATH for this process, or with nullopt removes it.
void SetPath(const std::optional<std::string>& path)
{
#ifdef _WIN32
    _putenv_s("PATH", path ? path->c_str() : "");
#else
    if (path)
        setenv("PATH", path->c_str(), 1);
    else
        unsetenv("PATH");
#endif
}

// The directories joined by the system's search list separator.
std::string SearchList(std::initializer_list<std::string> directories)
{
    std::string list;
    for (const std::string& directory : directories) {
        if (&directory != directories.begin()) list += fitcore::kSearchListSeparator;
        list += directory;
    }
    return list;
}

// Runs each test in a scratch working directory with only the stand-in's
// directory on PATH; restores both afterwards.
class GnuplotConnection : public testing::Test {
protected:
    void SetUp() override
    {
        saved_cwd_ = fs::current_path();
        if (const char* path = std::getenv("PATH")) saved_path_ = path;
        WriteRecordingStandIn(bin_.path());
        SetPath(bin_.path());
        fs::current_path(work_.path());
    }

    void TearDown() override
    {
        fs::current_path(saved_cwd_);
        SetPath(saved_path_);
    }

    gnuplot_connection* Open()
    {
        gnuplot_connection* handle = gnuplot_init();
        EXPECT_NE(handle, nullptr);
        return handle;
    }

    std::vector<std::string> Log() const { return SplitLines(ReadFile(bin_.File("log"))); }
    std::string DataCopy(int n) const { return ReadFile(bin_.File("data." + std::to_string(n))); }
    std::vector<std::string> DataFiles() const { return DataFilesIn(work_.path()); }

    // Waits (boundedly) until the stand-in has handled `count` lines.
    void WaitForLogLines(std::size_t count) const
    {
        for (int wait = 0; wait < 1000 && Log().size() < count; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    TempDir bin_;
    TempDir work_;
    fs::path saved_cwd_;
    std::optional<std::string> saved_path_;
};

bool AllDigits(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "./gnuplot-i-" and six digits: a data file name as the library makes it.
bool IsDataFileName(const std::string& text)
{
    const std::string prefix = "./gnuplot-i-";
    return text.size() == prefix.size() + 6 && text.rfind(prefix, 0) == 0 &&
           AllDigits(text.substr(prefix.size()));
}

// A recorded line, with each data file name replaced by "FILE".
std::string WithoutFileName(std::string line)
{
    for (std::size_t at = line.find("./gnuplot-i-"); at != std::string::npos;
         at = line.find("./gnuplot-i-", at + 1)) {
        if (IsDataFileName(line.substr(at, 18))) line.replace(at, 18, "FILE");
    }
    return line;
}

std::vector<std::string> WithoutFileNames(const std::vector<std::string>& lines)
{
    std::vector<std::string> result;
    for (const std::string& line : lines) result.push_back(WithoutFileName(line));
    return result;
}

// The lookup keeps its answer for callers, but the front-end that
// gnuplot_init runs is found as a shell finds a program: in the working
// directory only when PATH names it.
TEST_F(GnuplotConnection, LookupTriesTheCurrentDirectoryBeforePathButInitOnlyPath)
{
    if (fitcore::kWorkingDirectoryFirst) GTEST_SKIP() << "Windows itself starts a program in the working directory first";
    TempDir other;
    WriteRecordingStandIn(work_.path());
    SetPath(std::nullopt);
    testing::internal::CaptureStderr();
    const char* found = gnuplot_get_program_path("pgnuplot.exe");
    EXPECT_STREQ(found, ".");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    for (const std::string& path : {other.path(), std::string("/nonexistent:") + other.path() + ":"}) {
        SetPath(path);
        testing::internal::CaptureStderr();
        EXPECT_EQ(gnuplot_init(), nullptr) << path;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "cannot find gnuplot in your PATH");
    }
    EXPECT_FALSE(fs::exists(work_.File("log")));
    for (const std::string& path : {other.path() + "::/nonexistent", std::string("."), other.path() + ":"}) {
        SetPath(":" + path);
        gnuplot_close(Open());
        EXPECT_EQ(SplitLines(ReadFile(work_.File("log"))), std::vector<std::string>{"set terminal windows"});
        fs::remove(work_.File("log"));
    }
}

TEST_F(GnuplotConnection, UnsetOrEmptyPathFindsNothing)
{
    SetPath(std::nullopt);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gnuplot_get_program_path("pgnuplot.exe"), nullptr);
    EXPECT_EQ(gnuplot_init(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "PATH variable not set\nPATH variable not set\ncannot find gnuplot in your PATH");

#ifndef _WIN32  // on Windows an empty variable is no variable at all
    SetPath("");
    testing::internal::CaptureStderr();
    EXPECT_EQ(gnuplot_get_program_path("pgnuplot.exe"), nullptr);
    EXPECT_EQ(gnuplot_init(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "cannot find gnuplot in your PATH");
#endif
}

TEST_F(GnuplotConnection, LookupWalksPathEntriesInOrder)
{
    TempDir other;
    WriteRecordingStandIn(other.path());
    const std::string empty = TempDir().path();  // removed: holds nothing
    auto lookup = [](const std::string& path) {
        SetPath(path);
        const char* found = gnuplot_get_program_path("pgnuplot.exe");
        return found != nullptr ? std::string(found) : std::string("(null)");
    };
    EXPECT_EQ(lookup(SearchList({empty, "", bin_.path()})), bin_.path());
    EXPECT_EQ(lookup(SearchList({other.path(), "", bin_.path()})), other.path());
    EXPECT_EQ(lookup(SearchList({empty, ""})), "(null)");
    EXPECT_EQ(lookup(SearchList({"", bin_.path()})), bin_.path());
    EXPECT_EQ(lookup(bin_.path() + "/"), bin_.path() + "/");  // the entry as it stands

    // Directories are not programs.
    fs::create_directory(work_.File("pgnuplot.exe"));
    EXPECT_EQ(lookup(SearchList({"", ""})), "(null)");
}

TEST_F(GnuplotConnection, LookupSkipsACandidateTooLongForItsBuffer)
{
    SetPath(SearchList({std::string(5000, 'a'), bin_.path()}));
    testing::internal::CaptureStderr();
    const char* found = gnuplot_get_program_path("pgnuplot.exe");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::string(found), bin_.path());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "program lookup: a candidate longer than 4095 characters was skipped\n");
}

TEST_F(GnuplotConnection, SessionSendsEveryLineInOrderWithItsData)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->plot_count, 0);
    EXPECT_EQ(handle->temp_count, 0);
    EXPECT_STREQ(handle->style, "points");

    std::string long_name(40, 't');
    gnuplot_setterm(handle, long_name.c_str());
    EXPECT_EQ(std::string(handle->terminal), std::string(31, 't'));
    gnuplot_set_xlabel(handle, "x in %d");
    gnuplot_set_ylabel(handle, "y");
    gnuplot_set_zlabel(handle, "z");
    gnuplot_plot_xy(handle, kX, kY, 3, "first 100%");
    gnuplot_setstyle(handle, "lines");
    gnuplot_plot_x(handle, kY, 3, nullptr);
    gnuplot_cmd(handle, "print %d, \"%s\"", 42, "text");
    std::string first = handle->temp_files[0], second = handle->temp_files[1];
    EXPECT_EQ(handle->plot_count, 2);
    EXPECT_NE(first, second);
    gnuplot_close(handle);

    EXPECT_EQ(WithoutFileNames(Log()),
              (std::vector<std::string>{"set terminal windows", "set terminal " + std::string(31, 't'),
                                        "set xlabel \"x in %d\"", "set ylabel \"y\"",
                                        "set zlabel \"z\"",
                                        "plot \"FILE\" title \"first 100%\" with points",
                                        "replot \"FILE\" with lines", "print 42, \"text\""}));
    ASSERT_EQ(Log().size(), 8u);
    EXPECT_EQ(Log()[5], "plot \"" + first + "\" title \"first 100%\" with points");
    EXPECT_EQ(DataCopy(1), "1 4\n2.5 -5\n1e-07 123456789\n");
    EXPECT_EQ(DataCopy(2), "4\n-5\n123456789\n");
    EXPECT_TRUE(DataFiles().empty());
}

TEST_F(GnuplotConnection, StyleAcceptsOnlyTheNineNamesExactly)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    testing::internal::CaptureStderr();
    gnuplot_setstyle(handle, "boxerrorbars");
    EXPECT_STREQ(handle->style, "boxerrorbars");
    gnuplot_setstyle(handle, "Points");
    EXPECT_STREQ(handle->style, "points");
    gnuplot_setstyle(handle, "steps");
    gnuplot_setstyle(handle, "line");
    EXPECT_STREQ(handle->style, "points");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "warning: unknown requested style: using points\n"
              "warning: unknown requested style: using points\n");
    gnuplot_resetplot(handle);
    gnuplot_close(handle);
    EXPECT_EQ(Log(), std::vector<std::string>{"set terminal windows"});
}

TEST_F(GnuplotConnection, ThreeDimensionalPlotsOnlyStartAPlot)
{
    const double z[] = {7, 8, 9};
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(gnuplot_splot(handle, kX, kY, z, 3, "deep"), 0);
    gnuplot_plot_xy(handle, kX, kY, 3, nullptr);  // adds to the 3-D plot
    EXPECT_EQ(gnuplot_splot(handle, kX, kY, z, 3, "deep"), 1);
    EXPECT_EQ(gnuplot_splot(handle, kX, kY, z, 3, "deep"), 1);
    EXPECT_EQ(handle->temp_count, 2);
    WaitForLogLines(3);  // the stand-in has copied the files that reset deletes

    gnuplot_resetplot(handle);
    EXPECT_EQ(handle->plot_count, 0);
    EXPECT_EQ(handle->temp_count, 0);
    EXPECT_TRUE(DataFiles().empty());
    gnuplot_plot_xy(handle, kX, kY, 3, "flat");
    WaitForLogLines(4);
    gnuplot_resetplot(handle);
    EXPECT_EQ(gnuplot_splot(handle, kX, kY, z, 3, nullptr), 0);
    gnuplot_close(handle);

    EXPECT_EQ(WithoutFileNames(Log()),
              (std::vector<std::string>{"set terminal windows",
                                        "splot \"FILE\" title \"deep\" with points",
                                        "replot \"FILE\" with points",
                                        "plot \"FILE\" title \"flat\" with points",
                                        "splot \"FILE\" with points"}));
    EXPECT_EQ(DataCopy(1), "1 4 7\n2.5 -5 8\n1e-07 123456789 9\n");
    EXPECT_EQ(DataCopy(2), "1 4\n2.5 -5\n1e-07 123456789\n");
}

TEST_F(GnuplotConnection, AnalyticCurvesCountAsPlotsButMakeNoFiles)
{
    const Point points[] = {{1, 2, 3, 4, 5}, {-6, 7, 8, 9, 10}};
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_plot_slope(handle, 2, -3, nullptr);
    gnuplot_setstyle(handle, "lines");
    gnuplot_plot_equation(handle, "x > 0 ? \"a\" . x : 1/0", "wave 5%");
    gnuplot_plot_slope(handle, 0.5, 1e-9, "half");
    EXPECT_EQ(handle->temp_count, 0);
    EXPECT_EQ(gnuplot_splot(handle, kX, kY, kX, 3, nullptr), 1);
    EXPECT_EQ(gnuplot_plot_Point_xy(handle, points, 2, "Points"), 0);
    EXPECT_EQ(handle->plot_count, 4);
    gnuplot_close(handle);

    EXPECT_EQ(WithoutFileNames(Log()),
              (std::vector<std::string>{"set terminal windows",
                                        "plot 2 * x + -3 title \"no title\" with points",
                                        "replot x > 0 ? \"a\" . x : 1/0 title \"wave 5%\" with lines",
                                        "replot 0.5 * x + 1e-09 title \"half\" with lines",
                                        "replot \"FILE\" title \"Points\" with lines"}));
    EXPECT_EQ(DataCopy(1), "1 2\n-6 7\n");
}

// Records the calls it gets and delivers (index, 10 * index + count, -index).
struct Spiral {
    std::vector<std::pair<int, int>> calls;
};

void SpiralPoint(void* object, gnuplot_xyz* point, int index, int count)
{
    static_cast<Spiral*>(object)->calls.emplace_back(index, count);
    point->x = index;
    point->y = index * 10 + count;
    point->z = -index;
}

TEST_F(GnuplotConnection, CallbacksDeliverOnePointPerLineInOrder)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    Spiral spiral;
    EXPECT_EQ(gnuplot_splot_obj(handle, &spiral, SpiralPoint, 3, "spiral"), 0);
    EXPECT_EQ(gnuplot_plot_obj_xy(handle, &spiral, SpiralPoint, 2, nullptr), 0);
    EXPECT_EQ(gnuplot_splot_obj(handle, &spiral, SpiralPoint, 1, nullptr), 1);
    EXPECT_EQ(gnuplot_plot_obj_xy(handle, &spiral, nullptr, 2, nullptr), 1);
    EXPECT_EQ(spiral.calls, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}, {0, 2}, {1, 2}}));
    gnuplot_close(handle);

    EXPECT_EQ(WithoutFileNames(Log()),
              (std::vector<std::string>{"set terminal windows",
                                        "splot \"FILE\" title \"spiral\" with points",
                                        "replot \"FILE\" with points"}));
    EXPECT_EQ(DataCopy(1), "0 3 0\n1 13 -1\n2 23 -2\n");
    EXPECT_EQ(DataCopy(2), "0 2\n1 12\n");
}

TEST_F(GnuplotConnection, HardCopiesReturnToTheStoredTerminal)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_setterm(handle, std::string(40, 'w').c_str());
    EXPECT_EQ(gnuplot_hardcopy(handle, "out 100%.ps"), 0);
    EXPECT_EQ(gnuplot_hardcopy_colour(handle, "colour.ps"), 0);
    EXPECT_EQ(handle->plot_count, 0);
    gnuplot_close(handle);

    std::string restore = "set terminal " + std::string(31, 'w');
    EXPECT_EQ(Log(), (std::vector<std::string>{"set terminal windows", restore,
                                               "set terminal postscript",
                                               "set output \"./out 100%.ps\"", "replot", restore,
                                               "set terminal postscript enhanced color",
                                               "set output \"./colour.ps\"", "replot", restore}));
}

TEST_F(GnuplotConnection, SixtyFourDataFilesAtMost)
{
    const Point point{1, 2, 0, 0, 0};
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(gnuplot_plot_Point_xy(handle, &point, 1, nullptr), 0);
    EXPECT_EQ(DataFiles().size(), 64u);

    testing::internal::CaptureStderr();
    EXPECT_EQ(gnuplot_plot_Point_xy(handle, &point, 1, nullptr), 1);
    gnuplot_plot_x(handle, kX, 1, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "maximum # of temporary files reached (64): cannot open more"
              "maximum # of temporary files reached (64): cannot open more");
    EXPECT_EQ(handle->temp_count, 64);
    EXPECT_EQ(handle->plot_count, 64);
    EXPECT_EQ(DataFiles().size(), 64u);
    gnuplot_close(handle);
    EXPECT_EQ(Log().size(), 65u);
    EXPECT_TRUE(DataFiles().empty());
}

TEST_F(GnuplotConnection, NullHandlesAndEmptyDataDoNothing)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    gnuplot_close(nullptr);
    gnuplot_plot_x(nullptr, kX, 3, nullptr);
    EXPECT_EQ(gnuplot_plot_Point_xy(nullptr, nullptr, 3, nullptr), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_plot_x(handle, kX, 0, "none");
    gnuplot_plot_xy(handle, kX, nullptr, 3, "none");
    EXPECT_EQ(gnuplot_splot(handle, kX, kY, nullptr, 3, nullptr), 1);
    EXPECT_EQ(gnuplot_plot_Point_xy(handle, nullptr, 3, nullptr), 1);
    const Point point{};
    EXPECT_EQ(gnuplot_plot_Point_xy(handle, &point, -1, nullptr), 1);
    EXPECT_EQ(handle->plot_count, 0);
    EXPECT_EQ(handle->temp_count, 0);
    EXPECT_TRUE(DataFiles().empty());
    gnuplot_close(handle);
    EXPECT_EQ(Log(), std::vector<std::string>{"set terminal windows"});
}

TEST_F(GnuplotConnection, CloseReportsAFileThatCannotBeDeletedAndDeletesTheRest)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_plot_x(handle, kX, 3, nullptr);
    gnuplot_plot_x(handle, kY, 3, nullptr);
    std::string missing = handle->temp_files[0];
    fs::remove(missing);
    testing::internal::CaptureStdout();
    gnuplot_close(handle);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Failure to delate " + missing + ": error number " + std::to_string(ENOENT) + "\n");
    EXPECT_TRUE(DataFiles().empty());
}

TEST_F(GnuplotConnection, TextsThatWouldEndTheirQuotesAreRefused)
{
    const char* bad_texts[] = {"say \"hi\"", "`rm -rf ~`", "two\nlines"};
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    testing::internal::CaptureStderr();
    for (const char* bad : bad_texts) {
        gnuplot_plot_xy(handle, kX, kY, 3, bad);
        EXPECT_EQ(gnuplot_plot_Point_xy(handle, nullptr, 0, bad), 1);
        gnuplot_set_xlabel(handle, bad);
        gnuplot_set_zlabel(handle, bad);
        gnuplot_plot_slope(handle, 1, 2, bad);
        gnuplot_plot_equation(handle, "x", bad);
        EXPECT_EQ(gnuplot_hardcopy(handle, bad), 1);
    }
    gnuplot_plot_equation(handle, "x\nset output \"x\"", nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(handle->plot_count, 0);
    EXPECT_EQ(handle->temp_count, 0);
    EXPECT_TRUE(DataFiles().empty());
    gnuplot_close(handle);

    EXPECT_EQ(Log(), std::vector<std::string>{"set terminal windows"});
    EXPECT_NE(err.find("cannot send the title: a double quote, backquote or line break in it is "
                       "not allowed\n"),
              std::string::npos);
    EXPECT_NE(err.find("cannot send the x label:"), std::string::npos);
    EXPECT_NE(err.find("cannot send the hard-copy file name:"), std::string::npos);
    EXPECT_NE(err.find("cannot send the equation: a line break in it is not allowed\n"),
              std::string::npos);
}

// gnuplot is given a hard copy's name so that it can write that file and
// nothing else: never a command to run, never a home directory.
TEST_F(GnuplotConnection, HardCopiesWriteOnlyTheFileNamed)
{
    const struct {
        const char* name;
        const char* output;  // the line sent, or null: refused
    } cases[] = {
        {"|touch X; cat >/dev/null", "set output \"./|touch X; cat >/dev/null\""},
        {"~/x.ps", "set output \"./~/x.ps\""},
        {"<x.ps", "set output \"./<x.ps\""},
        {"sub/x.ps", "set output \"./sub/x.ps\""},
        {"a\\b\\n.ps", "set output \"./a\\\\b\\\\n.ps\""},
#ifdef _WIN32
        {"C:\\out.ps", "set output \"C:\\\\out.ps\""},
#else
        {"/tmp/x.ps", "set output \"/tmp/x.ps\""},
#endif
        {"", nullptr},
        {"x\".ps", nullptr},
        {"`touch X`.ps", nullptr},
    };
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    std::vector<std::string> expected = {"set terminal windows"};
    testing::internal::CaptureStderr();
    for (const auto& c : cases) {
        EXPECT_EQ(gnuplot_hardcopy_colour(handle, c.name), c.output != nullptr ? 0 : 1) << c.name;
        if (c.output == nullptr) continue;
        expected.insert(expected.end(),
                        {"set terminal postscript enhanced color", c.output, "replot", "set terminal windows"});
    }
    std::string err = testing::internal::GetCapturedStderr();
    gnuplot_close(handle);
    EXPECT_EQ(Log(), expected);
    EXPECT_NE(err.find("cannot send the hard-copy file name: it is empty\n"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(work_.File("X")));
}

// Titles and labels arrive as given, backslashes and all; the lines are
// those gnuplot reads back as the caller's text.
TEST_F(GnuplotConnection, BackslashesInTitlesAndLabelsArriveAsGiven)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_set_xlabel(handle, "a\\");
    gnuplot_set_ylabel(handle, "C:\\data\\new");
    gnuplot_plot_x(handle, kX, 3, "a\\");
    gnuplot_plot_slope(handle, 1, 2, "\\n\\t");
    gnuplot_plot_equation(handle, "x", "C:\\data\\new");
    gnuplot_close(handle);
    EXPECT_EQ(WithoutFileNames(Log()),
              (std::vector<std::string>{"set terminal windows", "set xlabel \"a\\\\\"",
                                        "set ylabel \"C:\\\\data\\\\new\"",
                                        "plot \"FILE\" title \"a\\\\\" with points",
                                        "replot 1 * x + 2 title \"\\\\n\\\\t\" with points",
                                        "replot x title \"C:\\\\data\\\\new\" with points"}));
#ifndef _WIN32
    if (!fs::exists("/usr/bin/gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    std::string program;
    for (const std::string& line : Log())
        if (line.starts_with("set ") && line.find("label") != std::string::npos)
            program += "print " + line.substr(line.find('"')) + "\n";
    RunOptions options;
    options.stdin_text = program;
    RunResult run = RunProgram({"/usr/bin/gnuplot"}, options);
    EXPECT_EQ(run.err, "a\\\nC:\\data\\new\n");
#endif
}

TEST_F(GnuplotConnection, TerminalNameWithALineBreakIsRefusedAndTheTerminalKept)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_setterm(handle, "dumb");
    testing::internal::CaptureStderr();
    gnuplot_setterm(handle, "dumb\n!touch injected");
    gnuplot_setterm(handle, "\n");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(handle->terminal, "dumb");
    gnuplot_hardcopy(handle, "copy.ps");  // sets the terminal in force again
    gnuplot_close(handle);

    EXPECT_EQ(err, "cannot send the terminal name: a line break in it is not allowed\n"
                   "cannot send the terminal name: a line break in it is not allowed\n");
    EXPECT_EQ(Log(), (std::vector<std::string>{"set terminal windows", "set terminal dumb",
                                               "set terminal postscript", "set output \"./copy.ps\"",
                                               "replot", "set terminal dumb"}));
}

TEST_F(GnuplotConnection, TooLongCommandsAreRefusedNotCut)
{
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    testing::internal::CaptureStderr();
    gnuplot_cmd(handle, "%s", std::string(2046, 'a').c_str());  // with its newline: 2047
    gnuplot_cmd(handle, "%s", std::string(2047, 'b').c_str());
    gnuplot_plot_xy(handle, kX, kY, 3, std::string(2001, 'c').c_str());
    gnuplot_plot_xy(handle, kX, kY, 3, std::string(2000, 'c').c_str());  // just fits
    gnuplot_plot_slope(handle, 1, 2, std::string(80, 'd').c_str());
    gnuplot_plot_slope(handle, 1, 2, std::string(79, 'e').c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(handle->temp_count, 1);
    gnuplot_close(handle);

    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1], std::string(2046, 'a'));
    EXPECT_EQ(log[2].size(), 2046u);
    EXPECT_EQ(log[3], "replot 1 * x + 2 title \"" + std::string(79, 'e') + "\" with points");
    EXPECT_EQ(err,
              "gnuplot command too long (limit 2046 characters): not sent\n"
              "gnuplot command too long (limit 2046 characters): not sent\n"
              "cannot send the title: it is longer than 79 characters\n");
}

#ifndef _WIN32
// A short table, and one long enough to be formatted on two threads.
TEST_F(GnuplotConnection, DataThatCannotBeWrittenFailsThePlot)
{
    for (int count : {1000, 300000}) {
        SCOPED_TRACE(count);
        gnuplot_connection* handle = Open();
        ASSERT_NE(handle, nullptr);
        std::vector<Point> points(static_cast<size_t>(count), Point{1.5, 2.5, 0, 0, 0});
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 100;  // bytes: a full disk for this process only
        auto saved_handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        testing::internal::CaptureStderr();
        int result = gnuplot_plot_Point_xy(handle, points.data(), count, "big");
        std::string err = testing::internal::GetCapturedStderr();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, saved_handler);

        EXPECT_EQ(result, 1);
        EXPECT_EQ(err, "cannot create temporary file: exiting plot");
        EXPECT_EQ(handle->plot_count, 0);
        EXPECT_EQ(handle->temp_count, 1);  // recorded, so that close deletes it
        EXPECT_EQ(DataFiles().size(), 1u);
        gnuplot_close(handle);
        EXPECT_TRUE(DataFiles().empty());
    }
    EXPECT_EQ(Log(), (std::vector<std::string>{"set terminal windows", "set terminal windows"}));
}
#endif

// Doubles of every kind: random bit patterns (NaN, infinities, subnormals
// among them) and short decimals whose %g rounding is a close call.
std::vector<double> AwkwardValues(size_t count, uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::vector<double> values(count);
    for (double& value : values) {
        uint64_t bits = random();
        if (bits % 3 == 0) {
            value = static_cast<double>(static_cast<int64_t>(bits >> 20) % 20000000) / 1000 + 0.0000005;
        } else {
            std::memcpy(&value, &bits, sizeof value);
        }
    }
    return values;
}

std::string PrintfLines(const std::vector<double>& x, const std::vector<double>* y)
{
    std::string text;
    for (size_t i = 0; i < x.size(); ++i)
        text += PrintfExactGeneral(x[i]) + (y != nullptr ? " " + PrintfExactGeneral((*y)[i]) : "") + "\n";
    return text;
}

struct Values {
    const std::vector<double>* x;
    const std::vector<double>* y;
};

void ValuePoint(void* object, gnuplot_xyz* point, int index, int)
{
    const Values* values = static_cast<const Values*>(object);
    point->x = (*values->x)[static_cast<size_t>(index)];
    point->y = (*values->y)[static_cast<size_t>(index)];
}

// Long data files are written in blocks, on two threads for arrays: the
// lines must be exactly printf's, in order.
TEST_F(GnuplotConnection, LongDataFilesHoldPrintfsLinesInOrder)
{
    const size_t count = 250000;
    std::vector<double> x = AwkwardValues(count, 1), y = AwkwardValues(count, 2);
    std::vector<Point> points(count);
    for (size_t i = 0; i < count; ++i) points[i] = Point{x[i], y[i], 0, 0, 0};
    Values values{&x, &y};

    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(gnuplot_plot_Point_xy(handle, points.data(), static_cast<int>(count), nullptr), 0);
    gnuplot_plot_x(handle, x.data(), static_cast<int>(count), nullptr);
    EXPECT_EQ(gnuplot_plot_obj_xy(handle, &values, ValuePoint, static_cast<int>(count), nullptr), 0);
    gnuplot_close(handle);

    std::string pairs = PrintfLines(x, &y);
    EXPECT_TRUE(DataCopy(1) == pairs);
    EXPECT_TRUE(DataCopy(2) == PrintfLines(x, nullptr));
    EXPECT_TRUE(DataCopy(3) == pairs);
}

TEST_F(GnuplotConnection, AVanishedFrontEndLosesCommandsButNeverKillsTheProgram)
{
    WriteVanishingStandIn(bin_.path());
#ifdef SIGPIPE
    auto saved_handler = std::signal(SIGPIPE, SIG_DFL);
#endif
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    for (int wait = 0; wait < 1000 && !fs::exists(bin_.File("closed")); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 60; ++i) gnuplot_plot_x(handle, kX, 3, "lost");
    gnuplot_cmd(handle, "%s", std::string(2000, 'x').c_str());
    EXPECT_EQ(handle->temp_count, 60);
    gnuplot_close(handle);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
#ifdef SIGPIPE
    std::signal(SIGPIPE, saved_handler);
#endif
    EXPECT_TRUE(DataFiles().empty());
}

// A front-end that does not end once its input is closed is stopped, with
// its process group, when the time is up; the data files go all the same.
TEST_F(GnuplotConnection, CloseWithinATimeStopsAFrontEndThatDoesNotEnd)
{
    WriteHangingStandIn(bin_.path());
    gnuplot_connection* handle = Open();
    ASSERT_NE(handle, nullptr);
    gnuplot_plot_x(handle, kX, 3, "x");
    EXPECT_EQ(DataFiles().size(), 1u);
    testing::internal::CaptureStderr();
    gnuplot_close_within(handle, 100);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "gnuplot had not ended 0.1 seconds after its input and was stopped\n");
    EXPECT_TRUE(DataFiles().empty());
}

TEST(GnuplotTemporaryFile, DrawsSixDigitsInPlaceOfTheFirstSixX)
{
    TempDir dir;
    std::string name = dir.File("a-XXXXXX-b-XXXXXXXXXXXX");
    std::string drawn = name;
    int fd = fitcore::mkstemp(drawn.data());
    ASSERT_GE(fd, 0);
    fitcore::CloseFile(fd);
    std::size_t at = name.find("XXXXXX");
    EXPECT_EQ(drawn.substr(0, at), name.substr(0, at));
    EXPECT_EQ(drawn.substr(at + 6), name.substr(at + 6));
    EXPECT_TRUE(AllDigits(drawn.substr(at, 6)));
    EXPECT_TRUE(fs::is_regular_file(drawn));

    std::string no_pattern = dir.File("plain");
    errno = 0;
    EXPECT_EQ(fitcore::mkstemp(no_pattern.data()), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(GnuplotTemporaryFile, NeverOpensAnExistingNameOrLink)
{
    TempDir dir;
    const std::string name = dir.File("gnuplot-i-XXXXXX");
    const std::string target = dir.File("target");
    WriteFile(target, "keep me\n");
    std::vector<std::string> drawn;
    for (int i = 0; i < 20; ++i) {
        std::string next = name;
        int fd = fitcore::mkstemp(next.data());
        ASSERT_GE(fd, 0);
        fitcore::CloseFile(fd);
        // Plant a link (on Windows a file) under the drawn name: a draw in
        // the same second gives that name first and must move on.
        fs::remove(next);
#ifdef _WIN32
        WriteFile(next, "keep me\n");
#else
        fs::create_symlink(target, next);
#endif
        drawn.push_back(next);
    }
    for (const std::string& name : drawn) EXPECT_EQ(ReadFile(name), "keep me\n") << name;
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(std::unique(drawn.begin(), drawn.end()), drawn.end());
}

#ifndef _WIN32
class GnuplotSignal : public testing::TestWithParam<int> {};

TEST_P(GnuplotSignal, DeletesTheDataFilesOfOpenConnectionsBeforeDying)
{
    ProgramRun driver;
    RunResult run = driver.Front(FrontEnd::Recording).Run("gnuplot_driver", {"signal", std::to_string(GetParam())});
    EXPECT_EQ(run.signal, GetParam());
    ASSERT_FALSE(run.out.empty());
    EXPECT_TRUE(IsDataFileName(run.out.substr(0, run.out.size() - 1))) << run.out;
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_TRUE(driver.DataFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Interrupts, GnuplotSignal,
                         testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ));

TEST(GnuplotPlotOnce, PlotsWithDefaultsWaitsForALineAndCloses)
{
    ProgramRun driver;
    driver.Front(FrontEnd::Recording);
    RunResult run = driver.Run("gnuplot_driver", {"once", "4"}, "more\nafter\n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "press ENTER to continue\n");
    EXPECT_EQ(WithoutFileNames(driver.Log()),
              (std::vector<std::string>{"set terminal windows", "set xlabel \"X\"",
                                        "set ylabel \"Y\"", "plot \"FILE\" with lines"}));
    EXPECT_EQ(ReadFile(driver.FrontEndFile("data.1")), "1\n2\n3\n4\n");
    EXPECT_TRUE(driver.DataFiles().empty());

    // The end of the input also ends the wait.
    EXPECT_EQ(driver.Run("gnuplot_driver", {"once", "4"}).exit_status, 0);

    // With standard output and error closed, the pipe to the front-end must
    // not take their numbers: the prompt would reach gnuplot as a command.
    fs::remove(driver.FrontEndFile("log"));
    RunResult closed = driver.Run("/bin/sh", {"-c", "exec \"$0\" \"$@\" >&- 2>&-", ProgramPath("gnuplot_driver"),
                                              "once", "4"}, "\n");
    EXPECT_EQ(closed.exit_status, 0);
    EXPECT_EQ(driver.Log().size(), 4u) << ReadFile(driver.FrontEndFile("log"));
    fs::remove(driver.FrontEndFile("log"));
    RunResult none = driver.Run("gnuplot_driver", {"once", "0"}, "\n");
    EXPECT_EQ(none.out, "");
    EXPECT_FALSE(driver.FrontEndStarted());
}
#endif

}  // namespace

namespace {

// The C++ handles: the plot closes gnuplot and deletes its data files when
// it goes out of scope; spans of different lengths are refused unsent.
TEST_F(GnuplotConnection, CppPlotSendsSpansAndClosesOnDestruction)
{
    {
        fitcore::Plot plot;
        ASSERT_TRUE(plot.started());
        const std::vector<double> x(kX, kX + 3), y(kY, kY + 3);
        EXPECT_EQ(plot.xy(x, y, "pairs"), 0);
        EXPECT_EQ(plot.xy(x, std::span(kY, 2)), 1);
        EXPECT_EQ(plot.x(std::vector<double>{}), 1);
        plot.command("replot 2*x");
        EXPECT_EQ(DataFiles().size(), 1u);
    }
    EXPECT_TRUE(DataFiles().empty());
    EXPECT_EQ(WithoutFileNames(Log()), (std::vector<std::string>{"set terminal windows",
                                                                  "plot \"FILE\" title \"pairs\" with points",
                                                                  "replot 2*x"}));
    EXPECT_EQ(DataCopy(1), "1 4\n2.5 -5\n1e-07 123456789\n");
}

// Pictures of several elements: one plot line each, the band first, texts
// that reach gnuplot as text, and panels on one page.
TEST_F(GnuplotConnection, CppPlotDrawsElementsTextsAndPanels)
{
    const Point points[] = {{1, 2, 0.5, 1.5, 0}, {3, -4, 0.25, -4, 0}};
    const std::vector<double> x = {1, 3}, low = {0, -5}, high = {2, 1e300};
    {
        fitcore::Plot plot;
        ASSERT_TRUE(plot.started());
        EXPECT_EQ(plot.draw(), 1);  // nothing to draw
        plot.title("it's \"q\" \\ `date` @x\r\nχ²");
        plot.axis_labels("time (s)", "");
        plot.log_axes(true, false);
        plot.begin_panels();
        plot.panel(0.33, 0.67);
        EXPECT_EQ(plot.add_error_bars(points, "Points"), 0);
        EXPECT_EQ(plot.add_band(x, low, high, "band"), 0);
        EXPECT_EQ(plot.add_band(x, low, std::span(high.data(), 1), "uneven"), 1);
        EXPECT_EQ(plot.add_points({}, "none"), 1);
        plot.add_curve("2*x", "");
        plot.add_key_text("  + x³, it's");
        EXPECT_EQ(plot.draw(), 0);
        plot.keep_x_range();
        plot.panel(0, 0.33);
        plot.residual_tics(points, false);  // from 0 to 0.5: a step of 0.2
        plot.residual_tics(std::span(points, 1), true);  // from 0 to 1: 0.5
        plot.residual_tics({}, true);  // nothing to space
        EXPECT_EQ(plot.add_residuals(points, "", false), 0);
        EXPECT_EQ(plot.add_points(points, "p"), 0);
        EXPECT_EQ(plot.draw(), 0);
        plot.end_panels();
        EXPECT_EQ(DataFiles().size(), 4u);
    }
    EXPECT_TRUE(DataFiles().empty());
    EXPECT_EQ(WithoutFileNames(Log()),
              (std::vector<std::string>{
                  "set terminal windows",
                  "set title 'it''s \"q\" \\ `date` @x'.\"\\n\".'χ²' noenhanced",
                  "set xlabel 'time (s)' noenhanced", "set ylabel '' noenhanced",
                  "set logscale x", "unset logscale y",
                  "set multiplot", "set lmargin 12", "set rmargin 4", "set origin 0,0.33", "set size 1,0.67",
                  "plot \"FILE\" title 'band' noenhanced with filledcurves fillstyle transparent solid 0.25 "
                  "noborder, \"FILE\" title 'Points' noenhanced with yerrorbars, 2*x notitle with lines, "
                  "keyentry with lines lt nodraw title '  + x³, it''s' noenhanced",
                  "set xrange [GPVAL_X_MIN:GPVAL_X_MAX]", "set origin 0,0", "set size 1,0.33",
                  "set ytics 0.2", "set ytics 0.5",
                  "plot \"FILE\" notitle with points, \"FILE\" title 'p' noenhanced with points",
                  "unset multiplot", "set autoscale x", "set ytics autofreq", "unset lmargin", "unset rmargin"}));
    EXPECT_EQ(DataCopy(1), "1 0 2\n3 -5 1e+300\n");  // the band, drawn first
    EXPECT_EQ(DataCopy(2), "1 2 0.5\n3 -4 0.25\n");
    EXPECT_EQ(DataCopy(3), "1 0.5\n3 0\n");         // y - fit
    EXPECT_EQ(DataCopy(4), "1 2\n3 -4\n");
}

TEST(GnuplotString, GivesTheTextBackOnOneLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "''"},
        {"plain x", "'plain x'"},
        {"it's", "'it''s'"},
        {"\"\\n\" `cmd` @m $1", "'\"\\n\" `cmd` @m $1'"},
        {"a\nb\r\nc\rd", "'a'.\"\\n\".'b'.\"\\n\".'c'.\"\\n\".'d'"},
        {"\n", "''.\"\\n\".''"},
        {"±χ²", "'±χ²'"},
    };
    for (const auto& [text, quoted] : cases) EXPECT_EQ(fitcore::GnuplotString(text), quoted) << text;
}

TEST(DataFileHandle, LoadsOrSaysWhyNot)
{
    TempDir dir;
    WriteFile(dir.File("two.pcp"), "2 0 0\n1 2\n3 4\n");
    testing::internal::CaptureStdout();
    int result = -2;
    fitcore::PCPFileHandle file = fitcore::load_data_file(dir.File("two.pcp").c_str(), &result);
    fitcore::PCPFileHandle missing = fitcore::load_data_file(dir.File("none.pcp").c_str(), &result);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(file);
    EXPECT_EQ(fitcore::points_of(*file).size(), 2u);
    EXPECT_EQ(fitcore::points_of(*file)[1].y, 4);
    EXPECT_FALSE(missing);
    EXPECT_EQ(result, 1);
}

}  // namespace
