// data_file.cpp - loading a data file by its name and its first bytes.
#include <fitcore/data_file.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include <fitcore/platform.h>
#include "file_system_name.h"
#include "line_reader.h"
#include "open_failure.h"
#include "pcp_stream.h"
#include "table_fields.h"
#include "table_stream.h"
#include "text_chars.h"

namespace fitcore {

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

// The name ends in ".", then `extension` (three lower-case letters) in any case.
bool HasExtension(const char* path, const char* extension)
{
    std::size_t length = std::strlen(path);
    if (length < 4) return false;
    const char* end = path + length - 4;
    return end[0] == '.' && (end[1] | 0x20) == extension[0] && (end[2] | 0x20) == extension[1] &&
           (end[3] | 0x20) == extension[2];
}

// Takes the start of the stream into *taken until it tells whether the
// stream starts as the PCP reader's header does: three whole numbers, or
// fewer before the end of the input. The first field that does not start
// with a sign or a digit makes it no PCP file.
bool StartsAsPCP(std::FILE* in, std::string* taken)
{
    auto next = [&] {
        int c = std::getc(in);
        if (c != EOF) taken->push_back(static_cast<char>(c));
        return c;
    };
    int c = next();
    if (c == 0xEF) {  // a byte order mark, which the PCP reader skips
        if ((c = next()) != 0xBB || (c = next()) != 0xBF) return false;
        c = next();
    }
    for (int field = 0; field < 3; ++field) {
        while (c != EOF && IsSpace(c)) c = next();
        if (c == EOF) return true;
        if (c == '+' || c == '-') c = next();
        if (!IsDigit(c)) return false;
        while (IsDigit(c)) c = next();
    }
    return true;
}

// The names of x and y from a CSV file's header line, unless it holds numbers
// only; and whether its first data line holds a ';'.
struct CSVStart {
    std::string x_name, y_name;
    bool semicolons = false;
};

CSVStart LookAtCSV(const char* path)
{
    CSVStart start;
    // A pipe can be read once only: its data go to the reader.
    std::error_code error;
    if (!std::filesystem::is_regular_file(FileSystemPath(path), error)) return start;
    FilePtr in(OpenForReading(path), &std::fclose);
    if (!in) return start;
    LineReader reader(in.get(), 4096);
    const char* header = reader.ok() ? reader.Next() : nullptr;
    if (header == nullptr) return start;
    std::vector<std::string> names = table::SplitFields(header, ',');
    const char* data = reader.Next();
    start.semicolons = data != nullptr && std::strchr(data, ';') != nullptr;
    double value;
    bool numbers = true;
    for (const std::string& name : names)
        numbers = numbers && table::ClassifyField(name, false, &value) != table::FieldKind::Text;
    if (!numbers && names.size() >= 2) {
        start.x_name = names[0];
        start.y_name = names[1];
    }
    return start;
}

// A CSV line whose x or y reads as NaN is a missing value, as in a table:
// its point is dropped and counted, and a file left without points is
// refused. Files without NaN keep every point as read.
DataFileResult DropMissingPoints(const char* path, PCPFile* file, DataFileInfo* info)
{
    const auto missing = [](const Point& point) { return std::isnan(point.x) || std::isnan(point.y); };
    Point* const end = file->points + file->count;
    Point* first = std::find_if(file->points, end, missing);  // read only: most files have none
    if (first == end) return DataFileResult::Loaded;
    const Point* kept = std::remove_if(first, end, missing);
    const auto left = static_cast<int32_t>(kept - file->points);
    info->skipped = static_cast<std::size_t>(file->count - left);
    file->count = left;
    std::printf("Skipped %zu rows with missing values\n", info->skipped);
    if (left > 0) return DataFileResult::Loaded;
    std::printf("Can't load %s: it holds no usable point.\n", path);
    return DataFileResult::Failed;
}

// Prints what the table reader met and moves its rows into the record.
// With `kept`, the table itself goes there and the record holds no points.
DataFileResult TakeTable(Table table, const char* path, PCPFile* file, DataFileInfo* info, Table* kept)
{
    for (long line : table.bad_lines) std::printf("Bad input line: %ld\n", line);
    if (table.skipped > 0) std::printf("Skipped %zu rows with missing values\n", table.skipped);
    if (!table.ok) {
        std::printf("Can't load %s: %s.\n", path, table.error.c_str());
        return DataFileResult::Failed;
    }
    if (table.rows > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        std::printf("Can't load %s: it holds more than %d points.\n", path, std::numeric_limits<int32_t>::max());
        return DataFileResult::Failed;
    }
    info->skipped = table.skipped;
    if (table.named) {
        info->x_name = table.names[0];
        info->y_name = table.names[table.x_columns];
        info->x_names.assign(table.names.begin(), table.names.begin() + static_cast<std::ptrdiff_t>(table.x_columns));
    }
    const auto count = static_cast<int32_t>(table.rows);
    file->has_sigma = table.has_sigma ? 1 : 0;
    if (kept != nullptr) {
        file->count = count;
        *kept = std::move(table);
        return DataFileResult::Loaded;
    }
    file->points = take_points(table);
    if (file->points == nullptr) {
        std::printf("Can't load %s: not enough memory.\n", path);
        return DataFileResult::OutOfMemory;
    }
    file->count = count;
    AdviseLargePages(file->points, static_cast<std::size_t>(count) * sizeof(Point));
    return DataFileResult::Loaded;
}

DataFileResult FromPCPResult(int result)
{
    if (result == 0) return DataFileResult::Loaded;
    return result == 2 ? DataFileResult::OutOfMemory : DataFileResult::Failed;
}

DataFileResult LoadCSV(const char* path, const TableOptions& options, PCPFile* file, DataFileInfo* info,
                       Table* kept)
{
    std::printf("Loading CSV file %s...\n", path);
    const bool as_table = asks_for_table(options) || options.needs_sigma;
    const CSVStart start = as_table ? CSVStart{} : LookAtCSV(path);
    if (!as_table && !start.semicolons) {
        info->x_name = start.x_name;
        info->y_name = start.y_name;
        const DataFileResult result = FromPCPResult(LoadCSVFile(path, file));
        return result == DataFileResult::Loaded ? DropMissingPoints(path, file, info) : result;
    }
    FilePtr in(OpenForReading(path), &std::fclose);
    if (!in) {
        PrintOpenFailure(path, errno);
        return DataFileResult::Failed;
    }
    return TakeTable(ReadTableAfter({}, in.get(), options), path, file, info, kept);
}

// A stream whose kind its first bytes tell.
DataFileResult LoadStream(std::FILE* in, const char* path, const TableOptions& options, PCPFile* file,
                          DataFileInfo* info, bool named_pcp, Table* kept)
{
    std::string taken;
    if (named_pcp || StartsAsPCP(in, &taken)) {
        if (asks_for_table(options)) return DataFileResult::NotATable;
        std::printf("Loading PCP file %s...\n", path);
        return FromPCPResult(ReadPCPAfter(taken, in, path, file));
    }
    std::printf("Loading table %s...\n", path);
    return TakeTable(ReadTableAfter(taken, in, options), path, file, info, kept);
}

}  // namespace

bool asks_for_table(const TableOptions& options)
{
    return !options.columns.empty() || options.delimiter != 0 || options.decimal_comma;
}

namespace {

DataFileResult Load(const char* path, const TableOptions& options, PCPFile* file, DataFileInfo* info, Table* kept)
{
    *info = DataFileInfo{};
    if (std::strcmp(path, "-") == 0) {
        UseBinaryMode(0);
        return LoadStream(stdin, path, options, file, info, false, kept);
    }
    if (HasExtension(path, "csv")) return LoadCSV(path, options, file, info, kept);
    FilePtr in(OpenForReading(path), &std::fclose);
    if (!in) {
        const int error = errno;
        std::printf("Loading PCP file %s...\n", path);
        PrintOpenFailure(path, error);
        return DataFileResult::Failed;
    }
    // A name that says PCP is read as PCP whatever it holds.
    return LoadStream(in.get(), path, options, file, info, HasExtension(path, "pcp"), kept);
}

}  // namespace

DataFileResult LoadDataFile(const char* path, const TableOptions& options, PCPFile* file, DataFileInfo* info)
{
    return Load(path, options, file, info, nullptr);
}

DataFileResult LoadDataRows(const char* path, const TableOptions& options, PCPFile* file, Table* table,
                            DataFileInfo* info)
{
    *table = Table{};
    return Load(path, options, file, info, table);
}

}  // namespace fitcore
