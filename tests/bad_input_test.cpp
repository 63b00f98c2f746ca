// Bad input for the three programs, one row each: the input, the exact
// standard output and standard error, and the exit status. Every row must
// end in a clear message or a correct report, and leave no data file behind.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "gnuplot_stand_in.h"
#include "program_run.h"
#include "windows_programs.h"


namespace {

namespace fs = std::filesystem;

struct Row {
    std::string name;
    const char* program;
    std::vector<std::string> args;  // after the program name
    std::vector<std::pair<std::string, std::string>> files;  // written to the working directory
    std::string input;
    std::string out;
    std::string err;
    int status;
    FrontEnd front_end = FrontEnd::None;
    std::vector<std::string> locked = {};       // files made unreadable
    std::vector<std::string> directories = {};  // created in the working directory
    bool read_only_directory = false;           // the working directory can't be written
    const char* shell = nullptr;  // run by /bin/sh before it starts the program, e.g. to close streams
    std::vector<std::pair<std::string, std::string>> env = {};  // set for the run
};

std::string Loading(const std::string& name, const char* kind = "PCP")
{
    return std::string("Loading ") + kind + " file " + name + "...\n";
}

std::string Loaded(const std::string& name, int count)
{
    return "Loaded file '" + name + "' sucessfully, " + std::to_string(count) + " points present\n";
}

// The reason, then the loader's own line.
std::string CantOpen(const std::string& name, const std::string& reason = "No such file or directory")
{
    return "Can't load " + name + ": " + reason + ".\n" + "Can't open " + name + " for reading!\n";
}

std::string BadLines(int first, int last)
{
    std::string lines;
    for (int line = first; line <= last; ++line) lines += "Bad input line: " + std::to_string(line) + "\n";
    return lines;
}

std::string NoHeader(const std::string& name)
{
    return "Can't load " + name + ": it does not start with a PCP header of three whole numbers.\n";
}

std::string OutOfRange(const std::string& name, const std::string& field)
{
    return "Can't load " + name + ": the " + field + " in its header is out of range.\n";
}

// veldafit and sorrafit name no file in their load error, cadrafit does.
std::string LoadError(const std::string& program, const std::string& name)
{
    return program == "cadrafit" ? "Error loading PCP file '" + name + "'\n" : "Error loading PCP file\n";
}

std::string WithCrlf(const std::string& text)
{
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// An expected report with its two loading lines replaced.
std::string Relabelled(const std::string& report, const std::string& head)
{
    size_t first = report.find('\n');
    return head + report.substr(report.find('\n', first + 1) + 1);
}

// Every byte value, four times over, starting with a NUL.
std::string BinaryJunk()
{
    std::string junk;
    for (int round = 0; round < 4; ++round)
        for (int byte = 0; byte < 256; ++byte) junk += static_cast<char>(byte);
    return junk;
}

// The report of the points (1, 2), (2, 4), (3, 6): y = 2x exactly.
const std::string kExactLine =
    "Linear fit\nThe standard deviation of fit=0.000000e+00\nCorrelation coefficient=1.000000e+00\n\n"
    "xbar\t2.000000e+00\nybar\t4.000000e+00\nSlope\t2.000000e+00\t0.000000e+00\n"
    "y intercept\t0.000000e+00\t0.000000e+00\nx intercept\t-0.000000e+00\t0.000000e+00\n\n"
    "Point\tx\ty\tfit\tErr/sd\n"
    "1\t1.000000e+00\t2.000000e+00\t2.000000e+00\t0.000000e+00\n"
    "2\t2.000000e+00\t4.000000e+00\t4.000000e+00\t0.000000e+00\n"
    "3\t3.000000e+00\t6.000000e+00\t6.000000e+00\t0.000000e+00\n";

// The report of no points at all: not-a-number throughout, an empty table.
const std::string kNoPoints =
    "Linear fit\nThe standard deviation of fit=-nan\nCorrelation coefficient=-nan\n\n"
    "xbar\t-nan\nybar\t-nan\nSlope\t-nan\t-nan\ny intercept\t-nan\t-nan\nx intercept\tnan\t-nan\n\n"
    "Point\tx\ty\tfit\tErr/sd\n";

// (1, 1), (2, y), (3, 3) with a y that is not finite: the fit is not either.
std::string NotFiniteReport(const std::string& y, const std::string& sign)
{
    const std::string nan = sign + "nan", flipped = sign.empty() ? "-nan" : "nan";
    return "Linear fit\nThe standard deviation of fit=" + nan + "\nCorrelation coefficient=" + nan +
           "\n\nxbar\t2.000000e+00\nybar\t" + y + "\nSlope\t" + nan + "\t" + nan + "\ny intercept\t" +
           nan + "\t" + nan + "\nx intercept\t" + flipped + "\t" + nan + "\n\n" +
           "Point\tx\ty\tfit\tErr/sd\n1\t1.000000e+00\t1.000000e+00\t" + nan + "\t" + nan + "\n" +
           "2\t2.000000e+00\t" + y + "\t" + nan + "\t" + nan + "\n3\t3.000000e+00\t3.000000e+00\t" +
           nan + "\t" + nan + "\n";
}

const std::string kExactPcp = "3 0 0\n1 2\n2 4\n3 6\n";

// The report of kExactPcp under `name`, as the programs print it.
std::string ExactReport(const std::string& name)
{
    return Loading(name) + Loaded(name, 3) + kExactLine;
}

std::vector<Row> Rows()
{
    const std::string long_name(1024, 'n');
    const std::string too_long = "File name too long: at most 1023 characters are allowed.\n";
    const std::string long_number = "2." + std::string(99998, '0');  // 100,000 characters
    const std::string csv_junk = "," + std::string(99990, '9');
    std::vector<Row> rows = {
        {"VeldafitMissingFile", "veldafit", {"missing.pcp"}, {}, "",
         Loading("missing.pcp") + CantOpen("missing.pcp") + "Error loading PCP file\n", "", 1},
        {"EmptyFile", "veldafit", {"empty.pcp"}, {{"empty.pcp", ""}}, "",
         Loading("empty.pcp") + Loaded("empty.pcp", 0) + kNoPoints + kNoPlot, kNoFrontEnd, 0},
        {"EmptyCsvFile", "veldafit", {"empty.csv"}, {{"empty.csv", ""}}, "",
         Loading("empty.csv", "CSV") + Loaded("empty.csv", 0) + kNoPoints + kNoPlot, kNoFrontEnd, 0},
        {"CadrafitEmptyFile", "cadrafit", {"empty.pcp"}, {{"empty.pcp", ""}}, "2\n",
         Loading("empty.pcp") + Loaded("empty.pcp", 0) + kOrderPrompt + "Could not solve polynomial fit!\n",
         "", 1},
        {"SorrafitEmptyFile", "sorrafit", {"empty.pcp"}, {{"empty.pcp", ""}}, "",
         Loading("empty.pcp") + "This file does not contain weighting information.\n", "", 1},
        {"BinaryData", "veldafit", {"junk.pcp"}, {{"junk.pcp", BinaryJunk()}}, "",
         Loading("junk.pcp") + NoHeader("junk.pcp") + "Error loading PCP file\n", "", 1},
        {"BinaryDataCsv", "veldafit", {"junk.csv"}, {{"junk.csv", BinaryJunk()}}, "",
         // Each round of bytes holds a LF and a lone CR: two line ends.
         Loading("junk.csv", "CSV") + BadLines(2, 9) + Loaded("junk.csv", 0) + kNoPoints + kNoPlot,
         kNoFrontEnd, 0},
        {"CadrafitBinaryData", "cadrafit", {"junk.pcp"}, {{"junk.pcp", BinaryJunk()}}, "2\n",
         Loading("junk.pcp") + NoHeader("junk.pcp") + "Error loading PCP file 'junk.pcp'\n", "", 1},
        {"SorrafitBinaryData", "sorrafit", {"junk.pcp"}, {{"junk.pcp", BinaryJunk()}}, "",
         Loading("junk.pcp") + NoHeader("junk.pcp") + "Error loading PCP file\n", "", 1},
        // Text that is neither a PCP file nor a table of numbers is refused,
        // a byte order mark skipped.
        {"TextFile", "veldafit", {"README"}, {{"README", "# Calibration\n\nMeasured on 3 May.\n"}}, "",
         "Loading table README...\nCan't load README: it holds no data.\nError loading PCP file\n", "", 1},
        {"TextFileNamedPCP", "veldafit", {"notes.PCP"}, {{"notes.PCP", "# Calibration\n1 2\n"}}, "",
         Loading("notes.PCP") + NoHeader("notes.PCP") + "Error loading PCP file\n", "", 1},
        {"ByteOrderMark", "veldafit", {"exact.pcp"}, {{"exact.pcp", "\xEF\xBB\xBF" + kExactPcp}}, "",
         ExactReport("exact.pcp") + kNoPlot, kNoFrontEnd, 0},
        {"WhiteSpaceOnly", "veldafit", {"blank.pcp"}, {{"blank.pcp", " \n\t\r\n"}}, "",
         Loading("blank.pcp") + Loaded("blank.pcp", 0) + kNoPoints + kNoPlot, kNoFrontEnd, 0},
        {"ByteOrderMarkCsv", "veldafit", {"exact.csv"}, {{"exact.csv", "\xEF\xBB\xBFx,y\n1,2\n2,4\n3,6\n"}}, "",
         Loading("exact.csv", "CSV") + Loaded("exact.csv", 3) + kExactLine + kNoPlot, kNoFrontEnd, 0},
        {"LoneCarriageReturnsCsv", "veldafit", {"exact.csv"}, {{"exact.csv", "x,y\r1,2\r2,4\r\r3,6\r"}}, "",
         Loading("exact.csv", "CSV") + "Bad input line: 4\n" + Loaded("exact.csv", 3) + kExactLine + kNoPlot,
         kNoFrontEnd, 0},
        {"CrlfLineEnds", "veldafit", {"line_five.pcp"}, {{"line_five.pcp", WithCrlf(TestData("line_five.pcp"))}},
         "", Expected("veldafit_line_five.out") + kNoPlot, kNoFrontEnd, 0},
        {"CadrafitCrlfLineEnds", "cadrafit", {"poly_parabola.pcp"},
         {{"poly_parabola.pcp", WithCrlf(TestData("poly_parabola.pcp"))}}, "2\r\n",
         Expected("cadrafit_parabola.out") + kNoPlot, kNoFrontEnd, 0},
        {"SorrafitCrlfLineEnds", "sorrafit", {"line_four_sigma.pcp"},
         {{"line_four_sigma.pcp", WithCrlf(TestData("line_four_sigma.pcp"))}}, "",
         Expected("sorrafit_four.out") + kNoPlot, kNoFrontEnd, 0},
        {"CrlfLineEndsCsv", "veldafit", {"five.csv"},
         {{"five.csv", "x,y\r\n1,2.1\r\n2,3.9\r\n3,6.2\r\n4,7.8\r\n5,10.1\r\n"}}, "",
         Relabelled(Expected("veldafit_line_five.out"), Loading("five.csv", "CSV") + Loaded("five.csv", 5)) +
             kNoPlot,
         kNoFrontEnd, 0},
        {"HeaderCountAbovePoints", "veldafit", {"short.pcp"}, {{"short.pcp", "5 0 0\n1 2\n2 4\n3 6\n"}}, "",
         Loading("short.pcp") + "Warning: file may be corrupted (3 of 5 points read)." + Loaded("short.pcp", 3) +
             kExactLine + kNoPlot,
         kNoFrontEnd, 0},
        {"NegativeCount", "veldafit", {"negative.pcp"}, {{"negative.pcp", "-3 0 0\n1 2\n2 4\n3 6\n"}}, "",
         Loading("negative.pcp") + "Can't load negative.pcp: the point count -3 is negative.\n" +
             "Error loading PCP file\n",
         "", 1},
        {"OverflowingCount", "veldafit", {"overflow.pcp"}, {{"overflow.pcp", "99999999999 0 0\n1 2\n"}}, "",
         Loading("overflow.pcp") + OutOfRange("overflow.pcp", "point count") + "Error loading PCP file\n", "", 1},
        {"CadrafitOverflowingCount", "cadrafit", {"overflow.pcp"}, {{"overflow.pcp", "4294967298 0 0\n1 2\n"}},
         "2\n", Loading("overflow.pcp") + OutOfRange("overflow.pcp", "point count") +
         "Error loading PCP file 'overflow.pcp'\n", "", 1},
        {"OverflowingTag", "veldafit", {"tag.pcp"}, {{"tag.pcp", "1 4294967296 0\n1 2\n"}}, "",
         Loading("tag.pcp") + OutOfRange("tag.pcp", "tag") + "Error loading PCP file\n", "", 1},
        {"SorrafitOverflowingHasSigma", "sorrafit", {"sigma.pcp"}, {{"sigma.pcp", "1 0 -4294967296\n1 2 3\n"}}, "",
         Loading("sigma.pcp") + OutOfRange("sigma.pcp", "has_sigma") + "Error loading PCP file\n", "", 1},
        {"NotANumber", "veldafit", {"nan.pcp"}, {{"nan.pcp", "3 0 0\n1 1\n2 nan\n3 3\n"}}, "",
         Loading("nan.pcp") + Loaded("nan.pcp", 3) + NotFiniteReport("nan", "") + kNoPlot, kNoFrontEnd, 0},
        {"Infinity", "veldafit", {"inf.pcp"}, {{"inf.pcp", "3 0 0\n1 1\n2 inf\n3 3\n"}}, "",
         Loading("inf.pcp") + Loaded("inf.pcp", 3) + NotFiniteReport("inf", "-") + kNoPlot, kNoFrontEnd, 0},
        // Beyond the range of a double, as the C library reads it: infinity, shown as such.
        {"OverflowingValue", "veldafit", {"huge.pcp"}, {{"huge.pcp", "3 0 0\n1 1\n2 1e400\n3 3\n"}}, "",
         Loading("huge.pcp") + Loaded("huge.pcp", 3) + NotFiniteReport("inf", "-") + kNoPlot, kNoFrontEnd, 0},
        {"NegativeZeroAndHexadecimal", "veldafit", {"hex.pcp"},
         {{"hex.pcp", "3 0 0\n0x1p0 0x2\n-0x0p0 0x0\n0x1.8p1 6.0\n"}}, "",
         Loading("hex.pcp") + Loaded("hex.pcp", 3) +
             "Linear fit\nThe standard deviation of fit=0.000000e+00\nCorrelation coefficient=1.000000e+00\n\n"
             "xbar\t1.333333e+00\nybar\t2.666667e+00\nSlope\t2.000000e+00\t0.000000e+00\n"
             "y intercept\t0.000000e+00\t0.000000e+00\nx intercept\t-0.000000e+00\t0.000000e+00\n\n"
             "Point\tx\ty\tfit\tErr/sd\n"
             "1\t1.000000e+00\t2.000000e+00\t2.000000e+00\t0.000000e+00\n"
             "2\t-0.000000e+00\t0.000000e+00\t0.000000e+00\t0.000000e+00\n"
             "3\t3.000000e+00\t6.000000e+00\t6.000000e+00\t0.000000e+00\n" +
             kNoPlot,
         kNoFrontEnd, 0},
        {"SpecialValuesCsv", "veldafit", {"values.csv"},
         {{"values.csv", "x,y\n0x1p0,2\n-0,nan\n3,1e400\n"}}, "",
         // The NaN is a missing value; the infinity stays and is reported.
         Loading("values.csv", "CSV") + "Skipped 1 rows with missing values\n" + Loaded("values.csv", 2) +
             "Linear fit\nThe standard deviation of fit=-nan\nCorrelation coefficient=-nan\n\n"
             "xbar\t2.000000e+00\nybar\tinf\nSlope\t-nan\t-nan\ny intercept\t-nan\t-nan\nx intercept\tnan\t-nan\n\n"
             "Point\tx\ty\tfit\tErr/sd\n"
             "1\t1.000000e+00\t2.000000e+00\t-nan\t-nan\n"
             "2\t3.000000e+00\tinf\t-nan\t-nan\n" +
             kNoPlot,
         kNoFrontEnd, 0},
        {"LongLine", "veldafit", {"long.pcp"}, {{"long.pcp", "3 0 0\n1 " + long_number + "\n2 4\n3 6\n"}}, "",
         Loading("long.pcp") + Loaded("long.pcp", 3) + kExactLine + kNoPlot, kNoFrontEnd, 0},
        // The header line and a data line of 100,000 characters: the header is
        // skipped whole, the data line gives its first three fields, which
        // end before the cut.
        {"LongLinesCsv", "veldafit", {"long.csv"},
         {{"long.csv", "x,y" + std::string(99997, 'y') + "\n1,2,0" + csv_junk + "\n2,4\n3,6\n"}}, "",
         Loading("long.csv", "CSV") + Loaded("long.csv", 3) + kExactLine + kNoPlot, kNoFrontEnd, 0},
        // A number that runs into the cut may have lost digits.
        {"NumberCutAtTheLineLimitCsv", "veldafit", {"long.csv"},
         {{"long.csv", "x,y\n1,2\n2,4\n3,6\n4," + std::string(5000, '9') + "\n"}}, "",
         Loading("long.csv", "CSV") + "Bad input line: 5\n" + Loaded("long.csv", 3) + kExactLine + kNoPlot,
         kNoFrontEnd, 0},
        {"NameWithBlanks", "veldafit", {"my data.pcp"}, {{"my data.pcp", kExactPcp}}, "",
         Loading("my data.pcp") + Loaded("my data.pcp", 3) + kExactLine + kNoPlot, kNoFrontEnd, 0},
        // At the prompt a name ends at its first blank.
        {"NameWithBlanksAtThePrompt", "veldafit", {}, {{"my data.pcp", kExactPcp}}, "my data.pcp\n",
         "Please enter a filename: " + Loading("my") + CantOpen("my") + "Error loading PCP file\n", "", 1},
        {"NameOf1024Characters", "veldafit", {long_name}, {}, "", too_long, "", 1},
        {"CadrafitNameOf1024Characters", "cadrafit", {long_name}, {}, "", too_long, "", 1},
        {"NameOf1024CharactersAtThePrompt", "sorrafit", {}, {}, long_name + "\n",
         "Please enter a filename: \n" + too_long, "", 1},
        // Options after the file name count; after "--" they are names.
        {"OptionAfterTheFileName", "veldafit", {"exact.pcp", "-n", "other.pcp"}, {{"exact.pcp", kExactPcp}}, "",
         ExactReport("exact.pcp"), "", 0},
        {"OptionAfterDoubleDash", "veldafit", {"--", "-n"}, {}, "",
         Loading("-n") + CantOpen("-n") + "Error loading PCP file\n", "", 1},
        {"InputEndsAtTheOrderPrompt", "cadrafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, "",
         Loading("exact.pcp") + Loaded("exact.pcp", 3) + kOrderPrompt +
             "\nNo order entered: standard input has ended.\n",
         "", 1},
        {"InputEndsAtTheWait", "veldafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, "",
         Loading("exact.pcp") + Loaded("exact.pcp", 3) + kExactLine + kWait, "", 0, FrontEnd::Recording},
        {"FrontEndEndsAtOnce", "veldafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, " \n",
         Loading("exact.pcp") + Loaded("exact.pcp", 3) + kExactLine + kWait, "", 0, FrontEnd::Vanishing},
        {"FrontEndDiesAmidTheCommands", "veldafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, " \n",
         Loading("exact.pcp") + Loaded("exact.pcp", 3) + kExactLine + kWait, "", 0, FrontEnd::Dying},
        {"CadrafitFrontEndDiesAmidTheCommands", "cadrafit", {"poly_parabola.pcp"},
         {{"poly_parabola.pcp", TestData("poly_parabola.pcp")}}, "2\n \n", Expected("cadrafit_parabola.out") + kWait,
         "", 0, FrontEnd::Dying},
        {"SorrafitFrontEndDiesAmidTheCommands", "sorrafit", {"line_four_sigma.pcp"},
         {{"line_four_sigma.pcp", TestData("line_four_sigma.pcp")}}, " \n", Expected("sorrafit_four.out") + kWait,
         "", 0, FrontEnd::Dying},
    };

    for (const char* program : {"veldafit", "cadrafit", "sorrafit"}) {
        const std::string p = program;
        std::string title(1, static_cast<char>(p[0] - 'a' + 'A'));
        title += p.substr(1);
        auto name = [&title](const char* what) { return title + what; };
        if (p != "veldafit")
            rows.push_back({name("MissingFile"), program, {"missing.pcp"}, {}, "2\n",
                            Loading("missing.pcp") + CantOpen("missing.pcp") + LoadError(p, "missing.pcp"), "", 1});
        rows.push_back({name("Directory"), program, {"data.pcp"}, {}, "2\n",
                        Loading("data.pcp") + CantOpen("data.pcp", "Is a directory") + LoadError(p, "data.pcp"), "", 1,
                        FrontEnd::None, {}, {"data.pcp"}});
        rows.push_back({name("UnreadableFile"), program, {"locked.pcp"}, {{"locked.pcp", kExactPcp}}, "2\n",
                        Loading("locked.pcp") + CantOpen("locked.pcp", "Permission denied") +
                            LoadError(p, "locked.pcp"), "", 1,
                        FrontEnd::None, {"locked.pcp"}});
        rows.push_back({name("CountFarBeyondMemory"), program, {"huge.pcp"},
                        {{"huge.pcp", "2147483647 0 1\n1 2 0.5\n"}}, "2\n",
                        Loading("huge.pcp") + "Can't load huge.pcp: not enough memory for 2147483647 points.\n" +
                            LoadError(p, "huge.pcp"),
                        "", 1});
        rows.push_back({name("InputEndsAtTheFileNamePrompt"), program, {}, {}, "",
                        "Please enter a filename: \nNo file name entered: standard input has ended.\n", "", 1});
    }

    // With --json every message goes to standard error, with the usual status.
    rows.push_back({"JsonMissingFile", "veldafit", {"--json", "missing.pcp"}, {}, "", "",
                    Loading("missing.pcp") + CantOpen("missing.pcp") + "Error loading PCP file\n", 1});
    rows.push_back({"CadrafitJsonUnsolvable", "cadrafit", {"-j", "-o", "2", "empty.pcp"}, {{"empty.pcp", ""}}, "",
                    "", Loading("empty.pcp") + Loaded("empty.pcp", 0) + "Could not solve polynomial fit!\n", 1});
    rows.push_back({"SorrafitJsonWithoutSigma", "sorrafit", {"-j", "exact.pcp"}, {{"exact.pcp", kExactPcp}}, "", "",
                    Loading("exact.pcp") + "This file does not contain weighting information.\n", 1});
    // Usage errors end the run before anything is read.
    rows.push_back({"UnknownOption", "veldafit", {"--bogus", "exact.pcp"}, {{"exact.pcp", kExactPcp}}, "", "",
                    "veldafit: unknown option '--bogus'\nTry 'veldafit --help'.\n", 2});
    rows.push_back({"CadrafitOrderOutOfRange", "cadrafit", {"--order=10", "exact.pcp"}, {{"exact.pcp", kExactPcp}},
                    "", "", "cadrafit: invalid order '10': give a whole number from 2 to 9\nTry 'cadrafit --help'.\n",
                    2});
    // Standard streams closed: nothing of the report may reach the front-end
    // through a pipe that took their place, not even a file name that reads
    // as gnuplot commands.
    const std::string tricky = "a\nsystem \"touch pwned\"\n.pcp";
    rows.push_back({"ClosedStandardStreams", "veldafit", {tricky}, {{tricky, kExactPcp}}, "", "", "", 0,
                    FrontEnd::Recording, {}, {}, false, "exec <&- >&- 2>&-;"});
    // A report that can't be written in full fails the run, after the plot.
    const std::string full_disk = ": writing to standard output failed: No space left on device\n";
    rows.push_back({"ReportToAFullDisk", "veldafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, " \n", "",
                    "veldafit" + full_disk, 1, FrontEnd::Recording, {}, {}, false, "exec >/dev/full;"});
    rows.push_back({"CadrafitReportToAFullDisk", "cadrafit", {"poly_parabola.pcp"},
                    {{"poly_parabola.pcp", TestData("poly_parabola.pcp")}}, "2\n", "",
                    kNoFrontEnd + "cadrafit" + full_disk, 1, FrontEnd::None, {}, {}, false, "exec >/dev/full;"});
    std::string many = "300 0 0\n";  // a report of about 16 KiB
    for (int i = 0; i < 300; ++i) many += std::to_string(i) + " " + std::to_string(3 * i + i % 7) + "\n";
    rows.push_back({"LongReportToAFullDisk", "veldafit", {"-n", "many.pcp"}, {{"many.pcp", many}}, "", "",
                    "veldafit" + full_disk, 1, FrontEnd::None, {}, {}, false, "exec >/dev/full;"});
    // Input without a line end ends the order prompt as it does the file name prompt.
    rows.push_back({"EndlessInputAtTheOrderPrompt", "cadrafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, "",
                    Loading("exact.pcp") + Loaded("exact.pcp", 3) + kOrderPrompt +
                        "\nNo order entered: a line of more than 1023 characters.\n",
                    "", 1, FrontEnd::None, {}, {}, false, "exec </dev/zero;"});
    rows.push_back({"SorrafitLoadErrorToAFullDisk", "sorrafit", {"missing.pcp"}, {}, "", "", "sorrafit" + full_disk,
                    1, FrontEnd::None, {}, {}, false, "exec >/dev/full;"});
    // A front-end beside a downloaded data set is not run unless PATH names the working directory.
    rows.push_back({"FrontEndOnlyInTheWorkingDirectory", "veldafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, "",
                    ExactReport("exact.pcp") + kNoPlot, kNoFrontEnd, 0, FrontEnd::OnlyInWorkingDirectory});

    // A working directory that takes no data file: they go to TMPDIR (here
    // relative to it), or, when that fails too, the plot is refused with
    // both folders and reasons; the report is whole either way.
    const std::vector<std::pair<std::string, std::string>> tmp = {{"TMPDIR", "tmp"}};
    rows.push_back({"ReadOnlyWorkingDirectory", "veldafit", {"exact.pcp"}, {{"exact.pcp", kExactPcp}}, " \n",
                    Loading("exact.pcp") + Loaded("exact.pcp", 3) + kExactLine + kWait, "", 0,
                    FrontEnd::Recording, {}, {"tmp"}, true, nullptr, tmp});
    rows.push_back({"CadrafitReadOnlyWorkingDirectory", "cadrafit", {"poly_parabola.pcp"},
                    {{"poly_parabola.pcp", TestData("poly_parabola.pcp")}}, "2\n \n",
                    Expected("cadrafit_parabola.out") + kWait, "", 0, FrontEnd::Recording, {}, {"tmp"}, true,
                    nullptr, tmp});
    rows.push_back({"ReadOnlyWorkingDirectoryAndTemporaryFolderNamedWithX", "veldafit", {"exact.pcp"},
                    {{"exact.pcp", kExactPcp}}, " \n", Loading("exact.pcp") + Loaded("exact.pcp", 3) + kExactLine + kWait,
                    "", 0, FrontEnd::Recording, {}, {"tmpXXXXXX"}, true, nullptr, {{"TMPDIR", "tmpXXXXXX"}}});
    rows.push_back({"SorrafitReadOnlyWorkingDirectoryAndNoTemporaryFolder", "sorrafit", {"line_four_sigma.pcp"},
                    {{"line_four_sigma.pcp", TestData("line_four_sigma.pcp")}}, " \n",
                    Expected("sorrafit_four.out") + kWait,
                    "cannot create a data file in '.': Permission denied\n"
                    "cannot create a data file in '/nonexistent': No such file or directory\n"
                    "cannot create temporary file: exiting plot",
                    0, FrontEnd::Recording, {}, {}, true, nullptr, {{"TMPDIR", "/nonexistent"}}});

    // A plot file that can't be made leaves what was there as it was.
    const std::string kCannotDraw = "veldafit: cannot draw the plot into ";
    rows.push_back({"PlotIntoADirectory", "veldafit", {"-p", "dir.png", "exact.pcp"}, {{"exact.pcp", kExactPcp}}, "",
                    ExactReport("exact.pcp"), kCannotDraw + "'dir.png': it is a directory\n", 1, FrontEnd::Recording,
                    {}, {"dir.png"}});
    rows.push_back({"PlotIntoAFifo", "veldafit", {"-p", "fifo.svg", "exact.pcp"}, {{"exact.pcp", kExactPcp}}, "",
                    ExactReport("exact.pcp"), kCannotDraw + "'fifo.svg': it is not a regular file\n", 1,
                    FrontEnd::Recording, {}, {}, false, "/usr/bin/mkfifo fifo.svg;"});
    rows.push_back({"FailedPlotKeepsTheFile", "veldafit", {"-p", "keep.png", "exact.pcp"},
                    {{"exact.pcp", kExactPcp}, {"keep.png", "the picture of yesterday"}}, "",
                    ExactReport("exact.pcp"), kCannotDraw + "'keep.png': pgnuplot.exe was not found\n", 1});
    rows.push_back({"PlotOfAGnuplotThatDoesNotEnd", "veldafit", {"--plot-timeout=1", "-p", "keep.pdf", "exact.pcp"},
                    {{"exact.pcp", kExactPcp}, {"keep.pdf", "the picture of yesterday"}}, "",
                    ExactReport("exact.pcp"),
                    "gnuplot had not ended 1 seconds after its input and was stopped\n" + kCannotDraw +
                        "'keep.pdf': gnuplot did not finish within 1 second\n",
                    1, FrontEnd::Hanging});
    rows.push_back({"PlotTimeoutNotANumber", "veldafit", {"--plot-timeout=soon", "-p", "x.png", "exact.pcp"},
                    {{"exact.pcp", kExactPcp}}, "", "",
                    "veldafit: invalid plot timeout 'soon': give a whole number of seconds from 1 to 2147483\n"
                    "Try 'veldafit --help'.\n",
                    2});
    return rows;
}

// Whether file permissions bind the programs: always for an ordinary user;
// for root only when its permission override can be given up.
bool PermissionsBind()
{
    TempDir dir;
    WriteFile(dir.File("locked"), "x");
    chmod(dir.File("locked").c_str(), 0);
    RunOptions options;
    options.honour_file_permissions = true;
    return RunProgram({"/bin/cat", dir.File("locked")}, options).exit_status != 0;
}

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class BadInput : public testing::TestWithParam<Row> {};

TEST_P(BadInput, GivesAClearMessageOrACorrectReport)
{
    const Row& row = GetParam();
    if (row.shell != nullptr) SKIP_UNDER_WINE("standard streams set up by a POSIX shell");
    // chmod's modes are POSIX permissions; Windows guards files by access lists.
    if (!row.locked.empty() || row.read_only_directory) SKIP_UNDER_WINE("POSIX file permissions");
    // Windows itself looks in the working directory first, and so does the lookup there.
    if (row.front_end == FrontEnd::OnlyInWorkingDirectory) SKIP_UNDER_WINE("a search of PATH alone");
    if ((!row.locked.empty() || row.read_only_directory) && !PermissionsBind())
        GTEST_SKIP() << "file permissions do not bind this user, who may read and write anything";

    ProgramRun work;
    for (const auto& [name, content] : row.files) work.Write(name, content);
    for (const std::string& name : row.directories) fs::create_directory(work.File(name));
    for (const std::string& name : row.locked) chmod(work.File(name).c_str(), 0);
    work.Front(row.front_end);
    if (row.shell != nullptr) work.Shell(row.shell);
    work.options().honour_file_permissions = true;
    work.options().address_space_limit = size_t{8} << 30;  // far below a count of 2^31 points
    for (const auto& [name, value] : row.env) work.Env(name, value);
    if (row.read_only_directory) chmod(work.directory().c_str(), 0555);

    RunResult run = work.Run(row.program, row.args, row.input);
    chmod(work.directory().c_str(), 0700);

    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(run.exit_status, row.status);
    EXPECT_TRUE(work.DataFiles().empty());
    // Nothing is left in a fallback folder, and no file the run found is changed or joined by another.
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(work.directory())) found.insert(entry.path().filename().string());
    for (const std::string& name : row.directories) {
        EXPECT_TRUE(DataFilesIn(work.File(name)).empty()) << name;
        found.erase(name);
    }
    for (const auto& [name, content] : row.files) {
        bool locked = std::find(row.locked.begin(), row.locked.end(), name) != row.locked.end();
        if (!locked) {
            EXPECT_EQ(ReadFile(work.File(name)), content) << name;
        }
        found.erase(name);
    }
    for (const char* own : {"fifo.svg", "pgnuplot.exe", "stand-in-mode"}) found.erase(own);
    EXPECT_TRUE(found.empty()) << testing::PrintToString(found);
    if (row.front_end == FrontEnd::Dying) {
        EXPECT_EQ(work.Log(), (std::vector<std::string>{"set terminal windows", "set xlabel \"x\""}));
    }
    // The front-end gets the plot's commands and nothing else.
    for (const std::string& line : work.Log()) {
        EXPECT_TRUE(line.empty() || line.starts_with("set ") || line.starts_with("plot ") ||
                    line.starts_with("replot "))
            << line;
    }
    EXPECT_FALSE(fs::exists(work.File("log"))) << "a front-end found only in the working directory ran";
}

INSTANTIATE_TEST_SUITE_P(Programs, BadInput, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
