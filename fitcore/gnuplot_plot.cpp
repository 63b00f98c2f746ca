// gnuplot_plot.cpp - plotting numbers through temporary data files, and the
// library's own mkstemp that names and creates those files.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "gnuplot_connection.h"
#include "gnuplot_text.h"
#include "platform.h"

namespace fitcore {

namespace {

// Draws after the first one when the drawn name already exists.
constexpr int kMaxDraws = 1000;

// Six digits from the generator, each '0' plus r * 10 / 2^15 for a 15-bit r.
void DrawDigits(char* digits)
{
    constexpr unsigned kDivisor = (static_cast<unsigned>(RAND_MAX) + 1u) / 32768u;
    for (int i = 0; i < 6; ++i) {
        unsigned r = static_cast<unsigned>(std::rand()) / kDivisor;
        digits[i] = static_cast<char>('0' + r * 10u / 32768u);
    }
}

}  // namespace

int mkstemp(char* name_template)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    char* digits = std::strstr(name_template, "XXXXXX");
    if (digits == nullptr) {
        errno = EINVAL;
        return -1;
    }
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        DrawDigits(digits);
        int fd = CreateNewFile(name_template);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace fitcore

namespace {

const char kCannotCreate[] = "cannot create temporary file: exiting plot";

// "plot" for the first 2-D plot of a connection, "replot" after it.
const char* PlotWord(const gnuplot_connection* handle)
{
    return handle->plot_count > 0 ? "replot" : "plot";
}

bool ComposePlotCommand(char* command, const char* word, const char* file, const char* title,
                        const char* style)
{
    if (title != nullptr)
        return fitcore::ComposeCommand(command, GNUPLOT_COMMAND_SIZE, "%s \"%s\" title \"%s\" with %s",
                                       word, file, title, style);
    return fitcore::ComposeCommand(command, GNUPLOT_COMMAND_SIZE, "%s \"%s\" with %s", word, file,
                                   style);
}

// Writes `count` lines, formatted one at a time by `format_line(i, buffer,
// size)`, each with one unbuffered write. False when a line is not written
// whole (a full disk, for instance).
template <typename FormatLine>
bool WriteDataLines(int fd, int count, FormatLine format_line)
{
    char line[GNUPLOT_COMMAND_SIZE];
    for (int i = 0; i < count; ++i) {
        int length = format_line(i, line, sizeof line);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof line) return false;
        if (fitcore::WriteToFile(fd, line, static_cast<std::size_t>(length)) != length) return false;
    }
    return true;
}

// The procedure every data plot shares, once its arguments have been checked:
// refuse a 3-D plot after any other plot, respect the file limit, write a new
// data file, record it and send the plot command naming it. 0 sent, 1 not.
template <typename FormatLine>
int PlotThroughFile(gnuplot_connection* handle, bool three_d, int count, const char* title,
                    FormatLine format_line)
{
    if (three_d && handle->plot_count > 0) return 1;
    if (handle->temp_count >= GNUPLOT_MAX_TEMP_FILES) {
        std::fprintf(stderr, "maximum # of temporary files reached (%d): cannot open more",
                     GNUPLOT_MAX_TEMP_FILES);
        return 1;
    }
    if (title != nullptr && !fitcore::QuotableText(title, "the title")) return 1;

    const char* word = three_d ? "splot" : PlotWord(handle);
    char name[GNUPLOT_TEMP_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s/gnuplot-i-XXXXXX", ".");
    char command[GNUPLOT_COMMAND_SIZE];
    // The drawn name is as long as the template, so a command that fits now fits later.
    if (!ComposePlotCommand(command, word, name, title, handle->style)) return 1;

    int fd = fitcore::mkstemp(name);
    if (fd < 0) {
        std::fputs(kCannotCreate, stderr);
        return 1;
    }
    std::strcpy(handle->temp_files[handle->temp_count], name);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is in place before it counts
    ++handle->temp_count;

    bool written = WriteDataLines(fd, count, format_line);
    if (fitcore::CloseFile(fd) != 0) written = false;
    if (!written) {
        std::fputs(kCannotCreate, stderr);
        return 1;
    }
    ComposePlotCommand(command, word, name, title, handle->style);
    gnuplot_cmd(handle, "%s", command);
    ++handle->plot_count;
    return 0;
}

// Two values of a callback's record; the callback runs right before the line is formatted.
auto CallbackLine(void* object, PointCallback callback, int count, bool three_d)
{
    return [=, point = gnuplot_xyz{}](int i, char* line, std::size_t size) mutable {
        callback(object, &point, i, count);
        return three_d ? std::snprintf(line, size, "%g %g %g\n", point.x, point.y, point.z)
                       : std::snprintf(line, size, "%g %g\n", point.x, point.y);
    };
}

}  // namespace

void gnuplot_plot_x(gnuplot_connection* handle, const double* values, int count, const char* title)
{
    if (handle == nullptr || values == nullptr || count < 1) return;
    PlotThroughFile(handle, false, count, title, [values](int i, char* line, std::size_t size) {
        return std::snprintf(line, size, "%g\n", values[i]);
    });
}

void gnuplot_plot_xy(gnuplot_connection* handle, const double* x, const double* y, int count,
                     const char* title)
{
    if (handle == nullptr || x == nullptr || y == nullptr || count < 1) return;
    PlotThroughFile(handle, false, count, title, [x, y](int i, char* line, std::size_t size) {
        return std::snprintf(line, size, "%g %g\n", x[i], y[i]);
    });
}

int gnuplot_splot(gnuplot_connection* handle, const double* x, const double* y, const double* z,
                  int count, const char* title)
{
    if (handle == nullptr || x == nullptr || y == nullptr || z == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, true, count, title, [x, y, z](int i, char* line, std::size_t size) {
        return std::snprintf(line, size, "%g %g %g\n", x[i], y[i], z[i]);
    });
}

int gnuplot_splot_obj(gnuplot_connection* handle, void* object, PointCallback callback, int count,
                      const char* title)
{
    if (handle == nullptr || callback == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, true, count, title, CallbackLine(object, callback, count, true));
}

int gnuplot_plot_obj_xy(gnuplot_connection* handle, void* object, PointCallback callback, int count,
                        const char* title)
{
    if (handle == nullptr || callback == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, false, count, title, CallbackLine(object, callback, count, false));
}

int gnuplot_plot_Point_xy(gnuplot_connection* handle, const Point* points, int count,
                          const char* title)
{
    if (handle == nullptr || points == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, false, count, title, [points](int i, char* line, std::size_t size) {
        return std::snprintf(line, size, "%g %g\n", points[i].x, points[i].y);
    });
}
