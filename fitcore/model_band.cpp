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
std::string BandRefusal(const Formula& formula, const ModelFit& fit)
{
    if (!fit.ok) return fit.error.empty() ? "the fit was not made" : fit.error;
    if (!formula.ok()) return formula.error();
    if (fit.parameters.size() != formula.parameters().size() ||
        fit.correlation.size() != fit.parameters.size() * fit.parameters.size())
        return "the fit is not one of this formula";
    if (formula.predictors() > 1) return "a band is drawn over one x, and the formula has several";
    for (const ModelParameter& parameter : fit.parameters)
        if (!parameter.fixed && !std::isfinite(parameter.error))
            return "the data do not determine the parameters";
    return {};
}

// The covariance of the free parameters, row by row, from their errors and correlations.
std::vector<double> FreeCovariance(const ModelFit& fit, const std::vector<int>& free_index, std::size_t free_count)
{
    const std::size_t p = fit.parameters.size();
    std::vector<double> covariance(free_count * free_count);
    for (std::size_t k = 0; k < p; ++k) {
        if (free_index[k] < 0) continue;
        for (std::size_t m = 0; m < p; ++m) {
            if (free_index[m] < 0) continue;
            const double correlation = k == m ? 1.0 : fit.correlation[k * p + m];
            covariance[static_cast<std::size_t>(free_index[k]) * free_count + static_cast<std::size_t>(free_index[m])] =
                correlation * fit.parameters[k].error * fit.parameters[m].error;
        }
    }
    return covariance;
}

}  // namespace

ConfidenceBand model_band(const Formula& formula, const ModelFit& fit, std::span<const double> x, double level)
{
    ConfidenceBand band;
    band.level = level;
    band.error = BandRefusal(formula, fit);
    if (!band.error.empty()) return band;

    std::vector<int> free_index;
    std::vector<double> values;
    std::size_t free_count = 0;
    for (const ModelParameter& parameter : fit.parameters) {
        free_index.push_back(parameter.fixed ? -1 : static_cast<int>(free_count++));
        values.push_back(parameter.value);
    }
    const std::vector<double> covariance = FreeCovariance(fit, free_index, free_count);
    const double factor = student_t_interval_factor(level, static_cast<double>(fit.ndf));
    FormulaEvaluator evaluator(formula, free_index);
    const ModelColumn column{x.data(), 1};
    std::vector<const double*> derivatives(free_count);
    for (std::size_t first = 0; first < x.size(); first += FormulaEvaluator::kBlock) {
        const std::size_t count = std::min(FormulaEvaluator::kBlock, x.size() - first);
        evaluator.Evaluate(std::span<const ModelColumn>(&column, 1), first, count, values);
        for (std::size_t j = 0; j < free_count; ++j) derivatives[j] = evaluator.derivative(static_cast<int>(j));
        for (std::size_t i = 0; i < count; ++i) {
            double variance = 0;
            for (std::size_t j = 0; j < free_count; ++j) {
                if (derivatives[j] == nullptr) continue;
                for (std::size_t l = 0; l < free_count; ++l)
                    if (derivatives[l] != nullptr)
                        variance += derivatives[j][i] * covariance[j * free_count + l] * derivatives[l][i];
            }
            const double value = evaluator.values()[i];
            const double half = factor * std::sqrt(std::max(variance, 0.0));
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
