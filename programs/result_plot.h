// result_plot.h - shows the data points and the fitted curve in gnuplot and waits for the user, or draws them into a file.
#pragma once

#include <cstdint>
#include <string>

#include "point.h"
#include "polyfit.h"

// The curve commands sent after the points: "replot " and one term per
// coefficient, or the straight line, each followed by its title suffix.
std::string PolynomialCurveCommand(const Polynomial& polynomial);
std::string LineCurveCommand(double slope, double intercept);

// Plots x and y of every point and then the curve, prints the prompt and
// waits until a space (or the end of standard input) has been read, and
// closes gnuplot again, which deletes the plot's data file. When gnuplot
// can't be started it prints why and returns; the run still ends normally.
void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command);

// Draws the same plot with the real gnuplot into `file`, on the gnuplot
// `terminal` (for instance "pngcairo"), and returns once gnuplot has ended:
// no window, no prompt, no wait. The file is created (or emptied) first.
// Returns 0 when gnuplot wrote it; 1 with *reason set when it could not be
// made, and then an emptied file is removed again.
int DrawResultPlot(Point* points, int32_t count, const std::string& curve_command, const char* file,
                   const char* terminal, std::string* reason);
