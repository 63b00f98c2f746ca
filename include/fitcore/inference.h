// inference.h - what the numbers of a least-squares fit say: standard
// errors, t statistics, p values, confidence intervals, the correlations of
// the parameters, the chi-square of a weighted fit, and a comparison of
// polynomial orders by information criteria. Nothing is printed.
#pragma once

#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include <fitcore/fit.h>

namespace fitcore {

// One fitted parameter.
struct ParameterInference {
    double estimate = 0;
    // The standard error. Unweighted it is the fit's own; weighted it is the
    // error from the sigmas scaled by sqrt(chi^2 / ndf), as if the sigmas
    // were right only up to a common factor.
    double error = 0;
    // Weighted: the error from the sigmas alone, taken as exact. Unweighted
    // the same as `error`.
    double error_absolute = 0;
    double t = 0;     // estimate / error
    double p = 0;     // two-sided, from Student's t with ndf degrees of freedom
    double low = 0;   // the confidence interval estimate -+ q * error, q the
    double high = 0;  // two-sided quantile of Student's t at the level asked for
};

struct FitInference {
    bool ok = false;  // false when the fit was not; `error` says why
    std::string error;
    // c_0 first: for a line the intercept, then the slope.
    std::vector<ParameterInference> parameters;
    // The correlations of the parameters, row-major, parameters.size() squared.
    std::vector<double> correlation;
    std::size_t ndf = 0;      // the number of points less the number of parameters
    double residual_se = 0;   // sqrt(SSR / ndf); weighted sqrt(chi^2 / ndf)
    double r_squared = 0;
    double adjusted_r_squared = 0;
    bool weighted = false;
    // Weighted fits only (NaN otherwise): chi^2 = sum ((y - fit) / sigma)^2,
    // chi^2 / ndf, and the probability of a chi^2 at least as large when the
    // sigmas are right.
    double chi2 = std::numeric_limits<double>::quiet_NaN();
    double reduced_chi2 = std::numeric_limits<double>::quiet_NaN();
    double chi2_p = std::numeric_limits<double>::quiet_NaN();
};

// The inference from a fit at the confidence level `level` (0.95 for 95 %).
FitInference infer(const LineFit& fit, double level = 0.95);
FitInference infer(const PolynomialFit& fit, double level = 0.95);

// The confidence band of a fitted curve: at each x, the interval in which
// the curve's true value lies at the confidence level asked for,
//   fit(x) -+ q sqrt(g^T C g),
// q the two-sided quantile of Student's t with ndf degrees of freedom, g the
// powers of the centred variable at x and C the covariance of the centred
// coefficients (scaled by chi^2 / ndf when weighted, as the scaled errors
// are). For a line this is fit(x) -+ q s sqrt(1/N + (x - xbar)^2 / Sxx), and
// its weighted form with the weights 1/sigma^2.
struct ConfidenceBand {
    bool ok = false;  // false when the fit was not; `error` says why
    std::string error;
    double level = 0;
    std::vector<double> x, fit, low, high;  // one of each per x asked for
};
ConfidenceBand confidence_band(const PolynomialFit& fit, std::span<const double> x, double level = 0.95);

// Where to sample a band over data at `x`: `samples` (at least 2) evenly
// spaced from the least to the greatest finite x, and every finite x itself,
// in increasing order without repeats. Empty when no x is finite.
std::vector<double> band_abscissae(std::span<const double> x, std::size_t samples);

// One polynomial order in a comparison. With k = order + 1 parameters, N
// points and RSS the residual sum of squares (chi^2 when weighted):
//   rms = sqrt(RSS / N)
//   aic = N ln(2 pi RSS / N) + N + 2 k
//   bic = N ln(2 pi RSS / N) + N + k ln N
// top_p is the p value of the highest coefficient, c_order: small when that
// term is needed.
struct OrderRow {
    int order = 0;
    double rms = 0;
    double residual_se = 0;
    double adjusted_r_squared = 0;
    double aic = 0;
    double bic = 0;
    double top_p = 0;
};

struct OrderComparison {
    bool ok = false;  // false when not even the lowest order could be fitted
    std::string error;
    std::vector<OrderRow> rows;  // in increasing order
    int best_bic_order = 0;      // the order of the row with the lowest BIC
};

// Fits every order from `from` to `to` (from >= 1) that leaves at least one
// degree of freedom, stopping at the first that can't be fitted.
OrderComparison compare_orders(std::span<const double> x, std::span<const double> y, int from, int to);
OrderComparison compare_orders(std::span<const double> x, std::span<const double> y, int from, int to,
                               std::span<const double> sigma);
// The same for points where they lie, weighted by their sigmas with `weighted`.
OrderComparison compare_orders(std::span<const Point> points, int from, int to, bool weighted = false);

}  // namespace fitcore
