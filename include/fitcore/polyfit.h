// polyfit.h - the least-squares polynomial of cadrafit's report: normal
// equations solved by Gauss-Jordan elimination, in x or in a centred variable.
#pragma once

#include <cstdint>

#include <fitcore/centring.h>
#include <fitcore/point.h>

namespace fitcore {

constexpr int kMinPolynomialOrder = 2;
constexpr int kMaxPolynomialOrder = 9;

// The fitted polynomial c_0 + c_1*x + ... + c_n*x^n.
struct Polynomial {
    int order;                                       // n
    double coefficients[kMaxPolynomialOrder + 1];    // c_0 .. c_n; the rest unused
    // The same polynomial in the variable it was solved in,
    // t = (x - centring.centre) / centring.scale: sum of centred[k] * t^k.
    // Where that variable is x itself, centred holds the coefficients.
    Centring centring;
    double centred[kMaxPolynomialOrder + 1] = {};
};

namespace polyfit {

// Sum over the points, in array order, of pow(x, power).
double sumX(const Point* points, int32_t count, int power);

// Sum over the points, in array order, of pow(x, power) * y.
double sum(const Point* points, int32_t count, int power);

// c_0 + c_1*x + ... + c_order*x^order, added term by term from k = 0.
double p(const double* coefficients, int order, double x);

// Fills the (order+1) x (order+1) row-major normal matrix a, with
// a(i, j) = sumX(i + j), and the right-hand side b, with b_i = sum(i).
// Each distinct sum is accumulated once, in one pass over the points (the
// powers shared between two threads for many points); the results are
// bit-identical to calling sumX and sum per entry.
void NormalEquations(const Point* points, int32_t count, int order, double* a, double* b);

}  // namespace polyfit

}  // namespace fitcore

// Solves a * solution = b for a dimension x dimension row-major matrix a by
// Gauss-Jordan elimination without row exchanges. a and b are read only.
// Returns 0 when the solution has been written; 1, with solution untouched,
// when a pivot is zero or not finite or a solution value is not finite.
int GaussJordan(const double* a, const double* b, double* solution, int dimension);

namespace fitcore {

// The normal equations in t = (x - centre) / scale: a(i, j) = sum of t^(i+j),
// b_i = sum of t^i * y, with t and its powers (by repeated multiplication)
// and every sum in long double, each sum over the points in array order.
// Large inputs share the powers between two threads; the results are
// bit-identical to one pass over all powers.
void CentredNormalEquations(const Point* points, int32_t count, int order, Centring centring,
                            double* a, double* b);

// The coefficients of sum of centred[k] * ((x - centre) / scale)^k in powers
// of x, c_0 first, worked in long double.
void ExpandInPowersOfX(const double* centred, int order, Centring centring, double* coefficients);

// The polynomial's value at x, from the form it was solved in: p() of the
// coefficients where that is x itself, else Horner's rule in t in long double.
double PolynomialAt(const Polynomial& polynomial, double x);

// Sets `fit` = PolynomialAt(x) of every point, on two threads for many points.
void SetFittedValues(Point* points, int32_t count, const Polynomial& polynomial);

// Fits the polynomial of the given order (at most 9) to the points by least
// squares and sets `fit` = PolynomialAt(x) of every point. The normal
// equations are built in the variable that ChooseCentring picks and solved
// by GaussJordan; coefficients in powers of x are expanded from the
// solution. Returns 0; 1 when GaussJordan refuses the normal equations (no
// points, non-finite data, most systems with too few distinct x values) or
// the order is out of range, leaving *polynomial and the points untouched.
int FitPolynomial(Point* points, int32_t count, int order, Polynomial* polynomial);

// Root mean square of y - fit over the points (`fit` already set).
double RmsError(const Point* points, int32_t count);

}  // namespace fitcore
