// library_fits.h - the runs that use the library's fits and their inference:
// the weighted fits of -w, the statistics of -s and the JSON, and cadrafit's
// comparison of orders.
#pragma once

#include <cstdint>

#include <fitcore/inference.h>
#include <fitcore/pcpfile.h>

#include "fit_shell.h"

// The inference of the unweighted line and polynomial of the points.
fitcore::FitInference LineInference(const Point* points, int32_t count);
fitcore::FitInference PolynomialInference(const Point* points, int32_t count, int order);

// True when every point's sigma is positive and finite; else false after a
// line on standard output that names the first point that is not.
bool SigmasUsable(const Point* points, int32_t count);

// The fit weighted by 1/sigma^2 of a line (order 1, veldafit and sorrafit)
// or a polynomial (cadrafit): sets every point's `fit`, then the weighted
// report (or with --json the results), the statistics with --stats, and the
// plot. The sigmas must be usable. The exit status: 0; 1 when the fit, the
// results or the plot failed.
int WeightedFitRun(const FitRun& run, const char* name, PCPFile* file, int order);

// cadrafit --compare: the table of orders (or its JSON), and the plot of the
// order of lowest BIC into the file of --plot, if given. The exit status as
// above.
int CompareOrdersRun(const FitRun& run, const char* name, PCPFile* file);
