// json_report.h - the results of a fit as one JSON object on one line.
#pragma once

#include <cstdint>
#include <cstdio>

#include "json_writer.h"
#include <fitcore/linefit.h>
#include <fitcore/point.h>
#include <fitcore/polyfit.h>

// The members every program writes first, and whether the points follow last.
struct JsonRun {
    const char* program;  // "program"
    const char* file;     // "file": the data file's name as given
    const Point* points;  // "count" of them, and with `with_points` the "points"
    int32_t count;
    bool with_points;     // adds "points": [{"x":…,"y":…,"fit":…}, …] in file order
};

// Writes the object and a line end to `out`: after the common members,
// "slope", "slope_error", "intercept", "intercept_error", "x_intercept",
// "x_intercept_error", "xbar", "ybar", "standard_deviation" and
// "correlation", the numbers of the line report. False when a write failed.
bool WriteLineJson(std::FILE* out, const JsonRun& run, const LineStatistics& stats);

// The same with "order", "coefficients" (c_0 first), "coefficient_errors"
// (their standard errors, from fitcore::fit_polynomial; null where fewer
// points than coefficients plus one leave them undefined) and "rms".
bool WritePolynomialJson(std::FILE* out, const JsonRun& run, const fitcore::Polynomial& polynomial, double rms);

// Ends `object`, whose members the caller has added: the points when
// `run.with_points`, the closing brace and a line end, written to `out`.
// False when a write failed.
bool FinishJsonObject(std::FILE* out, JsonObject& object, const JsonRun& run);
