// property_count.h - sizes of the randomised tests, adjustable for long runs.
#pragma once

#include <cstddef>
#include <cstdlib>

// The default count times FITCORE_PROPERTY_SCALE (a positive number, 1 when unset):
// FITCORE_PROPERTY_SCALE=20 runs twenty times as many cases.
inline size_t PropertyCount(size_t default_count)
{
    const char* scale = std::getenv("FITCORE_PROPERTY_SCALE");
    double factor = scale != nullptr ? std::atof(scale) : 1.0;
    if (!(factor > 0)) factor = 1.0;
    return static_cast<size_t>(static_cast<double>(default_count) * factor) + 1;
}
