// csvimport.cpp - import of comma-separated x,y[,sigma] files, and its line helpers.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "line_reader.h"
#include "pcpfile.h"
#include "platform.h"
#include "pointlist_append.h"

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
// as a number. Plain decimals take the from_chars fast path. On success
// moves *at behind the number; false when no number starts there.
bool ReadNumber(const char** at, double* value)
{
    const char* first = *at;
    while (IsSpace(*first)) ++first;
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

// "x,y" or, with two or more commas, "x,y,sigma" and whatever follows. A
// comma must follow its number directly; text after the last field used is
// ignored. False when any of the fields used does not convert.
bool ParseCSVLine(const char* line, Point* point)
{
    int32_t commas = CountChars(line, ',');
    if (commas == 0) return false;
    const char* at = line;
    if (!ReadNumber(&at, &point->x) || *at != ',') return false;
    ++at;
    if (!ReadNumber(&at, &point->y)) return false;
    point->sigma = 0;
    if (commas == 1) return true;
    if (*at != ',') return false;
    ++at;
    return ReadNumber(&at, &point->sigma);
}

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;
using ListPtr = std::unique_ptr<PointlistSegment, decltype(&FreePointlist)>;

// Adds the points of every line after the header to `list`, in line order.
// False when the list can't take another point.
bool ReadPoints(LineReader& reader, Pointlist list)
{
    long line_number = 1;
    reader.Next();  // the header, skipped whatever it holds
    ++line_number;
    PointlistSegment* tail = list;
    int32_t count = 0;
    // The end of the input and a read error alike end the loop.
    for (const char* line; (line = reader.Next()) != nullptr; ++line_number) {
        Point point{};
        if (!ParseCSVLine(line, &point)) {
            std::printf("Bad input line: %ld\n", line_number);
            continue;
        }
        // The record counts its points in 32 bits.
        if (count == std::numeric_limits<int32_t>::max() || AppendPoint(&tail, point) != 0)
            return false;
        ++count;
    }
    return true;
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
        std::printf("Can't open %s for reading!\n", path);
        return 1;
    }
    ListPtr list(MakePointlist(), &FreePointlist);
    if (!list) {
        std::printf("Could not create Pointlist!\n");
        return 1;
    }
    LineReader reader(in.get());
    if (!reader.ok() || !ReadPoints(reader, list.get())) {
        file->count = GetPointCount(list.get());
        return 2;
    }
    in.reset();
    file->points = PointlistToArray(list.get());
    file->count = GetPointCount(list.get());
    return file->points == nullptr ? 2 : 0;
}
