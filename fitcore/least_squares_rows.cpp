// least_squares_rows.cpp - Givens rotations of rows into a triangular factor.
#include "least_squares_rows.h"

#include <algorithm>
#include <cmath>

namespace fitcore {
namespace {

// The rotation (c, s) that takes (p, q) to (hypot(p, q), 0), computed
// without overflow.
void Rotation(double p, double q, double* c, double* s)
{
    if (std::fabs(p) < std::fabs(q)) {
        const double cotangent = p / q;
        *s = 0.5 / std::sqrt(0.25 + 0.25 * cotangent * cotangent);
        *c = *s * cotangent;
    } else {
        const double tangent = q / p;
        *c = 0.5 / std::sqrt(0.25 + 0.25 * tangent * tangent);
        *s = *c * tangent;
    }
}

}  // namespace

TriangularRows::TriangularRows(std::size_t columns) : n_(columns), r_(columns * columns, 0.0), z_(columns, 0.0) {}

void TriangularRows::Add(std::span<double> row, double residual)
{
    sum_of_squares += residual * residual;
    Rotate(row, residual);
}

void TriangularRows::Rotate(std::span<double> row, double residual)
{
    for (std::size_t k = 0; k < n_; ++k) {
        if (row[k] == 0) continue;
        double* r_row = &r_[k * n_];
        double c, s;
        Rotation(r_row[k], row[k], &c, &s);
        r_row[k] = c * r_row[k] + s * row[k];
        for (std::size_t l = k + 1; l < n_; ++l) {
            const double upper = r_row[l];
            r_row[l] = c * upper + s * row[l];
            row[l] = c * row[l] - s * upper;
        }
        const double upper = z_[k];
        z_[k] = c * upper + s * residual;
        residual = c * residual - s * upper;
    }
}

namespace {

// The sum of a[i] * b[i] in four interleaved partial sums: four chains of
// additions run at once where one would wait for each addition in turn.
double Dot(const double* a, const double* b, std::size_t count)
{
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
    }
    for (; i < count; ++i) s0 += a[i] * b[i];
    return (s0 + s1) + (s2 + s3);
}

// y[i] -= a * x[i] over `count` values of arrays that do not overlap, four
// at a time so that the compiler can pair them in vector registers.
void SubtractMultiple(double* __restrict y, const double* __restrict x, double a, std::size_t count)
{
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        y[i] -= a * x[i];
        y[i + 1] -= a * x[i + 1];
        y[i + 2] -= a * x[i + 2];
        y[i + 3] -= a * x[i + 3];
    }
    for (; i < count; ++i) y[i] -= a * x[i];
}

// The Euclidean norm of `count` values: summed as they are in one pass, and
// again scaled by a power of two near the largest where the plain sum
// overflows or loses digits to underflow.
double NormOf(const double* values, std::size_t count)
{
    double sum = Dot(values, values, count);
    constexpr double kSafeLow = 1e-280, kSafeHigh = 1e280;
    if (sum > kSafeLow && sum < kSafeHigh) return std::sqrt(sum);
    double largest = 0;
    for (std::size_t i = 0; i < count; ++i) largest = std::max(largest, std::fabs(values[i]));
    if (largest == 0 || !std::isfinite(largest)) return largest;
    const int exponent = std::ilogb(largest);
    sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double scaled = std::ldexp(values[i], -exponent);
        sum += scaled * scaled;
    }
    return std::ldexp(std::sqrt(sum), exponent);
}

}  // namespace

void TriangularRows::AddBlock(std::span<double> block, std::size_t count)
{
    const std::size_t n = n_;
    double* residuals = block.data() + n * count;
    const double squares = Dot(residuals, residuals, count);
    // Householder reflections make the block's columns upper triangular;
    // the residual column is reflected with them.
    const std::size_t steps = std::min(n, count);
    for (std::size_t k = 0; k < steps; ++k) {
        double* v = block.data() + k * count;
        const double norm = NormOf(v + k, count - k);
        if (norm == 0 || !std::isfinite(norm)) continue;
        const double alpha = v[k] > 0 ? -norm : norm;
        const double head = v[k] - alpha;
        // H = I - v v^T / (alpha * (alpha - x_k)) with v = x - alpha e_k.
        const double factor = -1 / (alpha * head);
        v[k] = head;
        for (std::size_t j = k + 1; j <= n; ++j) {
            double* column = block.data() + j * count;
            const double scale = Dot(v + k, column + k, count - k) * factor;
            SubtractMultiple(column + k, v + k, scale, count - k);
        }
        v[k] = alpha;
    }
    std::vector<double> row(n);
    for (std::size_t k = 0; k < steps; ++k) {
        for (std::size_t j = 0; j < n; ++j) row[j] = j < k ? 0.0 : block[j * count + k];
        Add(row, residuals[k]);
    }
    // Add counted the squares of the rotated residuals; the block's own are the sum.
    double rotated = 0;
    for (std::size_t k = 0; k < steps; ++k) rotated += residuals[k] * residuals[k];
    sum_of_squares += squares - rotated;
}

void TriangularRows::Merge(const TriangularRows& other)
{
    std::vector<double> row(n_);
    for (std::size_t i = 0; i < n_; ++i) {
        for (std::size_t j = 0; j < n_; ++j) row[j] = j < i ? 0.0 : other.r(i, j);
        Rotate(row, other.z(i));
    }
    sum_of_squares += other.sum_of_squares;
}

double TriangularRows::ColumnNorm(std::size_t j) const
{
    double sum = 0;
    for (std::size_t i = 0; i <= j; ++i) sum += r(i, j) * r(i, j);
    return std::sqrt(sum);
}

std::vector<double> TriangularRows::DampedStep(std::span<const double> scale, double lambda, double* predicted) const
{
    TriangularRows damped = *this;
    std::vector<double> row(n_);
    const double root = std::sqrt(lambda);
    for (std::size_t j = 0; j < n_ && root > 0; ++j) {
        std::fill(row.begin(), row.end(), 0.0);
        row[j] = root * scale[j];
        damped.Rotate(row, 0.0);
    }
    // Back substitution in R' d = -z'.
    std::vector<double> step(n_, 0.0);
    for (std::size_t i = n_; i-- > 0;) {
        double sum = -damped.z(i);
        for (std::size_t j = i + 1; j < n_; ++j) sum -= damped.r(i, j) * step[j];
        const double pivot = damped.r(i, i);
        step[i] = pivot != 0 && std::isfinite(pivot) ? sum / pivot : 0.0;
    }
    // The fall |z|^2 - |R d + z|^2 is |R d|^2 + 2 lambda |D d|^2 for the
    // damped step, a sum of squares free of cancellation.
    double fall = 0;
    for (std::size_t i = 0; i < n_; ++i) {
        double value = 0;
        for (std::size_t j = i; j < n_; ++j) value += r(i, j) * step[j];
        fall += value * value + 2 * lambda * scale[i] * scale[i] * step[i] * step[i];
    }
    *predicted = fall;
    return step;
}

std::vector<double> TriangularRows::TruncatedStep(std::span<const double> scale, double cutoff) const
{
    // One-sided Jacobi: rotations V from the right make the columns of
    // W = R D^-1 V orthogonal; then W = U S and R D^-1 = U S V^T.
    const std::size_t n = n_;
    std::vector<double> w(n * n), v(n * n, 0.0);  // row-major
    for (std::size_t i = 0; i < n; ++i) {
        v[i * n + i] = 1;
        for (std::size_t j = 0; j < n; ++j) w[i * n + j] = j >= i ? r(i, j) / scale[j] : 0.0;
    }
    for (int sweep = 0; sweep < 60; ++sweep) {
        bool rotated = false;
        for (std::size_t i = 0; i + 1 < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                double alpha = 0, beta = 0, gamma = 0;
                for (std::size_t k = 0; k < n; ++k) {
                    alpha += w[k * n + i] * w[k * n + i];
                    beta += w[k * n + j] * w[k * n + j];
                    gamma += w[k * n + i] * w[k * n + j];
                }
                if (!(std::fabs(gamma) > 1e-15 * std::sqrt(alpha * beta))) continue;
                rotated = true;
                const double zeta = (beta - alpha) / (2 * gamma);
                const double t = std::copysign(1.0, zeta) / (std::fabs(zeta) + std::sqrt(1 + zeta * zeta));
                const double c = 1 / std::sqrt(1 + t * t), s = c * t;
                for (std::vector<double>* m : {&w, &v})
                    for (std::size_t k = 0; k < n; ++k) {
                        const double a = (*m)[k * n + i], b = (*m)[k * n + j];
                        (*m)[k * n + i] = c * a - s * b;
                        (*m)[k * n + j] = s * a + c * b;
                    }
            }
        if (!rotated) break;
    }
    std::vector<double> sigma(n, 0.0);
    double largest = 0;
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t k = 0; k < n; ++k) sigma[j] += w[k * n + j] * w[k * n + j];
        sigma[j] = std::sqrt(sigma[j]);
        largest = std::max(largest, sigma[j]);
    }
    std::vector<double> step(n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        if (!(sigma[j] > cutoff * largest)) continue;
        double projection = 0;  // u_j^T z
        for (std::size_t k = 0; k < n; ++k) projection += w[k * n + j] / sigma[j] * z_[k];
        for (std::size_t k = 0; k < n; ++k) step[k] -= v[k * n + j] * projection / sigma[j];
    }
    for (std::size_t k = 0; k < n; ++k) step[k] /= scale[k];
    return step;
}

std::vector<double> TriangularRows::InverseNormalMatrix() const
{
    // R^-1 by columns, then R^-1 R^-T.
    std::vector<double> inverse(n_ * n_, 0.0);
    for (std::size_t i = 0; i < n_; ++i)
        if (r(i, i) == 0 || !std::isfinite(r(i, i))) return {};
    for (std::size_t column = 0; column < n_; ++column) {
        for (std::size_t i = column + 1; i-- > 0;) {
            double sum = i == column ? 1.0 : 0.0;
            for (std::size_t j = i + 1; j <= column; ++j) sum -= r(i, j) * inverse[j * n_ + column];
            inverse[i * n_ + column] = sum / r(i, i);
        }
    }
    std::vector<double> product(n_ * n_, 0.0);
    for (std::size_t i = 0; i < n_; ++i)
        for (std::size_t j = 0; j < n_; ++j) {
            double sum = 0;
            for (std::size_t k = std::max(i, j); k < n_; ++k) sum += inverse[i * n_ + k] * inverse[j * n_ + k];
            product[i * n_ + j] = sum;
        }
    return product;
}

}  // namespace fitcore
