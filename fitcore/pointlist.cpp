// pointlist.cpp - the segmented point list and its constant-time append.
#include <fitcore/pointlist.h>

#include <algorithm>
#include <cstdlib>

#include <fitcore/platform.h>
#include "pointlist_append.h"

namespace {

struct Location {
    PointlistSegment* segment;
    PointlistSlot* slot;  // null: the index is not in the list
};

// Segments before the one holding `index` are skipped by their counts; the
// holding segment is then scanned for its (local index + 1)-th used slot.
Location Locate(Pointlist list, int32_t index)
{
    PointlistSegment* segment = list;
    int64_t before = 0;  // points in the segments before `segment`
    while (index >= before + segment->count && segment->next != nullptr) {
        before += segment->count;
        segment = segment->next;
    }
    int64_t local = index - before;
    if (local < 0 || local >= segment->count) return {segment, nullptr};
    for (int32_t slot = 0; slot < kPointlistSegmentSize; ++slot) {
        if (segment->slots[slot].used && local-- == 0) return {segment, &segment->slots[slot]};
    }
    return {segment, nullptr};  // only reached when `count` disagrees with the slots
}

// Links a fresh segment after `last`, which must be the end of its chain.
PointlistSegment* AppendSegment(PointlistSegment* last)
{
    PointlistSegment* segment = MakePointlist();
    if (segment == nullptr) return nullptr;
    last->next = segment;
    segment->prev = last;
    return segment;
}

void StoreInSlot(PointlistSegment* segment, PointlistSlot& slot, const Point& point)
{
    slot.point.x = point.x;
    slot.point.y = point.y;
    slot.point.sigma = point.sigma;
    slot.used = 1;
    ++segment->count;
}

}  // namespace

Pointlist MakePointlist()
{
    auto* segment = static_cast<PointlistSegment*>(std::calloc(1, sizeof(PointlistSegment)));
    if (segment == nullptr) return nullptr;
    segment->slots = static_cast<PointlistSlot*>(std::calloc(kPointlistSegmentSize, sizeof(PointlistSlot)));
    if (segment->slots == nullptr) {
        std::free(segment);
        return nullptr;
    }
    return segment;
}

void FreePointlist(PointlistSegment* segment)
{
    if (segment == nullptr) return;
    if (segment->prev != nullptr) segment->prev->next = nullptr;
    while (segment != nullptr) {
        PointlistSegment* next = segment->next;
        std::free(segment->slots);
        std::free(segment);
        segment = next;
    }
}

void FreePointlistSegment(PointlistSegment* segment)
{
    if (segment == nullptr) return;
    if (segment->prev != nullptr) segment->prev->next = segment->next;
    if (segment->next != nullptr) segment->next->prev = segment->prev;
    std::free(segment->slots);
    std::free(segment);
}

int AddPoint(Pointlist list, Point point)
{
    PointlistSegment* segment = list;
    while (segment->count == kPointlistSegmentSize) {
        if (segment->next == nullptr && AppendSegment(segment) == nullptr) return 1;
        segment = segment->next;
    }
    PointlistSlot* slots = segment->slots;
    PointlistSlot* free_slot = std::find_if(slots, slots + kPointlistSegmentSize,
                                            [](const PointlistSlot& slot) { return slot.used == 0; });
    StoreInSlot(segment, *free_slot, point);
    return 0;
}

int AppendPoint(PointlistSegment** tail, Point point)
{
    PointlistSegment* segment = *tail;
    if (segment->count == kPointlistSegmentSize) {
        segment = AppendSegment(segment);
        if (segment == nullptr) return 1;
        *tail = segment;
    }
    // Without removals the used slots of the last segment are 0 to count - 1.
    StoreInSlot(segment, segment->slots[segment->count], point);
    return 0;
}

int32_t GetPointCount(Pointlist list)
{
    int32_t count = 0;
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next)
        count += segment->count;
    return count;
}

Point GetPoint(Pointlist list, int32_t index)
{
    Location location = Locate(list, index);
    return location.slot != nullptr ? location.slot->point : Point{};
}

void RemovePoint(Pointlist list, int32_t index)
{
    Location location = Locate(list, index);
    if (location.slot == nullptr) return;
    location.slot->used = 0;
    PointlistSegment* segment = location.segment;
    segment->count = std::max(segment->count - 1, 0);
    if (segment->count == 0 && segment->prev != nullptr) FreePointlistSegment(segment);
}

Point* PointlistToArray(Pointlist list)
{
    size_t count = static_cast<size_t>(GetPointCount(list));
    size_t bytes = std::max<size_t>(count, 1) * sizeof(Point);
    auto* points = static_cast<Point*>(std::malloc(bytes));
    if (points == nullptr) return nullptr;
    fitcore::AdviseLargePages(points, bytes);
    Point* next = points;
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next) {
        for (int32_t slot = 0; slot < kPointlistSegmentSize; ++slot)
            if (segment->slots[slot].used) *next++ = segment->slots[slot].point;
    }
    return points;
}
