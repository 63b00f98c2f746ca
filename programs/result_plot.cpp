// result_plot.cpp - the points and the fitted curve in gnuplot, until the user
// types a space, or drawn into a file.
#include "result_plot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "gnuplot_connection.h"

namespace {

constexpr int kDrawingWaitMs = 3000;

// Reads single characters until a space. End of input ends the wait too,
// so a program fed from a file or a closed terminal never spins here.
void WaitForSpace()
{
    std::puts("Press space (and enter) to continue...");
    std::fflush(stdout);
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

std::string Format(const char* format, double value, int power)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value, power);
    return text;
}

}  // namespace

std::string PolynomialCurveCommand(const Polynomial& polynomial)
{
    // At most ten terms of at most 23 characters: no buffer limit ever cuts this.
    std::string command = "replot ";
    for (int k = 0; k <= polynomial.order; ++k)
        command += Format("+(%g)*(x**%d)", polynomial.coefficients[k], k);
    return command + " title 'Polynomial fit' with lines\n";
}

std::string LineCurveCommand(double slope, double intercept)
{
    char command[4096];
    std::snprintf(command, sizeof command, "replot %f*x+%f", slope, intercept);
    return std::string(command) + " title 'Linear fit' with lines\n";
}

void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command)
{
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
    gnuplot_close(plot);
}

int DrawResultPlot(Point* points, int32_t count, const std::string& curve_command, const char* file,
                   const char* terminal, std::string* reason)
{
    namespace fs = std::filesystem;
    std::error_code error;
    // Emptied first, so that a file still empty after gnuplot has ended was
    // not drawn. A special file (a named pipe, say) is left to gnuplot alone.
    const bool checked = !fs::exists(file, error) || fs::is_regular_file(file, error);
    if (checked) {
        std::FILE* emptied = std::fopen(file, "wb");
        if (emptied == nullptr) {
            *reason = std::strerror(errno);
            return 1;
        }
        std::fclose(emptied);
    }
    auto empty = [file] {
        std::error_code size_error;
        std::uintmax_t size = fs::file_size(file, size_error);
        return size_error || size == 0;
    };
    auto failed = [&](const char* why) {
        if (checked && empty()) fs::remove(file, error);
        *reason = why;
        return 1;
    };
    if (gnuplot_get_program_path("pgnuplot.exe") == nullptr) return failed("pgnuplot.exe was not found");

    // The front-end draws the connection's "windows" terminal on the terminal
    // and into the output these name. gnuplot would take an output that
    // starts with "|" for a command and one that starts with "~" for a home
    // directory: "./" keeps a relative name a file name.
    const std::string output = file[0] == '/' ? std::string(file) : "./" + std::string(file);
    setenv("FITCORE_GNUPLOT_TERMINAL", terminal, 1);
    setenv("FITCORE_GNUPLOT_OUTPUT", output.c_str(), 1);
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
