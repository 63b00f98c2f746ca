// centring.cpp - choosing between powers of x and powers of a centred, scaled variable.
#include <fitcore/centring.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace fitcore {
namespace {

// Digits that powers of x may lose to an offset x range before the fit is
// worked in the centred variable: cost 1e3 is three digits.
constexpr double kMaxOffsetCost = 1e3;

// The half width rounded up to a power of two.
double PowerOfTwoAtLeast(double half_width)
{
    int exponent = 0;
    const double mantissa = std::frexp(half_width, &exponent);
    return std::ldexp(1.0, mantissa == 0.5 ? exponent - 1 : exponent);
}

}  // namespace

Centring ChooseCentring(const Point* points, int32_t count, int order)
{
    if (count <= 0 || order < 1) return {};
    double low = points[0].x, high = points[0].x;
    for (int32_t i = 0; i < count; ++i) {
        const double x = points[i].x;
        if (!std::isfinite(x)) return {};
        low = std::min(low, x);
        high = std::max(high, x);
    }
    const double half_width = high / 2 - low / 2;
    if (!(half_width > 0)) return {};
    const double centre = low / 2 + high / 2;

    const double reach = std::max(std::fabs(low), std::fabs(high));
    const double largest_power = std::pow(reach, 2.0 * order) * count;
    const bool powers_in_range = largest_power < DBL_MAX && largest_power > 1e-280;
    const double offset_cost = std::pow((std::fabs(centre) + half_width) / half_width, 2.0 * order);
    if (powers_in_range && offset_cost <= kMaxOffsetCost) return {};
    return {centre, PowerOfTwoAtLeast(half_width)};
}

}  // namespace fitcore
