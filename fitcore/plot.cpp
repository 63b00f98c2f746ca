// plot.cpp - the gnuplot connection as a C++ object.
#include <fitcore/plot.h>

#include <climits>
#include <utility>

namespace fitcore {
namespace {

// The title argument of the plain operations: null for no title clause.
const char* TitleOrNull(const std::string& title) { return title.empty() ? nullptr : title.c_str(); }

// A count the plain operations take: 0 (refused) when none or too many.
int CountOf(std::size_t size) { return size > INT_MAX ? 0 : static_cast<int>(size); }

}  // namespace

Plot::Plot() : connection_(gnuplot_init()) {}

Plot::~Plot() { gnuplot_close(connection_); }

Plot::Plot(Plot&& other) noexcept : connection_(std::exchange(other.connection_, nullptr)) {}

Plot& Plot::operator=(Plot&& other) noexcept
{
    if (this != &other) {
        gnuplot_close(connection_);
        connection_ = std::exchange(other.connection_, nullptr);
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

}  // namespace fitcore
