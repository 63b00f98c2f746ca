// The programs' options end to end: help and version, the order without its
// prompt, no plot, plots drawn into files by the real gnuplot, and JSON results.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "program_run.h"
#include "windows_programs.h"


namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

const char* const kPrograms[] = {"veldafit", "sorrafit", "cadrafit"};

std::string Without(std::string text, const std::string& part)
{
    size_t at = text.find(part);
    return at == std::string::npos ? text : text.erase(at, part.size());
}

// A working directory holding data files, with a recording front-end on
// PATH, so that a run which starts one leaves its log, or the real one.
struct Work : ProgramRun {
    explicit Work(const std::vector<std::string>& data_files, FrontEnd front_end = FrontEnd::Recording)
    {
        for (const std::string& name : data_files) Copy(name);
        // The options outrank the user's own choice of picture.
        Front(front_end).Env("FITCORE_GNUPLOT_TERMINAL", "dumb").Env("FITCORE_GNUPLOT_OUTPUT", "elsewhere.txt");
    }
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory())) names.insert(entry.path().filename());
        return names;
    }
};

TEST(Options, HelpAndVersionGoToStandardOutput)
{
    for (const std::string program : kPrograms) {
        RunResult help = ProgramRun().Run(program, {"--help", "ignored.pcp"});
        EXPECT_EQ(help.exit_status, 0);
        EXPECT_TRUE(help.out.starts_with("Usage: " + program + " [OPTION]... [FILE]\n")) << help.out;
        EXPECT_EQ(help.out.find("--order") != std::string::npos, program == "cadrafit");
        EXPECT_EQ(help.err, "");

        RunResult version = ProgramRun().Run(program, {"-V"});
        EXPECT_EQ(version.exit_status, 0);
        EXPECT_EQ(version.out, program + " (fitcore) " FITCORE_VERSION "\n");
    }
}

TEST(Options, TheOrderOptionGivesTheReportOfThePrompt)
{
    Work work({"poly_cubic.pcp"});
    RunResult prompted = work.Run("cadrafit", {"-n", "poly_cubic.pcp"}, "3\n");
    EXPECT_EQ(prompted.out, Expected("cadrafit_cubic.out"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-n", "--order", "3", "poly_cubic.pcp"},
                                                 std::vector<std::string>{"-no3", "poly_cubic.pcp"}}) {
        RunResult ordered = work.Run("cadrafit", args);  // standard input closed
        EXPECT_EQ(ordered.exit_status, 0);
        EXPECT_EQ(ordered.out, Without(prompted.out, kOrderPrompt));
    }
}

TEST(Options, NoPlotStartsNoFrontEndAndEndsAsWithAPlot)
{
    const struct {
        const char* program;
        std::vector<std::string> args;
        std::string report;
    } cases[] = {
        {"veldafit", {"-n", "line_five.pcp"}, Expected("veldafit_line_five.out")},
        {"sorrafit", {"--no-plot", "line_four_sigma.pcp"}, Expected("sorrafit_four.out")},
        {"cadrafit", {"-n", "-o", "2", "poly_parabola.pcp"}, Without(Expected("cadrafit_parabola.out"), kOrderPrompt)},
    };
    for (const auto& c : cases) {
        Work work({c.args.back()});
        RunResult run = work.Run(c.program, c.args);
        EXPECT_EQ(run.exit_status, 0) << c.program;
        EXPECT_EQ(run.out, c.report);
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(work.FrontEndStarted()) << c.program;
        EXPECT_EQ(work.Files(), std::set<std::string>{c.args.back()});
    }
}

bool ValidPng(const std::string& data)
{
    const std::string signature = "\x89PNG\r\n\x1a\n", end = std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    return data.starts_with(signature) && data.ends_with(end);
}

bool ValidSvg(const std::string& data, const std::string& curve)
{
    return data.starts_with("<?xml") && data.find("</svg>") == data.rfind("</svg>") &&
           data.find_last_not_of('\n') + 1 == data.rfind("</svg>") + 6 && data.find(curve) != std::string::npos;
}

TEST(PlotFile, TheRealGnuplotDrawsEachFormatAndNothingElseIsLeft)
{
    SKIP_UNDER_WINE("the installed gnuplot is a Linux one");
    if (!fs::exists("/usr/bin/gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    const struct {
        const char* program;
        std::vector<std::string> options;
        const char* data_file;
        std::string report;
        bool (*valid)(const std::string&);
    } cases[] = {
        {"veldafit", {"-p", "fit.png"}, "line_five.pcp", Expected("veldafit_line_five.out"), ValidPng},
        {"veldafit", {"--plot=fit.svg"}, "line_five.pcp", Expected("veldafit_line_five.out"),
         [](const std::string& svg) { return ValidSvg(svg, "Linear fit"); }},
        // Quotes, a backquote and "@" reach gnuplot as part of the name, never as syntax.
        {"cadrafit", {"-o", "2", "-p", "it's \"my\" `fit` @x.SVG"}, "poly_parabola.pcp",
         Without(Expected("cadrafit_parabola.out"), kOrderPrompt),
         [](const std::string& svg) { return ValidSvg(svg, "Polynomial fit"); }},
        {"sorrafit", {"-p", "fit.pdf"}, "line_four_sigma.pcp", Expected("sorrafit_four.out"),
         [](const std::string& pdf) { return pdf.starts_with("%PDF-") && pdf.ends_with("%%EOF\n"); }},
        // gnuplot would run a name that starts with "|" as a command.
        {"veldafit", {"-p", "|fit.eps"}, "line_five.pcp", Expected("veldafit_line_five.out"),
         [](const std::string& eps) {
             return eps.starts_with("%!PS-Adobe-2.0 EPSF") && eps.find("%%Trailer") != std::string::npos;
         }},
    };
    for (const auto& c : cases) {
        std::string file = c.options.back();
        if (file.starts_with("--plot=")) file = file.substr(7);
        SCOPED_TRACE(file);
        Work work({c.data_file}, FrontEnd::Real);
        std::vector<std::string> args = c.options;
        args.push_back(c.data_file);
        RunResult run = work.Run(c.program, args);
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.out, c.report);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(c.valid(ReadFile(work.File(file))));
        EXPECT_EQ(work.Files(), (std::set<std::string>{c.data_file, file}));
    }
}

TEST(PlotFile, APlotThatCannotBeMadeIsOneLineAndStatusOne)
{
    const std::string kPlot = "veldafit: cannot draw the plot into ";
    const struct {
        std::string file;
        const char* data_file;
        std::vector<std::pair<std::string, std::optional<std::string>>> env;
        std::string last_line;
        bool json = false;
    } cases[] = {
        {"missing/fit.png", "line_five.pcp", {}, kPlot + "'missing/fit.png': No such file or directory\n"},
        {"fit.png", "line_five.pcp", {{"PATH", "/nonexistent"}}, kPlot + "'fit.png': pgnuplot.exe was not found\n"},
        // The front-end says why before the program's own line.
        {"fit.png", "line_five.pcp", {{"FITCORE_GNUPLOT", "/nonexistent/gnuplot"}},
         kPlot + "'fit.png': gnuplot did not draw it\n"},
        {"fit.png", "empty_header.pcp", {}, kPlot + "'fit.png': there are no points\n"},
        // A name of any characters: the file begun beside it is removed again.
        {"图 données.png", "line_five.pcp", {{"FITCORE_GNUPLOT", "/nonexistent/gnuplot"}},
         kPlot + "'图 données.png': gnuplot did not draw it\n"},
        // With --json the loading messages come first on standard error, in order.
        {"fit.svg", "line_five.pcp", {{"FITCORE_GNUPLOT", "/nonexistent/gnuplot"}},
         kPlot + "'fit.svg': gnuplot did not draw it\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last_line);
        Work work({c.data_file}, FrontEnd::Real);
        for (const auto& [name, value] : c.env) work.Env(name, value);
        RunResult run = work.Run("veldafit", {c.json ? "-jp" : "-p", c.file, c.data_file});
        EXPECT_EQ(run.exit_status, 1);
        std::string report = Expected("veldafit_" + Without(c.data_file, ".pcp") + ".out");
        std::string diagnostics = run.err;
        if (c.json) {
            std::string loading = report.substr(0, report.find("Linear fit"));
            EXPECT_TRUE(run.err.starts_with(loading)) << run.err;
            diagnostics = Without(run.err, loading);
            EXPECT_EQ(Json::parse(run.out)["slope"], 1.99);
        } else {
            EXPECT_EQ(run.out, report);
        }
        EXPECT_TRUE(diagnostics.ends_with(c.last_line)) << run.err;
        EXPECT_LE(std::count(diagnostics.begin(), diagnostics.end(), '\n'), 2) << run.err;
        EXPECT_EQ(work.Files(), std::set<std::string>{c.data_file});
    }
}

// Field `index` (0 the first after the label) of the report line that starts
// with `label`, split at tabs.
std::string Field(const std::string& report, const std::string& label, int index = 0)
{
    size_t at = report.find("\n" + label);
    EXPECT_NE(at, std::string::npos) << label;
    std::string line = report.substr(at + 1 + label.size());
    line = line.substr(0, line.find('\n'));
    for (; index > 0; --index) line = line.substr(line.find('\t') + 1);
    return line.substr(0, line.find('\t'));
}

// A JSON number as the report prints it, or "null".
std::string Printed(const Json& value, const char* format)
{
    if (value.is_null()) return "null";
    char text[64];
    std::snprintf(text, sizeof text, format, value.get<double>());
    return text;
}

void ExpectSameNumber(const Json& value, const std::string& printed, const std::string& what)
{
    std::string json = Printed(value, "%e");
    if (json == "null")
        EXPECT_TRUE(printed.find("nan") != std::string::npos || printed.find("inf") != std::string::npos)
            << what << ": " << printed;
    else
        EXPECT_EQ(json, printed) << what;
}

std::vector<std::string> Keys(const Json& object)
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.push_back(key);
    return keys;
}

// The members that follow the report's numbers where the JSON carries the inference.
const std::vector<std::string> kLineInferenceKeys = {
    "ndf",     "residual_se",  "r_squared",   "adjusted_r_squared", "slope_t",
    "slope_p", "slope_ci95",   "intercept_t", "intercept_p",        "intercept_ci95",
    "correlation_slope_intercept"};
const std::vector<std::string> kPolynomialInferenceKeys = {
    "ndf", "residual_se", "r_squared", "adjusted_r_squared", "coefficient_t", "coefficient_p", "coefficient_ci95",
    "correlation"};

std::vector<std::string> Joined(std::vector<std::string> keys, const std::vector<std::string>& inference,
                                bool with_inference)
{
    if (with_inference) keys.insert(keys.end(), inference.begin(), inference.end());
    keys.push_back("points");
    return keys;
}

void ExpectLineJson(const Json& json, const std::string& report, bool with_inference)
{
    EXPECT_EQ(Keys(json), Joined({"program", "file", "count", "x_name", "y_name", "skipped", "slope", "slope_error", "intercept", "intercept_error",
                                  "x_intercept", "x_intercept_error", "xbar", "ybar", "standard_deviation",
                                  "correlation"},
                                 kLineInferenceKeys, with_inference));
    const struct {
        const char* member;
        const char* label;
        int field;
    } numbers[] = {
        {"slope", "Slope\t", 0},           {"slope_error", "Slope\t", 1},
        {"intercept", "y intercept\t", 0}, {"intercept_error", "y intercept\t", 1},
        {"x_intercept", "x intercept\t", 0}, {"x_intercept_error", "x intercept\t", 1},
        {"xbar", "xbar\t", 0},             {"ybar", "ybar\t", 0},
        {"standard_deviation", "The standard deviation of fit=", 0},
        {"correlation", "Correlation coefficient=", 0},
    };
    for (const auto& n : numbers) ExpectSameNumber(json[n.member], Field(report, n.label, n.field), n.member);
    size_t row = report.find("Err/sd\n") + 7;
    for (size_t i = 0; i < json["points"].size(); ++i) {
        const Json& point = json["points"][i];
        std::string expected = std::to_string(i + 1) + "\t" + Printed(point["x"], "%1.6e") + "\t" +
                               Printed(point["y"], "%1.6e") + "\t" + Printed(point["fit"], "%1.6e") + "\t";
        EXPECT_EQ(report.substr(row, expected.size()), expected);
        row = report.find('\n', row) + 1;
    }
}

void ExpectPolynomialJson(const Json& json, const std::string& report)
{
    EXPECT_EQ(Keys(json), Joined({"program", "file", "count", "x_name", "y_name", "skipped", "order", "coefficients", "coefficient_errors", "rms"},
                                 kPolynomialInferenceKeys, true));
    EXPECT_EQ(json["coefficient_errors"].size(), json["coefficients"].size());
    EXPECT_EQ(json["order"].get<int>(), std::stoi(Field(report, "Fit for polynomial of order ")));
    ExpectSameNumber(json["rms"], Field(report, "The rms error of this fit is"), "rms");
    std::string coefficients;
    for (size_t k = 0; k < json["coefficients"].size(); ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "%4zu %15.6e\n", k, json["coefficients"][k].get<double>());
        coefficients += line;
    }
    EXPECT_NE(report.find("Polynomial Coefficients:\n" + coefficients + "\n"), std::string::npos) << coefficients;
    size_t row = report.find("(y-fit)/rms\n") + 12;
    for (size_t i = 0; i < json["points"].size(); ++i) {
        const Json& point = json["points"][i];
        char expected[128];
        std::snprintf(expected, sizeof expected, "%4zu %15.5e %15.5e %15.5e ", i + 1, point["x"].get<double>(),
                      point["y"].get<double>(), point["fit"].get<double>());
        EXPECT_EQ(report.substr(row, std::strlen(expected)), expected);
        row = report.find('\n', row) + 1;
    }
}

TEST(Json, TheNumbersAreThoseOfTheReport)
{
    const struct {
        const char* program;
        const char* data_file;
        int count;
    } cases[] = {
        {"veldafit", "line_five.pcp", 5},
        {"veldafit", "line_flat.pcp", 3},  // an infinite x intercept and NaN: null
        {"sorrafit", "weighted_five.pcp", 5},
        {"cadrafit", "poly_cubic.pcp", 7},
        {"cadrafit", "poly_parabola.pcp", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data_file);
        Work work({c.data_file});
        bool polynomial = std::string(c.program) == "cadrafit";
        const char* order = std::string(c.data_file) == "poly_cubic.pcp" ? "3\n" : "2\n";
        RunResult text = work.Run(c.program, {"-n", c.data_file}, polynomial ? order : "");
        // The order is asked for as usual, on standard error like every other message.
        RunResult json = work.Run(c.program, {"--json", "--points", c.data_file}, polynomial ? order : "");
        EXPECT_EQ(json.exit_status, 0);
        EXPECT_EQ(json.err, text.out.substr(0, text.out.find('\n', text.out.find("Loaded file")) + 1) +
                                (polynomial ? kOrderPrompt : ""));
        EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
        EXPECT_FALSE(work.FrontEndStarted());
        Json parsed = Json::parse(json.out);
        EXPECT_EQ(parsed["program"], c.program);
        EXPECT_EQ(parsed["file"], c.data_file);
        EXPECT_EQ(parsed["count"], c.count);
        EXPECT_EQ(parsed["points"].size(), static_cast<size_t>(c.count));
        if (polynomial)
            ExpectPolynomialJson(parsed, Without(text.out, kOrderPrompt));
        else
            // sorrafit without --weighted keeps the members of its report alone.
            ExpectLineJson(parsed, text.out, std::string(c.program) == "veldafit");
    }
}

TEST(Json, AFileNameOfAnyBytesIsValidJson)
{
    const struct {
        std::string name;
        std::string decoded;
        bool any_system;  // false: a name that only a system of byte names can hold
    } cases[] = {
        {"数据.pcp", "数据.pcp", true},
        {"données.pcp", "données.pcp", true},
        {"quote\" back\\slash\nline.pcp", "quote\" back\\slash\nline.pcp", false},
        {"tab\tbell\x07.pcp", "tab\tbell\x07.pcp", false},
        {"latin\xE9.pcp", "latin\xEF\xBF\xBD.pcp", false},  // not UTF-8: the replacement character
    };
    for (const auto& c : cases) {
        if (RunsWindowsPrograms() && !c.any_system) continue;
        SCOPED_TRACE(c.name);
        RunResult run = ProgramRun().Write(c.name, "3 0 0\n1 2\n2 4\n3 6\n").Run("veldafit", {"-j", c.name});
        EXPECT_EQ(run.exit_status, 0);
        Json parsed = Json::parse(run.out);  // throws on anything that is not valid JSON
        EXPECT_EQ(parsed["file"], c.decoded);
        EXPECT_EQ(parsed["slope"], 2);
        EXPECT_FALSE(parsed.contains("points"));
    }
}

}  // namespace
