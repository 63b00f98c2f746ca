// exponential_text.h - "%e" numbers for the reports' printf lines, written by
// the library's formatter as the tables are: the same text under every C
// runtime (some write a NaN without its sign).
#pragma once

#include <string>

#include <fitcore/number_format.h>

// The text of "%<width>.<precision>e" for `value`.
inline std::string ExponentialText(double value, int precision = 6, int width = 0)
{
    char text[fitcore::MaxExponentialLength(fitcore::kMaxPrecision, fitcore::kMaxWidth)];
    return {text, fitcore::AppendExponential(text, value, precision, width)};
}
