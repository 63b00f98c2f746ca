// model_band.cpp - the confidence band of a fitted model, from the exact
// derivatives of its formula and the covariance of its parameters.
#include <algorithm>
#include <cmath>

#include <fitcore/distributions.h>
#include <fitcore/model.h>

#include "formula_evaluator.h"

namespace fitcore {

namespace {

// Why the band of `fit` can't be worked out; empty when it can.
std::string BandRefusal(const Formula& formula, const ModelFit& fit, std::size_t free_count)
{
    if (!fit.ok) return fit.error.empty() ? "the fit was not made" : fit.error;
    if (!formula.ok()) return formula.error();
    if (fit.parameters.size() != formula.parameters().size() || fit.factor.size() != free_count * free_count)
        return "the fit is not one of this formula";
    if (formula.predictors() > 1) return "a band is drawn over one x, and the formula has several";
    for (const ModelParameter& parameter : fit.parameters)
        if (!parameter.fixed && !std::isfinite(parameter.error))
            return "the data do not determine the parameters";
    return {};
}

// |R^-T g|^2 for the upper triangular R (n x n, row by row) and g, by
// forward substitution in R^T w = g: the variance g^T (R^T R)^-1 g without
// the cancellation of g^T C g.
double SolvedSquares(const std::vector<double>& r, const std::vector<double>& g, std::vector<double>* w)
{
    const std::size_t n = g.size();
    double sum = 0;
    for (std::size_t j = 0; j < n; ++j) {
        double value = g[j];
        for (std::size_t i = 0; i < j; ++i) value -= r[i * n + j] * (*w)[i];
        (*w)[j] = value / r[j * n + j];
        sum += (*w)[j] * (*w)[j];
    }
    return sum;
}

}  // namespace

ConfidenceBand model_band(const Formula& formula, const ModelFit& fit, std::span<const double> x, double level)
{
    ConfidenceBand band;
    band.level = level;
    std::vector<int> free_index;
    std::vector<double> values;
    std::size_t free_count = 0;
    for (const ModelParameter& parameter : fit.parameters) {
        free_index.push_back(parameter.fixed ? -1 : static_cast<int>(free_count++));
        values.push_back(parameter.value);
    }
    band.error = BandRefusal(formula, fit, free_count);
    if (!band.error.empty()) return band;
    const double variance_scale = fit.rss / static_cast<double>(fit.ndf);
    const double factor = student_t_interval_factor(level, static_cast<double>(fit.ndf));
    FormulaEvaluator evaluator(formula, free_index);
    const ModelColumn column{x.data(), 1};
    std::vector<const double*> derivatives(free_count);
    std::vector<double> g(free_count), w(free_count);
    for (std::size_t first = 0; first < x.size(); first += FormulaEvaluator::kBlock) {
        const std::size_t count = std::min(FormulaEvaluator::kBlock, x.size() - first);
        evaluator.Evaluate(std::span<const ModelColumn>(&column, 1), first, count, values);
        for (std::size_t j = 0; j < free_count; ++j) derivatives[j] = evaluator.derivative(static_cast<int>(j));
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = 0; j < free_count; ++j) g[j] = derivatives[j] != nullptr ? derivatives[j][i] : 0.0;
            const double variance = variance_scale * SolvedSquares(fit.factor, g, &w);
            const double value = evaluator.values()[i];
            const double half = factor * std::sqrt(variance);
            if (!std::isfinite(value) || !std::isfinite(half)) continue;
            band.x.push_back(x[first + i]);
            band.fit.push_back(value);
            band.low.push_back(value - half);
            band.high.push_back(value + half);
        }
    }
    band.ok = true;
    return band;
}

}  // namespace fitcore
