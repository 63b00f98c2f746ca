// number_format.cpp - printf-identical numeric conversions with std::to_chars.
#include "number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// libstdc++'s floating-point std::to_chars with a precision produces exactly
// the digits of printf's correctly rounded "%e", "%f" and "%g" in the C
// locale, including "nan"/"-nan" and "inf"/"-inf". A library without it
// gets snprintf instead, which is slower but writes the same text.
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
#define FITCORE_FLOAT_TO_CHARS 1
#else
#define FITCORE_FLOAT_TO_CHARS 0
#endif

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

// Significant digits of the shortest text that reads back as the finite
// `value`; 6 when that can't be had from the library.
int ShortestDigits(double value)
{
#if FITCORE_FLOAT_TO_CHARS
    char text[32];
    char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    return static_cast<int>(std::count_if(text, std::find(text, end, 'e'),
                                          [](char c) { return c >= '0' && c <= '9'; }));
#else
    (void)value;
    return 6;
#endif
}

}  // namespace

char* AppendExactGeneral(char* out, double value)
{
    if (!std::isfinite(value) || value == 0) return AppendGeneral(out, value);
    int precision = std::max(ShortestDigits(value), 6);
    char* end = AppendGeneral(out, value, precision);
    // The correctly rounded text of that many digits reads back as the value
    // except, rarely, at a power of two (whose gap to the next lower double is
    // half the gap above), and always where the shortest length is unknown.
    int exponent = 0;
    const bool check = std::fabs(std::frexp(value, &exponent)) == 0.5 || !FITCORE_FLOAT_TO_CHARS;
    while (check && precision < 17 && !ReadsBackAs(out, end, value)) end = AppendGeneral(out, value, ++precision);
    return end;
}

char* AppendExponential(char* out, double value, int precision, int width)
{
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
