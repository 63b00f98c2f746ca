// plot.h - a gnuplot connection for C++: started on construction, closed
// (gnuplot ended, its data files deleted) on destruction, with plotting
// operations that take spans and vectors.
#pragma once

#include <span>
#include <string>

#include <fitcore/gnuplot_connection.h>
#include <fitcore/point.h>

namespace fitcore {

class Plot {
public:
    // Starts gnuplot as gnuplot_init does; when that fails (its message is
    // on standard error) the plot is empty: started() is false and every
    // operation does nothing and reports 1.
    Plot();
    ~Plot();
    Plot(Plot&& other) noexcept;
    Plot& operator=(Plot&& other) noexcept;
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;

    bool started() const { return connection_ != nullptr; }
    gnuplot_connection* connection() const { return connection_; }

    // The data plots of gnuplot_plot_x, gnuplot_plot_xy and
    // gnuplot_plot_Point_xy, with the title clause when `title` is not empty.
    // 0 sent; 1 refused: no gnuplot, no points, x and y of different
    // lengths, more points than an int counts, or a refusal of the plot
    // itself (its message on standard error).
    int x(std::span<const double> values, const std::string& title = "");
    int xy(std::span<const double> x, std::span<const double> y, const std::string& title = "");
    int points(std::span<const Point> points, const std::string& title = "");

    // One command line, sent as it stands (no format conversions).
    void command(const std::string& line);
    void style(const std::string& name);
    void labels(const std::string& x, const std::string& y);

private:
    gnuplot_connection* connection_;
};

}  // namespace fitcore
