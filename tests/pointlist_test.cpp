#include <fitcore/pointlist.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "memory_limit.h"
#include "pointlist_append.h"

namespace {

using ListPtr = std::unique_ptr<PointlistSegment, decltype(&FreePointlist)>;

ListPtr NewList() { return ListPtr(MakePointlist(), &FreePointlist); }

// A point recognisable by its number: y and sigma differ from x, so a
// swapped field shows.
Point Numbered(int n) { return Point{double(n), 1000.0 + n, 0.5 * n, 0, 0}; }

std::vector<int> Numbers(const std::vector<Point>& points)
{
    std::vector<int> numbers;
    for (const Point& point : points) numbers.push_back(int(point.x));
    return numbers;
}

// Walks the chain both ways, checks every segment's count and links and
// that no segment after the first is empty; returns the points in order.
std::vector<Point> CheckedPoints(Pointlist list)
{
    std::vector<Point> points;
    EXPECT_EQ(list->prev, nullptr);
    PointlistSegment* last = list;
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next) {
        int used = 0;
        for (int slot = 0; slot < kPointlistSegmentSize; ++slot) {
            if (!segment->slots[slot].used) continue;
            ++used;
            points.push_back(segment->slots[slot].point);
        }
        EXPECT_EQ(segment->count, used);
        if (segment != list) {
            EXPECT_GT(segment->count, 0) << "empty segment left in the chain";
        }
        if (segment->next != nullptr) {
            EXPECT_EQ(segment->next->prev, segment);
        }
        last = segment;
    }
    PointlistSegment* back = last;
    while (back->prev != nullptr) back = back->prev;
    EXPECT_EQ(back, list) << "prev links don't lead back to the first segment";
    EXPECT_EQ(GetPointCount(list), int(points.size()));
    return points;
}

int SegmentCount(Pointlist list)
{
    int segments = 0;
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next) ++segments;
    return segments;
}

// Where AddPoint must put the next point: the lowest free slot of the first
// segment that is not full; all slots below it are used.
int ExpectedAddIndex(Pointlist list)
{
    int before = 0;
    for (PointlistSegment* segment = list; segment != nullptr; segment = segment->next) {
        if (segment->count < kPointlistSegmentSize) {
            int slot = 0;
            while (segment->slots[slot].used) ++slot;
            return before + slot;
        }
        before += segment->count;
    }
    return before;
}

ListPtr ListOf(int count)
{
    ListPtr list = NewList();
    for (int n = 0; n < count; ++n) EXPECT_EQ(AddPoint(list.get(), Numbered(n)), 0);
    return list;
}

std::vector<int> Range(int first, int end)
{
    std::vector<int> numbers;
    for (int n = first; n < end; ++n) numbers.push_back(n);
    return numbers;
}

}  // namespace

TEST(Pointlist, EmptyListHasNoPointsAndAValidEmptyArray)
{
    ListPtr list = NewList();
    EXPECT_EQ(GetPointCount(list.get()), 0);
    Point* array = PointlistToArray(list.get());
    ASSERT_NE(array, nullptr);
    std::free(array);
}

TEST(Pointlist, SegmentsGrowAtEveryHundredAndTwentyEighthPoint)
{
    for (auto [points, segments] : {std::pair{127, 1}, {128, 1}, {129, 2}, {256, 2}, {257, 3}}) {
        ListPtr list = ListOf(points);
        EXPECT_EQ(Numbers(CheckedPoints(list.get())), Range(0, points));
        EXPECT_EQ(SegmentCount(list.get()), segments) << points << " points";
        Point last = GetPoint(list.get(), points - 1);
        EXPECT_EQ(last.x, points - 1);
        EXPECT_EQ(last.y, Numbered(points - 1).y);
        EXPECT_EQ(last.sigma, Numbered(points - 1).sigma);
    }
}

TEST(Pointlist, GetPointFindsIndexesAcrossSegments)
{
    ListPtr list = ListOf(200);
    EXPECT_EQ(GetPoint(list.get(), 127).x, 127);
    EXPECT_EQ(GetPoint(list.get(), 128).x, 128);
    EXPECT_EQ(GetPoint(list.get(), 130).x, 130);
    Point outside = GetPoint(list.get(), 200);
    EXPECT_EQ(outside.x, 0);
    EXPECT_EQ(outside.y, 0);
}

TEST(Pointlist, FitAndWeightOfStoredPointsReadZero)
{
    ListPtr list = NewList();
    AddPoint(list.get(), Point{1, 2, 0, 99, 98});
    RemovePoint(list.get(), 0);
    AddPoint(list.get(), Point{3, 4, 0, 97, 96});
    Point point = GetPoint(list.get(), 0);
    EXPECT_EQ(point.sigma, 0);
    EXPECT_EQ(point.fit, 0);
    EXPECT_EQ(point.weight, 0);
    std::unique_ptr<Point, decltype(&std::free)> array(PointlistToArray(list.get()), &std::free);
    EXPECT_EQ(array.get()[0].fit, 0);
    EXPECT_EQ(array.get()[0].weight, 0);
}

TEST(Pointlist, NewPointFillsTheFirstHole)
{
    ListPtr list = ListOf(5);
    RemovePoint(list.get(), 1);
    AddPoint(list.get(), Numbered(50));
    EXPECT_EQ(Numbers(CheckedPoints(list.get())), (std::vector<int>{0, 50, 2, 3, 4}));
}

TEST(Pointlist, EmptiedSegmentsAreFreedExceptTheFirst)
{
    ListPtr list = ListOf(200);
    for (int n = 128; n < 200; ++n) RemovePoint(list.get(), 128);
    EXPECT_EQ(SegmentCount(list.get()), 1);
    for (int n = 0; n < 128; ++n) RemovePoint(list.get(), 0);
    EXPECT_EQ(SegmentCount(list.get()), 1);
    EXPECT_EQ(GetPointCount(list.get()), 0);
    AddPoint(list.get(), Numbered(7));
    EXPECT_EQ(Numbers(CheckedPoints(list.get())), std::vector<int>{7});
}

TEST(Pointlist, EmptyingAMiddleSegmentRelinksItsNeighbours)
{
    ListPtr list = ListOf(300);
    for (int n = 0; n < 128; ++n) RemovePoint(list.get(), 128);
    EXPECT_EQ(SegmentCount(list.get()), 2);
    std::vector<int> expected = Range(0, 128);
    for (int n : Range(256, 300)) expected.push_back(n);
    EXPECT_EQ(Numbers(CheckedPoints(list.get())), expected);
}

TEST(Pointlist, RemoveIgnoresIndexesOutsideTheList)
{
    ListPtr list = ListOf(130);
    RemovePoint(list.get(), 130);
    RemovePoint(list.get(), -1);
    EXPECT_EQ(Numbers(CheckedPoints(list.get())), Range(0, 130));
}

TEST(Pointlist, ToArrayKeepsListOrderAroundHoles)
{
    ListPtr list = ListOf(300);
    for (int n = 0; n < 50; ++n) RemovePoint(list.get(), 10);
    std::vector<int> expected = Range(0, 10);
    for (int n : Range(60, 300)) expected.push_back(n);
    std::unique_ptr<Point, decltype(&std::free)> array(PointlistToArray(list.get()), &std::free);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(Numbers(std::vector<Point>(array.get(), array.get() + 250)), expected);
}

TEST(Pointlist, FreeingATailLeavesTheRestOfTheChainEnded)
{
    ListPtr list = ListOf(300);
    FreePointlist(list->next);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(Numbers(CheckedPoints(list.get())), Range(0, 128));
}

// Long random runs of adds and removes against a plain vector; the add
// position is predicted from the slots before each add.
TEST(Pointlist, RandomAddsAndRemovesMatchAVectorModel)
{
    std::mt19937 random(12345);
    ListPtr list = NewList();
    std::vector<int> model;
    int next_number = 0;
    for (int step = 0; step < 20000; ++step) {
        // Phases that lean to adding, then to removing, cross segment
        // boundaries both ways and leave holes everywhere.
        bool growing = (step / 2500) % 2 == 0;
        bool add = std::uniform_int_distribution<int>(0, 99)(random) < (growing ? 65 : 35);
        if (add) {
            int index = ExpectedAddIndex(list.get());
            ASSERT_EQ(AddPoint(list.get(), Numbered(next_number)), 0);
            model.insert(model.begin() + index, next_number++);
        } else {
            int index = std::uniform_int_distribution<int>(-1, int(model.size()))(random);
            RemovePoint(list.get(), index);
            if (index >= 0 && index < int(model.size())) model.erase(model.begin() + index);
        }
        if (step % 97 == 0 || step == 19999) {
            ASSERT_EQ(Numbers(CheckedPoints(list.get())), model) << "after step " << step;
            if (!model.empty()) {
                int index = std::uniform_int_distribution<int>(0, int(model.size()) - 1)(random);
                ASSERT_EQ(GetPoint(list.get(), index).x, model[index]);
            }
        }
    }
}

TEST(Pointlist, AppendBuildsTheSameChainAsAdd)
{
    ListPtr added = ListOf(300);
    ListPtr appended = NewList();
    PointlistSegment* tail = appended.get();
    for (int n = 0; n < 300; ++n) ASSERT_EQ(AppendPoint(&tail, Numbered(n)), 0);
    EXPECT_EQ(tail->next, nullptr);
    EXPECT_EQ(SegmentCount(appended.get()), 3);
    for (PointlistSegment *a = added.get(), *b = appended.get(); a != nullptr; a = a->next, b = b->next) {
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(a->count, b->count);
        for (int slot = 0; slot < kPointlistSegmentSize; ++slot) {
            ASSERT_EQ(a->slots[slot].used, b->slots[slot].used);
            ASSERT_EQ(a->slots[slot].point.x, b->slots[slot].point.x);
        }
    }
}

// Fills memory until a segment can't be made: the list keeps every earlier
// point and no half-linked segment. Runs in a child with limited memory.
TEST(PointlistDeathTest, AddFailsCleanlyWhenNoSegmentCanBeMade)
{
    if (!kAddressSpaceLimitWorks) GTEST_SKIP() << "memory limits don't reach the sanitizer's allocator";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, no freed memory to reuse
    ListPtr list = NewList();
    auto fill = [&] {
        int added = 0;
        {
            AddressSpaceLimit limit(size_t{1} << 20);
            while (added < 300'000 && AddPoint(list.get(), Numbered(added)) == 0) ++added;
        }
        bool ok = added < 300'000 && added % kPointlistSegmentSize == 0 &&
                  Numbers(CheckedPoints(list.get())) == Range(0, added) && !testing::Test::HasFailure();
        std::_Exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(fill(), testing::ExitedWithCode(0), "");
}

TEST(PointlistDeathTest, ToArrayGivesNullWhenTheArrayCantBeAllocated)
{
    if (!kAddressSpaceLimitWorks) GTEST_SKIP() << "memory limits don't reach the sanitizer's allocator";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ListPtr list = NewList();
    PointlistSegment* tail = list.get();
    for (int n = 0; n < 100'000; ++n) AppendPoint(&tail, Numbered(n));  // 4 MB as an array
    auto copy = [&] {
        AddressSpaceLimit limit(size_t{1} << 20);
        std::_Exit(PointlistToArray(list.get()) == nullptr ? 0 : 1);
    };
    EXPECT_EXIT(copy(), testing::ExitedWithCode(0), "");
}
