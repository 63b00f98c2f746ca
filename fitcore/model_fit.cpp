// model_fit.cpp - nonlinear least squares by Levenberg-Marquardt.
//
// The solver is the library's own rather than MINPACK's lmder (a compiled
// library, which the Windows build can't link) or Eigen's port of it: both
// keep the whole n x p Jacobian in memory, several times the data for a
// million points. Here every pass over the data rotates the rows of the
// Jacobian, a block at a time, into its p x p triangular factor R (and
// Q^T r), so the memory of a fit does not grow with the points; the
// factor, not the normal equations, keeps the digits that ill-conditioned
// problems need. Each step solves the damped problem
//     min |R d + z|^2 + lambda |D d|^2
// by rotating the rows sqrt(lambda) D into R, with D the largest column
// norms of the Jacobian seen so far (More's scaling, which makes the steps
// independent of the units of the parameters); lambda follows the gain
// ratio of the step (Nielsen's rule). A step whose residuals or derivatives
// are not all finite is a failed step: lambda grows and a shorter one is
// tried.
#include <fitcore/model.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <fitcore/distributions.h>

#include "formula_evaluator.h"
#include "least_squares_rows.h"
#include "two_halves.h"

namespace fitcore {
namespace {

constexpr double kReductionTolerance = 1e-12;  // relative fall of the sum of squares
constexpr double kStepTolerance = 1e-12;       // relative scaled step
// The Gauss-Newton step that confirms convergence changes no parameter by
// more than this part of it, of its standard error, or of the scaled norm.
constexpr double kSolutionTolerance = 1e-9;
constexpr double kSolutionErrorPart = 1e-3;
// Directions of the scaled Jacobian with singular values below this part of
// the largest are not determined by the data; the confirming step leaves
// them out.
constexpr double kDeterminedDirection = 1e-10;
constexpr double kStalledCosine = 1e-7;

// The data and the formula of one fit, with the free parameters.
struct Problem {
    const Formula& formula;
    const ModelColumns& columns;
    std::vector<int> free_index;  // per parameter: its position among the free, or -1
    std::size_t free_count;
};

// One pass over the data at `parameters`: the Jacobian and the residuals
// (model - y) / sigma rotated into triangular form. `finite` is false when a
// residual or a derivative is not finite.
struct Linearization {
    TriangularRows rows;
    bool finite = true;
};

// True when none of the values is infinite or NaN. v - v is 0 for a finite
// v and NaN otherwise; the sums of these, in four interleaved parts, need no
// branch per value.
bool AllFinite(const double* values, std::size_t count)
{
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        s0 += values[i] - values[i];
        s1 += values[i + 1] - values[i + 1];
        s2 += values[i + 2] - values[i + 2];
        s3 += values[i + 3] - values[i + 3];
    }
    for (; i < count; ++i) s0 += values[i] - values[i];
    return (s0 + s1) + (s2 + s3) == 0;
}

void LinearizeRange(const Problem& problem, std::span<const double> parameters, std::size_t first, std::size_t last,
                    Linearization* out)
{
    FormulaEvaluator evaluator(problem.formula, problem.free_index);
    const std::size_t p = problem.free_count;
    constexpr std::size_t kBlock = FormulaEvaluator::kBlock;
    std::vector<double> block((p + 1) * kBlock);  // the Jacobian's rows and the residuals, by columns
    std::vector<double> inverse_sigma(kBlock);
    const ModelColumns& columns = problem.columns;
    const bool weighted = columns.weighted();
    for (std::size_t start = first; start < last; start += kBlock) {
        const std::size_t count = std::min(kBlock, last - start);
        evaluator.Evaluate(columns.x, start, count, parameters);
        double* residuals = block.data() + p * count;
        const double* values = evaluator.values();
        const ModelColumn y{columns.y.data + start * columns.y.stride, columns.y.stride};
        if (weighted) {
            const ModelColumn sigma{columns.sigma.data + start * columns.sigma.stride, columns.sigma.stride};
            for (std::size_t i = 0; i < count; ++i) inverse_sigma[i] = 1 / sigma[i];
            for (std::size_t i = 0; i < count; ++i) residuals[i] = (values[i] - y[i]) * inverse_sigma[i];
        } else {
            for (std::size_t i = 0; i < count; ++i) residuals[i] = values[i] - y[i];
        }
        for (std::size_t j = 0; j < p; ++j) {
            double* column = block.data() + j * count;
            const double* derivative = evaluator.derivative(static_cast<int>(j));
            if (derivative == nullptr) {
                std::fill_n(column, count, 0.0);
                continue;
            }
            if (weighted) {
                for (std::size_t i = 0; i < count; ++i) column[i] = derivative[i] * inverse_sigma[i];
            } else {
                std::copy_n(derivative, count, column);
            }
        }
        if (!AllFinite(block.data(), (p + 1) * count)) {
            out->finite = false;
            return;
        }
        out->rows.AddBlock(std::span<double>(block.data(), (p + 1) * count), count);
    }
    out->finite = out->finite && std::isfinite(out->rows.sum_of_squares);
}

Linearization Linearize(const Problem& problem, std::span<const double> parameters)
{
    const std::size_t n = problem.columns.count;
    const std::size_t p = problem.free_count;
    Linearization halves[2] = {{TriangularRows(p)}, {TriangularRows(p)}};
    const std::size_t middle = n / 2;
    const std::size_t bytes = n * (2 + problem.formula.operations().size()) * 8 * (1 + p);
    RunHalves(0, middle, n, bytes, [&](std::size_t first, std::size_t last) {
        LinearizeRange(problem, parameters, first, last, &halves[first == 0 ? 0 : 1]);
    });
    halves[0].rows.Merge(halves[1].rows);
    halves[0].finite = halves[0].finite && halves[1].finite;
    return std::move(halves[0]);
}

double ScaledNorm(std::span<const double> scale, std::span<const double> values)
{
    double sum = 0;
    for (std::size_t j = 0; j < values.size(); ++j) sum += scale[j] * values[j] * scale[j] * values[j];
    return std::sqrt(sum);
}

// The standard errors of the free parameters: the roots of the diagonal of
// factor * (J^T J)^-1; NaN when J^T J is singular.
std::vector<double> StandardErrors(const TriangularRows& rows, double factor)
{
    std::vector<double> inverse = rows.InverseNormalMatrix();
    const std::size_t p = rows.columns();
    std::vector<double> errors(p, std::numeric_limits<double>::quiet_NaN());
    if (!inverse.empty())
        for (std::size_t j = 0; j < p; ++j) errors[j] = std::sqrt(factor * inverse[j * p + j]);
    return errors;
}

// The largest cosine of the angle between the residuals and a column of
// the Jacobian: 0 where the gradient of the sum of squares vanishes.
double GradientCosine(const TriangularRows& rows, std::span<const double> scale)
{
    double largest = 0;
    for (std::size_t j = 0; j < rows.columns(); ++j) {
        double gradient = 0;  // (J^T r)_j = (R^T z)_j
        for (std::size_t i = 0; i <= j; ++i) gradient += rows.r(i, j) * rows.z(i);
        largest = std::max(largest, std::fabs(gradient) / scale[j] / std::sqrt(rows.sum_of_squares));
    }
    return largest;
}

// True when `free` is a least-squares solution to the printed precision:
// the Gauss-Newton step from it changes no parameter by more than a
// relative kSolutionTolerance, a thousandth of its standard error, or an
// amount whose effect on the model is that small. Where the Jacobian is
// singular at a minimum the step says nothing; there, when no step lowers
// the sum of squares any more (`stalled`), a gradient that vanishes to
// kStalledCosine suffices: the point is then as close to the minimum as the
// sum of squares can tell, a relative 1e-8 or so.
bool IsSolution(const TriangularRows& rows, std::span<const double> scale, std::span<const double> free,
                std::size_t ndf, bool stalled)
{
    if (rows.sum_of_squares == 0) return true;
    if (stalled && GradientCosine(rows, scale) <= kStalledCosine) return true;
    const std::size_t p = free.size();
    std::vector<double> step = rows.TruncatedStep(scale, kDeterminedDirection);
    std::vector<double> errors = StandardErrors(rows, ndf > 0 ? rows.sum_of_squares / static_cast<double>(ndf) : NAN);
    for (std::size_t j = 0; j < p; ++j) {
        double allowed = kSolutionTolerance * std::fabs(free[j]);
        if (std::isfinite(errors[j])) allowed += kSolutionErrorPart * errors[j];
        if (!(std::fabs(step[j]) <= allowed)) return false;
    }
    return true;
}

// The message of input that can't be fitted; empty when it can.
std::string Refusal(const Formula& formula, const ModelColumns& columns, const ModelOptions& options,
                    std::size_t free_count)
{
    if (!formula.ok()) return "the formula is not valid: " + formula.error();
    if (columns.x.size() < static_cast<std::size_t>(formula.predictors()))
        return "the formula uses x" + std::to_string(formula.predictors()) + " but the data have " +
               std::to_string(columns.x.size()) + " x columns";
    const std::size_t n = columns.count;
    if (!columns.same_lengths) return "the columns differ in length";
    const std::size_t p = formula.parameters().size();
    if (!options.start.empty() && options.start.size() != p) return "one start value per parameter is needed";
    if (!options.fixed.empty() && options.fixed.size() != p) return "one fixed flag per parameter is needed";
    for (double start : options.start)
        if (!std::isfinite(start)) return "a start value is not finite";
    if (free_count == 0) return "the formula has no parameter to fit";
    if (n < free_count)
        return "the model has " + std::to_string(free_count) + " free parameters, which need at least " +
               std::to_string(free_count) + " points";
    for (std::size_t i = 0; i < n; ++i) {
        bool finite = std::isfinite(columns.y[i]);
        for (const ModelColumn& x : columns.x) finite = finite && std::isfinite(x[i]);
        if (!finite) return "point " + std::to_string(i + 1) + " has a value that is not finite";
        if (columns.weighted() && !(columns.sigma[i] > 0 && std::isfinite(columns.sigma[i])))
            return "point " + std::to_string(i + 1) + " has a sigma that is not positive and finite";
    }
    return {};
}

// 1 - rss / (sum of squares of y about its mean), weighted alike.
double RSquared(const ModelColumns& columns, double rss)
{
    const bool weighted = columns.weighted();
    double sum = 0, weights = 0;
    for (std::size_t i = 0; i < columns.count; ++i) {
        const double w = weighted ? 1 / (columns.sigma[i] * columns.sigma[i]) : 1.0;
        sum += w * columns.y[i];
        weights += w;
    }
    const double mean = sum / weights;
    double total = 0;
    for (std::size_t i = 0; i < columns.count; ++i) {
        const double w = weighted ? 1 / (columns.sigma[i] * columns.sigma[i]) : 1.0;
        total += w * (columns.y[i] - mean) * (columns.y[i] - mean);
    }
    return 1 - rss / total;
}

// Fills the statistics of the result from the factor at the solution.
void Describe(const TriangularRows& rows, const Problem& problem, std::span<const double> values, ModelFit* fit)
{
    const std::size_t p = fit->parameters.size();
    // No degrees of freedom (as many points as free parameters): every
    // statistic that divides by them is NaN.
    const double ndf = fit->ndf > 0 ? static_cast<double>(fit->ndf) : std::numeric_limits<double>::quiet_NaN();
    fit->rss = rows.sum_of_squares;
    fit->residual_se = std::sqrt(fit->rss / ndf);
    fit->r_squared = RSquared(problem.columns, fit->rss);
    if (fit->weighted) {
        fit->reduced_chi2 = fit->rss / ndf;
        fit->chi2_p = chi_squared_upper_p(fit->rss, ndf);
    }
    const std::size_t free_count = problem.free_count;
    fit->factor.assign(free_count * free_count, 0.0);
    for (std::size_t i = 0; i < free_count; ++i)
        for (std::size_t j = i; j < free_count; ++j) fit->factor[i * free_count + j] = rows.r(i, j);
    const std::vector<double> inverse = rows.InverseNormalMatrix();
    const double factor = fit->rss / ndf;
    const double t = student_t_interval_factor(0.95, ndf);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    fit->correlation.assign(p * p, nan);
    for (std::size_t k = 0; k < p; ++k) {
        ModelParameter& parameter = fit->parameters[k];
        parameter.value = values[k];
        const int j = problem.free_index[k];
        const double variance = j >= 0 && !inverse.empty() ? inverse[j * free_count + j] : nan;
        parameter.error = std::sqrt(factor * variance);
        parameter.error_absolute = fit->weighted ? std::sqrt(variance) : nan;
        parameter.ci95 = {parameter.value - t * parameter.error, parameter.value + t * parameter.error};
        for (std::size_t m = 0; m < p; ++m) {
            const int l = problem.free_index[m];
            if (j < 0 || l < 0 || inverse.empty()) continue;
            fit->correlation[k * p + m] = inverse[j * free_count + l] /
                                          std::sqrt(inverse[j * free_count + j] * inverse[l * free_count + l]);
        }
    }
}

// True when a free parameter has run off to where the data do not
// determine it: far from its start, with an error that dwarfs it.
bool HasRunOff(const ModelFit& fit)
{
    for (const ModelParameter& p : fit.parameters) {
        if (p.fixed) continue;
        const double magnitude = std::fabs(p.value);
        if (p.error > kUndeterminedRatio * magnitude && magnitude > kRunOffRatio * std::max(std::fabs(p.start), 1.0))
            return true;
    }
    return false;
}

// The full parameter vector with the free values put in.
void PutFree(const Problem& problem, std::span<const double> free, std::vector<double>* values)
{
    for (std::size_t k = 0; k < values->size(); ++k)
        if (problem.free_index[k] >= 0) (*values)[k] = free[problem.free_index[k]];
}

bool Converged(StopReason reason)
{
    return reason == StopReason::small_reduction || reason == StopReason::small_step ||
           reason == StopReason::zero_residuals;
}

// The Levenberg-Marquardt iteration from `current`, the linearization at
// `free`; both end at the lowest sum of squares reached. `values` holds every
// parameter, the fixed ones at their values.
StopReason RunMarquardt(const Problem& problem, int max_iterations, std::vector<double>* values,
                        Linearization* current, std::vector<double>* free, ModelFit* fit)
{
    const std::size_t p = problem.free_count;
    std::vector<double> scale(p);
    for (std::size_t j = 0; j < p; ++j) {
        const double norm = current->rows.ColumnNorm(j);
        scale[j] = norm > 0 ? norm : 1.0;
    }
    // With D the column norms the scaled normal matrix has a unit diagonal.
    double lambda = 1e-3;
    double growth = 2;
    auto is_solution = [&](bool stalled) { return IsSolution(current->rows, scale, *free, fit->ndf, stalled); };
    while (true) {
        const double rss = current->rows.sum_of_squares;
        if (rss == 0) return StopReason::zero_residuals;
        double predicted = 0;
        const std::vector<double> step = current->rows.DampedStep(scale, lambda, &predicted);
        std::vector<double> trial_free(p);
        bool moves = false;
        for (std::size_t j = 0; j < p; ++j) {
            trial_free[j] = (*free)[j] + step[j];
            moves = moves || trial_free[j] != (*free)[j];
        }
        // No step that the doubles can represent is left.
        if (!moves || !(lambda < 1e250)) return is_solution(false) ? StopReason::small_step : StopReason::no_progress;
        if (fit->iterations == max_iterations) return StopReason::iteration_limit;
        ++fit->iterations;
        PutFree(problem, trial_free, values);
        Linearization trial = Linearize(problem, *values);
        ++fit->evaluations;
        const double actual = rss - trial.rows.sum_of_squares;
        if (!trial.finite || !(actual > 0)) {
            lambda *= growth;
            growth *= 2;
            if (trial.finite && predicted <= kReductionTolerance * rss && is_solution(true))
                return StopReason::small_reduction;
            continue;
        }
        const double step_norm = ScaledNorm(scale, step);
        const double free_norm = ScaledNorm(scale, *free);
        *current = std::move(trial);
        *free = std::move(trial_free);
        for (std::size_t j = 0; j < p; ++j) scale[j] = std::max(scale[j], current->rows.ColumnNorm(j));
        const double gain = actual / predicted;
        lambda *= std::max(1.0 / 3, 1 - std::pow(2 * gain - 1, 3));
        growth = 2;
        if (current->rows.sum_of_squares == 0) return StopReason::zero_residuals;
        const bool small_reduction = actual <= kReductionTolerance * rss && predicted <= kReductionTolerance * rss;
        const bool small_step = step_norm <= kStepTolerance * free_norm;
        if ((small_reduction || small_step) && is_solution(false))
            return small_reduction ? StopReason::small_reduction : StopReason::small_step;
    }
}

}  // namespace

const char* stop_reason_name(StopReason reason)
{
    switch (reason) {
    case StopReason::small_reduction: return "small_reduction";
    case StopReason::small_step: return "small_step";
    case StopReason::zero_residuals: return "zero_residuals";
    case StopReason::iteration_limit: return "iteration_limit";
    case StopReason::no_progress: return "no_progress";
    case StopReason::undefined_at_start: return "undefined_at_start";
    case StopReason::not_determined: return "not_determined";
    case StopReason::not_run: return "not_run";
    }
    return "not_run";
}

ModelFit fit_model(const Formula& formula, const ModelColumns& columns, const ModelOptions& options)
{
    ModelFit fit;
    const std::size_t p = formula.parameters().size();
    Problem problem{formula, columns, std::vector<int>(p, -1), 0};
    for (std::size_t k = 0; k < p; ++k)
        if (options.fixed.empty() || k >= options.fixed.size() || !options.fixed[k])
            problem.free_index[k] = static_cast<int>(problem.free_count++);
    fit.error = Refusal(formula, columns, options, problem.free_count);
    if (!fit.error.empty()) return fit;
    fit.ok = true;
    fit.count = columns.count;
    fit.ndf = fit.count - problem.free_count;
    fit.weighted = columns.weighted();

    std::vector<double> values = options.start.empty() ? std::vector<double>(p, 1.0) : options.start;
    for (std::size_t k = 0; k < p; ++k)
        fit.parameters.push_back({formula.parameters()[k], values[k], values[k], 0, 0, {}, problem.free_index[k] < 0});
    std::vector<double> free(problem.free_count);
    for (std::size_t k = 0; k < p; ++k)
        if (problem.free_index[k] >= 0) free[problem.free_index[k]] = values[k];

    Linearization current = Linearize(problem, values);
    fit.evaluations = 1;
    if (!current.finite) {
        fit.stop_reason = StopReason::undefined_at_start;
        Describe(TriangularRows(problem.free_count), problem, values, &fit);
        fit.rss = std::numeric_limits<double>::quiet_NaN();
        fit.residual_se = fit.r_squared = fit.rss;
        return fit;
    }
    fit.stop_reason = RunMarquardt(problem, options.max_iterations, &values, &current, &free, &fit);
    PutFree(problem, free, &values);
    Describe(current.rows, problem, values, &fit);
    if (Converged(fit.stop_reason) && fit.stop_reason != StopReason::zero_residuals && HasRunOff(fit))
        fit.stop_reason = StopReason::not_determined;
    fit.converged = Converged(fit.stop_reason);
    return fit;
}

}  // namespace fitcore
