// csvimport.cpp - import of comma-separated x,y[,sigma] files, and its line helpers.
#include <charconv>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "line_reader.h"
#include "open_failure.h"
#include <fitcore/pcpfile.h>
#include <fitcore/platform.h>
#include "pointlist_append.h"
#include "short_decimal.h"
#include "text_chars.h"
#include "two_halves.h"

namespace {

using fitcore::IsDigit;
using fitcore::IsSpace;
using fitcore::RunHalves;

// Characters that strtod may take as part of one number: digits, sign,
// point, exponent and hexadecimal letters, "inf"/"nan" and "nan(...)".
bool MayBelongToNumber(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '+' || c == '-' || c == '_' || c == '(' || c == ')';
}

// Text that std::from_chars and strtod read alike: decimal digits, point,
// exponent and signs, but no leading '+', which from_chars refuses.
bool IsPlainDecimal(const char* first, const char* last)
{
    if (first == last || *first == '+') return false;
    for (const char* c = first; c != last; ++c)
        if (!IsDigit(*c) && *c != '.' && *c != 'e' && *c != 'E' && *c != '-' && *c != '+')
            return false;
    return true;
}

// One "%le" field: white space, then the longest prefix that strtod takes
// as a number. A short plain decimal that is the whole token is converted by
// one exact operation; other plain decimals by from_chars. On success moves
// *at behind the number; false when no number starts there. The text from
// *at on is NUL-ended before `text_end`, which it may be read up to.
bool ReadNumber(const char** at, const char* text_end, double* value)
{
    const char* first = *at;
    while (IsSpace(*first)) ++first;
    if (const char* end = fitcore::ReadShortDecimalNumber(first, text_end, value);
        end != nullptr && !MayBelongToNumber(*end)) {
        *at = end;
        return true;
    }
    const char* last = first;
    while (MayBelongToNumber(*last)) ++last;
    if (IsPlainDecimal(first, last)) {
        auto [stop, error] = std::from_chars(first, last, *value);
        if (error == std::errc() && stop == last) {
            *at = last;
            return true;
        }
    }
    char* stop = nullptr;
    double parsed = std::strtod(first, &stop);
    if (stop == first) return false;
    *value = parsed;
    *at = stop;
    return true;
}

// "x,y" or, when the line holds two or more commas, "x,y,sigma" and
// whatever follows. A comma must follow its number directly; text after the
// last field used is ignored. False when any of the fields used does not
// convert, or, in a line that was `cut`, runs into the cut and may have lost
// digits. The line is NUL-ended before `text_end`.
bool ParseCSVLine(const char* line, const char* text_end, bool cut, Point* point)
{
    const char* at = line;
    if (!ReadNumber(&at, text_end, &point->x) || *at != ',') return false;
    ++at;
    if (!ReadNumber(&at, text_end, &point->y)) return false;
    point->sigma = 0;
    if (*at == ',') {
        ++at;
        if (!ReadNumber(&at, text_end, &point->sigma)) return false;
    } else if (std::strchr(at, ',') != nullptr) {
        return false;  // a second comma, not right behind y
    }
    return !(cut && *at == '\0');
}

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;
using ListPtr = std::unique_ptr<PointlistSegment, decltype(&FreePointlist)>;

// Lines of the file after the header are copied out of the reader a batch at
// a time, up to kBatchLines lines or about kBatchBytes of text.
constexpr size_t kBatchLines = 131072;
constexpr size_t kBatchBytes = size_t{2} << 20;

struct LineBatch {
    std::vector<char> text;       // the lines, each ended by its NUL
    std::vector<size_t> starts;   // where each line begins in `text`
    std::vector<bool> cut;        // the line lost its end (LineReader::cut)
    bool last = false;            // the input ended in this batch
};

// The points of some of a batch's lines and the lines among them that are bad.
struct ParsedLines {
    std::vector<Point> points;                       // of the good lines, in line order
    std::vector<std::pair<size_t, size_t>> bad_lines; // points before it, line index in the batch
};

// Copies up to a batch's worth of lines from `reader` into `batch`.
void CollectLines(LineReader& reader, LineBatch& batch)
{
    batch.text.clear();
    batch.starts.clear();
    batch.cut.clear();
    batch.last = false;
    while (batch.starts.size() < kBatchLines && batch.text.size() < kBatchBytes) {
        // The end of the input and a read error alike end the lines.
        const char* line = reader.Next();
        if (line == nullptr) {
            batch.last = true;
            return;
        }
        batch.starts.push_back(batch.text.size());
        batch.cut.push_back(reader.cut());
        // A NUL within the line ends it for the parser as it ends the C string.
        batch.text.insert(batch.text.end(), line, line + reader.length() + 1);
    }
}

// Parses the lines first to last - 1 of the batch into `parsed`.
void ParseLines(const LineBatch& batch, size_t first, size_t last, ParsedLines& parsed)
{
    parsed.points.clear();
    parsed.bad_lines.clear();
    const char* text_end = batch.text.data() + batch.text.size();
    for (size_t line = first; line < last; ++line) {
        Point point{};
        if (ParseCSVLine(batch.text.data() + batch.starts[line], text_end, batch.cut[line], &point))
            parsed.points.push_back(point);
        else
            parsed.bad_lines.emplace_back(parsed.points.size(), line);
    }
}

// Appends the parsed points behind `*tail` and reports the bad lines, all in
// line order; the batch's first line has the number `first_line_number`.
// False when the list can't take another point.
bool TakePoints(const ParsedLines& parsed, long first_line_number, PointlistSegment** tail, int32_t* count)
{
    size_t next = 0;
    auto append_up_to = [&](size_t end) {
        for (; next < end; ++next) {
            // The record counts its points in 32 bits.
            if (*count == std::numeric_limits<int32_t>::max() || AppendPoint(tail, parsed.points[next]) != 0)
                return false;
            ++*count;
        }
        return true;
    };
    for (auto [points_before, line] : parsed.bad_lines) {
        if (!append_up_to(points_before)) return false;
        std::printf("Bad input line: %ld\n", first_line_number + static_cast<long>(line));
    }
    return append_up_to(parsed.points.size());
}

// Adds the points of every line after the header to `list`, in line order,
// reporting the bad lines. Each batch's lines are parsed as two halves at
// once; meanwhile the thread at hand takes the points of the batch before
// (into the list, bad lines reported), so the batches are taken in order.
// False when the list can't take another point.
bool ReadPoints(LineReader& reader, Pointlist list)
{
    PointlistSegment* tail = list;
    int32_t count = 0;
    reader.Next();  // the header, skipped whatever it holds
    long line_number = 2;
    LineBatch batch;
    ParsedLines parsed[2][2];  // the halves of this batch and of the one before, by turns
    const ParsedLines* waiting = nullptr;  // the halves parsed and not yet taken
    long waiting_line_number = 0;
    auto take_waiting = [&] {
        if (waiting == nullptr) return true;
        const bool taken = TakePoints(waiting[0], waiting_line_number, &tail, &count) &&
                           TakePoints(waiting[1], waiting_line_number, &tail, &count);
        waiting = nullptr;
        return taken;
    };
    for (int turn = 0;; turn ^= 1) {
        CollectLines(reader, batch);
        const size_t lines = batch.starts.size();
        ParsedLines* halves = parsed[turn];
        halves[1].points.clear();
        halves[1].bad_lines.clear();
        bool taken = true;
        RunHalves(0, lines / 2, lines, batch.text.size(), [&](size_t first, size_t last) {
            if (first == 0) taken = take_waiting();
            ParseLines(batch, first, last, halves[first == 0 ? 0 : 1]);
        });
        if (!taken) return false;
        waiting = halves;
        waiting_line_number = line_number;
        line_number += static_cast<long>(lines);
        if (batch.last) return take_waiting();
    }
}

}  // namespace

char* GetLine(char* buffer, int32_t size, std::FILE* in)
{
    if (size < 2) return nullptr;
    int32_t length = 0;
    bool line_ended = false;
    while (length < size - 1 && !line_ended) {
        int c = std::getc(in);
        if (c == EOF) break;
        buffer[length++] = static_cast<char>(c);
        line_ended = c == '\n';
    }
    if (length == 0) return nullptr;
    buffer[length] = '\0';
    if (line_ended) {
        buffer[length - 1] = '\0';
    } else {
        // Whether the line was too long or is the last one without a line end,
        // what is left of it up to its line end is not part of the next line.
        for (int c = std::getc(in); c != EOF && c != '\n'; c = std::getc(in)) {
        }
    }
    return buffer;
}

int32_t CountChars(const char* text, char c)
{
    if (text == nullptr || c == '\0') return 0;
    int32_t count = 0;
    for (const char* hit = std::strchr(text, c); hit != nullptr; hit = std::strchr(hit + 1, c)) ++count;
    return count;
}

int LoadCSVFile(const char* path, PCPFile* file)
{
    FilePtr in(fitcore::OpenForReading(path), &std::fclose);
    if (!in) {
        fitcore::PrintOpenFailure(path, errno);
        return 1;
    }
    ListPtr list(MakePointlist(), &FreePointlist);
    if (!list) {
        std::printf("Could not create Pointlist!\n");
        return 1;
    }
    bool read = false;
    try {
        LineReader reader(in.get());
        read = reader.ok() && ReadPoints(reader, list.get());
    } catch (const std::bad_alloc&) {
    }
    in.reset();
    if (read) file->points = PointlistToArray(list.get());
    file->count = GetPointCount(list.get());
    if (file->points != nullptr) return 0;
    if (!read && file->count == std::numeric_limits<int32_t>::max())
        std::printf("Can't load %s: it holds more than %d points.\n", path, file->count);
    else
        std::printf("Can't load %s: not enough memory.\n", path);
    return 2;
}
