// handles.h - owning C++ handles on the library's plain records: each
// releases its record with the record's own dispose operation.
#pragma once

#include <memory>
#include <span>

#include <fitcore/pcpfile.h>
#include <fitcore/point.h>
#include <fitcore/pointlist.h>

namespace fitcore {

struct PCPFileDisposer {
    void operator()(PCPFile* file) const { DisposePCPFile(file); }
};
struct PointlistFreer {
    void operator()(PointlistSegment* list) const { FreePointlist(list); }
};

// A PCPFile released by DisposePCPFile; a Pointlist released by FreePointlist.
using PCPFileHandle = std::unique_ptr<PCPFile, PCPFileDisposer>;
using PointlistHandle = std::unique_ptr<PointlistSegment, PointlistFreer>;

// A new record loaded from `path` by LoadFile (CSV for names ending in
// ".csv", PCP otherwise), which prints its progress and diagnostics on
// standard output. Null when the record can't be made or the file can't be
// loaded; *result, when given, then holds LoadFile's result (0 on success,
// -1 when no record could be made).
PCPFileHandle load_data_file(const char* path, int* result = nullptr);

// The points of a loaded record; empty while it holds none.
inline std::span<Point> points_of(PCPFile& file)
{
    return file.points != nullptr && file.count > 0 ? std::span<Point>(file.points, static_cast<std::size_t>(file.count))
                                                     : std::span<Point>();
}

// A new, empty point list; null when it can't be made.
inline PointlistHandle make_pointlist() { return PointlistHandle(MakePointlist()); }

}  // namespace fitcore
