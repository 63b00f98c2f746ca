// table_fields.h - the lines and fields of a text table: where they end, what
// a field holds, and one row's chosen values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fitcore::table {

// The delimiter value that stands for runs of blanks and tabs.
constexpr char kBlankRuns = ' ';

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Behind the line end of the line that `at` is in (CR LF, LF or a lone CR);
// `end` when the text ends first.
const char* NextLine(const char* at, const char* end);

// The line from `at` without its line end.
std::string_view LineAt(const char* at, const char* end);

// The text without its leading and trailing blanks.
std::string_view Trimmed(std::string_view text);

// Blank, or a comment: its first non-blank character is '#', '%' or '!'.
bool IsBlankLine(std::string_view line);
bool IsCommentLine(std::string_view line);

enum class FieldKind { Number, Missing, Text };

// What one field holds, blanks around it and quotes already removed: a
// finite number (into *value), a missing value (empty, NA, N/A, NaN in any
// case), or other text. With `decimal_comma` a comma stands for the point.
FieldKind ClassifyField(std::string_view field, bool decimal_comma, double* value);

// The fields of a line, blanks around each and CSV quotes removed. Runs of
// blanks and tabs separate fields when `delimiter` is kBlankRuns.
std::vector<std::string> SplitFields(std::string_view line, char delimiter);

// The chosen columns of one row, in the order of the row's values.
class RowParser {
public:
    enum class Row { Data, Passed, Missing, Bad };

    // `slots[field]`: where the field's value goes in the row, or -1 when the
    // field is not chosen; fields beyond the table are not read.
    RowParser(char delimiter, bool decimal_comma, std::vector<int> slots);

    // Reads the line that starts at `at`: Data with the row's values in
    // `row`; Passed for a blank or comment line; Missing or Bad. *next is
    // set behind the line end.
    Row Parse(const char* at, const char* end, double* row, const char** next) const;

private:
    Row ParseGeneral(std::string_view line, double* row) const;

    char delimiter_;
    bool decimal_comma_;
    std::vector<int> slots_;
};

}  // namespace fitcore::table
