// pointlist.h - a growable list of points kept in a chain of fixed-size segments.
#pragma once

#include <cstdint>

#include <fitcore/point.h>

constexpr int32_t kPointlistSegmentSize = 128;  // slots in every segment

struct PointlistSlot {
    int32_t used;  // 0 free, 1 holds `point`
    Point point;
};

struct PointlistSegment {
    int32_t count;           // used slots in this segment, 0 to kPointlistSegmentSize
    PointlistSegment* next;  // following segment, null for the last
    PointlistSegment* prev;  // preceding segment, null for the first
    PointlistSlot* slots;    // owned array of kPointlistSegmentSize slots
};

// A list is its first segment. The points, in order, are the used slots of
// the first segment in slot order, then those of the second, and so on; a
// point's index is its position in that order, not its slot number. Every
// segment after the first holds at least one point; the first stays for the
// life of the list, also when empty.
using Pointlist = PointlistSegment*;

// New list of one empty segment; null when it can't be allocated. The slots
// are zeroed, so `fit` and `weight` of every point in the list read 0.
Pointlist MakePointlist();

// Frees `segment` and every segment after it; given the first segment, the
// whole list. A preceding segment, if any, is left as the end of its chain.
// Null is allowed.
void FreePointlist(PointlistSegment* segment);

// Unlinks one segment from its neighbours and frees it. Not for the first
// segment of a list. Null is allowed.
void FreePointlistSegment(PointlistSegment* segment);

// Stores x, y and sigma of `point` in the lowest free slot of the first
// segment that is not full, adding a segment at the end when all are full;
// so after removals a new point fills a hole. 0 stored; 1 a needed segment
// can't be allocated, and the list is unchanged.
int AddPoint(Pointlist list, Point point);

int32_t GetPointCount(Pointlist list);

// Copy of the point at `index`; all fields 0 for an index outside the list.
Point GetPoint(Pointlist list, int32_t index);

// Removes the point at `index`; later points move down one index. An empty
// segment other than the first is freed. An index outside the list is ignored.
void RemovePoint(Pointlist list, int32_t index);

// New array of GetPointCount(list) points in list order (at least one
// element is allocated, so an empty list gives a valid array). The caller
// frees it with free(). Null when it can't be allocated.
Point* PointlistToArray(Pointlist list);
