// exponential_digits.cpp - "%.<precision>e" digits by one 64x64-bit product
// with a tabulated power of ten, exact wherever the product decides them.
#include "exponential_digits.h"

#include <fitcore/number_format.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace fitcore {
namespace {

using u128 = unsigned __int128;

// 10^q = mantissa * 2^exponent with the mantissa in [2^63, 2^64), rounded to
// nearest: relative error below 2^-63.
struct PowerOfTen {
    uint64_t mantissa;
    int exponent;
};

// Decimal exponents reach from 10^-324 to 10^308, so q = precision - k
// reaches from -308 to 324 + kMaxFastExponentialPrecision.
constexpr int kLowestPower = -310;
constexpr int kHighestPower = 324 + kMaxFastExponentialPrecision + 2;

// A 128-bit mantissa (top bit set) times 2^exponent: the tables' working
// precision, so that the truncations of the few hundred steps stay far
// below the 64 bits kept.
struct Wide {
    uint64_t high, low;
    int exponent;
};

constexpr Wide TimesTen(Wide x)
{
    const u128 low = static_cast<u128>(x.low) * 10;
    const u128 high = static_cast<u128>(x.high) * 10 + (low >> 64);
    const uint64_t top = static_cast<uint64_t>(high >> 64);  // 1 to 9
    const int shift = 64 - std::countl_zero(top);
    const uint64_t middle = static_cast<uint64_t>(high), bottom = static_cast<uint64_t>(low);
    return {(top << (64 - shift)) | (middle >> shift), (middle << (64 - shift)) | (bottom >> shift),
            x.exponent + shift};
}

constexpr Wide TenthOf(Wide x)
{
    // x * 2^64 / 10 by long division over three 64-bit limbs.
    const uint64_t top = x.high / 10;
    u128 rest = (static_cast<u128>(x.high % 10) << 64) | x.low;
    const uint64_t middle = static_cast<uint64_t>(rest / 10);
    rest = (rest % 10) << 64;
    const uint64_t bottom = static_cast<uint64_t>(rest / 10);
    const int shift = std::countl_zero(top);  // 3 or 4
    return {(top << shift) | (middle >> (64 - shift)), (middle << shift) | (bottom >> (64 - shift)),
            x.exponent - shift};
}

constexpr PowerOfTen Rounded(Wide x)
{
    uint64_t mantissa = x.high + (x.low >> 63);
    int exponent = x.exponent + 64;
    if (mantissa == 0) {  // rounded up to 2^64
        mantissa = uint64_t{1} << 63;
        ++exponent;
    }
    return {mantissa, exponent};
}

constexpr auto kPowersOfTen = [] {
    std::array<PowerOfTen, kHighestPower - kLowestPower + 1> table{};
    Wide up{uint64_t{1} << 63, 0, -127};
    Wide down = up;
    for (int q = 0; q <= kHighestPower; ++q, up = TimesTen(up)) table[q - kLowestPower] = Rounded(up);
    for (int q = 0; q >= kLowestPower; --q, down = TenthOf(down)) table[q - kLowestPower] = Rounded(down);
    return table;
}();

static_assert(kPowersOfTen[0 - kLowestPower].mantissa == uint64_t{1} << 63);
static_assert(kPowersOfTen[0 - kLowestPower].exponent == -63);
static_assert(kPowersOfTen[1 - kLowestPower].mantissa == uint64_t{10} << 60);
static_assert(kPowersOfTen[19 - kLowestPower].mantissa == 10000000000000000000u);
static_assert(kPowersOfTen[-1 - kLowestPower].mantissa == 0xCCCCCCCCCCCCCCCDu);  // 0.1 = 0x1.999...ap-4
static_assert(kPowersOfTen[-1 - kLowestPower].exponent == -67);

constexpr auto kSmallPowers = [] {
    std::array<uint64_t, kMaxFastExponentialPrecision + 2> table{};
    uint64_t power = 1;
    for (uint64_t& entry : table) {
        entry = power;
        power *= 10;
    }
    return table;
}();

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the `count` decimal digits of `value` (leading zeros included) ending
// at `end`, eight at a time in 32-bit arithmetic, then in pairs.
[[gnu::always_inline]] inline void WriteDigits(char* end, uint64_t value, int count)
{
    for (; count > 8; count -= 8, end -= 8) {
        uint32_t eight = static_cast<uint32_t>(value % 100000000);
        value /= 100000000;
        for (int pair = 0; pair < 4; ++pair, eight /= 100)
            std::memcpy(end - 2 * (pair + 1), kDigitPairs + 2 * (eight % 100), 2);
    }
    uint32_t rest = static_cast<uint32_t>(value);
    for (; count >= 2; count -= 2, rest /= 100) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * (rest % 100), 2);
    }
    if (count == 1) *--end = static_cast<char>('0' + rest);
}

// The significand and decimal exponent of "%.<precision>e" of a positive,
// finite, non-zero value: digits in [10^precision, 10^(precision + 1)).
struct Significand {
    uint64_t digits;
    int exponent;
};

// False when the approximation leaves the rounding undecided.
[[gnu::always_inline]] inline bool RoundToDigits(double value, int precision, Significand* result)
{
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>(bits >> 52);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int binary_exponent = -1074;  // value = mantissa * 2^binary_exponent
    if (biased != 0) {
        mantissa |= uint64_t{1} << 52;
        binary_exponent = biased - 1075;
    }
    // floor(floor(log2 value) * log10(2)), exact for these exponents: the
    // decimal exponent or one less.
    const int log2 = binary_exponent + 63 - std::countl_zero(mantissa);
    int k = (log2 * 1262611) >> 22;
    const uint64_t lowest = kSmallPowers[precision], limit = kSmallPowers[precision + 1];
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int q = precision - k;
        if (q < kLowestPower || q > kHighestPower) return false;
        const PowerOfTen& power = kPowersOfTen[q - kLowestPower];
        // value * 10^q = product * 2^-shift, within product * 2^-63 of it.
        const u128 product = static_cast<u128>(mantissa) * power.mantissa;
        const int shift = -(binary_exponent + power.exponent);
        if (shift <= 1 || shift >= 128) return false;
        const u128 whole = product >> shift;
        if (whole >= limit) {
            ++k;
            continue;
        }
        if (whole < lowest) {
            --k;
            continue;
        }
        const u128 fraction = product - (whole << shift);
        const u128 half = u128{1} << (shift - 1);
        const u128 margin = (product >> 62) + 2;
        if (fraction + margin >= half && fraction <= half + margin) return false;  // near a midpoint
        uint64_t digits = static_cast<uint64_t>(whole) + (fraction > half ? 1 : 0);
        if (digits == limit) {
            digits = lowest;
            ++k;
        }
        *result = {digits, k};
        return true;
    }
    return false;
}

// AppendDecidedExponential, inlined into each caller so that a constant
// precision unrolls the digit loops and folds the powers' lookups.
[[gnu::always_inline]] inline char* DecidedExponential(char* out, double value, int precision, int width)
{
    Significand rounded;
    if (!RoundToDigits(std::fabs(value), precision, &rounded)) return nullptr;
    const bool negative = std::signbit(value);
    const int exponent_digits = rounded.exponent <= -100 || rounded.exponent >= 100 ? 3 : 2;
    const size_t length = (negative ? 1 : 0) + 1 + static_cast<size_t>(precision > 0 ? precision + 1 : 0) + 2 +
                          static_cast<size_t>(exponent_digits);
    for (size_t column = length; column < ClampedWidth(width); ++column) *out++ = ' ';
    if (negative) *out++ = '-';
    // d.ddd: the leading digit, the point, then the others.
    WriteDigits(out + 1 + precision + (precision > 0 ? 1 : 0), rounded.digits, precision + 1);
    if (precision > 0) {
        out[0] = out[1];
        out[1] = '.';
    }
    out += 1 + precision + (precision > 0 ? 1 : 0);
    *out++ = 'e';
    int exponent = rounded.exponent;
    *out++ = exponent < 0 ? '-' : '+';
    if (exponent < 0) exponent = -exponent;
    if (exponent >= 100) {
        *out++ = static_cast<char>('0' + exponent / 100);
        exponent %= 100;
    }
    std::memcpy(out, kDigitPairs + 2 * exponent, 2);
    return out + 2;
}

}  // namespace

char* AppendDecidedExponential(char* out, double value, int precision, int width)
{
    if (precision < 0 || precision > kMaxFastExponentialPrecision || !std::isfinite(value) || value == 0)
        return nullptr;
    // The precisions the reports print.
    switch (precision) {
    case 3: return DecidedExponential(out, value, 3, width);
    case 5: return DecidedExponential(out, value, 5, width);
    case 6: return DecidedExponential(out, value, 6, width);
    default: return DecidedExponential(out, value, precision, width);
    }
}

}  // namespace fitcore
