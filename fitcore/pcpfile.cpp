// pcpfile.cpp - the PCPFile record, loading by name, and the PCP reader and writer.
#include "pcpfile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "number_format.h"
#include "number_scanner.h"
#include "output_buffer.h"

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

FilePtr OpenFile(const char* path, const char* mode)
{
    return FilePtr(std::fopen(path, mode), &std::fclose);
}

bool EndsWith(const char* text, const char* suffix)
{
    size_t length = std::strlen(text), suffix_length = std::strlen(suffix);
    return length >= suffix_length && std::strcmp(text + length - suffix_length, suffix) == 0;
}

// Header "count tag has_sigma": a field that does not convert, and every
// field after it, keeps the record's value. False when a field is out of range.
bool ReadHeader(NumberScanner& scan, PCPFile* file)
{
    for (int32_t* field : {&file->count, &file->tag, &file->has_sigma}) {
        NumberScanner::Status status = scan.ReadInt(field);
        if (status == NumberScanner::Status::OutOfRange) return false;
        if (status == NumberScanner::Status::NoNumber) break;
    }
    return true;
}

bool ReadPoint(NumberScanner& scan, Point& point, bool has_sigma)
{
    using Status = NumberScanner::Status;
    if (scan.ReadDouble(&point.x) != Status::Ok || scan.ReadDouble(&point.y) != Status::Ok)
        return false;
    if (!has_sigma) {
        point.sigma = 0;
        return true;
    }
    return scan.ReadDouble(&point.sigma) == Status::Ok;
}

// Reads up to `count` points; returns how many were read in full. A point
// that does not convert completely ends the reading and is cleared again.
int32_t ReadPoints(NumberScanner& scan, Point* points, int32_t count, bool has_sigma)
{
    for (int32_t i = 0; i < count; ++i) {
        if (!ReadPoint(scan, points[i], has_sigma)) {
            points[i] = Point{};
            return i;
        }
    }
    return count;
}

// The point lines, "%g %g %g\n" with sigma or "%g %g\n" without, in array
// order. False when a write failed.
bool WritePoints(std::FILE* out, const PCPFile* file)
{
    const Point* points = file->points;
    size_t count = file->count > 0 ? static_cast<size_t>(file->count) : 0;
    OutputBuffer buffer(out);
    if (file->has_sigma) {
        AppendRows(buffer, count, 3 * (MaxGeneralLength() + 1), [points](char* text, size_t row) {
            const Point& point = points[row];
            text = AppendGeneral(text, point.x);
            *text++ = ' ';
            text = AppendGeneral(text, point.y);
            *text++ = ' ';
            text = AppendGeneral(text, point.sigma);
            *text++ = '\n';
            return text;
        });
    } else {
        AppendRows(buffer, count, 2 * (MaxGeneralLength() + 1), [points](char* text, size_t row) {
            const Point& point = points[row];
            text = AppendGeneral(text, point.x);
            *text++ = ' ';
            text = AppendGeneral(text, point.y);
            *text++ = '\n';
            return text;
        });
    }
    return buffer.Flush();
}

}  // namespace

PCPFile* InitPCPFile()
{
    return static_cast<PCPFile*>(std::calloc(1, sizeof(PCPFile)));
}

void DisposeStaticPCPFile(PCPFile* file)
{
    if (file == nullptr || file->points == nullptr) return;
    std::free(file->points);
    file->points = nullptr;
}

void DisposePCPFile(PCPFile* file)
{
    if (file == nullptr) return;
    DisposeStaticPCPFile(file);
    std::free(file);
}

int LoadFile(const char* path, PCPFile* file)
{
    if (EndsWith(path, ".csv")) {
        std::printf("Loading CSV file %s...\n", path);
        return LoadCSVFile(path, file);
    }
    std::printf("Loading PCP file %s...\n", path);
    return LoadPCPFile(path, file);
}

int LoadPCPFile(const char* path, PCPFile* file)
{
    FilePtr in = OpenFile(path, "r");
    if (!in) {
        std::printf("Can't open %s for reading!\n", path);
        return 1;
    }
    NumberScanner scan(in.get());
    if (!ReadHeader(scan, file) || file->count < 0) return 2;

    // Zeroed, so no field of a point is ever left as uninitialised memory.
    // One element at least, so an empty file still gets a valid array.
    size_t elements = std::max<size_t>(static_cast<size_t>(file->count), 1);
    file->points = static_cast<Point*>(std::calloc(elements, sizeof(Point)));
    if (file->points == nullptr) return 2;

    int32_t read = ReadPoints(scan, file->points, file->count, file->has_sigma != 0);
    if (read < file->count) {
        std::printf("Warning: file may be corrupted (%d of %d points read).", read, file->count);
        file->count = read;
    }
    return 0;
}

int SavePCPFile(const char* path, const PCPFile* file)
{
    FilePtr out = OpenFile(path, "w");
    if (!out) {
        std::printf("Can't open %s for writing!\n", path);
        return 1;
    }
    std::fprintf(out.get(), "%d %d %d\n", file->count, file->tag, file->has_sigma);
    bool written = WritePoints(out.get(), file);
    // A full disk must not pass for a saved file.
    bool failed = !written || std::ferror(out.get()) != 0;
    failed = std::fclose(out.release()) != 0 || failed;
    if (failed) {
        std::printf("Can't write %s completely!\n", path);
        return 1;
    }
    return 0;
}
