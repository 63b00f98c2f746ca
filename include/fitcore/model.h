// model.h - formulas in a small closed language, and their fit to measured
// data by nonlinear least squares.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fitcore/inference.h>

namespace fitcore {

// A formula compiled into a flat list of operations. The language:
//   numbers        as the C library's "%lg" reads them: 2, .5, 1e-3, 0x1p4
//   x, x1, x2, ... the predictors; x is x1
//   pi             the constant
//   any other name a parameter, numbered in the order of first appearance
//   + - * /        left-associative; unary + and -
//   ^ or **        power, right-associative and above unary minus:
//                  -x**2 is -(x**2), 2^-1 is 0.5
//   ( )            grouping
//   functions      exp log (natural) log10 sqrt abs sin cos tan asin acos
//                  atan sinh cosh tanh erf erfc of one argument; atan2 pow
//                  min max of two
// Nothing else: no assignment, strings or other calls. A formula holds at
// most kMaxFormulaLength characters, kMaxFormulaNesting levels of nested
// operands and kMaxModelParameters parameters.
constexpr std::size_t kMaxFormulaLength = 4096;
constexpr int kMaxFormulaNesting = 64;
constexpr std::size_t kMaxModelParameters = 32;
constexpr int kMaxPredictors = 9;

// One operation of a compiled formula; the evaluator runs them on a stack.
struct FormulaOperation {
    enum class Code : unsigned char {
        number, predictor, parameter, negate, add, subtract, multiply, divide, power,
        exp, log, log10, sqrt, abs, sin, cos, tan, asin, acos, atan, sinh, cosh, tanh, erf, erfc,
        atan2, min, max,
    };
    Code code;
    int index = 0;      // the predictor (0 for x1) or the parameter
    double number = 0;  // the value of a number
};

class Formula {
public:
    // Compiles `text`. A formula that breaks the language is not ok():
    // error() says why and error_position() is the offset of the character
    // where the fault was found (the length of the text for its end).
    explicit Formula(std::string_view text);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    std::size_t error_position() const { return error_position_; }

    const std::string& text() const { return text_; }
    // The parameter names in order of first appearance.
    const std::vector<std::string>& parameters() const { return parameters_; }
    // The highest predictor used (1 for a formula in x alone, 0 for none).
    int predictors() const { return predictors_; }
    const std::vector<FormulaOperation>& operations() const { return operations_; }
    // The most operands the evaluation holds at once.
    int stack_depth() const { return stack_depth_; }

    // The value at one point: `x` holds the predictors (x[0] is x1) and
    // `parameters` one value per parameter. NaN or an infinity where the
    // formula is undefined or overflows there.
    double value(std::span<const double> x, std::span<const double> parameters) const;

private:
    friend class FormulaCompiler;
    std::string text_;
    std::string error_;
    std::size_t error_position_ = 0;
    std::vector<std::string> parameters_;
    std::vector<FormulaOperation> operations_;
    int predictors_ = 0;
    int stack_depth_ = 0;
};

// One value per point, `stride` doubles apart: 1 for an array of its own,
// the width of a row for one column of an array of rows (a table's values,
// an array of points), so that such data are fitted where they lie.
struct ModelColumn {
    const double* data = nullptr;
    std::size_t stride = 1;

    double operator[](std::size_t point) const { return data[point * stride]; }
};

// The data of a model fit: `count` points, one column per predictor (x1
// first), y, and for a weighted fit the standard errors of y (sigma.data
// null: unweighted).
struct ModelColumns {
    std::size_t count = 0;
    std::vector<ModelColumn> x;
    ModelColumn y;
    ModelColumn sigma;
    bool same_lengths = true;  // false: columns of different lengths were given, which the fit refuses

    ModelColumns() = default;
    // Arrays of their own: x columns, y and, unless empty, sigma, each of one length.
    ModelColumns(const std::vector<std::span<const double>>& x_columns, std::span<const double> y_column,
                 std::span<const double> sigma_column = {});
    bool weighted() const { return sigma.data != nullptr; }
};

// The `rows` rows of `width` doubles at `values`, each holding the
// `predictors` x values, then y, then (with `with_sigma`) sigma; further
// values of a row are passed over. A table's values, and an array of Point
// (x, y, sigma, ...), are such rows.
ModelColumns model_columns_of_rows(const double* values, std::size_t rows, std::size_t width,
                                   std::size_t predictors, bool with_sigma);

struct ModelOptions {
    std::vector<double> start;  // one per parameter; empty: every parameter starts at 1
    std::vector<bool> fixed;    // one per parameter, true: held at its start; empty: none
    int max_iterations = 500;   // accepted and rejected steps together
};

constexpr double kUndeterminedRatio = 1e10;
constexpr double kRunOffRatio = 1e6;

// Why the fit stopped. The first three are convergence; the others are not.
enum class StopReason {
    small_reduction,     // the sum of squares falls by no more than a relative 1e-12 any more
    small_step,          // the parameters change by no more than a relative 1e-12 any more
    zero_residuals,      // the model goes through every point exactly
    iteration_limit,     // max_iterations steps were tried without convergence
    no_progress,         // no step lowers the sum of squares, yet the point is not a solution
    undefined_at_start,  // a residual or a derivative is not finite at the start
    not_determined,      // the sum of squares stopped falling, but a parameter ran off to where the data
                         // no longer determine it: its standard error exceeds its value by more than
                         // kUndeterminedRatio, and it lies more than kRunOffRatio times farther from 0
                         // than its start (or 1)
    not_run,             // the input was refused (ok false)
};

// The text of a stop reason: "small_reduction" and so on.
const char* stop_reason_name(StopReason reason);

struct ModelParameter {
    std::string name;
    double start = 0;
    double value = 0;
    // The standard error: unweighted from s^2 = rss / ndf; weighted scaled
    // by chi^2 / ndf, and error_absolute from the sigmas alone. NaN for a
    // fixed parameter, or where the data do not determine the parameters.
    double error = 0;
    double error_absolute = 0;
    std::array<double, 2> ci95{};  // value -/+ Student's t(0.975, ndf) * error
    bool fixed = false;
};

struct ModelFit {
    std::vector<ModelParameter> parameters;
    // The correlations of the parameters, row by row, one row and column per
    // parameter; NaN in the rows and columns of fixed parameters.
    std::vector<double> correlation;
    // The triangular factor R of the Jacobian (weighted by 1 / sigma) at the
    // reported values, J^T J = R^T R: free parameters only, row by row, zero
    // below the diagonal. The covariance is (rss / ndf) (R^T R)^-1.
    std::vector<double> factor;
    double rss = 0;          // sum of squared residuals; weighted, chi^2
    std::size_t count = 0;   // points
    std::size_t ndf = 0;     // points less free parameters
    double residual_se = 0;  // sqrt(rss / ndf)
    double r_squared = 0;    // 1 - rss / (total sum of squares about the mean), weighted alike
    bool weighted = false;
    double reduced_chi2 = 0;  // weighted: chi^2 / ndf
    double chi2_p = 0;        // weighted: P(chi^2 >= rss) with ndf degrees of freedom
    int iterations = 0;       // steps tried
    int evaluations = 0;      // passes over the data
    bool converged = false;
    StopReason stop_reason = StopReason::not_run;
    bool ok = false;  // false: the input was refused, `error` says why
    std::string error;
};

// Fits the parameters of `formula` to the columns by least squares,
// weighted by 1 / sigma^2 when sigma is given: Levenberg-Marquardt with
// exact derivatives, scaled by the column norms of the Jacobian. Refused (ok
// false) for a formula that is not ok, too few x columns, columns of other
// lengths, data that are not finite, a sigma that is not positive, no free
// parameter, or no more points than free parameters. The reported values
// are those of the lowest sum of squares reached; `converged` is true only
// when a Gauss-Newton step from them changes no parameter by more than
// a relative 1e-9 or a thousandth of its standard error, and no parameter
// has run off undetermined (StopReason::not_determined).
ModelFit fit_model(const Formula& formula, const ModelColumns& columns, const ModelOptions& options = {});

// The confidence band of a fitted model in one predictor: at each x, the
// interval in which the model's true value lies at the confidence level asked
// for,
//   value(x) -+ q sqrt(g^T C g),
// q the two-sided quantile of Student's t with the fit's ndf degrees of
// freedom, g the exact derivatives of the formula by the free parameters at
// x and C their covariance (so scaled by chi^2 / ndf when weighted, as the
// scaled errors are). g^T C g is formed as (rss / ndf) |R^-T g|^2 from the
// fit's factor, so that it keeps its digits where the model is far from
// its parameters' origin (a line a + b x over Unix times). A fixed
// parameter has no variance and adds nothing. An x where the model or its
// band is not finite is passed over. Refused (ok false) for a fit that is not
// ok, a formula in more than one predictor or other than the fit's, or a fit
// whose parameters the data do not determine.
ConfidenceBand model_band(const Formula& formula, const ModelFit& fit, std::span<const double> x,
                          double level = 0.95);

}  // namespace fitcore
