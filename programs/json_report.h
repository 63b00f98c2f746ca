// json_report.h - the results of a fit as one JSON object on one line.
#pragma once

#include <cstdint>
#include <cstdio>

#include "json_writer.h"
#include <fitcore/inference.h>
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
    const char* x_name = nullptr;  // "x_name", "y_name": the file's names of the columns; null: none
    const char* y_name = nullptr;
    long long skipped = 0;         // "skipped": rows left out for a missing value
};

// Writes the object and a line end to `out`: after the common members,
// "slope", "slope_error", "intercept", "intercept_error", "x_intercept",
// "x_intercept_error", "xbar", "ybar", "standard_deviation" and
// "correlation", the numbers of the line report; then, unless `inference` is
// null, what it says of the line: "ndf", "residual_se", "r_squared",
// "adjusted_r_squared", "slope_t", "slope_p", "slope_ci95" ([low, high]),
// the same three for the intercept and "correlation_slope_intercept" (null
// where the line could not be inferred). False when a write failed.
bool WriteLineJson(std::FILE* out, const JsonRun& run, const LineStatistics& stats,
                   const fitcore::FitInference* inference);

// The same with "order", "coefficients" (c_0 first), "coefficient_errors"
// (their standard errors, from `inference`; null where fewer points than
// coefficients plus one leave them undefined) and "rms"; then "ndf",
// "residual_se", "r_squared", "adjusted_r_squared", "coefficient_t",
// "coefficient_p", "coefficient_ci95" (a pair per coefficient) and
// "correlation" (the matrix, row by row).
bool WritePolynomialJson(std::FILE* out, const JsonRun& run, const fitcore::Polynomial& polynomial, double rms,
                         const fitcore::FitInference& inference);

// A line fitted with weights 1/sigma^2: "weighted": true, "slope",
// "slope_error" (scaled by sqrt(chi2/ndf)), "slope_error_absolute", the same
// for the intercept, "chi2", "ndf", "reduced_chi2", "chi2_p", then the
// members that WriteLineJson adds from its inference.
bool WriteWeightedLineJson(std::FILE* out, const JsonRun& run, const fitcore::FitInference& inference);

// A weighted polynomial: "weighted": true, "order", "coefficients",
// "coefficient_errors" (scaled), "coefficient_errors_absolute", "chi2",
// "ndf", "reduced_chi2", "chi2_p", then the members that WritePolynomialJson
// adds from its inference.
bool WriteWeightedPolynomialJson(std::FILE* out, const JsonRun& run, const fitcore::FitInference& inference);

// A comparison of orders: ("weighted": true when it is), "orders": [{"order",
// "rms", "residual_se", "adjusted_r_squared", "aic", "bic", "top_p"}, …] and
// "best_bic_order".
bool WriteComparisonJson(std::FILE* out, const JsonRun& run, const fitcore::OrderComparison& comparison,
                         bool weighted);

// Adds "x_name", "y_name" (null where the file names no column) and
// "skipped", which every program's JSON holds after "count".
void AddJsonRunColumns(JsonObject& object, const JsonRun& run);

// Ends `object`, whose members the caller has added: the points when
// `run.with_points`, the closing brace and a line end, written to `out`.
// False when a write failed.
bool FinishJsonObject(std::FILE* out, JsonObject& object, const JsonRun& run);
