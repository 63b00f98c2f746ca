// polyfit.cpp - the least-squares polynomial of cadrafit's report.
#include <fitcore/polyfit.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "power_sums.h"
#include "two_halves.h"

// Every sum starts from 0 and adds one double term per point in array order,
// with pow taking the power as a double. The printed digits depend on that
// exact order, so sums are never reassociated or shared across different terms.

namespace fitcore {

namespace polyfit {

double sumX(const Point* points, int32_t count, int power)
{
    double total = 0;
    for (int32_t i = 0; i < count; ++i) total += std::pow(points[i].x, static_cast<double>(power));
    return total;
}

double sum(const Point* points, int32_t count, int power)
{
    double total = 0;
    for (int32_t i = 0; i < count; ++i) {
        double term = std::pow(points[i].x, static_cast<double>(power)) * points[i].y;
        total += term;
    }
    return total;
}

double p(const double* coefficients, int order, double x)
{
    // pow(x, 0) is 1 for every x, NaN included, so the first term is c_0 itself.
    double total = 0;
    total += coefficients[0];
    for (int k = 1; k <= order; ++k) total += std::pow(x, static_cast<double>(k)) * coefficients[k];
    return total;
}

void NormalEquations(const Point* points, int32_t count, int order, double* a, double* b)
{
    // Entries with the same i + j are the same sum, so 2n + 1 power sums and
    // n + 1 right-hand sums cover the system, each still accumulated in array
    // order, one term per point, so it equals sumX / sum to the bit.
    double sum_x[2 * kMaxPowerSumOrder + 1] = {};
    double sum_xy[kMaxPowerSumOrder + 1] = {};
    ComputePowerSums(points, count, order, sum_x, sum_xy);
    FillNormalEquations(sum_x, sum_xy, order, a, b);
}

}  // namespace polyfit

}  // namespace fitcore

// Pivot test: a pivot that is exactly zero or not finite ends the solve, and
// so does a solution value that is not finite. There is no relative
// threshold on small pivots: singular systems whose elimination stops at a
// rounding residue instead of an exact zero leave pivots about 1e-16 of
// their diagonal, and so do useful fits over x far from zero (a cubic over
// x = 1990..2020), so no ratio refuses the one without the other. What the
// test catches: the empty system, non-finite data, and singular systems
// (fewer distinct x values than coefficients) that reach an exact zero.
int GaussJordan(const double* a, const double* b, double* solution, int dimension)
{
    const int d = dimension;
    const int columns = d + 1;
    std::vector<double> w(static_cast<size_t>(d) * columns);  // augmented matrix [a | b]
    auto at = [&](int row, int column) -> double& { return w[row * columns + column]; };
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) at(i, j) = a[i * d + j];
        at(i, d) = b[i];
    }

    // Forward pass: scale each pivot row to a leading 1 and clear the column
    // below it. Whole rows are updated, including columns already zero.
    for (int j = 0; j < d; ++j) {
        const double q = at(j, j);
        if (q == 0 || !std::isfinite(q)) return 1;
        for (int l = 0; l <= d; ++l) at(j, l) /= q;
        for (int k = j + 1; k < d; ++k) {
            const double f = at(k, j);
            for (int l = 0; l <= d; ++l) at(k, l) = (-f) * at(j, l) + at(k, l);
        }
    }
    // Backward pass: clear the column above each diagonal 1.
    for (int i = d - 1; i >= 0; --i) {
        for (int k = i - 1; k >= 0; --k) {
            const double g = at(k, i);
            for (int l = 0; l <= d; ++l) at(k, l) = (-g) * at(i, l) + at(k, l);
        }
    }

    for (int i = 0; i < d; ++i)
        if (!std::isfinite(at(i, d))) return 1;
    for (int i = 0; i < d; ++i) solution[i] = at(i, d);
    return 0;
}

namespace fitcore {

namespace {

// Points whose powers are summed together, their t and running powers kept
// in long double arrays on the stack.
constexpr size_t kPowerBlock = 128;

// Adds the powers `first` to first + N - 1 of a block of `count` points to
// the sums (and, WithY, their products with y to sum_ty), taking each point's
// running power on by N products. The N sums of one call stay in registers
// over the whole block instead of going through memory for every point.
template <int N, bool WithY>
void AddPowers(long double* power, const long double* t, const Point* points, size_t count, int first,
               long double* sum_t, long double* sum_ty)
{
    long double s[N], sy[N];
    for (int j = 0; j < N; ++j) {
        s[j] = sum_t[first + j];
        if (WithY) sy[j] = sum_ty[first + j];
    }
    for (size_t i = 0; i < count; ++i) {
        long double p = power[i];
        const long double ti = t[i];
#pragma GCC unroll 4
        for (int j = 0; j < N; ++j) {
            s[j] += p;
            if (WithY) sy[j] += p * points[i].y;
            p *= ti;
        }
        power[i] = p;
    }
    for (int j = 0; j < N; ++j) {
        sum_t[first + j] = s[j];
        if (WithY) sum_ty[first + j] = sy[j];
    }
}

// Powers first to last - 1 of a block, in calls of two with y (up to
// `order`) and of up to four without.
void AddBlockPowers(long double* power, const long double* t, const Point* points, size_t count, int order,
                    int first, int last, long double* sum_t, long double* sum_ty)
{
    for (int k = first; k < last;) {
        if (k <= order) {
            if (k + 1 <= order && k + 1 < last) {
                AddPowers<2, true>(power, t, points, count, k, sum_t, sum_ty);
                k += 2;
            } else {
                AddPowers<1, true>(power, t, points, count, k, sum_t, sum_ty);
                k += 1;
            }
            continue;
        }
        switch (std::min(last - k, 4)) {
        case 4: AddPowers<4, false>(power, t, points, count, k, sum_t, sum_ty); k += 4; break;
        case 3: AddPowers<3, false>(power, t, points, count, k, sum_t, sum_ty); k += 3; break;
        case 2: AddPowers<2, false>(power, t, points, count, k, sum_t, sum_ty); k += 2; break;
        default: AddPowers<1, false>(power, t, points, count, k, sum_t, sum_ty); k += 1; break;
        }
    }
}

// The centred sums of the powers first to last - 1 (of 0 to 2 * order), and
// for those up to `order` with y too. Every power comes from the same chain
// of products from t^0 on, whichever powers are summed, and every sum takes
// the points in array order, so the sums are the same to the bit as those of
// one pass over all powers, point after point.
void SumCentredPowers(const Point* points, int32_t count, int order, Centring centring, int first, int last,
                      long double* sum_t, long double* sum_ty)
{
    long double st[2 * kMaxPolynomialOrder + 1] = {};
    long double sty[kMaxPolynomialOrder + 1] = {};
    long double t[kPowerBlock], power[kPowerBlock];
    const size_t total = static_cast<size_t>(count > 0 ? count : 0);
    for (size_t start = 0; start < total; start += kPowerBlock) {
        const size_t block = std::min(kPowerBlock, total - start);
        for (size_t i = 0; i < block; ++i) {
            t[i] = (points[start + i].x - static_cast<long double>(centring.centre)) / centring.scale;
            long double p = 1;
            for (int k = 0; k < first; ++k) p *= t[i];
            power[i] = p;
        }
        AddBlockPowers(power, t, points + start, block, order, first, last, st, sty);
    }
    for (int k = first; k < last; ++k) {
        sum_t[k] = st[k];
        if (k <= order) sum_ty[k] = sty[k];
    }
}

}  // namespace

void CentredNormalEquations(const Point* points, int32_t count, int order, Centring centring,
                            double* a, double* b)
{
    long double sum_t[2 * kMaxPolynomialOrder + 1] = {};
    long double sum_ty[kMaxPolynomialOrder + 1] = {};
    // Powers 0 to order with their sums with y, and order + 1 to 2 * order
    // after a chain of as many products: about the same work in each half.
    const size_t bytes = static_cast<size_t>(count > 0 ? count : 0) * sizeof(Point);
    RunHalves(0, static_cast<size_t>(order) + 1, 2 * static_cast<size_t>(order) + 1, bytes,
              [&](size_t first, size_t last) {
                  SumCentredPowers(points, count, order, centring, static_cast<int>(first), static_cast<int>(last),
                                   sum_t, sum_ty);
              });
    const int d = order + 1;
    for (int i = 0; i < d; ++i) {
        for (int j = 0; j < d; ++j) a[i * d + j] = static_cast<double>(sum_t[i + j]);
        b[i] = static_cast<double>(sum_ty[i]);
    }
}

void ExpandInPowersOfX(const double* centred, int order, Centring centring, double* coefficients)
{
    if (centring.IsIdentity()) {
        std::copy(centred, centred + order + 1, coefficients);
        return;
    }
    // In u = x - centre the coefficients are centred[k] / scale^k; the
    // Taylor shift by -centre then gives those of x.
    long double c[kMaxPolynomialOrder + 1] = {};
    long double scale_power = 1;
    for (int k = 0; k <= order; ++k, scale_power *= centring.scale) c[k] = centred[k] / scale_power;
    const long double shift = centring.centre;
    for (int i = 0; i < order; ++i)
        for (int j = order - 1; j >= i; --j) c[j] -= shift * c[j + 1];
    for (int k = 0; k <= order; ++k) coefficients[k] = static_cast<double>(c[k]);
}

double PolynomialAt(const Polynomial& polynomial, double x)
{
    if (polynomial.centring.IsIdentity()) return polyfit::p(polynomial.coefficients, polynomial.order, x);
    const long double t =
        (x - static_cast<long double>(polynomial.centring.centre)) / polynomial.centring.scale;
    long double value = 0;
    for (int k = polynomial.order; k >= 0; --k) value = value * t + polynomial.centred[k];
    return static_cast<double>(value);
}

namespace {

// PolynomialAt of the centred polynomial at the points [first, last), two
// points at a time: the two chains of products are independent, so each
// waits less for its own, and every value is computed exactly as
// PolynomialAt computes it.
void SetCentredValues(Point* first, Point* last, const Polynomial& polynomial)
{
    const long double centre = polynomial.centring.centre;
    const double scale = polynomial.centring.scale;
    const double* coefficients = polynomial.centred;
    for (; last - first >= 2; first += 2) {
        const long double t0 = (first[0].x - centre) / scale, t1 = (first[1].x - centre) / scale;
        long double value0 = 0, value1 = 0;
        for (int k = polynomial.order; k >= 0; --k) {
            value0 = value0 * t0 + coefficients[k];
            value1 = value1 * t1 + coefficients[k];
        }
        first[0].fit = static_cast<double>(value0);
        first[1].fit = static_cast<double>(value1);
    }
    if (first != last) first->fit = PolynomialAt(polynomial, first->x);
}

}  // namespace

// Every point's value is its own, so halves of the array may be done at once.
void SetFittedValues(Point* points, int32_t count, const Polynomial& polynomial)
{
    size_t points_count = static_cast<size_t>(count > 0 ? count : 0);
    RunHalves(0, points_count / 2, points_count, points_count * sizeof(Point), [&](size_t first, size_t last) {
        if (!polynomial.centring.IsIdentity()) {
            SetCentredValues(points + first, points + last, polynomial);
            return;
        }
        for (Point* point = points + first; point != points + last; ++point)
            point->fit = PolynomialAt(polynomial, point->x);
    });
}

int FitPolynomial(Point* points, int32_t count, int order, Polynomial* polynomial)
{
    if (order < 0 || order > kMaxPolynomialOrder) return 1;
    const int dimension = order + 1;
    const Centring centring = ChooseCentring(points, count, order);
    std::vector<double> a(static_cast<size_t>(dimension) * dimension), b(dimension);
    if (centring.IsIdentity())
        polyfit::NormalEquations(points, count, order, a.data(), b.data());
    else
        CentredNormalEquations(points, count, order, centring, a.data(), b.data());

    Polynomial fitted{};
    if (GaussJordan(a.data(), b.data(), fitted.centred, dimension) != 0) return 1;
    fitted.order = order;
    fitted.centring = centring;
    ExpandInPowersOfX(fitted.centred, order, centring, fitted.coefficients);
    *polynomial = fitted;
    SetFittedValues(points, count, *polynomial);
    return 0;
}

double RmsError(const Point* points, int32_t count)
{
    double squares = 0;
    for (int32_t i = 0; i < count; ++i) squares = std::pow(points[i].y - points[i].fit, 2) + squares;
    return std::sqrt(squares / static_cast<double>(count));
}

}  // namespace fitcore
