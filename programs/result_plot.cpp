// result_plot.cpp - the points and the fitted curve in gnuplot, until the user types a space.
#include "result_plot.h"

#include <cstdio>

#include "gnuplot_connection.h"
#include "number_format.h"

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

// Every digit of the double, so gnuplot draws the curve of the report.
std::string Exact(double value)
{
    char text[kMaxExactGeneralLength];
    return {text, AppendExactGeneral(text, value)};
}

// "x-c", or "x+c" for a negative c.
std::string Shifted(double centre)
{
    return centre < 0 ? "x+" + Exact(-centre) : "x-" + Exact(centre);
}

}  // namespace

std::string PolynomialCurveCommand(const Polynomial& polynomial)
{
    // Over x far from zero, powers of x would cancel in gnuplot's arithmetic:
    // the curve then goes in the centred variable the fit was solved in.
    const Centring& centring = polynomial.centring;
    const bool in_x = centring.IsIdentity();
    const std::string variable = in_x ? "x" : "((" + Shifted(centring.centre) + ")/" + Exact(centring.scale) + ")";
    const double* coefficients = in_x ? polynomial.coefficients : polynomial.centred;
    std::string command = "replot ";
    for (int k = 0; k <= polynomial.order; ++k)
        command += "+(" + Exact(coefficients[k]) + ")*(" + variable + "**" + std::to_string(k) + ")";
    return command + " title 'Polynomial fit' with lines\n";
}

std::string LineCurveCommand(const Line& line)
{
    // b*x+a, or b*(x-c)+v through the line's value v at the centre c.
    const bool in_x = line.centre == 0;
    const std::string variable = in_x ? "x" : "(" + Shifted(line.centre) + ")";
    const double value = in_x ? line.intercept : line.centre_value;
    return "replot " + Exact(line.slope) + "*" + variable + "+" + Exact(value) + " title 'Linear fit' with lines\n";
}

void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command)
{
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
    gnuplot_close(plot);
}
