// fit.cpp - least-squares lines and polynomials by an orthogonal factorization.
#include <fitcore/fit.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <string>

namespace fitcore {
namespace {

using Real = long double;

// A column-scaled triangle whose diagonal falls below this fraction of its
// column's length is taken as singular: its coefficient would lose more
// digits than a double result keeps.
constexpr Real kSingularRatio = 1e-12L;

// The data of one fit: columns of x, y and sigma, or the fields of points.
struct Samples {
    std::span<const double> x, y, sigma;
    const Point* points = nullptr;  // when set, the columns are unused
    std::size_t count = 0;
    bool weighted = false;

    double X(std::size_t i) const { return points != nullptr ? points[i].x : x[i]; }
    double Y(std::size_t i) const { return points != nullptr ? points[i].y : y[i]; }
    double Sigma(std::size_t i) const { return points != nullptr ? points[i].sigma : sigma[i]; }
};

Samples ColumnSamples(std::span<const double> x, std::span<const double> y, std::span<const double> sigma,
                      bool weighted)
{
    return {x, y, sigma, nullptr, x.size(), weighted};
}

Samples PointSamples(std::span<const Point> points, bool weighted)
{
    return {{}, {}, {}, points.data(), points.size(), weighted};
}

// The variable the rows are built in: t = (x - centre) / scale lies in
// [-1, 1], and the scale is a power of two, so dividing by it is exact.
struct Variable {
    Real centre = 0;
    Real scale = 1;
};

// What one pass over the data tells before the fit: a refusal, or the
// variable and the weighted mean of y.
struct Survey {
    std::string error;
    Variable variable;
    Real mean_y = 0;
    bool constant_y = false;  // all y equal
};

Survey Refused(std::string error) { return {std::move(error), {}, 0, false}; }

std::string PointText(std::size_t i) { return "point " + std::to_string(i + 1); }

// Checks the order against the point count before anything is allocated.
std::string OrderError(std::size_t n, int order)
{
    if (order < 1) return "the order must be at least 1";
    if (order > kMaxFitOrder) return "the order must be at most " + std::to_string(kMaxFitOrder);
    const std::size_t coefficients = static_cast<std::size_t>(order) + 1;
    if (n > coefficients) return {};
    return order == 1 ? "a line needs at least 3 points"
                      : "a polynomial of order " + std::to_string(order) + " needs more than " +
                            std::to_string(coefficients) + " points";
}

Survey SurveyData(const Samples& data, int order)
{
    Survey survey;
    const std::size_t n = data.count;
    if (std::string error = OrderError(n, order); !error.empty()) return Refused(error);
    double low = data.X(0), high = low, y_low = data.Y(0), y_high = y_low;
    Real sum_w = 0, sum_wy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = data.X(i), y = data.Y(i);
        if (!std::isfinite(x) || !std::isfinite(y)) return Refused(PointText(i) + " is not finite");
        const double sigma = data.weighted ? data.Sigma(i) : 1;
        if (!(sigma > 0 && std::isfinite(sigma)))
            return Refused("the sigma of " + PointText(i) + " is not positive and finite");
        low = std::min(low, x);
        high = std::max(high, x);
        y_low = std::min(y_low, y);
        y_high = std::max(y_high, y);
        const Real w = 1 / (static_cast<Real>(sigma) * sigma);
        sum_w += w;
        sum_wy += w * y;
    }
    survey.constant_y = y_low == y_high;
    const Real half_width = static_cast<Real>(high) / 2 - static_cast<Real>(low) / 2;
    if (!(half_width > 0)) return Refused("all x values are equal");
    int exponent = 0;
    const Real mantissa = std::frexp(half_width, &exponent);
    survey.variable = {static_cast<Real>(low) / 2 + static_cast<Real>(high) / 2,
                       std::ldexp(Real{1}, mantissa == 0.5L ? exponent - 1 : exponent)};
    survey.mean_y = sum_wy / sum_w;
    return survey;
}

// Reduces the rows [t^0 .. t^n  y] (each scaled by its weight's root) by
// Householder reflections to the upper triangle [R z; 0 rho], in blocks, so
// no more than a block of rows is ever held. R b = z then solves the least-
// squares problem in t, and rho^2 is the residual sum of squares.
class TriangularReduction {
public:
    explicit TriangularReduction(int columns)
        : columns_(columns), rows_(static_cast<std::size_t>(columns + kBlock) * columns), used_(columns)
    {
    }

    Real* NextRow()
    {
        if (used_ == columns_ + kBlock) Reduce();
        return &rows_[static_cast<std::size_t>(used_++) * columns_];
    }

    // Reduces the last rows; At then reads the triangle.
    void Finish() { Reduce(); }
    Real At(int row, int column) const { return rows_[static_cast<std::size_t>(row) * columns_ + column]; }

private:
    static constexpr int kBlock = 256;

    Real& Cell(int row, int column) { return rows_[static_cast<std::size_t>(row) * columns_ + column]; }

    // Householder reflections on the triangle and the new rows below it;
    // afterwards the rows below the triangle are zero and are reused.
    void Reduce()
    {
        for (int j = 0; j < columns_; ++j) {
            Real norm = 0;
            for (int i = j; i < used_; ++i) norm += Cell(i, j) * Cell(i, j);
            norm = std::sqrt(norm);
            if (norm == 0) continue;
            const Real alpha = Cell(j, j) > 0 ? -norm : norm;
            Cell(j, j) -= alpha;  // the reflection's vector v is column j from row j down
            Real beta = 0;        // v^T v
            for (int i = j; i < used_; ++i) beta += Cell(i, j) * Cell(i, j);
            for (int k = j + 1; k < columns_; ++k) {
                Real dot = 0;
                for (int i = j; i < used_; ++i) dot += Cell(i, j) * Cell(i, k);
                const Real factor = 2 * dot / beta;
                for (int i = j; i < used_; ++i) Cell(i, k) -= factor * Cell(i, j);
            }
            Cell(j, j) = alpha;
            for (int i = j + 1; i < used_; ++i) Cell(i, j) = 0;
        }
        used_ = columns_;
    }

    int columns_;
    std::vector<Real> rows_;
    int used_;  // rows in use: the triangle and the rows added since the last reduction
};

// The polynomial in x, its covariance and the quality of the fit.
struct Solution {
    std::string error;
    std::vector<double> coefficients, errors;
    double covariance01 = 0;  // of c_0 and c_1
    double residual_sd = 0;
    double r_squared = 0;
    std::vector<double> covariance;  // of the coefficients, row-major
    double residual_squares = 0;
    std::size_t ndf = 0;
    double adjusted_r_squared = 0;
    Variable variable;
    std::vector<double> centred;  // the coefficients in t
    std::vector<double> centred_covariance;
};

Solution Failed(std::string error)
{
    Solution solution;
    solution.error = std::move(error);
    return solution;
}

// The number of distinct x values, counted up to `enough`.
std::size_t DistinctX(const Samples& data, std::size_t enough)
{
    std::vector<double> seen;
    seen.reserve(enough);
    for (std::size_t i = 0; i < data.count && seen.size() < enough; ++i)
        if (std::find(seen.begin(), seen.end(), data.X(i)) == seen.end()) seen.push_back(data.X(i));
    return seen.size();
}

// Reduces the rows of the powers t^0 .. t^(d-1) of every point, each times
// the root of its weight when `weighted`, and y as the last column. Returns
// the (weighted) sum of squares of y about `mean_y`.
Real ReduceRows(const Samples& data, Variable variable, Real mean_y, int d, bool weighted,
                TriangularReduction& reduction)
{
    Real total_squares = 0;
    for (std::size_t i = 0; i < data.count; ++i) {
        const Real root_w = weighted ? 1 / static_cast<Real>(data.Sigma(i)) : 1;
        const Real t = (data.X(i) - variable.centre) / variable.scale;
        Real* row = reduction.NextRow();
        Real power = root_w;
        for (int k = 0; k < d; ++k, power *= t) row[k] = power;
        row[d] = root_w * data.Y(i);
        const Real deviation = root_w * (data.Y(i) - mean_y);
        total_squares += deviation * deviation;
    }
    reduction.Finish();
    return total_squares;
}

// Whether the first d columns of the triangle are independent once each is
// scaled to length 1: scaling a column, or the data's units, does not change
// the decision. (A reflection keeps a column's length, so the triangle's
// column is as long as the data's.)
bool FullRank(const TriangularReduction& reduction, int d)
{
    for (int k = 0; k < d; ++k) {
        Real length = 0;
        for (int j = 0; j <= k; ++j) length += reduction.At(j, k) * reduction.At(j, k);
        if (!(std::fabs(reduction.At(k, k)) > kSingularRatio * std::sqrt(length))) return false;
    }
    return true;
}

bool AllFinite(const Solution& solution)
{
    auto finite = [](double value) { return std::isfinite(value); };
    return std::all_of(solution.coefficients.begin(), solution.coefficients.end(), finite) &&
           std::all_of(solution.errors.begin(), solution.errors.end(), finite) &&
           std::isfinite(solution.covariance01) && std::isfinite(solution.residual_sd) &&
           std::isfinite(solution.r_squared);
}

// M(j, k): the coefficient of x^j in t^k = ((x - centre) / scale)^k.
std::vector<Real> PowersOfTInX(Variable v, int d)
{
    std::vector<Real> m(static_cast<std::size_t>(d) * d, 0);
    for (int k = 0; k < d; ++k) {
        Real binomial = 1;  // C(k, j), from j = k down
        for (int j = k; j >= 0; --j) {
            m[j * d + k] = binomial * std::pow(-v.centre, k - j) / std::pow(v.scale, k);
            binomial = binomial * j / (k - j + 1);
        }
    }
    return m;
}

Solution Solve(const Samples& data, int order)
{
    const Survey survey = SurveyData(data, order);
    if (!survey.error.empty()) return Failed(survey.error);
    const int d = order + 1;
    if (DistinctX(data, static_cast<std::size_t>(d)) < static_cast<std::size_t>(d))
        return Failed("fewer distinct x values than the " + std::to_string(d) + " coefficients");
    TriangularReduction reduction(d + 1);
    const Real total_squares = ReduceRows(data, survey.variable, survey.mean_y, d, data.weighted, reduction);
    // Weights far apart (one point pinned by a tiny sigma) can make the
    // weighted columns nearly dependent although the powers of x are not;
    // the powers themselves then decide.
    if (!FullRank(reduction, d)) {
        bool independent = false;
        if (data.weighted) {
            TriangularReduction plain(d + 1);
            ReduceRows(data, survey.variable, survey.mean_y, d, false, plain);
            independent = FullRank(plain, d);
        }
        if (!independent) return Failed("numerically singular at order " + std::to_string(order));
    }

    // b = R^-1 z, and R^-1 itself for the covariance s^2 R^-1 R^-T of b.
    std::vector<Real> inverse(static_cast<std::size_t>(d) * d, 0), b(d);
    for (int i = d - 1; i >= 0; --i) {
        Real value = reduction.At(i, d);
        for (int k = i + 1; k < d; ++k) value -= reduction.At(i, k) * b[k];
        b[i] = value / reduction.At(i, i);
        inverse[i * d + i] = 1 / reduction.At(i, i);
        for (int j = i + 1; j < d; ++j) {
            Real sum = 0;
            for (int k = i + 1; k <= j; ++k) sum += reduction.At(i, k) * inverse[k * d + j];
            inverse[i * d + j] = -sum / reduction.At(i, i);
        }
    }
    const Real residual_squares = reduction.At(d, d) * reduction.At(d, d);
    const Real degrees = static_cast<Real>(data.count) - d;
    const Real s2 = residual_squares / degrees;
    const Real scale = data.weighted ? 1 : s2;

    // Into powers of x: c = M b, Cov(c) = M Cov(b) M^T with Cov(b) = scale * R^-1 R^-T.
    const std::vector<Real> m = PowersOfTInX(survey.variable, d);
    std::vector<Real> mr(static_cast<std::size_t>(d) * d, 0);  // M R^-1
    for (int j = 0; j < d; ++j)
        for (int k = 0; k < d; ++k)
            for (int l = 0; l <= k; ++l) mr[j * d + k] += m[j * d + l] * inverse[l * d + k];
    // scale * (A A^T)(i, j): the covariance in powers of x with A = M R^-1,
    // in the centred variable with A = R^-1 (upper triangular, zero below).
    auto gram = [&](const std::vector<Real>& a, int i, int j) {
        Real sum = 0;
        for (int k = 0; k < d; ++k) sum += a[i * d + k] * a[j * d + k];
        return scale * sum;
    };
    auto covariance = [&](int i, int j) { return gram(mr, i, j); };
    Solution solution;
    for (int j = 0; j < d; ++j) {
        Real c = 0;
        for (int k = j; k < d; ++k) c += m[j * d + k] * b[k];
        solution.coefficients.push_back(static_cast<double>(c));
        solution.errors.push_back(static_cast<double>(std::sqrt(covariance(j, j))));
    }
    solution.covariance01 = static_cast<double>(covariance(0, 1));
    solution.residual_sd = static_cast<double>(std::sqrt(s2));
    solution.r_squared = survey.constant_y ? 1 : static_cast<double>(1 - residual_squares / total_squares);
    for (int i = 0; i < d; ++i)
        for (int j = 0; j < d; ++j) solution.covariance.push_back(static_cast<double>(covariance(i, j)));
    solution.residual_squares = static_cast<double>(residual_squares);
    solution.ndf = data.count - static_cast<std::size_t>(d);
    solution.adjusted_r_squared =
        survey.constant_y
            ? 1
            : static_cast<double>(1 - residual_squares / total_squares * (static_cast<Real>(data.count) - 1) / degrees);
    solution.variable = survey.variable;
    for (int k = 0; k < d; ++k) solution.centred.push_back(static_cast<double>(b[k]));
    for (int i = 0; i < d; ++i)
        for (int j = 0; j < d; ++j) solution.centred_covariance.push_back(static_cast<double>(gram(inverse, i, j)));
    if (!AllFinite(solution)) return Failed("the result is out of range");
    return solution;
}

LineFit LineFrom(const Solution& solution, std::size_t count, bool weighted)
{
    LineFit fit;
    fit.count = count;
    fit.weighted = weighted;
    fit.error = solution.error;
    if (!fit.error.empty()) return fit;
    fit.ok = true;
    fit.intercept = solution.coefficients[0];
    fit.slope = solution.coefficients[1];
    fit.intercept_error = solution.errors[0];
    fit.slope_error = solution.errors[1];
    fit.covariance = solution.covariance01;
    fit.residual_sd = solution.residual_sd;
    fit.r_squared = solution.r_squared;
    fit.ndf = solution.ndf;
    fit.residual_squares = solution.residual_squares;
    fit.adjusted_r_squared = solution.adjusted_r_squared;
    return fit;
}

PolynomialFit PolynomialFrom(Solution solution, std::size_t count, bool weighted)
{
    PolynomialFit fit;
    fit.count = count;
    fit.weighted = weighted;
    fit.error = std::move(solution.error);
    if (!fit.error.empty()) return fit;
    fit.ok = true;
    fit.coefficients = std::move(solution.coefficients);
    fit.coefficient_errors = std::move(solution.errors);
    fit.residual_sd = solution.residual_sd;
    fit.r_squared = solution.r_squared;
    fit.covariance = std::move(solution.covariance);
    fit.ndf = solution.ndf;
    fit.residual_squares = solution.residual_squares;
    fit.adjusted_r_squared = solution.adjusted_r_squared;
    fit.centre = static_cast<double>(solution.variable.centre);
    fit.scale = static_cast<double>(solution.variable.scale);
    fit.centred_coefficients = std::move(solution.centred);
    fit.centred_covariance = std::move(solution.centred_covariance);
    return fit;
}

// Solves, turning a failure to allocate (or any other exception) into a refusal.
Solution GuardedSolve(const Samples& data, int order)
{
    try {
        return Solve(data, order);
    } catch (const std::bad_alloc&) {
        return Failed("not enough memory");
    } catch (const std::exception& failure) {
        return Failed(failure.what());
    }
}

// The fit of columns of one length, `sigma` with `weighted` alone.
Solution SolveColumns(std::span<const double> x, std::span<const double> y, std::span<const double> sigma,
                      bool weighted, int order)
{
    if (y.size() != x.size()) return Failed("x and y differ in length");
    if (weighted && sigma.size() != x.size()) return Failed("sigma and y differ in length");
    return GuardedSolve(ColumnSamples(x, y, sigma, weighted), order);
}

}  // namespace

LineFit fit_line(std::span<const double> x, std::span<const double> y)
{
    return LineFrom(SolveColumns(x, y, {}, false, 1), x.size(), false);
}

LineFit fit_line(std::span<const double> x, std::span<const double> y, std::span<const double> sigma)
{
    return LineFrom(SolveColumns(x, y, sigma, true, 1), x.size(), true);
}

PolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y, int order)
{
    return PolynomialFrom(SolveColumns(x, y, {}, false, order), x.size(), false);
}

PolynomialFit fit_polynomial(std::span<const double> x, std::span<const double> y, int order,
                             std::span<const double> sigma)
{
    return PolynomialFrom(SolveColumns(x, y, sigma, true, order), x.size(), true);
}

LineFit fit_line(std::span<const Point> points, bool weighted)
{
    return LineFrom(GuardedSolve(PointSamples(points, weighted), 1), points.size(), weighted);
}

PolynomialFit fit_polynomial(std::span<const Point> points, int order, bool weighted)
{
    return PolynomialFrom(GuardedSolve(PointSamples(points, weighted), order), points.size(), weighted);
}

}  // namespace fitcore
