// Fuzz target: the point list under arbitrary sequences of additions,
// removals and reads must agree with a plain model of its segments and keep
// its chain sound: every segment's count equal to its used slots, next and
// prev in agreement, and no empty segment after the first.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <fitcore/pointlist.h>
#include "pointlist_append.h"

namespace {

// The list as plain arrays: segments of optional points, the first kept
// even when empty, a point added to the lowest free slot of the first
// segment that is not full.
class Model {
public:
    Model() : segments_(1) {}

    size_t size() const { return size_; }

    void Add(const Point& point)
    {
        ++size_;
        for (Segment& segment : segments_) {
            for (std::optional<Point>& slot : segment) {
                if (!slot) {
                    slot = point;
                    return;
                }
            }
        }
        segments_.emplace_back();
        segments_.back()[0] = point;
    }

    void Remove(int32_t index)
    {
        if (index < 0) return;
        for (size_t s = 0; s < segments_.size(); ++s) {
            for (std::optional<Point>& slot : segments_[s]) {
                if (slot && index-- == 0) {
                    slot.reset();
                    --size_;
                    if (s > 0 && Used(segments_[s]) == 0) segments_.erase(segments_.begin() + s);
                    return;
                }
            }
        }
    }

    std::vector<Point> Points() const
    {
        std::vector<Point> points;
        for (const Segment& segment : segments_)
            for (const std::optional<Point>& slot : segment)
                if (slot) points.push_back(*slot);
        return points;
    }

    // Used slots of each segment, in chain order.
    std::vector<int32_t> Counts() const
    {
        std::vector<int32_t> counts;
        for (const Segment& segment : segments_) counts.push_back(Used(segment));
        return counts;
    }

    // True when no removal has made a hole, so AppendPoint may be used.
    bool Dense() const
    {
        std::vector<int32_t> counts = Counts();
        for (size_t s = 0; s + 1 < counts.size(); ++s)
            if (counts[s] != kPointlistSegmentSize) return false;
        const Segment& last = segments_.back();
        for (int32_t slot = 0; slot < counts.back(); ++slot)
            if (!last[slot]) return false;
        return true;
    }

private:
    using Segment = std::array<std::optional<Point>, kPointlistSegmentSize>;

    static int32_t Used(const Segment& segment)
    {
        int32_t used = 0;
        for (const std::optional<Point>& slot : segment) used += slot.has_value();
        return used;
    }

    std::vector<Segment> segments_;
    size_t size_ = 0;
};

void Check(bool condition)
{
    if (!condition) std::abort();
}

bool SamePoint(const Point& a, const Point& b)
{
    return a.x == b.x && a.y == b.y && a.sigma == b.sigma;
}

// Walks the chain both ways and compares its shape with the model's.
void CheckChain(Pointlist list, const Model& model)
{
    Check(list->prev == nullptr);
    std::vector<int32_t> expected = model.Counts();
    std::vector<int32_t> counts;
    PointlistSegment* last = nullptr;
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next) {
        int32_t used = 0;
        for (int32_t slot = 0; slot < kPointlistSegmentSize; ++slot) {
            Check(segment->slots[slot].used == 0 || segment->slots[slot].used == 1);
            used += segment->slots[slot].used;
        }
        Check(segment->count == used);
        Check(segment == list || segment->count > 0);
        Check(segment->prev == last);
        if (segment->next != nullptr) Check(segment->next->prev == segment);
        counts.push_back(segment->count);
        last = segment;
    }
    size_t backwards = 0;
    for (PointlistSegment* segment = last; segment != nullptr; segment = segment->prev) ++backwards;
    Check(backwards == counts.size());
    Check(counts == expected);
}

void CheckContents(Pointlist list, const Model& model)
{
    std::vector<Point> expected = model.Points();
    Check(GetPointCount(list) == static_cast<int32_t>(expected.size()));
    std::unique_ptr<Point, decltype(&std::free)> array(PointlistToArray(list), &std::free);
    Check(array != nullptr);
    for (size_t i = 0; i < expected.size(); ++i) Check(SamePoint(array.get()[i], expected[i]));
}

PointlistSegment* LastSegment(Pointlist list)
{
    while (list->next != nullptr) list = list->next;
    return list;
}

// Reads the fuzz bytes as operations, one byte for the operation and one or
// two for its argument.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    // An index that may lie outside the list, below 0 included.
    int32_t Index()
    {
        int high = Byte();
        return static_cast<int16_t>(high << 8 | Byte());
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<PointlistSegment, decltype(&FreePointlist)> list(MakePointlist(), &FreePointlist);
    if (!list) return 0;
    Model model;
    double serial = 0;  // x of every point added is new, so a point out of place shows
    auto next_point = [&serial](uint8_t y) { return Point{++serial, static_cast<double>(y), -serial, 0, 0}; };
    // Enough for a chain of many segments while every step stays cheap to check.
    constexpr size_t kMaxPoints = 6 * kPointlistSegmentSize;
    auto full = [&model] { return model.size() >= kMaxPoints; };

    Bytes bytes(data, size);
    while (!bytes.empty()) {
        switch (bytes.Byte() % 7) {
        case 0: {
            if (full()) break;
            Point point = next_point(bytes.Byte());
            Check(AddPoint(list.get(), point) == 0);
            model.Add(point);
            break;
        }
        case 1: {  // many at once, to reach later segments quickly
            for (int n = bytes.Byte(); n > 0 && !full(); --n) {
                Point point = next_point(static_cast<uint8_t>(n));
                Check(AddPoint(list.get(), point) == 0);
                model.Add(point);
            }
            break;
        }
        case 2: {
            int32_t index = bytes.Index();
            RemovePoint(list.get(), index);
            model.Remove(index);
            break;
        }
        case 3: {
            int32_t index = bytes.Index();
            std::vector<Point> points = model.Points();
            Point got = GetPoint(list.get(), index);
            if (index >= 0 && static_cast<size_t>(index) < points.size())
                Check(SamePoint(got, points[static_cast<size_t>(index)]));
            break;
        }
        case 4:
            Check(GetPointCount(list.get()) == static_cast<int32_t>(model.Points().size()));
            break;
        case 5:
            CheckContents(list.get(), model);
            break;
        case 6: {  // the import's append, valid only while no removal left a hole
            if (full() || !model.Dense()) break;
            PointlistSegment* tail = LastSegment(list.get());
            Point point = next_point(bytes.Byte());
            Check(AppendPoint(&tail, point) == 0);
            Check(tail == LastSegment(list.get()));
            model.Add(point);
            break;
        }
        }
        CheckChain(list.get(), model);
    }
    CheckContents(list.get(), model);
    return 0;
}
