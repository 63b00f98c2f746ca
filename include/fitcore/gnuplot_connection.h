// gnuplot_connection.h - drives the plotting program gnuplot through a pipe:
// finding and starting it, sending command lines, plotting arrays through
// temporary data files, analytic curves and PostScript copies.
#pragma once

#include <cstdio>
#include <string>

#include <fitcore/point.h>

enum {
    GNUPLOT_MAX_TEMP_FILES = 64,     // data files one connection can hold
    GNUPLOT_TEMP_NAME_SIZE = 512,    // room for one data file name
    GNUPLOT_NAME_SIZE = 32,          // room for a style or terminal name
    GNUPLOT_COMMAND_SIZE = 2048,     // a command line, its newline and terminator
    GNUPLOT_PATH_SIZE = 4096,        // the program lookup's result buffer
};

// One running gnuplot, fed through the pipe to its standard input.
struct gnuplot_connection {
    FILE* pipe;                      // the child's standard input
    int plot_count;                  // plot commands since the start or the last reset
    char style[GNUPLOT_NAME_SIZE];   // style of the next plot ("with %s")
    char terminal[GNUPLOT_NAME_SIZE];  // the terminal in force; at most 31 characters
    char temp_files[GNUPLOT_MAX_TEMP_FILES][GNUPLOT_TEMP_NAME_SIZE];  // data files, oldest first
    int temp_count;                  // entries of temp_files in use
    int child_pid;                   // the started front-end, waited for on close
};

// One point delivered by a PointCallback: x, then y, then z.
struct gnuplot_xyz {
    double x;
    double y;
    double z;
};

// Fills `point` with the point at `index` (0 to count - 1) of the caller's
// `object`. Called once per point, in index order; the record is not cleared
// between calls, so every value the plot reads must be set.
typedef void (*PointCallback)(void* object, gnuplot_xyz* point, int index, int count);

// Directory that holds the executable `name`: "." when it is in the current
// directory (tested first), else the PATH entry that holds it ("." for an
// empty entry). Null when it is not found; "PATH variable not set" on standard
// error when PATH is missing. The text lives in a static buffer that the next
// call overwrites.
char* gnuplot_get_program_path(const char* name);

// Finds "pgnuplot.exe" in the PATH entries, as a shell does (the working
// directory only when an entry names it: "" or "."), starts it in a process
// group of its own with a pipe to its input, sets the style "points" and sends
// "set terminal windows". Null (with a message on standard error) when it is
// not found or does not start. Also arranges that a program ended by a signal
// that can be caught (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ)
// first deletes the data files of its open connections.
gnuplot_connection* gnuplot_init(void);

// Waits until the front-end has read every command sent so far, or it has
// ended, or `timeout_ms` has passed. A front-end that reads a line only once
// gnuplot has carried out the one before (as pgnuplot.exe does for plots on
// the console) lets a caller print below a finished drawing.
void gnuplot_wait_delivered(gnuplot_connection* handle, int timeout_ms);

// Closes the pipe, waits for gnuplot to end, deletes the data files and frees
// the record. Null is allowed. The files are deleted whatever the wait gives;
// a wait that fails is reported, unless only because the system reaped
// gnuplot itself (SIGCHLD ignored).
void gnuplot_close(gnuplot_connection* handle);

// gnuplot_close, waiting at most `timeout_ms` (a negative value: without
// limit) for gnuplot to end once its input is closed; then its process group
// is ended, with a message on standard error, and the files deleted.
// 0 when gnuplot ended by itself; 1 when it was stopped or the wait failed.
int gnuplot_close_within(gnuplot_connection* handle, int timeout_ms);

// Formats one command line printf-style, appends a newline and sends it at
// once. A line that does not fit GNUPLOT_COMMAND_SIZE is refused with a
// message, never cut. A gnuplot that has gone away loses the line silently.
void gnuplot_cmd(gnuplot_connection* handle, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Style of the following plots: lines, points, linespoints, impulses, dots,
// steps, errorbars, boxes or boxerrorbars; anything else gives "points" and a
// warning. Sends nothing.
void gnuplot_setstyle(gnuplot_connection* handle, const char* style);

// Stores the first 31 characters of `terminal` and sends "set terminal %s".
// A name holding a line break is refused with a message on standard error;
// the terminal in force stays.
void gnuplot_setterm(gnuplot_connection* handle, const char* terminal);

// Send "set xlabel \"%s\"" and its y and z twins. A label holding a double
// quote, a backquote or a line break is refused with a message.
void gnuplot_set_xlabel(gnuplot_connection* handle, const char* label);
void gnuplot_set_ylabel(gnuplot_connection* handle, const char* label);
void gnuplot_set_zlabel(gnuplot_connection* handle, const char* label);

// Deletes the data files and forgets them; the next 2-D plot starts a new
// plot. Sends nothing.
void gnuplot_resetplot(gnuplot_connection* handle);

// Data plots. Each writes its numbers (one point per line, "%g" where that
// reads back as the same double, else with the fewest digits that do) to a new
// data file in the current directory and sends "plot" (the first plot of the
// connection), "replot" (a later one) or "splot" naming the file, with the
// title clause when `title` is not null and the connection's style.
// Results: 0 sent; 1 refused or failed (null or empty data, 64 files already
// made, a 3-D plot after any other plot, a title that can't be quoted, a file
// that can't be created or written).
void gnuplot_plot_x(gnuplot_connection* handle, const double* values, int count, const char* title);
void gnuplot_plot_xy(gnuplot_connection* handle, const double* x, const double* y, int count,
                     const char* title);
int gnuplot_splot(gnuplot_connection* handle, const double* x, const double* y, const double* z,
                  int count, const char* title);
int gnuplot_splot_obj(gnuplot_connection* handle, void* object, PointCallback callback, int count,
                      const char* title);
int gnuplot_plot_obj_xy(gnuplot_connection* handle, void* object, PointCallback callback, int count,
                        const char* title);
int gnuplot_plot_Point_xy(gnuplot_connection* handle, const Point* points, int count,
                          const char* title);

// Writes `count` lines of `column_count` (1 to 3) values, columns[0][i] and
// so on, to a new data file as the data plots do, records it in the
// connection (deleted with the others) and copies its name, as a plot
// command names it, into `name` (GNUPLOT_TEMP_NAME_SIZE characters). Sends
// nothing and counts no plot: the caller names the file in a command of its
// own. 0 written; 1 refused or failed as a data plot is.
int gnuplot_write_columns(gnuplot_connection* handle, const double* const* columns, int column_count, int count,
                          char* name);

// Opens a connection of its own, plots x (against the line number when y is
// null) or x and y with the given style (default "lines"), labels (default
// "X" and "Y") and title, asks to press ENTER, waits for a line end on
// standard input (or its end) and closes again.
void gnuplot_plot_once(const char* title, const char* style, const char* xlabel, const char* ylabel,
                       const double* x, const double* y, int count);

// Adds the line a * x + b, computed by gnuplot, titled "no title" when
// `title` is null. Titles hold at most 79 characters.
void gnuplot_plot_slope(gnuplot_connection* handle, double a, double b, const char* title);

// Adds the curve of the gnuplot expression `equation` (in x), passed as it
// stands; one holding a line break is refused. Titles as for the slope.
void gnuplot_plot_equation(gnuplot_connection* handle, const char* equation, const char* title);

// Draws the current plot again into the PostScript file `filename` (plain, or
// in colour) and sets the connection's terminal again. gnuplot is given the
// name so that it can only write that file (see fitcore::GnuplotFileName).
// 0 sent; 1 refused, with a message on standard error: no connection, an
// empty name, or one holding a double quote, a backquote or a line break.
int gnuplot_hardcopy(gnuplot_connection* handle, const char* filename);
int gnuplot_hardcopy_colour(gnuplot_connection* handle, const char* filename);

namespace fitcore {

// The name under which gnuplot writes or reads the file `name` and nothing
// else: a name from the root ("/x"; on Windows also "C:\x" or "\x") as it
// is, any other with "./" in front. gnuplot would take an output name that
// starts with "|" for a command to run, a data file name that starts with
// "<" for a command to read, and a leading "~" for a home directory.
std::string GnuplotFileName(const char* name);

// Replaces the first "XXXXXX" of `name_template` by six digits drawn from the
// C library's generator, seeded with the time, and creates that file for
// reading and writing; when the name is taken it draws again (without a new
// seed) a bounded number of times. The descriptor, or -1 (errno EINVAL when
// the template has no "XXXXXX"). The template holds the last name drawn.
int mkstemp(char* name_template);

}  // namespace fitcore
