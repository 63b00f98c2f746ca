// short_decimal.h - the common plain decimal numbers of data files, converted
// with one exact floating-point operation.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "text_chars.h"

namespace fitcore {

// Adds the run of decimal digits at `at` to *digits (times ten per digit)
// and returns the end of the run. Where eight bytes can be read, a run of up
// to eight digits is converted at once: the bytes are told digit or not all
// together, and those before the first non-digit are taken.
inline const char* TakeDigits(const char* at, const char* last, uint64_t* digits)
{
    static constexpr uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    uint64_t value = *digits;
    if constexpr (std::endian::native == std::endian::little) {
        while (last - at >= 8) {
            uint64_t eight;
            std::memcpy(&eight, at, 8);
            // A byte '0' to '9' has the high half 3, and adding 6 keeps it below
            // 0x40: such bytes give 0 here, all others not (a carry out of a
            // byte of 0xFA or more changes only bytes after it).
            const uint64_t other =
                ((eight & 0xF0F0F0F0F0F0F0F0u) | (((eight + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) ^
                0x3333333333333333u;
            const int run = other == 0 ? 8 : std::countr_zero(other) / 8;
            if (run == 0) break;
            // The digit values, the first text byte the lowest; the bytes after
            // the run are shifted out and zeros, leading zero digits, shifted in.
            eight -= 0x3030303030303030u;
            eight <<= 8 * (8 - run);
            eight = (eight * 10 + (eight >> 8)) & 0x00FF00FF00FF00FFu;       // pairs
            eight = (eight * 100 + (eight >> 16)) & 0x0000FFFF0000FFFFu;     // fours
            eight = (eight * 10000 + (eight >> 32)) & 0x00000000FFFFFFFFu;   // all eight
            value = value * kScale[run] + eight;
            at += run;
            if (run < 8) {
                *digits = value;
                return at;
            }
        }
    }
    while (at < last && IsDigit(*at)) value = value * 10 + static_cast<unsigned>(*at++ - '0');
    *digits = value;
    return at;
}

// Reads "[-]digits[.digits][(e|E)[+|-]digits]" at `at` (text before `last`)
// when its digits (leading zeros counted) are at most 19 and form an integer
// w <= 2^53, and its power of ten p is within -22 to 22: w and 10^|p| are
// then exact doubles, so the one correctly rounded division or
// multiplication gives the correctly rounded value, the same as strtod's and
// std::from_chars'. Returns the end of the number, whatever follows it, and
// sets *value; null for any other text, which the caller converts itself.
inline const char* ReadShortDecimalNumber(const char* at, const char* last, double* value)
{
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const bool negative = at < last && *at == '-';
    at += negative ? 1 : 0;
    uint64_t digits = 0;
    const char* start = at;
    at = TakeDigits(at, last, &digits);
    int exponent = 0;
    long count = at - start;
    if (at < last && *at == '.') {
        const char* fraction = ++at;
        at = TakeDigits(at, last, &digits);
        exponent = -static_cast<int>(at - fraction);
        count += at - fraction;
    }
    if (count == 0 || count > 19) return nullptr;
    if (at < last && (*at == 'e' || *at == 'E')) {
        const char* power = at + 1;
        const bool below = power < last && *power == '-';
        if (power < last && (*power == '-' || *power == '+')) ++power;
        if (power == last || !IsDigit(*power)) return nullptr;
        int written = 0;
        while (power < last && IsDigit(*power)) {
            if (written < 1000) written = written * 10 + (*power - '0');
            ++power;
        }
        exponent += below ? -written : written;
        at = power;
    }
    if (digits > (uint64_t{1} << 53) || exponent < -22 || exponent > 22) return nullptr;
    const double whole = static_cast<double>(digits);
    const double magnitude = exponent < 0 ? whole / kPowers[-exponent] : whole * kPowers[exponent];
    *value = negative ? -magnitude : magnitude;
    return at;
}

// ReadShortDecimalNumber for a number followed by white space; null also
// when the text ends with the number (it may go on in the next block).
inline const char* ReadShortDecimal(const char* at, const char* last, double* value)
{
    double parsed;
    const char* end = ReadShortDecimalNumber(at, last, &parsed);
    if (end == nullptr || end == last || !IsSpace(*end)) return nullptr;
    *value = parsed;
    return end;
}

}  // namespace fitcore
