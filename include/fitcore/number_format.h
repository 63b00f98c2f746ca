// number_format.h - printf-identical text for the numeric conversions that
// the reports and data files use, written straight into a caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fitcore {

// Each function writes the text that snprintf would produce for the named
// conversion in the C locale (same digits, same rounding, "nan", "-nan",
// "inf", "-inf", two or three exponent digits, blanks on the left up to
// `width`) at `out`, adds no NUL, and returns the end of what it wrote. The
// caller provides at least the matching Max...Length bytes.
//
// Precision is 0 to kMaxPrecision and width 0 to kMaxWidth; larger values
// are clamped to those limits.

constexpr int kMaxPrecision = 40;
constexpr int kMaxWidth = 64;

constexpr size_t ClampedWidth(int width)
{
    return width < 0 ? 0 : width > kMaxWidth ? kMaxWidth : static_cast<size_t>(width);
}
constexpr size_t ClampedPrecision(int precision)
{
    return precision < 0 ? 0 : precision > kMaxPrecision ? kMaxPrecision : static_cast<size_t>(precision);
}
constexpr size_t AtLeastWidth(size_t length, int width)
{
    return length > ClampedWidth(width) ? length : ClampedWidth(width);
}

// Sign, one digit, point, the precision's digits and "e+308".
constexpr size_t MaxExponentialLength(int precision = 6, int width = 0)
{
    return AtLeastWidth(ClampedPrecision(precision) + 8, width);
}
// The longest of "-0.0000ddddd" and "-d.dddde+308".
constexpr size_t MaxGeneralLength(int precision = 6)
{
    return ClampedPrecision(precision) + 8;
}
// Sign, up to 309 integer digits, point and the precision's digits.
constexpr size_t MaxFixedLength(int precision = 6)
{
    return ClampedPrecision(precision) + 311;
}
constexpr size_t MaxIntegerLength(int width = 0)
{
    return AtLeastWidth(20, width);
}

// "%<width>.<precision>e", for instance "%e", "%1.6e", "%15.5e".
char* AppendExponential(char* out, double value, int precision = 6, int width = 0);

// "%.<precision>g"; "%g" is precision 6.
char* AppendGeneral(char* out, double value, int precision = 6);

// "%g" when its text reads back as the same double; otherwise "%.<p>g" with
// the fewest significant digits p (7 to 17) whose text does. So no digit of
// a stored value is lost, and a value that "%g" writes exactly keeps "%g"'s
// text.
char* AppendExactGeneral(char* out, double value);

// "%.<precision>f"; "%f" is precision 6.
char* AppendFixed(char* out, double value, int precision = 6);

// "%<width>d" (and "%<width>lld").
char* AppendInteger(char* out, int64_t value, int width = 0);

// A data line of the values, each as AppendExactGeneral writes it: one blank
// between them, a line end after ("%g %g\n" for values that "%g" keeps).
template <typename... Rest>
char* AppendGeneralLine(char* out, double first, Rest... rest)
{
    out = AppendExactGeneral(out, first);
    ((*out++ = ' ', out = AppendExactGeneral(out, rest)), ...);
    *out++ = '\n';
    return out;
}

// Room for one AppendExactGeneral number, and for a line of `values` of them.
constexpr size_t kMaxExactGeneralLength = MaxGeneralLength(17);
constexpr size_t MaxGeneralLineLength(size_t values) { return values * (kMaxExactGeneralLength + 1); }

}  // namespace fitcore
