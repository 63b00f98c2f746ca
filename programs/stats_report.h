// stats_report.h - the readable forms of a fit's inference: the statistics
// block of --stats, the report of a weighted fit, and the table of orders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <fitcore/inference.h>
#include <fitcore/point.h>

// The names of a line's parameters, in the inference's order (intercept
// first), and of a polynomial's: "c0", "c1", ...
std::vector<std::string> LineParameterNames();
std::vector<std::string> PolynomialParameterNames(int order);

// The block of --stats on standard output, an empty line first: each
// parameter with its estimate, standard error, t, p and 95 % interval, then
// the degrees of freedom, residual standard error, R^2, adjusted R^2 and the
// correlation matrix. A weighted fit's errors are the scaled ones. Prints
// why instead when the inference could not be made.
void PrintStatistics(const fitcore::FitInference& inference, const std::vector<std::string>& names);

// The report of a fit weighted by 1/sigma^2: `title`, chi^2 and what it
// says, each parameter with its scaled and its absolute error, and the
// table of points with their fitted values and (y - fit) / sigma.
void PrintWeightedReport(const std::string& title, const fitcore::FitInference& inference,
                         const std::vector<std::string>& names, const Point* points, int32_t count);

// The comparison of polynomial orders, one row each, the row of the lowest
// BIC marked.
void PrintOrderComparison(const fitcore::OrderComparison& comparison, int32_t count, bool weighted);
