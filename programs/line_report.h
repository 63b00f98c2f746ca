// line_report.h - the "Linear fit" report of veldafit and sorrafit.
#pragma once

#include <cstdint>

#include <fitcore/linefit.h>
#include <fitcore/point.h>
#include <fitcore/pcpfile.h>

#include "fit_shell.h"

// Writes the "Linear fit" report and the per-point table to standard output.
void PrintLineReport(const LineStatistics& stats, const Point* points, int32_t count);

// The end of veldafit's and sorrafit's run: the report (or with --json the
// results) of the fitted line and its statistics, with --stats the
// statistics block of the unweighted line, then the plot the options ask
// for. `json_inference`: the JSON carries the inference of the unweighted
// line too. The exit status: 0, or 1 when the results or the plot failed.
int ReportAndPlotLine(const FitRun& run, const char* name, PCPFile* file, const fitcore::Line& line,
                      const LineStatistics& stats, bool json_inference);
