// result_plot.h - shows the data points and the fitted curve in gnuplot and waits for the user, or draws them into a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <fitcore/linefit.h>
#include <fitcore/point.h>
#include <fitcore/polyfit.h>

// The names of the plot's axes.
struct AxisLabels {
    std::string x = "x";
    std::string y = "y";
};

// The curve commands sent after the points, each followed by its title
// suffix: "replot " and one term "+(c_k)*(x**k)" per coefficient, or the
// line "replot b*x+a". Numbers carry every digit of their double. Where the
// fit was worked in a centred variable, the terms are "+(a_k)*(((x-c)/s)**k)"
// and the line "replot b*(x-c)+v", so that gnuplot's arithmetic does not
// cancel over x far from zero.
std::string PolynomialCurveCommand(const fitcore::Polynomial& polynomial);
std::string LineCurveCommand(const fitcore::Line& line);

// Discards the rest of an answered prompt's line, plots x and y of every
// point and then the curve, prints the prompt and waits until a space (or
// the end of standard input) has been read, and closes gnuplot again, which
// deletes the plot's data file; a gnuplot that has not ended 5 seconds later
// is stopped. When gnuplot can't be started it prints why and returns; the
// run still ends normally.
void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command,
                    const AxisLabels& labels = {});

// Draws the same plot with the real gnuplot into `file`, on the gnuplot
// `terminal` (for instance "pngcairo"), and returns once gnuplot has ended:
// no window, no prompt, no wait. gnuplot draws into a new file beside `file`
// that replaces it only once drawn; on any failure, and on a terminating
// signal, `file` stays as it was and the new file is deleted. Returns 0 when
// gnuplot drew it; 1 with *reason set when it could not be made: `file` is
// not a regular file, gnuplot is missing or did not draw it, or it has not
// ended `timeout_seconds` after its input (it is stopped then).
int DrawResultPlot(Point* points, int32_t count, const std::string& curve_command, const char* file,
                   const char* terminal, int timeout_seconds, std::string* reason,
                   const AxisLabels& labels = {});

// A curve given by its values rather than a formula for gnuplot: drawn as a
// line through samples dense enough to look smooth, sent in a data file of
// its own, so that the line drawn is the fitted model itself.
struct SampledCurve {
    std::vector<double> x;
    std::vector<double> y;
    std::string title;
};

// The same plots with a sampled curve.
void ShowResultPlot(Point* points, int32_t count, const SampledCurve& curve, const AxisLabels& labels);
int DrawResultPlot(Point* points, int32_t count, const SampledCurve& curve, const char* file, const char* terminal,
                   int timeout_seconds, std::string* reason, const AxisLabels& labels = {});
