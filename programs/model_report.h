// model_report.h - the report and the JSON of a model fit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <fitcore/model.h>
#include <fitcore/point.h>

#include "json_report.h"

// What the report says besides the fit itself.
struct ModelReportRun {
    const fitcore::Formula* formula;
    std::vector<bool> started_at_one;  // per parameter: no start value was given
    int max_iterations;
    std::vector<std::string> x_names;  // the file's names of several x columns; empty for one, or without names
};

// The report on standard output: the formula, how the fit ended, the
// parameters with start, value, errors and 95 % interval, the correlations,
// the goodness of fit, then one line per point: number, x, y, fit, y - fit.
void PrintModelReport(const ModelReportRun& run, const fitcore::ModelFit& fit, const Point* points, int32_t count);

// The JSON object: "program", "file", "formula", "count", "parameters",
// "rss", "ndf", "residual_se", "r_squared", "correlation", "iterations",
// "evaluations", "converged", "stop_reason"; after "skipped" "x_names"
// when several x columns are named; weighted also "chi2",
// "reduced_chi2" and "chi2_p"; then the points when asked for.
bool WriteModelJson(std::FILE* out, const JsonRun& run, const ModelReportRun& model, const fitcore::ModelFit& fit);
