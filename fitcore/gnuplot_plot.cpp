// gnuplot_plot.cpp - plotting numbers through temporary data files, written
// in large blocks, and the library's own mkstemp that names and creates them.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fitcore/gnuplot_connection.h>
#include "gnuplot_text.h"
#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>
#include <fitcore/platform.h>

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

// Creates the new file `name`, its six characters at `digits` drawn as
// digits (the generator seeded again) until no file of that name exists:
// the descriptor, or -1 with errno set.
int CreateWithDrawnDigits(char* name, char* digits)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        DrawDigits(digits);
        int fd = CreateNewFile(name);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

int mkstemp(char* name_template)
{
    char* digits = std::strstr(name_template, "XXXXXX");
    if (digits == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return CreateWithDrawnDigits(name_template, digits);
}

}  // namespace fitcore

namespace {

const char kCannotCreate[] = "cannot create temporary file: exiting plot";

// "plot" for the first 2-D plot of a connection, "replot" after it.
const char* PlotWord(const gnuplot_connection* handle)
{
    return handle->plot_count > 0 ? "replot" : "plot";
}

// The plot command naming the data file `file`, with the title clause when
// `title` is not null. False, with a message, when a text can't be quoted or
// the command is too long.
bool ComposePlotCommand(char* command, const char* word, const char* file, const char* title,
                        const char* style)
{
    std::string quoted_file, quoted_title;
    if (!fitcore::QuoteText(file, "the data file name", &quoted_file)) return false;
    if (title == nullptr)
        return fitcore::ComposeCommand(command, GNUPLOT_COMMAND_SIZE, "%s %s with %s", word,
                                       quoted_file.c_str(), style);
    if (!fitcore::QuoteText(title, "the title", &quoted_title)) return false;
    return fitcore::ComposeCommand(command, GNUPLOT_COMMAND_SIZE, "%s %s title %s with %s", word,
                                   quoted_file.c_str(), quoted_title.c_str(), style);
}

// The folder for data files when the working directory takes none: TMPDIR,
// or /tmp when it is unset or empty, as gnuplot is to name it.
std::string FallbackFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return fitcore::GnuplotFileName(folder != nullptr && *folder != '\0' ? folder : "/tmp");
}

// Creates a new data file "<folder>/gnuplot-i-" and six digits, its name in
// `name`: in the working directory, else in the fallback folder. The
// descriptor; -1 when neither takes it, after one line per folder on
// standard error that names it and the reason.
int CreateDataFile(char (&name)[GNUPLOT_TEMP_NAME_SIZE])
{
    const std::string folders[] = {".", FallbackFolder()};
    std::string reasons;
    for (const std::string& folder : folders) {
        const char* reason = nullptr;
        if (std::strpbrk(folder.c_str(), "\"`\n") != nullptr) {
            reason = "gnuplot can't be given a name in it";
        } else if (std::snprintf(name, sizeof name, "%s/gnuplot-i-XXXXXX", folder.c_str()) >=
                   static_cast<int>(sizeof name)) {
            reason = "the name would be too long";
        } else {
            // The digits go at the end, also where the folder's own name
            // holds "XXXXXX".
            int fd = fitcore::CreateWithDrawnDigits(name, name + std::strlen(name) - 6);
            if (fd >= 0) return fd;
            reason = std::strerror(errno);
        }
        reasons += "cannot create a data file in '" + folder + "': " + reason + "\n";
    }
    std::fputs(reasons.c_str(), stderr);
    return -1;
}

// Writes all of `text` to the descriptor `*fd`, however many writes it
// takes; false when the file takes no more (a full disk, for instance).
bool WriteAll(void* fd, const char* text, size_t length)
{
    const int descriptor = *static_cast<const int*>(fd);
    while (length > 0) {
        long written = fitcore::WriteToFile(descriptor, text, length);
        if (written <= 0) return false;
        text += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// A data line of up to three numbers.
constexpr size_t kMaxLineLength = fitcore::MaxGeneralLineLength(3);

// How the lines of a data file are made: `format(out, i)` writes line i and
// returns its end. Lines of arrays are independent and may be formatted on
// two threads; a callback's lines are made one after another, in order.
template <typename FormatLine>
struct IndependentLines {
    FormatLine format;
};

template <typename FormatLine>
struct InOrderLines {
    FormatLine format;
};

template <typename FormatLine>
IndependentLines(FormatLine) -> IndependentLines<FormatLine>;

template <typename FormatLine>
void WriteDataLines(fitcore::OutputBuffer& out, size_t count, IndependentLines<FormatLine>& lines)
{
    fitcore::AppendRows(out, count, kMaxLineLength, lines.format);
}

template <typename FormatLine>
void WriteDataLines(fitcore::OutputBuffer& out, size_t count, InOrderLines<FormatLine>& lines)
{
    for (size_t row = 0; row < count && !out.failed(); ++row)
        out.Commit(lines.format(out.Reserve(kMaxLineLength), row));
}

// Writes the `count` lines in large blocks. False when not all of them
// reached the file.
template <typename Lines>
bool WriteDataFile(int fd, int count, Lines& lines)
{
    fitcore::OutputBuffer out(WriteAll, &fd);
    WriteDataLines(out, static_cast<size_t>(count), lines);
    return out.Flush();
}

bool RoomForAnotherFile(const gnuplot_connection* handle)
{
    if (handle->temp_count < GNUPLOT_MAX_TEMP_FILES) return true;
    std::fprintf(stderr, "maximum # of temporary files reached (%d): cannot open more", GNUPLOT_MAX_TEMP_FILES);
    return false;
}

// Creates a new data file (see CreateDataFile), its name in `name`, records
// it in the connection and writes the `count` lines into it. 0 written, 1 not.
template <typename Lines>
int WriteRecordedFile(gnuplot_connection* handle, char (&name)[GNUPLOT_TEMP_NAME_SIZE], int count, Lines& lines)
{
    int fd = CreateDataFile(name);
    if (fd < 0) {
        std::fputs(kCannotCreate, stderr);
        return 1;
    }
    std::strcpy(handle->temp_files[handle->temp_count], name);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the name is in place before it counts
    ++handle->temp_count;

    bool written = WriteDataFile(fd, count, lines);
    if (fitcore::CloseFile(fd) != 0) written = false;
    if (!written) {
        std::fputs(kCannotCreate, stderr);
        return 1;
    }
    return 0;
}

// The procedure every data plot shares, once its arguments have been checked:
// refuse a 3-D plot after any other plot, respect the file limit, write a new
// data file, record it and send the plot command naming it. 0 sent, 1 not.
template <typename Lines>
int PlotThroughFile(gnuplot_connection* handle, bool three_d, int count, const char* title, Lines lines)
{
    if (three_d && handle->plot_count > 0) return 1;
    if (!RoomForAnotherFile(handle)) return 1;

    const char* word = three_d ? "splot" : PlotWord(handle);
    char name[GNUPLOT_TEMP_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s/gnuplot-i-XXXXXX", ".");
    char command[GNUPLOT_COMMAND_SIZE];
    // A command that does not fit with a name in the working directory is
    // refused before any file is made.
    if (!ComposePlotCommand(command, word, name, title, handle->style)) return 1;
    if (WriteRecordedFile(handle, name, count, lines) != 0) return 1;
    // A name in the fallback folder may be longer than the one checked.
    if (!ComposePlotCommand(command, word, name, title, handle->style)) return 1;
    gnuplot_cmd(handle, "%s", command);
    ++handle->plot_count;
    return 0;
}

// Two or three values of a callback's record; the callback runs right
// before its line is formatted, for one line after another.
auto CallbackLines(void* object, PointCallback callback, int count, bool three_d)
{
    auto format = [=, point = gnuplot_xyz{}](char* out, size_t row) mutable {
        callback(object, &point, static_cast<int>(row), count);
        return three_d ? fitcore::AppendGeneralLine(out, point.x, point.y, point.z) : fitcore::AppendGeneralLine(out, point.x, point.y);
    };
    return InOrderLines<decltype(format)>{format};
}

}  // namespace

void gnuplot_plot_x(gnuplot_connection* handle, const double* values, int count, const char* title)
{
    if (handle == nullptr || values == nullptr || count < 1) return;
    PlotThroughFile(handle, false, count, title, IndependentLines{[values](char* out, size_t i) {
        return fitcore::AppendGeneralLine(out, values[i]);
    }});
}

void gnuplot_plot_xy(gnuplot_connection* handle, const double* x, const double* y, int count,
                     const char* title)
{
    if (handle == nullptr || x == nullptr || y == nullptr || count < 1) return;
    PlotThroughFile(handle, false, count, title, IndependentLines{[x, y](char* out, size_t i) {
        return fitcore::AppendGeneralLine(out, x[i], y[i]);
    }});
}

int gnuplot_splot(gnuplot_connection* handle, const double* x, const double* y, const double* z,
                  int count, const char* title)
{
    if (handle == nullptr || x == nullptr || y == nullptr || z == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, true, count, title, IndependentLines{[x, y, z](char* out, size_t i) {
        return fitcore::AppendGeneralLine(out, x[i], y[i], z[i]);
    }});
}

int gnuplot_splot_obj(gnuplot_connection* handle, void* object, PointCallback callback, int count,
                      const char* title)
{
    if (handle == nullptr || callback == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, true, count, title, CallbackLines(object, callback, count, true));
}

int gnuplot_plot_obj_xy(gnuplot_connection* handle, void* object, PointCallback callback, int count,
                        const char* title)
{
    if (handle == nullptr || callback == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, false, count, title, CallbackLines(object, callback, count, false));
}

int gnuplot_plot_Point_xy(gnuplot_connection* handle, const Point* points, int count,
                          const char* title)
{
    if (handle == nullptr || points == nullptr || count < 1) return 1;
    return PlotThroughFile(handle, false, count, title, IndependentLines{[points](char* out, size_t i) {
        return fitcore::AppendGeneralLine(out, points[i].x, points[i].y);
    }});
}

int gnuplot_write_columns(gnuplot_connection* handle, const double* const* columns, int column_count, int count,
                          char* name)
{
    if (handle == nullptr || columns == nullptr || name == nullptr || count < 1) return 1;
    if (column_count < 1 || column_count > 3) return 1;
    for (int column = 0; column < column_count; ++column)
        if (columns[column] == nullptr) return 1;
    if (!RoomForAnotherFile(handle)) return 1;
    char drawn[GNUPLOT_TEMP_NAME_SIZE];
    IndependentLines lines{[columns, column_count](char* out, size_t i) {
        if (column_count == 1) return fitcore::AppendGeneralLine(out, columns[0][i]);
        if (column_count == 2) return fitcore::AppendGeneralLine(out, columns[0][i], columns[1][i]);
        return fitcore::AppendGeneralLine(out, columns[0][i], columns[1][i], columns[2][i]);
    }};
    if (WriteRecordedFile(handle, drawn, count, lines) != 0) return 1;
    std::strcpy(name, drawn);
    return 0;
}
