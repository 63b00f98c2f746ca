// result_plot.cpp - the points and the fitted curve in gnuplot, until the user
// types a space, or drawn into a file.
#include "result_plot.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <span>

#include "console_io.h"
#include <fitcore/gnuplot_connection.h>
#include <fitcore/number_format.h>
#include <fitcore/platform.h>
#include <fitcore/plot.h>
#include <fitcore/replacement_file.h>

namespace {

constexpr int kDrawingWaitMs = 3000;
// After the user's space, gnuplot gets this long to end before it is stopped.
constexpr int kClosingWaitMs = 5000;
// The share of the page's height below the fit that the residual panel takes.
constexpr double kResidualPanelHeight = 0.33;

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

void PlotCurve(gnuplot_connection* plot, const std::string& curve_command)
{
    // The command ends with its own line end; gnuplot_cmd adds another.
    gnuplot_cmd(plot, "%s", curve_command.c_str());
}

// A label as the plain plot's double-quoted "set xlabel" takes it, or
// `fallback` when it holds what would end or escape the quotes.
std::string PlainLabel(const std::string& label, const char* fallback)
{
    if (label.empty() || label.find_first_of("\"`\\") != std::string::npos) return fallback;
    for (char c : label)
        if (static_cast<unsigned char>(c) < 0x20) return fallback;
    return label;
}

// Draws the picture on an open connection. 0 sent; 1 when the points were
// refused (no points, no data file).
using Drawing = std::function<int(gnuplot_connection*)>;

// Sends the curve of the plain picture, after the points.
using CurveSender = std::function<void(gnuplot_connection*)>;

CurveSender CommandSender(const std::string& curve_command)
{
    return [curve_command](gnuplot_connection* plot) { PlotCurve(plot, curve_command); };
}

CurveSender SampleSender(const SampledCurve& curve)
{
    return [curve](gnuplot_connection* plot) {
        if (curve.x.empty()) return;
        gnuplot_setstyle(plot, "lines");
        gnuplot_plot_xy(plot, curve.x.data(), curve.y.data(), static_cast<int>(curve.x.size()), curve.title.c_str());
    };
}

// The plain picture: the points, then the curve added to them; without
// points the curve is sent only when `always_curve` is set.
Drawing PlainDrawing(Point* points, int32_t count, const CurveSender& send_curve, bool always_curve,
                     const AxisLabels& labels)
{
    return [=](gnuplot_connection* plot) {
        const int refused = PlotPoints(plot, points, count, labels);
        if (refused == 0 || always_curve) send_curve(plot);
        return refused;
    };
}

// The top panel, or the whole picture: the band, the points (with their
// error bars) and the curve. 1, with nothing drawn, when the points are refused.
int DrawFitPanel(fitcore::Plot& plot, std::span<const Point> points, const ResultCurve& curve,
                 const PictureOptions& picture)
{
    const ResultBand& band = picture.band;
    if (!band.x.empty()) plot.add_band(band.x, band.low, band.high, band.title);
    if (picture.error_bars ? plot.add_error_bars(points, "Points") : plot.add_points(points, "Points")) return 1;
    // A long key entry goes on several lines of the key, one after another.
    const std::string& title = picture.curve_title.empty() ? curve.title : picture.curve_title;
    const std::size_t first_end = title.find('\n');
    if (!curve.expression.empty())
        plot.add_curve(curve.expression, title.substr(0, first_end));
    else if (!curve.samples.x.empty())
        plot.add_line(curve.samples.x, curve.samples.y, title.substr(0, first_end));
    for (std::size_t start = first_end; start != std::string::npos;) {
        const std::size_t end = title.find('\n', start + 1);
        plot.add_key_text(title.substr(start + 1, end == std::string::npos ? end : end - start - 1));
        start = end;
    }
    plot.draw();
    return 0;
}

// The panel below the fit: y - fit of every point over the same x range, and
// the zero line, named by the axis label alone. Its y axis is always linear,
// since residuals change sign.
void DrawResidualPanel(fitcore::Plot& plot, std::span<const Point> points, const PictureOptions& picture)
{
    plot.command("unset title");
    plot.keep_x_range();
    if (picture.log_y) plot.log_axes(picture.log_x, false);
    plot.axis_labels(picture.x_label, "y - fit");
    plot.panel(0, kResidualPanelHeight);
    plot.residual_tics(points, picture.error_bars);
    plot.add_residuals(points, "", picture.error_bars);
    plot.add_curve("0", "");
    plot.draw();
}

// Any picture but the plain one; every text shown as written, in UTF-8.
Drawing PictureDrawing(Point* points, int32_t count, const ResultCurve& curve, const PictureOptions& picture)
{
    return [=](gnuplot_connection* connection) {
        fitcore::Plot plot(connection);
        const std::span<const Point> data(points, count > 0 ? static_cast<size_t>(count) : 0);
        plot.command("set encoding utf8");
        // The x range of the data and a little room at both ends, for the
        // points there and their error bars.
        plot.command("set autoscale xfix");
        plot.command("set offsets graph 0.02, graph 0.02, 0, 0");
        // An equation is too long for a key inside the plot, over the points.
        if (!picture.curve_title.empty()) plot.command("set key bmargin left Left reverse vertical maxcols 1 font ',9'");
        if (!picture.title.empty()) plot.title(picture.title);
        plot.axis_labels(picture.residuals ? "" : picture.x_label, picture.y_label);
        if (picture.log_x || picture.log_y) plot.log_axes(picture.log_x, picture.log_y);
        if (picture.residuals) {
            plot.begin_panels();
            plot.panel(kResidualPanelHeight, 1 - kResidualPanelHeight);
        }
        const int refused = DrawFitPanel(plot, data, curve, picture);
        if (picture.residuals && refused == 0) DrawResidualPanel(plot, data, picture);
        if (picture.residuals) plot.end_panels();
        plot.release();
        return refused;
    };
}

Drawing DrawingFor(Point* points, int32_t count, const ResultCurve& curve, const PictureOptions& picture,
                   bool always_curve)
{
    if (IsPlainPicture(picture))
        return PlainDrawing(points, count,
                            curve.expression.empty() ? SampleSender(curve.samples) : CommandSender(CurveCommand(curve)),
                            always_curve, {PlainLabel(picture.x_label, "x"), PlainLabel(picture.y_label, "y")});
    return PictureDrawing(points, count, curve, picture);
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

ResultCurve PolynomialCurve(const fitcore::Polynomial& polynomial)
{
    // Over x far from zero, powers of x would cancel in gnuplot's arithmetic:
    // the curve then goes in the centred variable the fit was solved in.
    const fitcore::Centring& centring = polynomial.centring;
    const bool in_x = centring.IsIdentity();
    const std::string variable = in_x ? "x" : "((" + Shifted(centring.centre) + ")/" + Exact(centring.scale) + ")";
    const double* coefficients = in_x ? polynomial.coefficients : polynomial.centred;
    std::string expression;
    for (int k = 0; k <= polynomial.order; ++k)
        expression += "+(" + Exact(coefficients[k]) + ")*(" + variable + "**" + std::to_string(k) + ")";
    return {expression, "Polynomial fit", polynomial.order, {}};
}

ResultCurve LineCurve(const fitcore::Line& line)
{
    // b*x+a, or b*(x-c)+v through the line's value v at the centre c.
    const bool in_x = line.centre == 0;
    const std::string variable = in_x ? "x" : "(" + Shifted(line.centre) + ")";
    const double value = in_x ? line.intercept : line.centre_value;
    return {Exact(line.slope) + "*" + variable + "+" + Exact(value), "Linear fit", 1, {}};
}

ResultCurve SampledResultCurve(const SampledCurve& curve) { return {"", curve.title, 0, curve}; }

std::string CurveCommand(const ResultCurve& curve)
{
    return "replot " + curve.expression + " title '" + curve.title + "' with lines\n";
}

std::string PolynomialCurveCommand(const fitcore::Polynomial& polynomial)
{
    return CurveCommand(PolynomialCurve(polynomial));
}

std::string LineCurveCommand(const fitcore::Line& line) { return CurveCommand(LineCurve(line)); }

PictureOptions PictureFor(const CommandLine& command, const AxisLabels& axes)
{
    PictureOptions picture;
    picture.error_bars = command.error_bars;
    picture.residuals = command.residuals;
    if (command.title != nullptr) picture.title = command.title;
    picture.x_label = command.x_label != nullptr ? command.x_label : axes.x;
    picture.y_label = command.y_label != nullptr ? command.y_label : axes.y;
    picture.labels_chosen = command.x_label != nullptr || command.y_label != nullptr;
    picture.log_x = command.log_x;
    picture.log_y = command.log_y;
    return picture;
}

bool IsPlainPicture(const PictureOptions& picture)
{
    return !picture.error_bars && !picture.residuals && picture.title.empty() && !picture.labels_chosen &&
           !picture.log_x && !picture.log_y && picture.curve_title.empty() &&
           picture.band.x.empty();
}

namespace {

void Show(const Drawing& draw)
{
    DiscardRestOfAnsweredLine();
    gnuplot_connection* plot = gnuplot_init();
    if (plot == nullptr) {
        std::puts("GNUPlot failed to start.  Plotting failed.");
        return;
    }
    draw(plot);
    // A drawing on the console comes before the prompt, not over it; a slow
    // gnuplot delays the prompt by a few seconds at most.
    gnuplot_wait_delivered(plot, kDrawingWaitMs);
    WaitForSpace();
    gnuplot_close_within(plot, kClosingWaitMs);
}

int DrawInto(const Drawing& draw, int32_t count, const char* file, const char* terminal, int timeout_seconds,
             std::string* reason)
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
    const bool handed = draw(plot) == 0;
    const bool ended = gnuplot_close_within(plot, timeout_ms) == 0;
    output.writer_pid = 0;  // reaped: its process group's number may be another's now
    if (!handed) return failed(count > 0 ? "the points could not be handed to gnuplot" : "there are no points");
    if (!ended)
        return failed("gnuplot did not finish within " + std::to_string(timeout_seconds) +
                      (timeout_seconds == 1 ? " second" : " seconds"));
    if (!fitcore::ReplacementWritten(output)) return failed("gnuplot did not draw it");
    return fitcore::CommitReplacement(&output, reason) ? 0 : 1;
}

}  // namespace

void ShowResultPlot(Point* points, int32_t count, const std::string& curve_command)
{
    Show(PlainDrawing(points, count, CommandSender(curve_command), true, {}));
}

void ShowResultPicture(Point* points, int32_t count, const ResultCurve& curve, const PictureOptions& picture)
{
    Show(DrawingFor(points, count, curve, picture, true));
}

int DrawResultPicture(Point* points, int32_t count, const ResultCurve& curve, const PictureOptions& picture,
                      const char* file, const char* terminal, int timeout_seconds, std::string* reason)
{
    return DrawInto(DrawingFor(points, count, curve, picture, false), count, file, terminal, timeout_seconds,
                    reason);
}
