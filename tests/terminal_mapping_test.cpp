// The front-end's mapping of the "windows" terminal and the lines it watches for.
#include "terminal_mapping.h"

#include <gtest/gtest.h>

#include "display_check.h"

namespace {

TEST(TerminalMapping, RecognisesTheWindowsTerminalLineAndItsAbbreviations)
{
    EXPECT_TRUE(IsWindowsTerminalLine("set terminal windows\n"));
    EXPECT_TRUE(IsWindowsTerminalLine("  set term win color\n"));
    EXPECT_TRUE(IsWindowsTerminalLine("set t windows"));
    EXPECT_FALSE(IsWindowsTerminalLine("set terminal wi\n"));
    EXPECT_FALSE(IsWindowsTerminalLine("set terminal windowsx\n"));
    EXPECT_FALSE(IsWindowsTerminalLine("set terminal windows; plot x\n"));
    EXPECT_FALSE(IsWindowsTerminalLine("set termoption windows\n"));
    EXPECT_FALSE(IsWindowsTerminalLine("set xlabel \"set terminal windows\"\n"));

    EXPECT_TRUE(IsTerminalLine("set terminal postscript enhanced color\n"));
    EXPECT_FALSE(IsTerminalLine("set output \"a.ps\"\n"));

    EXPECT_TRUE(IsPlotLine("plot \"./gnuplot-i-000000\" with points\n"));
    EXPECT_TRUE(IsPlotLine("replot\n"));
    EXPECT_TRUE(IsPlotLine(" splot x*y\n"));
    EXPECT_TRUE(IsPlotLine("rep x\n"));
    EXPECT_FALSE(IsPlotLine("re x\n"));
    EXPECT_FALSE(IsPlotLine("print 1\n"));
    EXPECT_FALSE(IsPlotLine("\n"));
}

// A page of panels: output files are opened, and drawings awaited, around it only.
TEST(TerminalMapping, RecognisesTheStartAndEndOfAPageOfPanels)
{
    const std::pair<const char*, MultiplotLine> cases[] = {
        {"set multiplot\n", MultiplotLine::Start},
        {"set multi layout 2,1\n", MultiplotLine::Start},
        {"unset multiplot\n", MultiplotLine::End},
        {" uns multi\n", MultiplotLine::End},
        {"set mult\n", MultiplotLine::None},  // too short to be sure
        {"set multiplot; plot x\n", MultiplotLine::None},
        {"plot 'multiplot'\n", MultiplotLine::None},
        {"show multiplot\n", MultiplotLine::None},
        {"\n", MultiplotLine::None},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(MultiplotLineOf(line), expected) << line;
}

TEST(TerminalMapping, WithoutADisplayDrawsTextOnTheConsoleOrStandardError)
{
    ScreenSettings settings;
    settings.columns = 120;
    settings.rows = 40;
    settings.tty = true;
    EXPECT_EQ(ScreenTerminalCommands(settings),
              "set terminal dumb size 119,39\nset output '/dev/tty'\n");
    settings.tty = false;
    settings.columns = 5;  // too small to draw in: the usual size instead
    EXPECT_EQ(ScreenTerminalCommands(settings), "set terminal dumb size 79,39\nset output\n");
    EXPECT_EQ(OutputFileCommand(settings), "");
}

TEST(TerminalMapping, WithADisplayPrefersAnInteractiveTerminal)
{
    ScreenSettings settings;
    settings.display = true;
    std::string commands = ScreenTerminalCommands(settings);
    EXPECT_EQ(commands.find("if (strstrt(' '.GPVAL_TERMINALS.' ', ' qt ') > 0) { set terminal qt; "
                            "set output } else { "),
              0u);
    EXPECT_NE(commands.find("set terminal x11"), std::string::npos);
    EXPECT_NE(commands.find("set terminal dumb size 79,24; set output }"), std::string::npos);
    EXPECT_EQ(commands.find('\n'), commands.size() - 1);  // one line
}

TEST(TerminalMapping, TheUsersTerminalAndOutputFileWin)
{
    ScreenSettings settings;
    settings.display = true;
    settings.terminal = "pngcairo size 800,600";
    EXPECT_EQ(ScreenTerminalCommands(settings), "set terminal pngcairo size 800,600\nset output\n");
    settings.output = "it's `here`.png";
    EXPECT_EQ(ScreenTerminalCommands(settings),
              "set terminal pngcairo size 800,600\nset output 'it''s `here`.png'\n");
    EXPECT_EQ(OutputFileCommand(settings), "set output 'it''s `here`.png'\n");
}

// The server a DISPLAY value names: a local socket or a TCP port, or none
// for a text of another form (which then counts as no display).
TEST(DisplayCheck, FindsTheServerThatDisplayNames)
{
    struct Case {
        const char* display;
        const char* unix_socket;  // null: TCP, or no server when host is null too
        const char* host;
        int port;
    } cases[] = {
        {":0", "/tmp/.X11-unix/X0", nullptr, 0},
        {":12.1", "/tmp/.X11-unix/X12", nullptr, 0},
        {"unix:3", "/tmp/.X11-unix/X3", nullptr, 0},
        {"unix/myhost:4", "/tmp/.X11-unix/X4", nullptr, 0},
        {"localhost:10.0", nullptr, "localhost", 6010},
        {"tcp/:1", nullptr, "localhost", 6001},
        {"[::1]:2", nullptr, "::1", 6002},
        {"host.example:0", nullptr, "host.example", 6000},
        {"", nullptr, nullptr, 0},
        {"0", nullptr, nullptr, 0},
        {":", nullptr, nullptr, 0},
        {":x", nullptr, nullptr, 0},
        {"host::0", nullptr, nullptr, 0},
        {"carrier/host:0", nullptr, nullptr, 0},
        {"host:99999", nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display);
        std::optional<DisplayServer> server = ParseDisplay(c.display);
        ASSERT_EQ(server.has_value(), c.unix_socket != nullptr || c.host != nullptr);
        if (!server) continue;
        EXPECT_EQ(server->unix_socket, c.unix_socket != nullptr ? c.unix_socket : "");
        EXPECT_EQ(server->host, c.host != nullptr ? c.host : "");
        EXPECT_EQ(server->port, c.port);
    }
}

}  // namespace
