// result_plot.h - shows the data points and the fitted curve in gnuplot and waits for the user, or draws them into a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <fitcore/linefit.h>
#include <fitcore/point.h>
#include <fitcore/polyfit.h>

#include "command_line.h"

// A curve given by its values rather than a formula for gnuplot: drawn as a
// line through samples dense enough to look smooth, sent in a data file of
// its own, so that the line drawn is the fitted model itself. No samples: no curve.
struct SampledCurve {
    std::vector<double> x;
    std::vector<double> y;
    std::string title;
};

// The fitted curve as the picture draws it: a gnuplot expression in x, or
// else its samples, and its entry in the key.
struct ResultCurve {
    std::string expression;  // empty: the samples are the curve
    std::string title;
    int order = 1;  // of the fitted polynomial, 1 for a line; 0: a model's samples
    SampledCurve samples;
};

// A model's samples as the picture's curve.
ResultCurve SampledResultCurve(const SampledCurve& curve);

// The curves of PolynomialCurveCommand and LineCurveCommand, whose commands
// are "replot EXPRESSION title 'TITLE' with lines" and a line end.
ResultCurve PolynomialCurve(const fitcore::Polynomial& polynomial);
ResultCurve LineCurve(const fitcore::Line& line);
std::string CurveCommand(const ResultCurve& curve);

// An area around the curve, filled: at each x from `low` to `high`. No x: none.
struct ResultBand {
    std::vector<double> x, low, high;
    std::string title;
};

// The names of the plot's axes: the data's columns where it names them.
struct AxisLabels {
    std::string x = "x";
    std::string y = "y";
};

// What the picture shows besides the points and the curve. The default is
// the plain plot, sent as it always has been.
struct PictureOptions {
    bool error_bars = false;  // the points with their sigma as vertical error bars
    bool residuals = false;   // a panel of y - fit below the plot, on its x range
    std::string title;        // of the picture; empty: none
    // The axis labels. The plain plot takes the data's names; labels of
    // the user's own (`labels_chosen`) are shown as written.
    std::string x_label = "x";
    std::string y_label = "y";
    bool labels_chosen = false;
    bool log_x = false;
    bool log_y = false;
    std::string curve_title;  // the curve's key entry instead of its own, one line of the key per line; empty: its own
    ResultBand band;          // drawn under the curve when it has points
};

// The picture that the options of `command` ask for, labelled with `axes`
// where they give no labels. The band and the equation are the caller's.
PictureOptions PictureFor(const CommandLine& command, const AxisLabels& axes = {});

// True for the plain plot of the points and the curve.
bool IsPlainPicture(const PictureOptions& picture);

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
void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command);

// ShowResultPlot with the picture `picture` asks for; the plain picture is
// ShowResultPlot's own.
void ShowResultPicture(Point* points, int32_t count, const ResultCurve& curve, const PictureOptions& picture);

// Draws the picture with the real gnuplot into `file`, on the gnuplot
// `terminal` (for instance "pngcairo"), and returns once gnuplot has ended:
// no window, no prompt, no wait. gnuplot draws into a new file beside `file`
// that replaces it only once drawn; on any failure, and on a terminating
// signal, `file` stays as it was and the new file is deleted. Returns 0 when
// gnuplot drew it; 1 with *reason set when it could not be made: `file` is
// not a regular file, gnuplot is missing or did not draw it, or it has not
// ended `timeout_seconds` after its input (it is stopped then).
int DrawResultPicture(Point* points, int32_t count, const ResultCurve& curve, const PictureOptions& picture,
                      const char* file, const char* terminal, int timeout_seconds, std::string* reason);
