// exponential_digits.h - the digits of "%.<precision>e" from integer arithmetic,
// for the values where that decides them; the rest are left to the caller.
#pragma once

#include <cstdint>

namespace fitcore {

// The largest precision the integer arithmetic serves.
constexpr int kMaxFastExponentialPrecision = 17;

// "%<width>.<precision>e" of a finite, non-zero `value` at `out`
// when a 64-bit approximation of the power of ten decides its rounding, which
// it does for all but values within about 2^-35 of a unit (at precision 6)
// of a rounding midpoint; the end of the text then. Null, with nothing
// written, for every value it does not decide (zero, infinities, NaN,
// precision outside 0 to kMaxFastExponentialPrecision, near midpoints), so
// that the caller converts those the exact, slow way.
char* AppendDecidedExponential(char* out, double value, int precision, int width = 0);

}  // namespace fitcore
