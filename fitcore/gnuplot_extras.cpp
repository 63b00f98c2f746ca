// gnuplot_extras.cpp - one-shot plots, curves that gnuplot computes from an
// expression, and PostScript copies of the current plot.
#include <cstdio>
#include <cstring>
#include <string>

#include <fitcore/gnuplot_connection.h>
#include "gnuplot_text.h"

namespace {

constexpr std::size_t kTitleSize = 80;  // a curve's title and its terminator

// The curve's title, "no title" when none is given, quoted for gnuplot.
// False, with a message, when it is too long for its buffer or can't be quoted.
bool CurveTitle(const char* title, std::string* quoted)
{
    if (title == nullptr) title = "no title";
    if (std::strlen(title) >= kTitleSize) {
        std::fprintf(stderr, "cannot send the title: it is longer than %zu characters\n",
                     kTitleSize - 1);
        return false;
    }
    return fitcore::QuoteText(title, "the title", quoted);
}

int Hardcopy(gnuplot_connection* handle, const char* terminal_line, const char* filename)
{
    if (handle == nullptr || filename == nullptr) return 1;
    char output_line[GNUPLOT_COMMAND_SIZE];
    std::string output;
    if (!fitcore::QuoteFileName(filename, "the hard-copy file name", &output)) return 1;
    if (!fitcore::ComposeCommand(output_line, sizeof output_line, "set output %s", output.c_str()))
        return 1;
    gnuplot_cmd(handle, "%s", terminal_line);
    gnuplot_cmd(handle, "%s", output_line);
    gnuplot_cmd(handle, "replot");
    gnuplot_cmd(handle, "set terminal %s", handle->terminal);
    return 0;
}

}  // namespace

void gnuplot_plot_once(const char* title, const char* style, const char* xlabel, const char* ylabel,
                       const double* x, const double* y, int count)
{
    if (x == nullptr || count < 1) return;
    gnuplot_connection* handle = gnuplot_init();
    if (handle == nullptr) return;
    gnuplot_setstyle(handle, style != nullptr ? style : "lines");
    gnuplot_set_xlabel(handle, xlabel != nullptr ? xlabel : "X");
    gnuplot_set_ylabel(handle, ylabel != nullptr ? ylabel : "Y");
    if (y == nullptr)
        gnuplot_plot_x(handle, x, count, title);
    else
        gnuplot_plot_xy(handle, x, y, count, title);
    std::printf("press ENTER to continue\n");
    std::fflush(stdout);
    // The end of the input ends the wait as a line end would.
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
    gnuplot_close(handle);
}

void gnuplot_plot_slope(gnuplot_connection* handle, double a, double b, const char* title)
{
    if (handle == nullptr) return;
    std::string curve_title;
    char line[GNUPLOT_COMMAND_SIZE];
    if (!CurveTitle(title, &curve_title)) return;
    if (!fitcore::ComposeCommand(line, sizeof line, "%s %g * x + %g title %s with %s",
                                 handle->plot_count > 0 ? "replot" : "plot", a, b, curve_title.c_str(),
                                 handle->style))
        return;
    gnuplot_cmd(handle, "%s", line);
    ++handle->plot_count;
}

void gnuplot_plot_equation(gnuplot_connection* handle, const char* equation, const char* title)
{
    if (handle == nullptr || equation == nullptr) return;
    std::string curve_title;
    char line[GNUPLOT_COMMAND_SIZE];
    if (!fitcore::SingleLineText(equation, "the equation")) return;
    if (!CurveTitle(title, &curve_title)) return;
    if (!fitcore::ComposeCommand(line, sizeof line, "%s %s title %s with %s",
                                 handle->plot_count > 0 ? "replot" : "plot", equation, curve_title.c_str(),
                                 handle->style))
        return;
    gnuplot_cmd(handle, "%s", line);
    ++handle->plot_count;
}

int gnuplot_hardcopy(gnuplot_connection* handle, const char* filename)
{
    return Hardcopy(handle, "set terminal postscript", filename);
}

int gnuplot_hardcopy_colour(gnuplot_connection* handle, const char* filename)
{
    return Hardcopy(handle, "set terminal postscript enhanced color", filename);
}
