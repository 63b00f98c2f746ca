// least_squares_rows.h - a linear least-squares problem gathered row by row
// into its triangular factor, so that no matrix of all the rows is kept.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace fitcore {

// The problem min |A d + r| over the rows (a_i, r_i) added so far, kept as
// the upper triangular R and z = (Q^T r)[0..n) of A's QR factorization, and
// the sum of the squared r_i. Rows are rotated in by Givens rotations.
class TriangularRows {
public:
    explicit TriangularRows(std::size_t columns = 0);

    std::size_t columns() const { return n_; }
    // Adds one row; `row` is used as scratch and left changed.
    void Add(std::span<double> row, double residual);
    // Adds `count` rows at once, given by columns: block[j * count + i] is
    // a_ij and block[n * count + i] is r_i. A Householder factorization of
    // the block leaves n rows to rotate in. `block` is used as scratch.
    void AddBlock(std::span<double> block, std::size_t count);
    // Adds every row of another problem of the same width.
    void Merge(const TriangularRows& other);

    double r(std::size_t i, std::size_t j) const { return r_[i * n_ + j]; }
    double z(std::size_t i) const { return z_[i]; }
    double sum_of_squares = 0;  // of the residuals added

    // The Euclidean norm of column j of A (also that of R).
    double ColumnNorm(std::size_t j) const;

    // The d that minimizes |A d + r|^2 + lambda |D d|^2; *predicted is the
    // fall of |A d + r|^2 that d gives. Needs lambda * D_j^2 > 0 or a
    // non-zero diagonal of R; a zero pivot gives 0 in d.
    std::vector<double> DampedStep(std::span<const double> scale, double lambda, double* predicted) const;

    // The Gauss-Newton step: the d of least norm |D d| that minimizes
    // |A d + r| over the directions of A D^-1 whose singular values exceed
    // `cutoff` times the largest; directions the data determine to fewer
    // digits than that are left out.
    std::vector<double> TruncatedStep(std::span<const double> scale, double cutoff) const;

    // (A^T A)^-1, row by row; empty when R has a zero or non-finite pivot.
    std::vector<double> InverseNormalMatrix() const;

private:
    // Add without counting the residual's square.
    void Rotate(std::span<double> row, double residual);

    std::size_t n_;
    std::vector<double> r_;  // n x n, row-major, upper triangle used
    std::vector<double> z_;
};

}  // namespace fitcore
