// table.cpp - reading a text table in large blocks, each block's rows
// converted as two halves at once.
#include <fitcore/table.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include <fitcore/platform.h>
#include "table_fields.h"
#include "table_layout.h"
#include "table_stream.h"
#include "two_halves.h"

namespace fitcore {

namespace {

using table::Layout;
using table::RowParser;

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// Space for doubles, grown with realloc, which moves large blocks by
// remapping their pages rather than copying them; pages not yet written
// take no memory.
class ValueSpace {
public:
    ~ValueSpace() { std::free(data_); }
    double* data() { return data_; }
    // Room for `count` values at least, growing by half its size at least.
    void Reserve(std::size_t count)
    {
        if (count <= capacity_) return;
        std::size_t capacity = std::max(count, capacity_ + capacity_ / 2);
        void* grown = std::realloc(data_, capacity * sizeof(double));
        if (grown == nullptr) throw std::bad_alloc();
        data_ = static_cast<double*>(grown);
        capacity_ = capacity;
    }
    // The values as an array of exactly `count`, which the caller owns.
    double* Release(std::size_t count)
    {
        double* values = data_;
        if (count > 0 && count < capacity_) {
            void* shrunk = std::realloc(data_, count * sizeof(double));
            if (shrunk != nullptr) values = static_cast<double*>(shrunk);
        }
        data_ = nullptr;
        capacity_ = 0;
        return values;
    }

private:
    double* data_ = nullptr;
    std::size_t capacity_ = 0;
};

// The text of the stream, a block at a time after what was already read.
class TextBlocks {
public:
    TextBlocks(std::string_view prefix, std::FILE* in)
        : in_(in), capacity_(std::max(kBlockSize, prefix.size() + kBlockSize / 2)), end_(prefix.size())
    {
        text_.reset(new char[capacity_]);
        if (!prefix.empty()) std::memcpy(text_.get(), prefix.data(), prefix.size());
    }
    const char* begin() const { return text_.get() + pos_; }
    const char* end() const { return text_.get() + end_; }
    bool at_end() const { return at_end_; }
    void Consume(const char* to) { pos_ = static_cast<std::size_t>(to - text_.get()); }
    // Keeps the unread text and appends the next block, in a larger buffer
    // when the unread text fills half of it. False at the end of the input
    // (a read error counts as its end).
    bool Refill()
    {
        if (at_end_) return false;
        std::memmove(text_.get(), text_.get() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        if (capacity_ - end_ < kBlockSize / 2) Grow(2 * capacity_);
        std::size_t got = std::fread(text_.get() + end_, 1, capacity_ - end_, in_);
        end_ += got;
        if (got == 0) at_end_ = true;
        return got > 0;
    }

private:
    void Grow(std::size_t capacity)
    {
        std::unique_ptr<char[]> larger(new char[capacity]);
        std::memcpy(larger.get(), text_.get(), std::min(end_, capacity));
        text_ = std::move(larger);
        capacity_ = capacity;
    }

    std::FILE* in_;
    std::size_t capacity_;
    std::unique_ptr<char[]> text_;
    std::size_t pos_ = 0, end_;
    bool at_end_ = false;
};

// The rows of one half of a block.
struct HalfRows {
    std::size_t rows = 0;
    std::size_t lines = 0;
    std::size_t missing = 0;
    std::vector<std::size_t> bad;       // line indexes within the half
    std::size_t first_offence = SIZE_MAX;  // the first bad or skipped line's index
    std::string offence_text;
};

constexpr std::size_t kQuotedLength = 60;

void ReadHalf(const RowParser& parser, std::size_t width, const char* at, const char* end, double* values,
              HalfRows& half)
{
    half = HalfRows{};
    while (at != end) {
        const char* line = at;
        RowParser::Row row = parser.Parse(at, end, values + half.rows * width, &at);
        if (row == RowParser::Row::Data) {
            ++half.rows;
        } else if (row != RowParser::Row::Passed) {
            if (row == RowParser::Row::Bad)
                half.bad.push_back(half.lines);
            else
                ++half.missing;
            if (half.first_offence == SIZE_MAX) {
                half.first_offence = half.lines;
                half.offence_text = std::string(table::LineAt(line, end).substr(0, kQuotedLength));
            }
        }
        ++half.lines;
    }
}

// Rows that `bytes` of text can hold at most: a row takes a character and a line end.
std::size_t MostRows(std::size_t bytes) { return bytes / 2 + 1; }

// Behind the last whole line of the text; the end of the text when the input has ended.
const char* WholeLinesEnd(const char* begin, const char* end, bool at_end)
{
    if (at_end) return end;
    for (const char* at = end; at != begin; --at) {
        // A CR at the very end may yet be followed by its LF.
        if (at[-1] == '\n' || (at[-1] == '\r' && at != end)) return at;
    }
    return begin;
}

// The index of each chosen column, x columns first; an error when one does not exist.
bool ResolveColumns(const TableOptions& options, const Layout& layout, std::vector<std::size_t>* fields,
                    Table* table)
{
    if (options.columns.empty()) {
        if (layout.columns < 2) {
            table->error = "it has only one column, and x and y need two";
            return false;
        }
        *fields = {0, 1};
        if (layout.columns >= 3) fields->push_back(2);
        table->has_sigma = layout.columns >= 3;
        return true;
    }
    ColumnChoice choice = parse_columns(options.columns);
    if (!choice.ok) {
        table->error = choice.error;
        return false;
    }
    std::vector<ColumnRef> refs = choice.x;
    refs.push_back(choice.y);
    if (choice.has_sigma) refs.push_back(choice.sigma);
    for (const ColumnRef& ref : refs) {
        std::size_t field = ref.number - 1;
        if (ref.number == 0) {
            if (layout.names.empty()) {
                table->error = "it has no header to name column '" + ref.name + "'";
                return false;
            }
            auto named = std::find(layout.names.begin(), layout.names.end(), ref.name);
            if (named == layout.names.end()) {
                std::string list;
                for (const std::string& name : layout.names) list += (list.empty() ? "" : ", ") + name;
                table->error = "no column is named '" + ref.name + "' (the columns are " + list + ")";
                return false;
            }
            field = static_cast<std::size_t>(named - layout.names.begin());
        } else if (ref.number > layout.columns) {
            table->error = "there is no column " + std::to_string(ref.number) + ": its first data line has " +
                           std::to_string(layout.columns) + " fields";
            return false;
        }
        if (std::find(fields->begin(), fields->end(), field) != fields->end()) {
            table->error = "column " + std::to_string(field + 1) + " is chosen twice";
            return false;
        }
        fields->push_back(field);
    }
    table->x_columns = choice.x.size();
    table->has_sigma = choice.has_sigma;
    return true;
}

// Finds the layout, reading on until the first data line is whole.
Layout ReadLayout(TextBlocks& text, const TableOptions& options)
{
    for (;;) {
        Layout layout = table::FindLayout({text.begin(), static_cast<std::size_t>(text.end() - text.begin())},
                                          text.at_end(), options);
        if (layout.found) return layout;
        text.Refill();
    }
}

class RowCollector {
public:
    RowCollector(const RowParser& parser, std::size_t width, long first_line)
        : parser_(parser), width_(width), line_base_(first_line)
    {
    }

    // Reads the whole lines of the text, two halves at once when it is large.
    void ReadLines(const char* begin, const char* end, Table& table)
    {
        const char* middle = table::NextLine(begin + (end - begin) / 2, end);
        values_.Reserve((table.rows + MostRows(static_cast<std::size_t>(end - begin))) * width_);
        double* first_values = values_.data() + table.rows * width_;
        const std::size_t first = 0, second = static_cast<std::size_t>(middle - begin);
        bool split = RunHalves(first, second, static_cast<std::size_t>(end - begin),
                               static_cast<std::size_t>(end - begin), [&](std::size_t from, std::size_t to) {
                                   if (from == first) {
                                       ReadHalf(parser_, width_, begin + from, begin + to, first_values, halves_[0]);
                                       return;
                                   }
                                   side_.Reserve(MostRows(to - from) * width_);
                                   ReadHalf(parser_, width_, begin + from, begin + to, side_.data(), halves_[1]);
                               });
        Take(halves_[0], table);
        if (!split) return;
        values_.Reserve((table.rows + halves_[1].rows) * width_);
        if (halves_[1].rows != 0)
            std::memcpy(values_.data() + table.rows * width_, side_.data(), halves_[1].rows * width_ * sizeof(double));
        Take(halves_[1], table);
    }

    void Finish(Table& table)
    {
        table.values.reset(values_.Release(table.rows * width_));
        if (table.rows > 0) {
            table.ok = true;
        } else if (first_offence_ == 0) {
            table.error = "it holds no data";
        } else {
            table.error = "it holds no usable point; the first line that gives none is line " +
                          std::to_string(first_offence_) + ": " + offence_text_;
        }
    }

private:
    void Take(const HalfRows& half, Table& table)
    {
        table.rows += half.rows;
        table.skipped += half.missing;
        for (std::size_t line : half.bad) table.bad_lines.push_back(line_base_ + static_cast<long>(line) + 1);
        if (first_offence_ == 0 && half.first_offence != SIZE_MAX) {
            first_offence_ = line_base_ + static_cast<long>(half.first_offence) + 1;
            offence_text_ = half.offence_text;
        }
        line_base_ += static_cast<long>(half.lines);
    }

    const RowParser& parser_;
    std::size_t width_;
    long line_base_;
    ValueSpace values_, side_;
    HalfRows halves_[2];
    long first_offence_ = 0;
    std::string offence_text_;
};

Table ReadRows(TextBlocks& text, const TableOptions& options)
{
    Table table;
    if (text.end() - text.begin() < 3) text.Refill();
    if (text.end() - text.begin() >= 3 && std::memcmp(text.begin(), "\xEF\xBB\xBF", 3) == 0)
        text.Consume(text.begin() + 3);
    Layout layout = ReadLayout(text, options);
    table.delimiter = layout.delimiter;
    table.decimal_comma = layout.decimal_comma;
    table.named = !layout.names.empty();
    if (layout.columns == 0) {
        table.error = "it holds no data";
        return table;
    }
    std::vector<std::size_t> fields;
    if (!ResolveColumns(options, layout, &fields, &table)) return table;
    for (std::size_t field : fields) table.names.push_back(table.named ? layout.names[field] : std::string());

    std::vector<int> slots(*std::max_element(fields.begin(), fields.end()) + 1, -1);
    for (std::size_t i = 0; i < fields.size(); ++i) slots[fields[i]] = static_cast<int>(i);
    RowParser parser(layout.delimiter, layout.decimal_comma, std::move(slots));
    RowCollector rows(parser, table.width(), layout.lines_before);
    text.Consume(text.begin() + layout.data_offset);
    for (;;) {
        const char* whole = WholeLinesEnd(text.begin(), text.end(), text.at_end());
        if (whole != text.begin()) rows.ReadLines(text.begin(), whole, table);
        text.Consume(whole);
        if (text.at_end() && text.begin() == text.end()) break;
        text.Refill();
    }
    rows.Finish(table);
    return table;
}

}  // namespace

Table ReadTableAfter(std::string_view prefix, std::FILE* in, const TableOptions& options)
{
    try {
        TextBlocks text(prefix, in);
        return ReadRows(text, options);
    } catch (const std::bad_alloc&) {
        Table table;
        table.error = "there is not enough memory for it";
        return table;
    }
}

Table read_table(std::FILE* in, const TableOptions& options) { return ReadTableAfter({}, in, options); }

Table read_table(const char* path, const TableOptions& options)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> in(OpenForReading(path), &std::fclose);
    if (!in) {
        Table table;
        table.error = std::string("it can't be opened for reading: ") + std::strerror(errno);
        return table;
    }
    return read_table(in.get(), options);
}

Point* take_points(Table& table)
{
    const std::size_t width = table.width(), rows = table.rows;
    constexpr std::size_t kPointValues = sizeof(Point) / sizeof(double);
    if (rows == 0 || !table.values) return nullptr;
    double* values = table.values.get();
    if (width < kPointValues) {
        void* grown = std::realloc(values, rows * sizeof(Point));
        if (grown == nullptr) return nullptr;
        values = static_cast<double*>(grown);
    }
    table.values.release();
    Point* points = reinterpret_cast<Point*>(values);
    const std::size_t y = table.x_columns, sigma = y + 1;
    const bool has_sigma = table.has_sigma;
    // A point is wider than a row of fewer values, so those rows are spread
    // from the last one down; rows of more values are packed from the first up.
    auto move_row = [&](std::size_t row) {
        const double* from = values + row * width;
        Point point{from[0], from[y], has_sigma ? from[sigma] : 0.0, 0.0, 0.0};
        points[row] = point;
    };
    if (width < kPointValues)
        for (std::size_t row = rows; row-- > 0;) move_row(row);
    else
        for (std::size_t row = 0; row < rows; ++row) move_row(row);
    if (width > kPointValues) {
        void* shrunk = std::realloc(points, rows * sizeof(Point));
        if (shrunk != nullptr) points = static_cast<Point*>(shrunk);
    }
    table.rows = 0;
    return points;
}

}  // namespace fitcore
