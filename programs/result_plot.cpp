// result_plot.cpp - the points and the fitted curve in gnuplot, until the user
// types a space, or drawn into a file.
#include "result_plot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "fit_shell.h"
#include <fitcore/gnuplot_connection.h>
#include <fitcore/number_format.h>
#include <fitcore/platform.h>

namespace {

constexpr int kDrawingWaitMs = 3000;
// After the user's space, gnuplot gets this long to end before it is stopped.
constexpr int kClosingWaitMs = 5000;

// Reads single characters until a space. End of input ends the wait too,
// so a program fed from a file or a closed terminal never spins here.
void WaitForSpace()
{
    std::puts("Press space (and enter) to continue...");
    FlushOutput();
    int c;
    do {
        c = std::getchar();
    } while (c != ' ' && c != EOF);
}

// The plot of the points, which the curve then joins. 0 sent; 1 refused
// (no points, no data file).
int PlotPoints(gnuplot_connection* plot, Point* points, int32_t count)
{
    gnuplot_setstyle(plot, "points");
    gnuplot_set_xlabel(plot, "x");
    gnuplot_set_ylabel(plot, "y");
    return gnuplot_plot_Point_xy(plot, points, count, "Points");
}

void PlotCurve(gnuplot_connection* plot, const std::string& curve_command)
{
    // The command ends with its own line end; gnuplot_cmd adds another.
    gnuplot_cmd(plot, "%s", curve_command.c_str());
}

// Every digit of the double, so gnuplot draws the curve of the report.
std::string Exact(double value)
{
    char text[fitcore::kMaxExactGeneralLength];
    return {text, fitcore::AppendExactGeneral(text, value)};
}

// "x-c", or "x+c" for a negative c.
std::string Shifted(double centre)
{
    return centre < 0 ? "x+" + Exact(-centre) : "x-" + Exact(centre);
}

// `name` as std::filesystem takes it: read as UTF-8, the programs' code page
// on Windows (elsewhere its bytes pass unchanged); a name that is not UTF-8,
// as on a Windows without that code page, as the C library reads it.
std::filesystem::path FileSystemPath(const char* name)
{
    try {
        return std::filesystem::path(reinterpret_cast<const char8_t*>(name));
    } catch (const std::exception&) {
        return std::filesystem::path(name);
    }
}

}  // namespace

std::string PolynomialCurveCommand(const fitcore::Polynomial& polynomial)
{
    // Over x far from zero, powers of x would cancel in gnuplot's arithmetic:
    // the curve then goes in the centred variable the fit was solved in.
    const fitcore::Centring& centring = polynomial.centring;
    const bool in_x = centring.IsIdentity();
    const std::string variable = in_x ? "x" : "((" + Shifted(centring.centre) + ")/" + Exact(centring.scale) + ")";
    const double* coefficients = in_x ? polynomial.coefficients : polynomial.centred;
    std::string command = "replot ";
    for (int k = 0; k <= polynomial.order; ++k)
        command += "+(" + Exact(coefficients[k]) + ")*(" + variable + "**" + std::to_string(k) + ")";
    return command + " title 'Polynomial fit' with lines\n";
}

std::string LineCurveCommand(const fitcore::Line& line)
{
    // b*x+a, or b*(x-c)+v through the line's value v at the centre c.
    const bool in_x = line.centre == 0;
    const std::string variable = in_x ? "x" : "(" + Shifted(line.centre) + ")";
    const double value = in_x ? line.intercept : line.centre_value;
    return "replot " + Exact(line.slope) + "*" + variable + "+" + Exact(value) + " title 'Linear fit' with lines\n";
}

void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command)
{
    DiscardRestOfAnsweredLine();
    gnuplot_connection* plot = gnuplot_init();
    if (plot == nullptr) {
        std::puts("GNUPlot failed to start.  Plotting failed.");
        return;
    }
    PlotPoints(plot, points, count);
    PlotCurve(plot, curve_command);
    // A drawing on the console comes before the prompt, not over it; a slow
    // gnuplot delays the prompt by a few seconds at most.
    gnuplot_wait_delivered(plot, kDrawingWaitMs);
    WaitForSpace();
    gnuplot_close_within(plot, kClosingWaitMs);
}

int DrawResultPlot(Point* points, int32_t count, const std::string& curve_command, const char* file,
                   const char* terminal, std::string* reason)
{
    namespace fs = std::filesystem;
    const fs::path path = FileSystemPath(file);
    std::error_code error;
    // Emptied first, so that a file still empty after gnuplot has ended was
    // not drawn. A special file (a named pipe, say) is left to gnuplot alone.
    const bool checked = !fs::exists(path, error) || fs::is_regular_file(path, error);
    if (checked) {
        std::FILE* emptied = std::fopen(file, "wb");
        if (emptied == nullptr) {
            *reason = std::strerror(errno);
            return 1;
        }
        std::fclose(emptied);
    }
    auto empty = [&path] {
        std::error_code size_error;
        std::uintmax_t size = fs::file_size(path, size_error);
        return size_error || size == 0;
    };
    auto failed = [&](const char* why) {
        if (checked && empty()) fs::remove(path, error);
        *reason = why;
        return 1;
    };
    if (gnuplot_get_program_path("pgnuplot.exe") == nullptr) return failed("pgnuplot.exe was not found");

    // The front-end draws the connection's "windows" terminal on the terminal
    // and into the output these name. gnuplot would take an output that
    // starts with "|" for a command and one that starts with "~" for a home
    // directory: "./" keeps a relative name a file name. A name from the root
    // ("/x", and on Windows "C:\x" or "\x") stays as it is.
    const std::string output = path.has_root_path() ? std::string(file) : "./" + std::string(file);
    fitcore::SetEnvironmentValue("FITCORE_GNUPLOT_TERMINAL", terminal);
    fitcore::SetEnvironmentValue("FITCORE_GNUPLOT_OUTPUT", output.c_str());
    gnuplot_connection* plot = gnuplot_init();
    if (plot == nullptr) return failed("gnuplot could not be started");
    if (PlotPoints(plot, points, count) != 0) {
        gnuplot_close(plot);
        return failed(count > 0 ? "the points could not be handed to gnuplot" : "there are no points");
    }
    PlotCurve(plot, curve_command);
    gnuplot_close(plot);
    if (checked && empty()) return failed("gnuplot did not draw it");
    return 0;
}
