// fit.h - least-squares fits of measured data: straight lines and
// polynomials, unweighted or weighted by the uncertainties of y.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include <fitcore/point.h>

namespace fitcore {

// The highest order fit_polynomial takes. Powers of one variable beyond
// about order 40 are numerically dependent on any data anyway.
constexpr int kMaxFitOrder = 100;

// The line y = slope * x + intercept that fits the points by least squares.
//
// Unweighted, s^2 = SSR / (N - 2) estimates the variance of y about the line
// and the errors are the usual ones: slope_error^2 = s^2 / Cxx,
// intercept_error^2 = s^2 (1/N + xbar^2 / Cxx), covariance = -xbar s^2 / Cxx.
// Weighted by sigma (weights 1/sigma^2), the sigmas are taken as the
// standard errors of y: the errors and the covariance come from the weights
// alone, and residual_sd = sqrt(chi^2 / (N - 2)) is the root of the reduced
// chi-square, near 1 when the sigmas describe the scatter.
struct LineFit {
    double slope = 0;
    double intercept = 0;
    double slope_error = 0;
    double intercept_error = 0;
    double covariance = 0;   // of slope and intercept
    double residual_sd = 0;  // sqrt(SSR / (N - 2)); weighted sqrt(chi^2 / (N - 2))
    double r_squared = 0;    // 1 - SSR / SST, both weighted in the weighted fit; 1 when all y are equal
    double adjusted_r_squared = 0;  // 1 - (1 - r_squared) (N - 1) / ndf
    double residual_squares = 0;    // SSR; weighted chi^2 = sum ((y - fit) / sigma)^2
    std::size_t ndf = 0;            // degrees of freedom: N - 2
    bool weighted = false;          // fitted with weights 1 / sigma^2
    std::size_t count = 0;   // points fitted
    bool ok = false;         // false: the data can't be fitted, `error` says why
    std::string error;
};

// The polynomial c_0 + c_1 x + ... + c_n x^n that fits the points by least
// squares. coefficient_errors are the roots of the diagonal of
// s^2 (V^T V)^-1, V the matrix of the powers of x and s^2 = SSR / (N - n - 1);
// weighted, of (V^T W V)^-1 with W the weights 1/sigma^2 and
// residual_sd = sqrt(chi^2 / (N - n - 1)), as for the line.
struct PolynomialFit {
    std::vector<double> coefficients;        // c_0 first; empty when !ok
    std::vector<double> coefficient_errors;  // one per coefficient
    double residual_sd = 0;                  // sqrt(SSR / (N - n - 1)); weighted sqrt(chi^2 / (N - n - 1))
    double r_squared = 0;                    // as for the line; 1 when all y are equal
    double adjusted_r_squared = 0;           // 1 - (1 - r_squared) (N - 1) / ndf
    double residual_squares = 0;             // SSR; weighted chi^2
    std::size_t ndf = 0;                     // degrees of freedom: N - n - 1
    bool weighted = false;                   // fitted with weights 1 / sigma^2
    // The covariance matrix of the coefficients, (n + 1) x (n + 1) row-major,
    // c_0 first; its diagonal holds the squares of coefficient_errors.
    std::vector<double> covariance;
    // The same polynomial in the variable it was solved in,
    // t = (x - centre) / scale: the sum of centred_coefficients[k] t^k. The
    // scale is a power of two; evaluating in t keeps its digits far from zero.
    double centre = 0;
    double scale = 1;
    std::vector<double> centred_coefficients;
    // The covariance matrix of centred_coefficients, laid out as `covariance`.
    // Far from zero it keeps the digits that the covariance in powers of x
    // loses to cancellation.
    std::vector<double> centred_covariance;
    std::size_t count = 0;
    bool ok = false;
    std::string error;
};

// Every fit below gives ok == true only with finite values throughout; a
// value that would not be finite (data near the limits of double) is refused
// as "the result is out of range". Nothing is thrown: not enough memory is a
// refusal too.

// Ordinary least squares. Refused (ok false) for x and y of different
// lengths, fewer than 3 points, a value that is not finite, or a single x.
LineFit fit_line(std::span<const double> x, std::span<const double> y);

// Least squares weighted by 1 / sigma^2. Also refused for a sigma list of
// another length or a sigma that is not positive and finite.
LineFit fit_line(std::span<const double> x, std::span<const double> y, std::span<const double> sigma);

// Least squares of any order from 1 to kMaxFitOrder with more points than
// coefficients. Refused, before anything is allocated for the fit, for an
// order outside that range or too few points; then for a value that is not
// finite, fewer distinct x values than coefficients, or powers of x that are
// numerically dependent over the data ("numerically singular at order N",
// decided with each column scaled to length 1, so that neither the units nor
// the weights' spread decide it). The fit is computed by an
// orthogonal (Householder) factorization in x centred on and scaled to its
// range, so that nearly collinear cases (high orders over a narrow range far
// from zero) keep as many correct digits as the data allow.
PolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y, int order);

// The same, weighted by 1 / sigma^2.
PolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y, int order,
                             std::span<const double> sigma);

// The same fits of the points' x and y, read in place; `weighted` by
// 1 / sigma^2 of their sigma.
LineFit fit_line(std::span<const Point> points, bool weighted = false);
PolynomialFit fit_polynomial(std::span<const Point> points, int order, bool weighted = false);

}  // namespace fitcore
