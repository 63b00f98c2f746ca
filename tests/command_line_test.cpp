// The options of the three programs: every option, every usage error, one table.
#include "command_line.h"
#include "fit_shell.h"

#include "memory_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>


namespace {

const ProgramInfo kLine = {"veldafit", "Fits a line.", false};
const ProgramInfo kPolynomial = {"cadrafit", "Fits a polynomial.", true};

// The record in one line: the fields that differ from a bare command line,
// or the usage error.
std::string Described(const CommandLine& command)
{
    if (!command.error.empty()) return "error: " + command.error;
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
    if (command.help) add("help");
    if (command.version) add("version");
    if (command.order != 0) add("order=" + std::to_string(command.order));
    if (command.no_plot) add("no-plot");
    if (command.plot_file) add(std::string("plot=") + command.plot_file + ":" + command.plot_terminal);
    if (command.plot_timeout != 120) add("timeout=" + std::to_string(command.plot_timeout));
    if (command.json) add("json");
    if (command.points) add("points");
    if (command.error_bars) add("errorbars");
    if (command.residuals) add("residuals");
    if (command.title) add(std::string("title=") + command.title);
    if (command.x_label) add(std::string("xlabel=") + command.x_label);
    if (command.y_label) add(std::string("ylabel=") + command.y_label);
    if (command.log_x) add("logx");
    if (command.log_y) add("logy");
    if (command.band_level != 0) add("band=" + std::to_string(command.band_level));
    if (command.equation) add("equation");
    if (command.columns) add(std::string("using=") + command.columns);
    if (command.delimiter) add(std::string("delimiter=[") + command.delimiter + "]");
    if (command.decimal_comma) add("decimal-comma");
    if (command.stats) add("stats");
    if (command.weighted) add("weighted");
    if (command.compare)
        add("compare=" + std::to_string(command.compare_from) + "-" + std::to_string(command.compare_to));
    if (command.file) add(std::string("file=") + command.file);
    return text;
}

std::string Parsed(const ProgramInfo& program, std::vector<std::string> args)
{
    args.insert(args.begin(), program.name);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return Described(ParseCommandLine(static_cast<int>(args.size()), argv.data(), program));
}

struct Case {
    const ProgramInfo* program;
    std::vector<std::string> args;
    std::string expected;
};

const std::string kRange = ": give FROM-TO with whole numbers 1 <= FROM <= TO <= 9";
const std::string kLevel = ": give a percentage between 0 and 100, such as 95";
const std::string kFormats = ": the name must end in .png, .svg, .pdf, .eps or .ps";
const std::string kSeconds = ": give a whole number of seconds from 1 to 2147483";

TEST(ParseCommandLine, EveryOptionAndEveryUsageError)
{
    const Case cases[] = {
        // The data file: the first argument that is not an option; the rest is ignored.
        {&kLine, {}, ""},
        {&kLine, {"f.pcp"}, "file=f.pcp"},
        // Options anywhere; the first other argument is the file, the rest ignored.
        {&kLine, {"f.pcp", "-n", "g.pcp"}, "no-plot file=f.pcp"},
        {&kPolynomial, {"f.pcp", "-o", "3", "-j"}, "order=3 json file=f.pcp"},
        {&kLine, {"--", "f.pcp", "-n"}, "file=f.pcp"},
        {&kLine, {"f.pcp", "--", "-n"}, "file=f.pcp"},
        {&kLine, {"--", "-f.pcp"}, "file=-f.pcp"},
        {&kLine, {"-n", "--"}, "no-plot"},
        {&kLine, {"-"}, "file=-"},
        {&kLine, {""}, "file="},
        // Help and version, which outrank the checks between options.
        {&kLine, {"-h"}, "help"},
        {&kLine, {"--help", "f.pcp"}, "help file=f.pcp"},
        {&kLine, {"-V"}, "version"},
        {&kLine, {"--vers"}, "version"},
        {&kLine, {"--help", "-n", "-p", "x.png", "--points"}, "help no-plot plot=x.png:pngcairo points"},
        // The order: cadrafit only, 2 to 9, whole numbers.
        {&kPolynomial, {"-o", "3", "f.pcp"}, "order=3 file=f.pcp"},
        {&kPolynomial, {"-o2"}, "order=2"},
        {&kPolynomial, {"--order=9"}, "order=9"},
        {&kPolynomial, {"--ord", "4", "-o", "5"}, "order=5"},
        {&kPolynomial, {"-o", "1"}, "error: invalid order '1': give a whole number from 2 to 9"},
        {&kPolynomial, {"-o", "10"}, "error: invalid order '10': give a whole number from 2 to 9"},
        {&kPolynomial, {"-o", "+3"}, "order=3"},  // as the order prompt reads it
        {&kPolynomial, {"-o", "-3"}, "error: invalid order '-3': give a whole number from 2 to 9"},
        {&kPolynomial, {"-o", "3x"}, "error: invalid order '3x': give a whole number from 2 to 9"},
        {&kPolynomial, {"-o", " 3"}, "error: invalid order ' 3': give a whole number from 2 to 9"},
        {&kPolynomial, {"--order="}, "error: invalid order '': give a whole number from 2 to 9"},
        {&kPolynomial, {"-o"}, "error: option '-o' needs an argument"},
        {&kPolynomial, {"--order"}, "error: option '--order' needs an argument"},
        {&kLine, {"-o", "3"}, "error: unknown option '-o'"},
        {&kLine, {"--order=3"}, "error: unknown option '--order'"},
        // Plots: none, or into a file whose extension names the terminal.
        {&kLine, {"-n"}, "no-plot"},
        {&kLine, {"--no-plot"}, "no-plot"},
        {&kLine, {"-p", "fit.png"}, "plot=fit.png:pngcairo"},
        {&kLine, {"--plot=dir.d/A.SVG"}, "plot=dir.d/A.SVG:svg"},
        {&kLine, {"-pfit.pdf"}, "plot=fit.pdf:pdfcairo"},
        {&kLine, {"-p", "fit.eps"}, "plot=fit.eps:postscript eps colour"},
        {&kLine, {"-p", "fit.ps", "--plot", "it's \"q\".png"}, "plot=it's \"q\".png:pngcairo"},
        {&kLine, {"-p", "fit.jpg"}, "error: cannot tell the plot format of 'fit.jpg'" + kFormats},
        {&kLine, {"-p", "dir.png/fit"}, "error: cannot tell the plot format of 'dir.png/fit'" + kFormats},
        {&kLine, {"--plot="}, "error: cannot tell the plot format of ''" + kFormats},
        {&kLine, {"-p", "a\nb.png"}, "error: the plot file name must not hold a line break"},
        {&kLine, {"-p"}, "error: option '-p' needs an argument"},
        {&kLine, {"-n", "-p", "x.png"}, "error: options '--plot' and '--no-plot' exclude each other"},
        {&kLine, {"--plot-timeout=1", "-p", "x.png"}, "plot=x.png:pngcairo timeout=1"},
        {&kPolynomial, {"--plot-t", "2147483", "--plot", "x.png"}, "plot=x.png:pngcairo timeout=2147483"},
        {&kLine, {"--plot-timeout=0"}, "error: invalid plot timeout '0'" + kSeconds},
        {&kLine, {"--plot-timeout", "2147484"}, "error: invalid plot timeout '2147484'" + kSeconds},
        {&kLine, {"--plot-timeout=1.5"}, "error: invalid plot timeout '1.5'" + kSeconds},
        // JSON, and the points in it.
        {&kLine, {"-j"}, "json"},
        {&kLine, {"--json", "--points", "f.csv"}, "json points file=f.csv"},
        {&kLine, {"-jn", "--po", "f"}, "no-plot json points file=f"},
        {&kPolynomial, {"-jo3", "-p", "x.svg"}, "order=3 plot=x.svg:svg json"},
        {&kLine, {"--points"}, "error: option '--points' needs '--json'"},
        // What the picture shows: any UTF-8 text without control characters but line breaks and tabs.
        {&kLine, {"--errorbars", "--residuals", "--logx", "--logy", "f"}, "errorbars residuals logx logy file=f"},
        {&kLine, {"--err", "--res", "--logx", "--logy", "f"}, "errorbars residuals logx logy file=f"},
        {&kLine, {"--title=it's \"χ²\"\\n", "--xlabel", "a\r\nb\tc", "--ylabel="},
         "title=it's \"χ²\"\\n xlabel=a\r\nb\tc ylabel="},
        {&kLine, {"--title", std::string(1000, 't')}, "title=" + std::string(1000, 't')},
        {&kLine, {"--title", std::string(1001, 't')}, "error: the text of '--title' is longer than 1000 bytes"},
        {&kLine, {"--xlabel=a\x1b[2J"}, "error: the text of '--xlabel' holds a control character"},
        {&kLine, {"--ylabel=\x7f"}, "error: the text of '--ylabel' holds a control character"},
        {&kLine, {"--title=\xff"}, "error: the text of '--title' is not valid UTF-8"},
        {&kLine, {"--title=\xc3"}, "error: the text of '--title' is not valid UTF-8"},        // cut short
        {&kLine, {"--title=\xc0\xaf"}, "error: the text of '--title' is not valid UTF-8"},    // overlong
        {&kLine, {"--title=\xed\xa0\x80"}, "error: the text of '--title' is not valid UTF-8"},  // surrogate
        {&kLine, {"--title=\xf4\x90\x80\x80"}, "error: the text of '--title' is not valid UTF-8"},
        {&kLine, {"--title=\xf0\x9f\x93\x88"}, "title=\xf0\x9f\x93\x88"},
        {&kLine, {"--title"}, "error: option '--title' needs an argument"},
        {&kLine, {"--log"}, "error: option '--log' is ambiguous: --logx, --logy"},
        {&kLine, {"--residuals=1"}, "error: option '--residuals' takes no argument"},
        {&kLine, {"--band", "--equation", "f"}, "band=0.950000 equation file=f"},
        {&kLine, {"--band=99.5", "--band=68"}, "band=0.680000"},
        {&kLine, {"--band", "99", "f"}, "band=0.950000 file=99"},
        {&kLine, {"--band=100"}, "error: invalid confidence level '100'" + kLevel},
        {&kLine, {"--band=0"}, "error: invalid confidence level '0'" + kLevel},
        {&kLine, {"--band=95%"}, "error: invalid confidence level '95%'" + kLevel},
        {&kLine, {"--band=nan"}, "error: invalid confidence level 'nan'" + kLevel},
        {&kLine, {"--band="}, "error: invalid confidence level ''" + kLevel},
        // The columns and fields of a table.
        {&kLine, {"-u", "2:3", "b.csv"}, "using=2:3 file=b.csv"},
        {&kLine, {"--using=t:V:dV", "-"}, "using=t:V:dV file=-"},
        {&kLine, {"-u", "1,2:3"}, "error: invalid columns '1,2:3': the fit takes one x column"},
        {&kLine, {"-u", "1"}, "error: invalid columns '1': give the columns as X:Y or X:Y:S"},
        {&kLine, {"--delimiter=;", "--decimal-comma"}, "delimiter=[;] decimal-comma"},
        {&kLine, {"--delimiter", "tab"}, "delimiter=[\t]"},
        {&kLine, {"--delimiter=space"}, "delimiter=[ ]"},
        {&kLine, {"--delimiter=."}, "error: invalid delimiter '.': give one character such as ',' or ';', 'tab' or 'space'"},
        {&kLine, {"--delimiter=,", "--decimal-comma"}, "error: a comma can't separate the fields and the decimals both"},
        // Statistics, the weighted fit, and cadrafit's comparison of orders.
        {&kLine, {"-sw", "f"}, "stats weighted file=f"},
        {&kPolynomial, {"--stats", "--weighted", "-o3"}, "order=3 stats weighted"},
        {&kPolynomial, {"--compare"}, "compare=1-9"},
        {&kPolynomial, {"--comp=2-4", "-w"}, "weighted compare=2-4"},
        {&kPolynomial, {"--compare=5-5"}, "compare=5-5"},
        {&kPolynomial, {"--compare", "2-4"}, "compare=1-9 file=2-4"},
        {&kPolynomial, {"--compare=4-2"}, "error: invalid order range '4-2'" + kRange},
        {&kPolynomial, {"--compare=0-3"}, "error: invalid order range '0-3'" + kRange},
        {&kPolynomial, {"--compare=1-10"}, "error: invalid order range '1-10'" + kRange},
        {&kPolynomial, {"--compare=3"}, "error: invalid order range '3'" + kRange},
        {&kPolynomial, {"--compare=-3"}, "error: invalid order range '-3'" + kRange},
        {&kPolynomial, {"--compare="}, "error: invalid order range ''" + kRange},
        {&kPolynomial, {"--compare", "-o", "3"}, "error: options '--compare' and '--order' exclude each other"},
        {&kLine, {"--compare"}, "error: unknown option '--compare'"},
        // What getopt refuses.
        {&kLine, {"-x"}, "error: unknown option '-x'"},
        {&kLine, {"-nx"}, "error: unknown option '-x'"},
        {&kLine, {"--plot=x.png", "-xn"}, "error: unknown option '-x'"},
        {&kLine, {"--bogus"}, "error: unknown option '--bogus'"},
        {&kLine, {"--bogus=1", "f"}, "error: unknown option '--bogus'"},
        {&kLine, {"--p", "x.png"}, "error: option '--p' is ambiguous: --plot, --plot-timeout, --points"},
        {&kLine, {"--json=yes"}, "error: option '--json' takes no argument"},
        {&kLine, {"--help", "--bogus"}, "error: unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        std::string args;
        for (const std::string& arg : c.args) args += " [" + arg + "]";
        EXPECT_EQ(Parsed(*c.program, c.args), c.expected) << c.program->name << args;
    }
}

std::string Help(const ProgramInfo& program)
{
    return WrittenTo([&program](std::FILE* out) { PrintHelp(out, program); });
}

TEST(PrintHelp, ListsTheOrderOnlyWhereItIsTaken)
{
    std::string line = Help(kLine), polynomial = Help(kPolynomial);
    EXPECT_TRUE(line.starts_with("Usage: veldafit [OPTION]... [FILE]\nFits a line.\n")) << line;
    EXPECT_EQ(line.find("--order"), std::string::npos);
    EXPECT_EQ(line.find("--compare"), std::string::npos);
    // Too long to share its line, the option stands alone above its help.
    EXPECT_NE(polynomial.find("\n      --compare[=FROM-TO]\n                     compare the orders"), std::string::npos)
        << polynomial;
    EXPECT_NE(polynomial.find("\n  -o, --order=N      fit the polynomial"), std::string::npos) << polynomial;
    for (const char* option : {"--no-plot", "--plot=FILE", "--json", "--points", "--errorbars", "--residuals",
                               "--title=TEXT", "--xlabel=TEXT", "--ylabel=TEXT", "--logx", "--logy",
                               "--band[=LEVEL]", "--equation", "--stats", "--weighted", "--help", "--version"})
        EXPECT_NE(line.find(option), std::string::npos) << option;
}

// Whatever a program's body lets through ends the run with one line and status 1.
TEST(RunGuarded, TurnsAnEscapingExceptionIntoOneLineAndStatusOne)
{
    struct Guarded {
        int (*body)(int, char**);
        std::string err;
        int status;
    } cases[] = {
        {[](int, char**) -> int { throw std::bad_alloc(); }, "veldafit: not enough memory to finish the run\n", 1},
        {[](int, char**) -> int { throw std::length_error("vector too long"); }, "veldafit: vector too long\n", 1},
        {[](int, char**) -> int { throw 7; }, "veldafit: an unexpected failure ended the run\n", 1},
        {[](int argc, char**) { return argc; }, "", 3},
    };
    for (const Guarded& c : cases) {
        testing::internal::CaptureStderr();
        const int status = RunGuarded(kLine, c.body, 3, nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
        EXPECT_EQ(status, c.status);
    }
}

}  // namespace
