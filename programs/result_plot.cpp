// result_plot.cpp - the points and the fitted curve in gnuplot, until the user
// types a space, or drawn into a file.
#include "result_plot.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "fit_shell.h"
#include <fitcore/gnuplot_connection.h>
#include <fitcore/number_format.h>
#include <fitcore/platform.h>
#include <fitcore/replacement_file.h>

namespace {

constexpr int kDrawingWaitMs = 3000;
// After the user's space, gnuplot gets this long to end before it is stopped.
constexpr int kClosingWaitMs = 5000;

// Reads single characters until a space. End of input ends the wait too,
// so a program fed from a file or a closed terminal never spins here.
void WaitForSpace()
{
    std::puts("Press space (and enter) to continue...");
    FlushOutput();
    int c;
    do {
        c = std::getchar();
    } while (c != ' ' && c != EOF);
}

// The plot of the points, which the curve then joins. 0 sent; 1 refused
// (no points, no data file).
int PlotPoints(gnuplot_connection* plot, Point* points, int32_t count, const AxisLabels& labels)
{
    gnuplot_setstyle(plot, "points");
    gnuplot_set_xlabel(plot, labels.x.c_str());
    gnuplot_set_ylabel(plot, labels.y.c_str());
    return gnuplot_plot_Point_xy(plot, points, count, "Points");
}

// Sends the curve to a connection whose points are plotted.
using CurveSender = std::function<void(gnuplot_connection*)>;

void PlotCurve(gnuplot_connection* plot, const std::string& curve_command)
{
    // The command ends with its own line end; gnuplot_cmd adds another.
    gnuplot_cmd(plot, "%s", curve_command.c_str());
}

CurveSender CommandSender(const std::string& curve_command)
{
    return [&curve_command](gnuplot_connection* plot) { PlotCurve(plot, curve_command); };
}

CurveSender SampleSender(const SampledCurve& curve)
{
    return [&curve](gnuplot_connection* plot) {
        if (curve.x.empty()) return;
        gnuplot_setstyle(plot, "lines");
        gnuplot_plot_xy(plot, curve.x.data(), curve.y.data(), static_cast<int>(curve.x.size()), curve.title.c_str());
    };
}

// Every digit of the double, so gnuplot draws the curve of the report.
std::string Exact(double value)
{
    char text[fitcore::kMaxExactGeneralLength];
    return {text, fitcore::AppendExactGeneral(text, value)};
}

// "x-c", or "x+c" for a negative c.
std::string Shifted(double centre)
{
    return centre < 0 ? "x+" + Exact(-centre) : "x-" + Exact(centre);
}

}  // namespace

std::string PolynomialCurveCommand(const fitcore::Polynomial& polynomial)
{
    // Over x far from zero, powers of x would cancel in gnuplot's arithmetic:
    // the curve then goes in the centred variable the fit was solved in.
    const fitcore::Centring& centring = polynomial.centring;
    const bool in_x = centring.IsIdentity();
    const std::string variable = in_x ? "x" : "((" + Shifted(centring.centre) + ")/" + Exact(centring.scale) + ")";
    const double* coefficients = in_x ? polynomial.coefficients : polynomial.centred;
    std::string command = "replot ";
    for (int k = 0; k <= polynomial.order; ++k)
        command += "+(" + Exact(coefficients[k]) + ")*(" + variable + "**" + std::to_string(k) + ")";
    return command + " title 'Polynomial fit' with lines\n";
}

std::string LineCurveCommand(const fitcore::Line& line)
{
    // b*x+a, or b*(x-c)+v through the line's value v at the centre c.
    const bool in_x = line.centre == 0;
    const std::string variable = in_x ? "x" : "(" + Shifted(line.centre) + ")";
    const double value = in_x ? line.intercept : line.centre_value;
    return "replot " + Exact(line.slope) + "*" + variable + "+" + Exact(value) + " title 'Linear fit' with lines\n";
}

namespace {

void ShowPlot(Point* points, int32_t count, const CurveSender& send_curve, const AxisLabels& labels)
{
    DiscardRestOfAnsweredLine();
    gnuplot_connection* plot = gnuplot_init();
    if (plot == nullptr) {
        std::puts("GNUPlot failed to start.  Plotting failed.");
        return;
    }
    PlotPoints(plot, points, count, labels);
    send_curve(plot);
    // A drawing on the console comes before the prompt, not over it; a slow
    // gnuplot delays the prompt by a few seconds at most.
    gnuplot_wait_delivered(plot, kDrawingWaitMs);
    WaitForSpace();
    gnuplot_close_within(plot, kClosingWaitMs);
}

int DrawPlot(Point* points, int32_t count, const CurveSender& send_curve, const char* file, const char* terminal,
             int timeout_seconds, std::string* reason, const AxisLabels& labels)
{
    // gnuplot draws into a new file beside the target, which takes the
    // target's place only once gnuplot has drawn it.
    fitcore::ReplacementFile output;
    if (!fitcore::BeginReplacement(file, &output, reason)) return 1;
    auto failed = [&](const std::string& why) {
        fitcore::AbandonReplacement(&output);
        *reason = why;
        return 1;
    };
    if (gnuplot_get_program_path("pgnuplot.exe") == nullptr) return failed("pgnuplot.exe was not found");

    // The front-end draws the connection's "windows" terminal into the
    // output these name.
    fitcore::SetEnvironmentValue("FITCORE_GNUPLOT_TERMINAL", terminal);
    fitcore::SetEnvironmentValue("FITCORE_GNUPLOT_OUTPUT", fitcore::GnuplotFileName(output.temporary.c_str()).c_str());
    gnuplot_connection* plot = gnuplot_init();
    if (plot == nullptr) return failed("gnuplot could not be started");
    output.writer_pid = plot->child_pid;
    const int timeout_ms = timeout_seconds * 1000;
    if (PlotPoints(plot, points, count, labels) != 0) {
        gnuplot_close_within(plot, timeout_ms);
        return failed(count > 0 ? "the points could not be handed to gnuplot" : "there are no points");
    }
    send_curve(plot);
    if (gnuplot_close_within(plot, timeout_ms) != 0)
        return failed("gnuplot did not finish within " + std::to_string(timeout_seconds) +
                      (timeout_seconds == 1 ? " second" : " seconds"));
    if (!fitcore::ReplacementWritten(output)) return failed("gnuplot did not draw it");
    return fitcore::CommitReplacement(&output, reason) ? 0 : 1;
}

}  // namespace

void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command, const AxisLabels& labels)
{
    ShowPlot(points, count, CommandSender(curve_command), labels);
}

void ShowResultPlot(Point* points, int32_t count, const SampledCurve& curve, const AxisLabels& labels)
{
    ShowPlot(points, count, SampleSender(curve), labels);
}

int DrawResultPlot(Point* points, int32_t count, const std::string& curve_command, const char* file,
                   const char* terminal, int timeout_seconds, std::string* reason, const AxisLabels& labels)
{
    return DrawPlot(points, count, CommandSender(curve_command), file, terminal, timeout_seconds, reason, labels);
}

int DrawResultPlot(Point* points, int32_t count, const SampledCurve& curve, const char* file, const char* terminal,
                   int timeout_seconds, std::string* reason, const AxisLabels& labels)
{
    return DrawPlot(points, count, SampleSender(curve), file, terminal, timeout_seconds, reason, labels);
}
