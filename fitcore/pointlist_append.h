// pointlist_append.h - constant-time appending to a point list that only grows.
#pragma once

#include <fitcore/pointlist.h>

// Adds `point` behind the last point of a list from which nothing was ever
// removed, giving the same list as AddPoint but without walking the chain.
// `*tail` is the list's last segment (the list itself to begin with) and is
// moved on when a new segment is made. 0 stored; 1 the needed segment can't
// be allocated, and the list is unchanged.
int AppendPoint(PointlistSegment** tail, Point point);
