// centring.h - the variable a fit in powers of x is worked in: x itself, or x centred and scaled.
#pragma once

#include <cstdint>

#include <fitcore/point.h>

namespace fitcore {

// t = (x - centre) / scale. {0, 1} is x itself.
struct Centring {
    double centre = 0;
    double scale = 1;

    bool IsIdentity() const { return centre == 0 && scale == 1; }
};

// The variable for a fit of `order` (1 for a line) over the x values of the
// points. Powers of x are used as they are where they lose at most three
// digits to the offset of the x range, ((|c| + h) / h)^(2 order) <= 1e3 with
// c the middle and h the half width of the range, and where the largest
// power sum stays within the range of double. Otherwise the fit is worked in
// t = (x - c) / s, with s the half width rounded up to a power of two, so
// that t lies in [-1, 1] and the division by s is exact. Points with a
// non-finite x, or all with one x, give x itself.
Centring ChooseCentring(const Point* points, int32_t count, int order);

}  // namespace fitcore
