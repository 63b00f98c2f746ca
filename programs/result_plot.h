// result_plot.h - shows the data points and the fitted curve in gnuplot and waits for the user.
#pragma once

#include <cstdint>
#include <string>

#include "point.h"
#include "polyfit.h"

// The curve commands sent after the points: "replot " and one term per
// coefficient, or the straight line, each followed by its title suffix.
std::string PolynomialCurveCommand(const Polynomial& polynomial);
std::string LineCurveCommand(double slope, double intercept);

// Discards the rest of an answered prompt's line, plots x and y of every
// point and then the curve, prints the prompt and waits until a space (or
// the end of standard input) has been read, and closes gnuplot again, which
// deletes the plot's data file; a gnuplot that has not ended 5 seconds later
// is stopped. When gnuplot can't be started it prints why and returns; the
// run still ends normally.
void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command);
