// number_format.cpp - printf-identical numeric conversions with std::to_chars.
#include <fitcore/number_format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exponential_digits.h"

// libstdc++'s floating-point std::to_chars with a precision produces exactly
// the digits of printf's correctly rounded "%e", "%f" and "%g" in the C
// locale, including "nan"/"-nan" and "inf"/"-inf". A library without it
// gets snprintf instead, which is slower but writes the same text.
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
#define FITCORE_FLOAT_TO_CHARS 1
#else
#define FITCORE_FLOAT_TO_CHARS 0
#endif

namespace fitcore {
namespace {

// Right-aligns [out, end) in `width` columns with blanks, as printf does.
char* PadLeft(char* out, char* end, int width)
{
    size_t length = static_cast<size_t>(end - out);
    size_t columns = ClampedWidth(width);
    if (length >= columns) return end;
    size_t pad = columns - length;
    std::memmove(out + pad, out, length);
    std::memset(out, ' ', pad);
    return out + columns;
}

// One floating-point conversion ('e', 'f' or 'g') with `precision` digits
// into at most `room` characters; nothing is written when it doesn't fit.
char* Convert(char* out, size_t room, double value, char conversion, int precision)
{
    const int digits = static_cast<int>(ClampedPrecision(precision));
#if FITCORE_FLOAT_TO_CHARS
    const std::chars_format format = conversion == 'e'   ? std::chars_format::scientific
                                     : conversion == 'f' ? std::chars_format::fixed
                                                         : std::chars_format::general;
    auto [end, error] = std::to_chars(out, out + room, value, format, digits);
    return error == std::errc() ? end : out;
#else
    char format[] = {'%', '.', '*', conversion, '\0'};
    char text[MaxFixedLength(kMaxPrecision) + 1];
    int length = std::snprintf(text, sizeof text, format, digits, value);
    if (length < 0 || static_cast<size_t>(length) > room) return out;
    std::memcpy(out, text, static_cast<size_t>(length));
    return out + length;
#endif
}

bool ReadsBackAs(const char* text, const char* end, double value)
{
    char copy[kMaxExactGeneralLength + 1];
    const size_t length = std::min(static_cast<size_t>(end - text), kMaxExactGeneralLength);
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::strtod(copy, nullptr) == value;
}

// The significant digits and the decimal exponent of a number.
struct Decimal {
    bool negative = false;
    char digits[20] = {};
    int count = 0;
    int exponent = 0;
};

// The shortest digits that read back as the finite, non-zero `value`.
Decimal ShortestDecimal(double value)
{
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    Decimal decimal;
    const char* at = text;
    decimal.negative = *at == '-';
    for (at += decimal.negative; *at != 'e'; ++at)
        if (*at != '.') decimal.digits[decimal.count++] = *at;
    std::from_chars(at + 1 + (at[1] == '+'), end, decimal.exponent);
    return decimal;
}

// "%.<precision>g" of a value whose correctly rounded digits to that
// precision are `decimal`'s digits followed by zeros.
char* AppendDecimalAsGeneral(char* out, const Decimal& decimal, int precision)
{
    const int e = decimal.exponent, n = decimal.count;
    if (decimal.negative) *out++ = '-';
    if (e < -4 || e >= precision) {
        *out++ = decimal.digits[0];
        if (n > 1) {
            *out++ = '.';
            out = std::copy(decimal.digits + 1, decimal.digits + n, out);
        }
        *out++ = 'e';
        *out++ = e < 0 ? '-' : '+';
        if (e > -10 && e < 10) *out++ = '0';
        return std::to_chars(out, out + 3, e < 0 ? -e : e).ptr;
    }
    if (e < 0) {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -e - 1, '0');
        return std::copy(decimal.digits, decimal.digits + n, out);
    }
    for (int i = 0; i <= e; ++i) *out++ = i < n ? decimal.digits[i] : '0';
    if (n > e + 1) {
        *out++ = '.';
        out = std::copy(decimal.digits + e + 1, decimal.digits + n, out);
    }
    return out;
}

}  // namespace

char* AppendExactGeneral(char* out, double value)
{
    if (!std::isfinite(value) || value == 0) return AppendGeneral(out, value);
#if FITCORE_FLOAT_TO_CHARS
    // A normal double that is not a power of two has a rounding interval
    // that is symmetric and narrow (below 1e-15 of the value), so rounding it
    // correctly to as many digits as its shortest text has, or to more,
    // gives that text's digits: "%.<p>g" is written from them straight away.
    int exponent = 0;
    if (std::isnormal(value) && std::fabs(std::frexp(value, &exponent)) != 0.5) {
        const Decimal shortest = ShortestDecimal(value);
        return AppendDecimalAsGeneral(out, shortest, std::max(shortest.count, 6));
    }
#endif

    // At a power of two the gap below is half the gap above, and below the
    // normal range the gaps are wide: there the correctly rounded text of
    // the shortest length may miss the value, so each length is tried.
    int precision = 6;
    char* end = AppendGeneral(out, value, precision);
    while (precision < 17 && !ReadsBackAs(out, end, value)) end = AppendGeneral(out, value, ++precision);
    return end;
}

char* AppendExponential(char* out, double value, int precision, int width)
{
    if (char* end = AppendDecidedExponential(out, value, precision, width)) return end;
    return PadLeft(out, Convert(out, MaxExponentialLength(precision), value, 'e', precision), width);
}

char* AppendGeneral(char* out, double value, int precision)
{
    return Convert(out, MaxGeneralLength(precision), value, 'g', precision);
}

char* AppendFixed(char* out, double value, int precision)
{
    return Convert(out, MaxFixedLength(precision), value, 'f', precision);
}

char* AppendInteger(char* out, int64_t value, int width)
{
    char* end = std::to_chars(out, out + MaxIntegerLength(), value).ptr;
    return PadLeft(out, end, width);
}

}  // namespace fitcore
