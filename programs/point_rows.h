// point_rows.h - the reports' point tables of tab-separated "%e" values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>
#include <fitcore/point.h>

#include "console_io.h"

// For every point, the row "%d" (its number from 1) followed by "\t%e" for
// each of the N values `values(point)` gives, and a line end: written
// through a large buffer, on two threads for long tables. `values` may be
// called from both threads at once. A failed write is noted for the run's end.
template <std::size_t N, typename Values>
void PrintPointRows(const Point* points, int32_t count, const Values& values)
{
    auto format_row = [&values, points](char* out, std::size_t row) {
        out = fitcore::AppendInteger(out, static_cast<int64_t>(row) + 1);
        for (double value : std::array<double, N>(values(points[row]))) {
            *out++ = '\t';
            out = fitcore::AppendExponential(out, value, 6, 1);
        }
        *out++ = '\n';
        return out;
    };
    constexpr std::size_t kMaxRow = fitcore::MaxIntegerLength() + N * (1 + fitcore::MaxExponentialLength(6, 1)) + 1;
    fitcore::OutputBuffer out(stdout);
    fitcore::AppendRows(out, count > 0 ? static_cast<std::size_t>(count) : 0, kMaxRow, format_row);
    if (!out.Flush()) NoteFailedWrite(out.error());
}
