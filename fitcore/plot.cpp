// plot.cpp - the gnuplot connection as a C++ object.
#include <fitcore/plot.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

#include "gnuplot_text.h"


namespace fitcore {
namespace {

// The title argument of the plain operations: null for no title clause.
const char* TitleOrNull(const std::string& title) { return title.empty() ? nullptr : title.c_str(); }

// A count the plain operations take: 0 (refused) when none or too many.
int CountOf(std::size_t size) { return size > INT_MAX ? 0 : static_cast<int>(size); }

// The title clause of an element: the text as it stands, or none.
std::string TitleClause(const std::string& title)
{
    return title.empty() ? "notitle" : "title " + GnuplotString(title) + " noenhanced";
}

// A number as gnuplot reads it back, for the panel geometry.
std::string Fraction(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

Plot::Plot() : connection_(gnuplot_init()) {}

Plot::Plot(gnuplot_connection* connection) : connection_(connection) {}

gnuplot_connection* Plot::release()
{
    bands_.clear();
    elements_.clear();
    return std::exchange(connection_, nullptr);
}

Plot::~Plot() { gnuplot_close(connection_); }

Plot::Plot(Plot&& other) noexcept
    : connection_(std::exchange(other.connection_, nullptr)),
      bands_(std::move(other.bands_)),
      elements_(std::move(other.elements_))
{
}

Plot& Plot::operator=(Plot&& other) noexcept
{
    if (this != &other) {
        gnuplot_close(connection_);
        connection_ = std::exchange(other.connection_, nullptr);
        bands_ = std::move(other.bands_);
        elements_ = std::move(other.elements_);
    }
    return *this;
}

int Plot::x(std::span<const double> values, const std::string& title)
{
    const int count = CountOf(values.size());
    if (!started() || count == 0) return 1;
    const int plots = connection_->plot_count;
    gnuplot_plot_x(connection_, values.data(), count, TitleOrNull(title));
    return connection_->plot_count > plots ? 0 : 1;
}

int Plot::xy(std::span<const double> x, std::span<const double> y, const std::string& title)
{
    const int count = CountOf(x.size());
    if (!started() || count == 0 || x.size() != y.size()) return 1;
    const int plots = connection_->plot_count;
    gnuplot_plot_xy(connection_, x.data(), y.data(), count, TitleOrNull(title));
    return connection_->plot_count > plots ? 0 : 1;
}

int Plot::points(std::span<const Point> points, const std::string& title)
{
    const int count = CountOf(points.size());
    if (!started() || count == 0) return 1;
    return gnuplot_plot_Point_xy(connection_, points.data(), count, TitleOrNull(title));
}

void Plot::command(const std::string& line)
{
    if (started()) gnuplot_cmd(connection_, "%s", line.c_str());
}

void Plot::style(const std::string& name)
{
    if (started()) gnuplot_setstyle(connection_, name.c_str());
}

void Plot::labels(const std::string& x, const std::string& y)
{
    if (!started()) return;
    gnuplot_set_xlabel(connection_, x.c_str());
    gnuplot_set_ylabel(connection_, y.c_str());
}

void Plot::title(const std::string& text) { command("set title " + GnuplotString(text) + " noenhanced"); }

void Plot::axis_labels(const std::string& x, const std::string& y)
{
    command("set xlabel " + GnuplotString(x) + " noenhanced");
    command("set ylabel " + GnuplotString(y) + " noenhanced");
}

void Plot::log_axes(bool x, bool y)
{
    command(x ? "set logscale x" : "unset logscale x");
    command(y ? "set logscale y" : "unset logscale y");
}

int Plot::add_data(const double* const* columns, int column_count, std::size_t count, const std::string& title,
                   const char* with)
{
    const int rows = CountOf(count);
    char name[GNUPLOT_TEMP_NAME_SIZE];
    std::string quoted;
    if (!started() || rows == 0 || gnuplot_write_columns(connection_, columns, column_count, rows, name) != 0 ||
        !QuoteText(name, "the data file name", &quoted))
        return 1;
    elements_.push_back(quoted + " " + TitleClause(title) + " with " + with);
    return 0;
}

int Plot::add_points(std::span<const Point> points, const std::string& title)
{
    return add_point_columns(points, title, false);
}

int Plot::add_error_bars(std::span<const Point> points, const std::string& title)
{
    return add_point_columns(points, title, true);
}

int Plot::add_point_columns(std::span<const Point> points, const std::string& title, bool sigma)
{
    std::vector<double> x, y, s;
    for (const Point& point : points) {
        x.push_back(point.x);
        y.push_back(point.y);
        if (sigma) s.push_back(point.sigma);
    }
    const double* columns[] = {x.data(), y.data(), s.data()};
    return add_data(columns, sigma ? 3 : 2, points.size(), title, sigma ? "yerrorbars" : "points");
}

int Plot::add_residuals(std::span<const Point> points, const std::string& title, bool error_bars)
{
    std::vector<Point> residuals(points.begin(), points.end());
    for (Point& point : residuals) point.y -= point.fit;
    return add_point_columns(residuals, title, error_bars);
}

void Plot::residual_tics(std::span<const Point> points, bool error_bars)
{
    double low = 0, high = 0;  // the zero line is drawn too
    for (const Point& point : points) {
        const double residual = point.y - point.fit;
        const double bar = error_bars ? std::fabs(point.sigma) : 0;
        if (!std::isfinite(residual) || !std::isfinite(bar)) continue;
        low = std::min(low, residual - bar);
        high = std::max(high, residual + bar);
    }
    const double rough = (high - low) / 4;
    if (!(rough > 0) || !std::isfinite(rough)) return;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (double multiple : {1.0, 2.0, 5.0}) {
        if (rough <= multiple * power) {
            step = multiple * power;
            break;
        }
    }
    if (!(step > 0) || !std::isfinite(step)) return;
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", step);
    command(std::string("set ytics ") + text);
}

int Plot::add_band(std::span<const double> x, std::span<const double> low, std::span<const double> high,
                   const std::string& title)
{
    if (low.size() != x.size() || high.size() != x.size()) return 1;
    const double* columns[] = {x.data(), low.data(), high.data()};
    if (add_data(columns, 3, x.size(), title, "filledcurves fillstyle transparent solid 0.25 noborder") != 0)
        return 1;
    bands_.push_back(std::move(elements_.back()));
    elements_.pop_back();
    return 0;
}

int Plot::add_line(std::span<const double> x, std::span<const double> y, const std::string& title)
{
    if (y.size() != x.size()) return 1;
    const double* columns[] = {x.data(), y.data()};
    return add_data(columns, 2, x.size(), title, "lines");
}

void Plot::add_curve(const std::string& expression, const std::string& title)
{
    if (started()) elements_.push_back(expression + " " + TitleClause(title) + " with lines");
}

void Plot::add_key_text(const std::string& text)
{
    if (started()) elements_.push_back("keyentry with lines lt nodraw " + TitleClause(text));
}

int Plot::draw()
{
    std::vector<std::string> all = std::exchange(bands_, {});
    for (std::string& element : std::exchange(elements_, {})) all.push_back(std::move(element));
    if (!started() || all.empty()) return 1;
    std::string line = "plot ";
    for (const std::string& element : all) line += (&element == &all.front() ? "" : ", ") + element;
    char command[GNUPLOT_COMMAND_SIZE];
    if (!ComposeCommand(command, sizeof command, "%s", line.c_str())) return 1;
    gnuplot_cmd(connection_, "%s", command);
    ++connection_->plot_count;
    return 0;
}

void Plot::begin_panels()
{
    command("set multiplot");
    // Margins of a fixed width keep the plot areas, and so the x axes, aligned.
    command("set lmargin 12");
    command("set rmargin 4");
}

void Plot::panel(double bottom, double height)
{
    command("set origin 0," + Fraction(bottom));
    command("set size 1," + Fraction(height));
}

void Plot::keep_x_range() { command("set xrange [GPVAL_X_MIN:GPVAL_X_MAX]"); }

void Plot::end_panels()
{
    command("unset multiplot");
    command("set autoscale x");
    command("set ytics autofreq");
    command("unset lmargin");
    command("unset rmargin");
}

std::string GnuplotString(std::string_view text)
{
    std::string quoted = "'";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            quoted += "'.\"\\n\".'";
        } else {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
    }
    return quoted + "'";
}

}  // namespace fitcore
