// line_report.h - the "Linear fit" report of veldafit and sorrafit.
#pragma once

#include <cstdint>

#include <fitcore/linefit.h>
#include <fitcore/point.h>

// Writes the "Linear fit" report and the per-point table to standard output.
void PrintLineReport(const LineStatistics& stats, const Point* points, int32_t count);
