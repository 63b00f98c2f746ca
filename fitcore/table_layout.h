// table_layout.h - how a text table is laid out, found from its first lines:
// the field separator, the decimal mark, the header and the number of columns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <fitcore/table.h>

namespace fitcore::table {

struct Layout {
    bool found = false;          // false: the text ends before its first data line is whole
    char delimiter = ' ';
    bool decimal_comma = false;
    std::vector<std::string> names;  // the header's names; empty without a header
    std::size_t columns = 0;     // the fields of the first data line; 0: the table holds no data line
    std::size_t data_offset = 0; // where the rows start: behind a header line, else at the start
    long lines_before = 0;       // the lines before data_offset
};

// Finds the layout from the start of the table's text. When `at_end` is
// false, the text may go on: a layout is found only from whole lines, and
// when they hold no data line `found` stays false.
Layout FindLayout(std::string_view text, bool at_end, const TableOptions& options);

}  // namespace fitcore::table
