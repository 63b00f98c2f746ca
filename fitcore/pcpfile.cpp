// pcpfile.cpp - the PCPFile record, loading by name, and the PCP reader and writer.
#include <fitcore/pcpfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <fitcore/handles.h>
#include <fitcore/number_format.h>
#include "number_scanner.h"
#include "open_failure.h"
#include "pcp_stream.h"
#include <fitcore/output_buffer.h>
#include <fitcore/platform.h>

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

// Reads the header "count tag has_sigma". At the end of the input a field,
// and every field after it, keeps the record's value, so an empty file holds
// zero points; anything else must be a whole number of 32 bits. 0 read; 1
// the file holds text that is not a header; 2 a field out of range. The
// reason is printed.
int ReadHeader(NumberScanner& scan, PCPFile* file, const char* path)
{
    struct Field {
        int32_t* value;
        const char* name;
    };
    for (Field field : {Field{&file->count, "point count"}, Field{&file->tag, "tag"},
                        Field{&file->has_sigma, "has_sigma"}}) {
        if (scan.AtEnd()) return 0;
        NumberScanner::Status status = scan.ReadInt(field.value);
        if (status == NumberScanner::Status::NoNumber) {
            std::printf("Can't load %s: it does not start with a PCP header of three whole numbers.\n", path);
            return 1;
        }
        if (status == NumberScanner::Status::OutOfRange) {
            std::printf("Can't load %s: the %s in its header is out of range.\n", path, field.name);
            return 2;
        }
    }
    return 0;
}

// Reads up to `count` points; returns how many were read in full. A point
// that does not convert completely ends the reading and stays all zero, as
// the array came. The numbers are read in chunks of a block's worth of
// points or so, small beside the point array.
int32_t ReadPoints(NumberScanner& scan, Point* points, int32_t count, bool has_sigma)
{
    constexpr size_t kChunkPoints = size_t{1} << 15;
    const size_t per_point = has_sigma ? 3 : 2;
    const size_t total = count > 0 ? static_cast<size_t>(count) : 0;
    std::vector<double> values(std::min(total, kChunkPoints) * per_point);
    size_t done = 0;
    while (done < total) {
        size_t wanted = std::min(total - done, kChunkPoints);
        size_t whole = scan.ReadDoubles(values.data(), wanted * per_point) / per_point;
        const double* value = values.data();
        for (Point* point = points + done; point != points + done + whole; ++point) {
            point->x = *value++;
            point->y = *value++;
            if (has_sigma) point->sigma = *value++;
        }
        done += whole;
        if (whole < wanted) break;
    }
    return static_cast<int32_t>(done);
}

// One point line, x y sigma with sigma and x y without, every value exact.
char* AppendPointLine(char* text, const Point& point, bool has_sigma)
{
    return has_sigma ? fitcore::AppendGeneralLine(text, point.x, point.y, point.sigma)
                     : fitcore::AppendGeneralLine(text, point.x, point.y);
}

size_t MaxPointLineLength(bool has_sigma) { return fitcore::MaxGeneralLineLength(has_sigma ? 3 : 2); }

// The point lines of the record's array, in array order. False when a write failed.
bool WritePoints(std::FILE* out, const PCPFile* file)
{
    const Point* points = file->points;
    size_t count = file->count > 0 ? static_cast<size_t>(file->count) : 0;
    bool has_sigma = file->has_sigma != 0;
    fitcore::OutputBuffer buffer(out);
    fitcore::AppendRows(buffer, count, MaxPointLineLength(has_sigma), [points, has_sigma](char* text, size_t row) {
        return AppendPointLine(text, points[row], has_sigma);
    });
    return buffer.Flush();
}

// The point lines of a list, in list order, from one walk over its segments
// rather than locating every index anew. False when a write failed.
bool WritePoints(std::FILE* out, Pointlist list, bool has_sigma)
{
    fitcore::OutputBuffer buffer(out);
    size_t max_length = MaxPointLineLength(has_sigma);
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next) {
        for (int32_t slot = 0; slot < kPointlistSegmentSize; ++slot) {
            if (!segment->slots[slot].used) continue;
            buffer.Commit(AppendPointLine(buffer.Reserve(max_length), segment->slots[slot].point, has_sigma));
        }
    }
    return buffer.Flush();
}

// Closes a written file. A full disk must not pass for a saved file, so a
// failed write or close is reported and gives 1.
int FinishWrite(FilePtr out, bool written, const char* path)
{
    bool failed = !written || std::ferror(out.get()) != 0;
    failed = std::fclose(out.release()) != 0 || failed;
    if (failed) {
        std::printf("Can't write %s completely!\n", path);
        return 1;
    }
    return 0;
}

// LoadPCPFile on what the scanner reads.
int ReadPCPFile(NumberScanner& scan, const char* path, PCPFile* file)
{
    scan.SkipByteOrderMark();
    if (int result = ReadHeader(scan, file, path); result != 0) return result;
    if (file->count < 0) {
        std::printf("Can't load %s: the point count %d is negative.\n", path, file->count);
        return 2;
    }

    // Zeroed, so no field of a point is ever left as uninitialised memory.
    // One element at least, so an empty file still gets a valid array.
    size_t elements = std::max<size_t>(static_cast<size_t>(file->count), 1);
    file->points = static_cast<Point*>(std::calloc(elements, sizeof(Point)));
    if (file->points == nullptr) {
        std::printf("Can't load %s: not enough memory for %d points.\n", path, file->count);
        return 2;
    }
    fitcore::AdviseLargePages(file->points, elements * sizeof(Point));

    int32_t read = ReadPoints(scan, file->points, file->count, file->has_sigma != 0);
    if (read < file->count) {
        std::printf("Warning: file may be corrupted (%d of %d points read).", read, file->count);
        file->count = read;
    }
    return 0;
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
    FilePtr in(fitcore::OpenForReading(path), &std::fclose);
    if (!in) {
        fitcore::PrintOpenFailure(path, errno);
        return 1;
    }
    return fitcore::ReadPCPAfter({}, in.get(), path, file);
}

int fitcore::ReadPCPAfter(std::string_view prefix, std::FILE* in, const char* path, PCPFile* file)
{
    try {
        NumberScanner scan(prefix, in);
        return ReadPCPFile(scan, path, file);
    } catch (const std::bad_alloc&) {
        // A buffer for a huge token, or for the numbers of a chunk.
        DisposeStaticPCPFile(file);
        std::printf("Can't load %s: not enough memory.\n", path);
        return 2;
    }
}

int SavePCPFile(const char* path, const PCPFile* file)
{
    FilePtr out = OpenFile(path, "wb");
    if (!out) {
        std::printf("Can't open %s for writing!\n", path);
        return 1;
    }
    std::fprintf(out.get(), "%d %d %d\n", file->count, file->tag, file->has_sigma);
    bool written = WritePoints(out.get(), file);
    return FinishWrite(std::move(out), written, path);
}

int SavePCPFileFromPointlist(const char* path, PCPFile* file, Pointlist list)
{
    FilePtr out = OpenFile(path, "wb");
    if (!out) {
        std::printf("Can't open %s for writing!\n", path);
        return 1;
    }
    file->count = GetPointCount(list);
    std::fprintf(out.get(), "%d %d %d\n", file->count, file->tag, file->has_sigma);
    bool written = WritePoints(out.get(), list, file->has_sigma != 0);
    return FinishWrite(std::move(out), written, path);
}

fitcore::PCPFileHandle fitcore::load_data_file(const char* path, int* result)
{
    PCPFileHandle file(InitPCPFile());
    const int loaded = file ? LoadFile(path, file.get()) : -1;
    if (result != nullptr) *result = loaded;
    return loaded == 0 ? std::move(file) : nullptr;
}
