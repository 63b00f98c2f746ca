// table_layout.cpp - the layout of a text table from its first lines.
#include "table_layout.h"

#include <algorithm>

#include "table_fields.h"

namespace fitcore::table {

namespace {

// Lines looked at to find the separator and the decimal mark.
constexpr std::size_t kSampleLines = 20;

struct Sample {
    std::string_view comment;  // the last comment line before the first content line
    std::vector<std::string_view> lines;  // content lines: neither blank nor comments
    std::size_t first_line_end = 0;  // behind the first content line
    long lines_to_first_end = 0;     // the lines up to and including it
};

Sample TakeSample(std::string_view text, bool at_end)
{
    Sample sample;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    long line_count = 0;
    while (at != end && sample.lines.size() < kSampleLines) {
        const char* next = NextLine(at, end);
        std::string_view line = LineAt(at, end);
        bool whole = at_end || line.size() < static_cast<std::size_t>(next - at);
        if (!whole) break;
        ++line_count;
        if (IsCommentLine(line)) {
            if (sample.lines.empty()) sample.comment = line;
        } else if (!IsBlankLine(line)) {
            if (sample.lines.empty()) {
                sample.first_line_end = static_cast<std::size_t>(next - text.data());
                sample.lines_to_first_end = line_count;
            }
            sample.lines.push_back(line);
        }
        at = next;
    }
    return sample;
}

std::size_t CountOutsideQuotes(std::string_view line, char c)
{
    std::size_t count = 0;
    bool quoted = false;
    for (char at : line) {
        if (at == '"') quoted = !quoted;
        else if (at == c && !quoted) ++count;
    }
    return count;
}

bool HasInnerBlank(std::string_view line) { return CountOutsideQuotes(Trimmed(line), ' ') > 0; }

// ';' or ',' when the first line and three in four of the others hold one
// (a row may lack its last fields); a tab when every line holds as many and
// no blank between its fields; runs of blanks and tabs otherwise.
char DetectDelimiter(const std::vector<std::string_view>& lines)
{
    for (char c : {';', ','}) {
        auto holding = std::count_if(lines.begin(), lines.end(),
                                     [c](std::string_view l) { return CountOutsideQuotes(l, c) > 0; });
        if (CountOutsideQuotes(lines.front(), c) > 0 && 4 * static_cast<std::size_t>(holding) >= 3 * lines.size())
            return c;
    }
    const std::size_t tabs = CountOutsideQuotes(lines.front(), '\t');
    bool tab_separated = tabs > 0 && std::all_of(lines.begin(), lines.end(), [tabs](std::string_view l) {
                             return CountOutsideQuotes(l, '\t') == tabs && !HasInnerBlank(l);
                         });
    return tab_separated ? '\t' : kBlankRuns;
}

// A number with either decimal mark, or a missing value.
bool NumberLike(const std::string& field)
{
    double value;
    return ClassifyField(field, false, &value) != FieldKind::Text ||
           ClassifyField(field, true, &value) != FieldKind::Text;
}

// Semicolons between the fields, and numbers with commas and no points.
bool WritesDecimalCommas(const std::vector<std::string_view>& data_lines, char delimiter)
{
    if (delimiter != ';') return false;
    bool comma = false;
    for (std::string_view line : data_lines) {
        if (line.find('.') != std::string_view::npos) return false;
        comma = comma || line.find(',') != std::string_view::npos;
    }
    return comma;
}

// The words of a comment line, without its comment mark.
std::vector<std::string> CommentWords(std::string_view comment, char delimiter, std::size_t columns)
{
    while (!comment.empty() && IsBlank(comment.front())) comment.remove_prefix(1);
    comment.remove_prefix(1);
    std::vector<std::string> words = SplitFields(comment, delimiter);
    if (words.size() != columns && delimiter != kBlankRuns) words = SplitFields(comment, kBlankRuns);
    return words;
}

}  // namespace

Layout FindLayout(std::string_view text, bool at_end, const TableOptions& options)
{
    Layout layout;
    Sample sample = TakeSample(text, at_end);
    if (sample.lines.empty() && !at_end) return layout;
    layout.found = true;
    if (sample.lines.empty()) return layout;

    layout.delimiter = options.delimiter != 0 ? options.delimiter : DetectDelimiter(sample.lines);
    std::vector<std::string> first = SplitFields(sample.lines.front(), layout.delimiter);
    const bool header = !std::all_of(first.begin(), first.end(), NumberLike);
    std::vector<std::string_view> data_lines(sample.lines.begin() + (header ? 1 : 0), sample.lines.end());
    if (data_lines.empty()) {
        // A header line alone: no data, or data still to come.
        layout.found = at_end;
        return layout;
    }
    layout.decimal_comma = options.decimal_comma || WritesDecimalCommas(data_lines, layout.delimiter);
    layout.columns = SplitFields(data_lines.front(), layout.delimiter).size();
    if (header) {
        layout.names = std::move(first);
        layout.data_offset = sample.first_line_end;
        layout.lines_before = sample.lines_to_first_end;
    } else if (!sample.comment.empty()) {
        std::vector<std::string> words = CommentWords(sample.comment, layout.delimiter, layout.columns);
        if (words.size() == layout.columns) layout.names = std::move(words);
    }
    return layout;
}

}  // namespace fitcore::table
