// result_plot.cpp - the points and the fitted curve in gnuplot, until the user types a space.
#include "result_plot.h"

#include <cstdio>

#include "fit_shell.h"
#include "gnuplot_connection.h"

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
    DiscardRestOfAnsweredLine();
    gnuplot_connection* plot = gnuplot_init();
    if (plot == nullptr) {
        std::puts("GNUPlot failed to start.  Plotting failed.");
        return;
    }
    gnuplot_setstyle(plot, "points");
    gnuplot_set_xlabel(plot, "x");
    gnuplot_set_ylabel(plot, "y");
    gnuplot_plot_Point_xy(plot, points, count, "Points");
    // The command ends with its own line end; gnuplot_cmd adds another.
    gnuplot_cmd(plot, "%s", curve_command.c_str());
    // A drawing on the console comes before the prompt, not over it; a slow
    // gnuplot delays the prompt by a few seconds at most.
    gnuplot_wait_delivered(plot, kDrawingWaitMs);
    WaitForSpace();
    gnuplot_close_within(plot, kClosingWaitMs);
}
