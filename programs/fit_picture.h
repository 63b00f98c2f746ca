// fit_picture.h - what the picture tells of the fit itself: the confidence
// band of the curve and the fitted equation in the key.
#pragma once

#include <cstdint>
#include <string>

#include <fitcore/inference.h>
#include <fitcore/model.h>
#include <fitcore/point.h>

#include "command_line.h"
#include "result_plot.h"

// A value and its standard error with the error's first two significant
// digits and the value to the same place: "(1.234 ± 0.056)", or with a
// common power of ten, "(1.70001 ± 0.00030)e+09", for numbers far from 1.
std::string ValueWithError(double value, double error);

// The fitted polynomial (a line for order 1) as the key shows it:
// "y = (c0 ± e0) + (c1 ± e1) x + (c2 ± e2) x²" and so on, then ", R² = r" or,
// for a weighted fit, ", χ²/ndf = q". Three terms to a line; each further
// line starts indented with "+ ", and after a full line the quality takes a
// line of its own, indented. The errors are the inference's own (the
// scaled ones when weighted).
std::string EquationText(const fitcore::FitInference& inference);

// The band of --band and the equation of --equation, from the library's fit
// of the points' polynomial of `order` (weighted by 1/sigma^2 under -w),
// into `picture`. True when neither is asked for or both could be worked
// out; false with *reason set when the fit could not be made.
bool AddFitDetails(const CommandLine& command, const Point* points, int32_t count, int order,
                   PictureOptions* picture, std::string* reason);

// A fitted model as the key shows it: the formula, then each free
// parameter as "name = (value ± error)" and each fixed one as
// "name = value (fixed)", three terms to a line (the formula the first),
// then ", R² = r" or, for a weighted fit, ", χ²/ndf = q". Further lines are
// indented.
std::string ModelEquationText(const fitcore::Formula& formula, const fitcore::ModelFit& fit);

// AddFitDetails for a fitted model: the band of fitcore::model_band over the
// points' x, and the equation of ModelEquationText.
bool AddModelDetails(const CommandLine& command, const fitcore::Formula& formula, const fitcore::ModelFit& fit,
                     const Point* points, int32_t count, PictureOptions* picture, std::string* reason);
