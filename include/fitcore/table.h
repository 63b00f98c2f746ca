// table.h - text tables of numbers: columns separated by blanks, commas,
// semicolons or tabs, with names from a header line, read into rows of the
// columns chosen.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <fitcore/point.h>

namespace fitcore {

// One column of a table: by its number from 1, or by its header name.
struct ColumnRef {
    std::size_t number = 0;  // 1 for the first column; 0 when named
    std::string name;        // used when `number` is 0
};

// "X:Y" or "X:Y:S": the x columns (one, or several separated by commas,
// "X1,X2:Y"), the y column and the optional sigma column.
struct ColumnChoice {
    std::vector<ColumnRef> x;
    ColumnRef y;
    bool has_sigma = false;
    ColumnRef sigma;
    bool ok = false;
    std::string error;  // why the text is no column choice
};

// Reads "X:Y[:S]". Each column is a whole number from 1 or a name; an empty
// part, a column 0 or a fourth part is refused.
ColumnChoice parse_columns(const std::string& text);

// How a table is read. Every member left at its default is found from the
// file itself.
struct TableOptions {
    // "X:Y[:S]" as parse_columns reads it. Empty: columns 1 and 2, and 3 as
    // sigma where the table has a third column.
    std::string columns;
    // The field separator: ' ' for runs of blanks and tabs, or the one
    // character (',', ';', '\t', ...) between two fields. 0: detected from
    // the first data lines.
    char delimiter = 0;
    // "1,5" reads as 1.5. Also taken without being asked in a table whose
    // fields are separated by ';' and whose numbers hold commas and no points.
    bool decimal_comma = false;
    // The caller needs each point's sigma: a CSV file is then read as a
    // table, whose third column (or the S of `columns`) gives it. Not a
    // table option: a PCP file is read as ever.
    bool needs_sigma = false;
};

struct FreeValues {
    void operator()(double* values) const { std::free(values); }
};

// A table read: the chosen columns of every usable row, row after row.
struct Table {
    bool ok = false;
    std::string error;  // why the file gave no table; a reason without a period
    // The header's names of the chosen columns, x columns first, then y and,
    // with has_sigma, sigma; empty strings when the file has no header.
    std::vector<std::string> names;
    bool named = false;           // the file has a header
    std::size_t x_columns = 1;
    bool has_sigma = false;
    std::size_t rows = 0;         // usable rows, each of width() values in `values`
    std::size_t skipped = 0;      // rows skipped for a missing value in a chosen column
    std::vector<long> bad_lines;  // numbers (from 1) of the lines whose chosen columns hold other text
    char delimiter = ' ';         // the separator read with
    bool decimal_comma = false;   // numbers were read with a decimal comma
    std::unique_ptr<double, FreeValues> values;

    std::size_t width() const { return x_columns + 1 + (has_sigma ? 1 : 0); }
    std::span<const double> row(std::size_t index) const { return {values.get() + index * width(), width()}; }
};

// Reads the table in the file `path`, or from an open stream (read to its
// end; the caller closes it). Lines end with LF, CR LF or a lone CR; a UTF-8
// byte order mark at the start is skipped. Blank lines, and lines whose
// first non-blank character is '#', '%' or '!', are passed over. The first
// other line is a header when one of its fields is neither a number nor a
// missing value; else the last comment line before it names the columns
// when it holds as many words as the first data line has fields. Fields may
// be quoted as CSV writers quote them ("a, b", "" inside). A row whose chosen
// columns hold an empty field, NA, N/A or NaN (any case), or that lacks one
// of them, is skipped and counted; one with any other text there, or a
// number that is not finite, is a bad line. The numbers are converted on
// two threads for a large file. `ok` is false, with the reason, when the
// file can't be read, the columns don't exist, or no row is usable.
Table read_table(const char* path, const TableOptions& options = {});
Table read_table(std::FILE* in, const TableOptions& options = {});

// The rows as points: x from the first x column, y, and sigma (0 without a
// sigma column); `fit` and `weight` 0. The table's values become the array,
// which the caller frees with std::free; the table is left without rows.
// Null for a table without rows, or when memory runs out.
Point* take_points(Table& table);

}  // namespace fitcore
