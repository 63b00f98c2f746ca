// plot.h - a gnuplot connection for C++: started on construction, closed
// (gnuplot ended, its data files deleted) on destruction, with plotting
// operations that take spans and vectors, and pictures of several elements,
// texts and panels.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fitcore/gnuplot_connection.h>
#include <fitcore/point.h>

namespace fitcore {

class Plot {
public:
    // Starts gnuplot as gnuplot_init does; when that fails (its message is
    // on standard error) the plot is empty: started() is false and every
    // operation does nothing and reports 1.
    Plot();
    // Takes over a connection opened with gnuplot_init (null: an empty plot).
    explicit Plot(gnuplot_connection* connection);
    ~Plot();
    Plot(Plot&& other) noexcept;
    Plot& operator=(Plot&& other) noexcept;
    Plot(const Plot&) = delete;
    Plot& operator=(const Plot&) = delete;

    bool started() const { return connection_ != nullptr; }
    gnuplot_connection* connection() const { return connection_; }
    // Gives the connection back to the caller, who closes it; the plot is empty then.
    gnuplot_connection* release();

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

    // The picture's title and axis labels, shown as written (no markup):
    // UTF-8 text whose quotes, backslashes and other characters reach gnuplot
    // as text; a line break (LF, CR LF or CR) starts a new line of it.
    void title(const std::string& text);
    void axis_labels(const std::string& x, const std::string& y);
    // Logarithmic (true) or linear axes for the following pictures.
    void log_axes(bool x, bool y);

    // Elements of the next draw(). Each data element is written now to a data
    // file of its own; an empty title leaves it out of the key. 0 added; 1
    // refused as the data plots refuse (no gnuplot, no points, spans of
    // different lengths, no data file).
    // x and y of every point, as points.
    int add_points(std::span<const Point> points, const std::string& title);
    // x, y and sigma of every point: each point with a vertical error bar of
    // sigma above and below it.
    int add_error_bars(std::span<const Point> points, const std::string& title);
    // The residuals y - fit of the points, with their sigma as error bars
    // when `error_bars` is set.
    int add_residuals(std::span<const Point> points, const std::string& title, bool error_bars);
    // Spaces the y tics for a panel of the residuals of these points (and
    // their error bars, the zero line included) at 1, 2 or 5 times a power of
    // ten, so that about five label even a low panel. Residuals that span
    // nothing, or not finite ones, leave the tics as they are.
    void residual_tics(std::span<const Point> points, bool error_bars);
    // The area between low and high over x, filled.
    int add_band(std::span<const double> x, std::span<const double> low, std::span<const double> high,
                 const std::string& title);
    // The line through the points (x, y), in a data file.
    int add_line(std::span<const double> x, std::span<const double> y, const std::string& title);
    // The curve of a gnuplot expression in x, drawn with lines.
    void add_curve(const std::string& expression, const std::string& title);
    // A line of text in the key, with no sample and nothing drawn: the next
    // line of the entry added before it, whose title is too long for one.
    void add_key_text(const std::string& text);

    // Sends the elements added since the last draw as one "plot" command, the
    // band first whatever the order they were added in, and forgets them. 0
    // sent; 1 when there are none, or the command is too long (a message on
    // standard error), and then it is not sent.
    int draw();

    // Panels: the pictures drawn between begin_panels and end_panels share
    // one page, one below another, with their plot areas aligned.
    void begin_panels();
    // The next draw() fills the band of the page from `bottom` to `bottom +
    // height`, fractions of the page's height from its foot.
    void panel(double bottom, double height);
    // The following pictures keep the x range of the last one drawn.
    void keep_x_range();
    // Ends the page; the x range and the y tics are gnuplot's own again.
    void end_panels();

private:
    // x and y of every point, and with `sigma` the sigmas as error bars.
    int add_point_columns(std::span<const Point> points, const std::string& title, bool sigma);
    int add_data(const double* const* columns, int column_count, std::size_t count, const std::string& title,
                 const char* with);

    gnuplot_connection* connection_;
    // The elements of the next draw(): bands, drawn first, and the others.
    std::vector<std::string> bands_;
    std::vector<std::string> elements_;
};

// `text` as a gnuplot string expression that stands on one command line and
// gives the text back unchanged: single-quoted pieces (a quote doubled),
// joined by "\n" where the text has line breaks.
std::string GnuplotString(std::string_view text);

}  // namespace fitcore
