// inference.cpp - t, p, intervals, correlations and chi-square from a fit's
// estimates and covariance; information criteria across polynomial orders.
#include <fitcore/inference.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include <fitcore/distributions.h>

namespace fitcore {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// What both kinds of fit hand over: estimates and covariance (from the
// sigmas alone when weighted) and the quality of the fit.
struct Estimates {
    std::vector<double> values;
    std::vector<double> errors;      // the roots of the covariance's diagonal, as the fit gives them
    std::vector<double> covariance;  // row-major
    std::size_t ndf;
    double residual_squares;
    double r_squared;
    double adjusted_r_squared;
    bool weighted;
};

FitInference Refused(const std::string& error)
{
    FitInference inference;
    inference.error = error;
    inference.chi2 = inference.reduced_chi2 = inference.chi2_p = kNaN;
    return inference;
}

FitInference Infer(const Estimates& fit, double level)
{
    FitInference inference = Refused("");
    inference.ok = true;
    inference.ndf = fit.ndf;
    inference.weighted = fit.weighted;
    inference.r_squared = fit.r_squared;
    inference.adjusted_r_squared = fit.adjusted_r_squared;
    const double ndf = static_cast<double>(fit.ndf);
    const double reduced = fit.residual_squares / ndf;
    inference.residual_se = std::sqrt(reduced);
    if (fit.weighted) {
        inference.chi2 = fit.residual_squares;
        inference.reduced_chi2 = reduced;
        inference.chi2_p = chi_squared_upper_p(fit.residual_squares, ndf);
    }
    // Weighted errors are scaled to the scatter the residuals show.
    const double scale = fit.weighted ? inference.residual_se : 1;
    const double factor = student_t_interval_factor(level, ndf);
    const std::size_t d = fit.values.size();
    for (std::size_t i = 0; i < d; ++i) {
        ParameterInference parameter;
        parameter.estimate = fit.values[i];
        parameter.error_absolute = fit.errors[i];
        parameter.error = parameter.error_absolute * scale;
        parameter.t = parameter.estimate / parameter.error;
        parameter.p = student_t_two_sided_p(parameter.t, ndf);
        parameter.low = parameter.estimate - factor * parameter.error;
        parameter.high = parameter.estimate + factor * parameter.error;
        inference.parameters.push_back(parameter);
    }
    for (std::size_t i = 0; i < d; ++i)
        for (std::size_t j = 0; j < d; ++j)
            inference.correlation.push_back(
                i == j ? 1 : fit.covariance[i * d + j] / std::sqrt(fit.covariance[i * d + i] * fit.covariance[j * d + j]));
    return inference;
}

// ln of the Gaussian likelihood at its maximum, times -2: N ln(2 pi RSS / N) + N.
double MinusTwoLogLikelihood(double residual_squares, double n)
{
    return n * std::log(2 * std::numbers::pi * residual_squares / n) + n;
}

// The comparison of the orders from `from` to `to` of `count` points, each
// fitted by fit(order).
template <typename FitOfOrder>
OrderComparison Compare(std::size_t count, int from, int to, const FitOfOrder& fit_of_order)
{
    OrderComparison comparison;
    double best_bic = 0;
    const double n = static_cast<double>(count);
    for (int order = from; order <= to && count > static_cast<std::size_t>(order) + 1; ++order) {
        const PolynomialFit fit = fit_of_order(order);
        if (!fit.ok) {
            if (comparison.rows.empty()) comparison.error = fit.error;
            break;
        }
        const FitInference inference = infer(fit);
        const double k = order + 1;
        const double base = MinusTwoLogLikelihood(fit.residual_squares, n);
        OrderRow row{order,
                     std::sqrt(fit.residual_squares / n),
                     inference.residual_se,
                     fit.adjusted_r_squared,
                     base + 2 * k,
                     base + k * std::log(n),
                     inference.parameters.back().p};
        if (comparison.rows.empty() || row.bic < best_bic) {
            comparison.best_bic_order = order;
            best_bic = row.bic;
        }
        comparison.rows.push_back(row);
    }
    if (comparison.rows.empty() && comparison.error.empty())
        comparison.error = from < 1 ? "the order must be at least 1"
                                    : "a polynomial of order " + std::to_string(from) + " needs more than " +
                                          std::to_string(from + 1) + " points";
    comparison.ok = !comparison.rows.empty();
    return comparison;
}

}  // namespace

FitInference infer(const LineFit& fit, double level)
{
    if (!fit.ok) return Refused(fit.error);
    const double cov = fit.covariance;
    return Infer({{fit.intercept, fit.slope},
                  {fit.intercept_error, fit.slope_error},
                  {fit.intercept_error * fit.intercept_error, cov, cov, fit.slope_error * fit.slope_error},
                  fit.ndf,
                  fit.residual_squares,
                  fit.r_squared,
                  fit.adjusted_r_squared,
                  fit.weighted},
                 level);
}

FitInference infer(const PolynomialFit& fit, double level)
{
    if (!fit.ok) return Refused(fit.error);
    return Infer({fit.coefficients, fit.coefficient_errors, fit.covariance, fit.ndf, fit.residual_squares, fit.r_squared,
                  fit.adjusted_r_squared, fit.weighted},
                 level);
}

OrderComparison compare_orders(std::span<const double> x, std::span<const double> y, int from, int to)
{
    return Compare(x.size(), from, to, [&](int order) { return fit_polynomial(x, y, order); });
}

OrderComparison compare_orders(std::span<const double> x, std::span<const double> y, int from, int to,
                               std::span<const double> sigma)
{
    return Compare(x.size(), from, to, [&](int order) { return fit_polynomial(x, y, order, sigma); });
}

OrderComparison compare_orders(std::span<const Point> points, int from, int to, bool weighted)
{
    return Compare(points.size(), from, to, [&](int order) { return fit_polynomial(points, order, weighted); });
}

ConfidenceBand confidence_band(const PolynomialFit& fit, std::span<const double> x, double level)
{
    ConfidenceBand band;
    band.level = level;
    if (!fit.ok) {
        band.error = fit.error;
        return band;
    }
    const std::size_t d = fit.centred_coefficients.size();
    const double ndf = static_cast<double>(fit.ndf);
    // Weighted covariances come from the sigmas alone; scaled, they take
    // the scatter the residuals show.
    const double scale = fit.weighted ? fit.residual_squares / ndf : 1;
    const double factor = student_t_interval_factor(level, ndf);
    std::vector<double> g(d);
    for (double at : x) {
        const double t = (at - fit.centre) / fit.scale;
        double power = 1, value = 0;
        for (std::size_t k = 0; k < d; ++k, power *= t) {
            g[k] = power;
            value += fit.centred_coefficients[k] * power;
        }
        double variance = 0;
        for (std::size_t i = 0; i < d; ++i)
            for (std::size_t j = 0; j < d; ++j) variance += g[i] * fit.centred_covariance[i * d + j] * g[j];
        const double half = factor * std::sqrt(std::max(variance, 0.0) * scale);
        band.x.push_back(at);
        band.fit.push_back(value);
        band.low.push_back(value - half);
        band.high.push_back(value + half);
    }
    band.ok = true;
    return band;
}

std::vector<double> band_abscissae(std::span<const double> x, std::size_t samples)
{
    std::vector<double> at;
    for (double value : x)
        if (std::isfinite(value)) at.push_back(value);
    if (at.empty()) return at;
    const auto [least, greatest] = std::minmax_element(at.begin(), at.end());
    const double from = *least, to = *greatest;
    const std::size_t steps = std::max<std::size_t>(samples, 2) - 1;
    for (std::size_t i = 0; i <= steps; ++i) {
        const double share = static_cast<double>(i) / static_cast<double>(steps);
        // Both ends exactly, whatever the rounding between.
        at.push_back(i == steps ? to : from + (to - from) * share);
    }
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    return at;
}

}  // namespace fitcore
